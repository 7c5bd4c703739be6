#include "report/printsetupdialog.h"

#include "report/preparedreport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSpinBox>

namespace zelk::report {

PrintSetupDialog::PrintSetupDialog(QPrinter& printer, const PreparedReport& report, QWidget* parent)
    : QDialog(parent), printer_(printer) {
    setObjectName(QStringLiteral("pageSetupDialog"));
    setWindowTitle(QStringLiteral("页面设置"));
    printerBox_ = new QComboBox(this);
    printerBox_->setObjectName(QStringLiteral("printerBox"));
    printerBox_->addItems(QPrinterInfo::availablePrinterNames());
    printerBox_->setCurrentText(printer.printerName());
    copiesSpin_ = new QSpinBox(this);
    copiesSpin_->setObjectName(QStringLiteral("copiesSpin"));
    copiesSpin_->setRange(1, 99);
    copiesSpin_->setValue(std::clamp(printer.copyCount(), 1, 99));
    const QSizeF mm = report.pageSize();
    auto* paper = new QLabel(QStringLiteral("%1 × %2 毫米（由报表模板决定，边距为零）")
                                 .arg(mm.width(), 0, 'g', 6)
                                 .arg(mm.height(), 0, 'g', 6),
                             this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("打印机："), printerBox_);
    form->addRow(QStringLiteral("份数："), copiesSpin_);
    form->addRow(QStringLiteral("纸张："), paper);
    form->addRow(buttons);
}

void PrintSetupDialog::accept() {
    if (!printerBox_->currentText().isEmpty())
        printer_.setPrinterName(printerBox_->currentText());
    printer_.setCopyCount(copiesSpin_->value());
    QDialog::accept();
}

} // namespace zelk::report
