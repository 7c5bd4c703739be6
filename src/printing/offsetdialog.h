#pragma once

#include <QDialog>
#include <QPointF>

#include <functional>

class QDoubleSpinBox;
class QSpinBox;

namespace zelk::printing {

class PrinterProfiles;

// "打印机偏移…": the printer's name and its measured X and Y offsets (−20 to +20 mm in 0.1 mm
// steps), with a line on how to measure them; below, the page-length correction of continuous
// paper: print the calibration sheet on N consecutive sheets (printSheets does it) and type how
// far the last sheet's crosshair lies below the first's. OK stores both for that printer; errors
// go to the error box and keep the dialog open.
class OffsetDialog : public QDialog {
    Q_OBJECT

public:
    OffsetDialog(PrinterProfiles& profiles, const QString& printerName, const QPointF& current,
                 double currentCorrection, std::function<bool(int sheets)> printSheets,
                 QWidget* parent = nullptr);

    void accept() override;

private:
    PrinterProfiles& profiles_;
    QString printerName_;
    QDoubleSpinBox* xSpin_ = nullptr;
    QDoubleSpinBox* ySpin_ = nullptr;
    QSpinBox* sheetsSpin_ = nullptr;
    QDoubleSpinBox* creepSpin_ = nullptr;
};

} // namespace zelk::printing
