#pragma once

#include <QDialog>
#include <QPointF>

class QDoubleSpinBox;

namespace zelk::printing {

class PrinterProfiles;

// "打印机偏移…": the printer's name and its measured X and Y offsets (−20 to +20 mm in 0.1 mm
// steps), with a line on how to measure them. OK stores them for that printer; errors go to
// the error box and keep the dialog open.
class OffsetDialog : public QDialog {
    Q_OBJECT

public:
    OffsetDialog(PrinterProfiles& profiles, const QString& printerName, const QPointF& current,
                 QWidget* parent = nullptr);

    void accept() override;

private:
    PrinterProfiles& profiles_;
    QString printerName_;
    QDoubleSpinBox* xSpin_ = nullptr;
    QDoubleSpinBox* ySpin_ = nullptr;
};

} // namespace zelk::printing
