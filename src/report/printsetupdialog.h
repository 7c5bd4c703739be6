#pragma once

#include <QDialog>

class QComboBox;
class QPrinter;
class QSpinBox;

namespace zelk::report {

struct PreparedReport;

// Page set-up of the preview: only what takes effect on the printout. The paper, orientation
// and margins come from the template and are shown, not offered; the operator picks the
// printer and the number of copies. accept() writes them to the printer.
class PrintSetupDialog : public QDialog {
    Q_OBJECT

public:
    PrintSetupDialog(QPrinter& printer, const PreparedReport& report, QWidget* parent = nullptr);

    void accept() override;

private:
    QPrinter& printer_;
    QComboBox* printerBox_ = nullptr;
    QSpinBox* copiesSpin_ = nullptr;
};

} // namespace zelk::report
