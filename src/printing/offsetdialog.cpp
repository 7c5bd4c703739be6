#include "printing/offsetdialog.h"

#include "data/databaseerror.h"
#include "printing/printerprofiles.h"
#include "report/reporterror.h"
#include "ui/messagebox.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace zelk::printing {

namespace {

QDoubleSpinBox* offsetSpin(const QString& name, double value, QWidget* parent) {
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(-PrinterProfiles::kMaxOffset, PrinterProfiles::kMaxOffset);
    spin->setDecimals(1);
    spin->setSingleStep(0.1);
    spin->setSuffix(QStringLiteral(" 毫米"));
    spin->setValue(value);
    return spin;
}

} // namespace

OffsetDialog::OffsetDialog(PrinterProfiles& profiles, const QString& printerName,
                           const QPointF& current, const PrinterProfiles::FeedMeasurement& measured,
                           std::function<bool(int sheets)> printSheets, QWidget* parent)
    : QDialog(parent), profiles_(profiles), printerName_(printerName) {
    setObjectName(QStringLiteral("printerOffsetDialog"));
    setWindowTitle(QStringLiteral("打印机偏移"));
    xSpin_ = offsetSpin(QStringLiteral("offsetXSpin"), current.x(), this);
    ySpin_ = offsetSpin(QStringLiteral("offsetYSpin"), current.y(), this);
    auto* how = new QLabel(
        QStringLiteral("先用“打印校准页”在这台打印机上打印校准页，用尺子量出十字线“X20 Y20”"
                       "到纸张左边和上边的实际距离。实际距离小于 20 毫米，就填入差值（正数，"
                       "向右、向下移）；大于 20 毫米，填入负数。保存后从下一次打印起生效。"),
        this);
    how->setWordWrap(true);
    sheetsSpin_ = new QSpinBox(this);
    sheetsSpin_->setObjectName(QStringLiteral("feedSheetsSpin"));
    sheetsSpin_->setRange(2, PrinterProfiles::kMaxSheets);
    sheetsSpin_->setValue(measured.sheets);
    sheetsSpin_->setSuffix(QStringLiteral(" 张"));
    // The measurement as it was typed and stored, so saving unchanged keeps it.
    creepSpin_ = offsetSpin(QStringLiteral("feedCreepSpin"), 0.0, this);
    creepSpin_->setDecimals(2);
    creepSpin_->setSingleStep(0.05);
    creepSpin_->setValue(measured.creepMm);
    perSheetLabel_ = new QLabel(this);
    perSheetLabel_->setObjectName(QStringLiteral("feedPerSheetLabel"));
    showPerSheet();
    connect(sheetsSpin_, &QSpinBox::valueChanged, this, &OffsetDialog::showPerSheet);
    connect(creepSpin_, &QDoubleSpinBox::valueChanged, this, &OffsetDialog::showPerSheet);
    auto* alignedButton = new QPushButton(QStringLiteral("纸已重新对齐"), this);
    alignedButton->setObjectName(QStringLiteral("paperAlignedButton"));
    connect(alignedButton, &QPushButton::clicked, this, [this] {
        try {
            profiles_.resetSheets(printerName_);
            perSheetLabel_->setText(perSheetLabel_->text() +
                                    QStringLiteral("；下一张从第一张算起"));
        } catch (const data::DatabaseError& e) {
            ui::MessageBox::error(this, e.message());
        }
    });
    auto* printButton = new QPushButton(QStringLiteral("打印连续校准页"), this);
    printButton->setObjectName(QStringLiteral("printFeedSheetsButton"));
    connect(printButton, &QPushButton::clicked, this,
            [this, printSheets] { printSheets(sheetsSpin_->value()); });
    auto* feedHow = new QLabel(
        QStringLiteral("连续纸越打越偏时：按“打印连续校准页”连续打印几张校准页，不要撕开，量出最后"
                       "一张的十字线“X20 Y20”比第一张的低了多少毫米（高了填负数），填在下面。"
                       "保存后每一张都按这个量逐张校正，一次次打印接着算；重新装纸或对齐后按"
                       "“纸已重新对齐”。填 0 取消校正。"),
        this);
    feedHow->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("打印机："), new QLabel(printerName, this));
    form->addRow(QStringLiteral("水平偏移 X："), xSpin_);
    form->addRow(QStringLiteral("垂直偏移 Y："), ySpin_);
    form->addRow(how);
    form->addRow(QStringLiteral("连续校准页："), sheetsSpin_);
    form->addRow(QString(), printButton);
    form->addRow(QStringLiteral("最后一张下移："), creepSpin_);
    form->addRow(QStringLiteral("每张校正："), perSheetLabel_);
    form->addRow(QString(), alignedButton);
    form->addRow(feedHow);
    form->addRow(buttons);
}

void OffsetDialog::showPerSheet() {
    perSheetLabel_->setText(QStringLiteral("%1 毫米").arg(
        PrinterProfiles::correctionPerSheet(sheetsSpin_->value(), creepSpin_->value()), 0, 'f', 3));
}

void OffsetDialog::accept() {
    try {
        profiles_.setOffset(printerName_, QPointF(xSpin_->value(), ySpin_->value()));
        profiles_.setFeedCorrection(printerName_, sheetsSpin_->value(), creepSpin_->value());
    } catch (const data::DatabaseError& e) {
        ui::MessageBox::error(this, e.message());
        return;
    } catch (const report::ReportError& e) {
        ui::MessageBox::error(this, e.message());
        return;
    }
    QDialog::accept();
}

} // namespace zelk::printing
