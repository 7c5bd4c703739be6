#pragma once

#include "printing/printerprofiles.h"

#include <QDialog>
#include <QPointF>

#include <functional>

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace zelk::printing {

// "打印机偏移…": the printer's name and its measured X and Y offsets (−20 to +20 mm in 0.1 mm
// steps), with a line on how to measure them; below, the page-length correction of continuous
// paper: print the calibration sheet on N consecutive sheets (printSheets does it) and type how
// far the last sheet's crosshair lies below the first's. Sheets and creep stay as typed (they are
// stored so, and reopen so); the figure per sheet is shown beside them. "纸已重新对齐" starts the
// sheet count of continuous paper afresh. OK stores offset and measurement for that printer;
// errors go to the error box and keep the dialog open.
class OffsetDialog : public QDialog {
    Q_OBJECT

public:
    OffsetDialog(PrinterProfiles& profiles, const QString& printerName, const QPointF& current,
                 const PrinterProfiles::FeedMeasurement& measured,
                 std::function<bool(int sheets)> printSheets, QWidget* parent = nullptr);

    void accept() override;

private:
    void showPerSheet();

    PrinterProfiles& profiles_;
    QString printerName_;
    QDoubleSpinBox* xSpin_ = nullptr;
    QDoubleSpinBox* ySpin_ = nullptr;
    QSpinBox* sheetsSpin_ = nullptr;
    QDoubleSpinBox* creepSpin_ = nullptr;
    QLabel* perSheetLabel_ = nullptr;
};

} // namespace zelk::printing
