#include "receipt/entrypage.h"

#include "amount/amounttext.h"
#include "receipt/entrytotals.h"
#include "ui/fieldlength.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zelk::receipt {

namespace {

// Widths in pixels of the page's fields.
constexpr int invoiceWidth = 168;
constexpr int issueDateWidth = 137;
constexpr int categoryWidth = 223;
constexpr int machineWidth = 168;
constexpr int periodWidth = 134;
constexpr int checkCodeWidth = 168;
constexpr int payerWidth = 491;
constexpr int itemWidth = 145;
constexpr int contentWidth = 145;
constexpr int unitWidth = 95;
constexpr int quantityWidth = 56;
constexpr int unitPriceWidth = 92;
constexpr int amountWidth = 102;
constexpr int remarksWidth = 121;
constexpr int payeeWidth = 440;
constexpr int issuerWidth = 129;
constexpr int noticeWidth = 815;
// The form keeps its own width and stands in the middle of a wider page.
constexpr int formWidth = 880;

QString name(const char* base, int row) {
    return QLatin1String(base) + QString::number(row + 1);
}

QLabel* caption(const QString& text, QWidget* parent, const QString& objectName = {}) {
    auto* label = new QLabel(text, parent);
    if (!objectName.isEmpty())
        label->setObjectName(objectName);
    return label;
}

QLineEdit* textField(const QString& objectName, int width, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setFixedWidth(width);
    return field;
}

// A one-line text field with a drop-down list that holds no entries. Typed text never goes
// into the list, also not on Return.
QComboBox* dropDownField(const QString& objectName, int width, QWidget* parent) {
    auto* field = new QComboBox(parent);
    field->setObjectName(objectName);
    field->setEditable(true);
    field->setInsertPolicy(QComboBox::NoInsert);
    field->setFixedWidth(width);
    return field;
}

// Four digit positions, the date separator, two, the separator, two; every position may stay
// blank and nothing checks the date.
QLineEdit* periodField(const QString& objectName, QWidget* parent) {
    QLineEdit* field = textField(objectName, periodWidth, parent);
    field->setInputMask(QStringLiteral("9999-99-99"));
    return field;
}

QLineEdit* totalField(const QString& objectName, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    return field;
}

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    // Outside a dialog a push button only answers Return when it is an auto-default button.
    b->setAutoDefault(true);
    return b;
}

// Money has cents at most: fraction digits after the second are refused.
QString atMostTwoDecimals(const QString& text) {
    const qsizetype point = text.indexOf(u'.');
    if (point < 0)
        return text;
    qsizetype end = point + 1;
    while (end < text.size() && text.at(end).isDigit())
        ++end;
    return end - point - 1 > 2 ? text.left(point + 3) + text.mid(end) : text;
}

} // namespace

ReceiptEntryPage::ReceiptEntryPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("entryPage"));

    receiptId_ = new QLineEdit(this);
    receiptId_->setObjectName(QStringLiteral("receiptId"));
    receiptId_->setFocusPolicy(Qt::NoFocus);
    receiptId_->hide();

    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("entryForm"));
    form->setFixedWidth(formWidth);
    auto* formLayout = new QVBoxLayout(form);
    formLayout->setContentsMargins(0, 0, 0, 0);
    auto* pageLayout = new QHBoxLayout(this);
    pageLayout->addStretch();
    pageLayout->addWidget(form, 0, Qt::AlignTop);
    pageLayout->addStretch();

    createHeader(form, formLayout);
    createLineRows(form, formLayout);
    createFooter(form, formLayout);
    applyTabOrder();
    ui::removeLengthLimits(this);
    // receiptId_ is not under this page once the window moves it into its top bar; it holds
    // digits only.
}

void ReceiptEntryPage::createHeader(QWidget* form, QVBoxLayout* layout) {

    heading_ = caption(QStringLiteral("票据内容"), form, QStringLiteral("entryHeading"));
    QFont headingFont = heading_->font();
    headingFont.setBold(true);
    headingFont.setPixelSize(20);
    heading_->setFont(headingFont);
    layout->addWidget(heading_, 0, Qt::AlignHCenter);

    invoiceNumber_ = textField(QStringLiteral("invoiceNumber"), invoiceWidth, form);
    auto* row2 = new QHBoxLayout;
    row2->addStretch();
    row2->addWidget(caption(QStringLiteral("发票号码:"), form));
    row2->addWidget(invoiceNumber_);
    layout->addLayout(row2);

    issueDate_ = new QDateEdit(form);
    issueDate_->setObjectName(QStringLiteral("issueDate"));
    issueDate_->setCalendarPopup(true);
    issueDate_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    issueDate_->setFixedWidth(issueDateWidth);
    // A date the operator picks replaces an unknown stored one.
    connect(issueDate_, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (unknownDate_ && date != issueDate_->minimumDate())
            setUnknownDate(std::nullopt);
    });
    category_ = dropDownField(QStringLiteral("category"), categoryWidth, form);
    machineNumber_ = textField(QStringLiteral("machineNumber"), machineWidth, form);
    auto* row3 = new QHBoxLayout;
    row3->addWidget(caption(QStringLiteral("开票日期:"), form));
    row3->addWidget(issueDate_);
    row3->addSpacing(12);
    row3->addWidget(caption(QStringLiteral("行业分类:"), form));
    row3->addWidget(category_);
    row3->addStretch();
    row3->addWidget(caption(QStringLiteral("机打号码:"), form));
    row3->addWidget(machineNumber_);
    layout->addLayout(row3);

    periodStart_ = periodField(QStringLiteral("periodStart"), form);
    periodEnd_ = periodField(QStringLiteral("periodEnd"), form);
    checkCode_ = textField(QStringLiteral("checkCode"), checkCodeWidth, form);
    auto* row4 = new QHBoxLayout;
    row4->addWidget(caption(QStringLiteral("起止时间:"), form));
    row4->addWidget(periodStart_);
    row4->addWidget(caption(QStringLiteral("至"), form));
    row4->addWidget(periodEnd_);
    row4->addStretch();
    row4->addWidget(caption(QStringLiteral("校验码:"), form));
    row4->addWidget(checkCode_);
    layout->addLayout(row4);

    payerName_ = textField(QStringLiteral("payerName"), payerWidth, form);
    auto* row5 = new QHBoxLayout;
    row5->addWidget(caption(QStringLiteral("付款方名称:"), form));
    row5->addWidget(payerName_);
    row5->addStretch();
    layout->addLayout(row5);
}

void ReceiptEntryPage::createLineRows(QWidget* form, QVBoxLayout* layout) {

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    const QStringList headings = {QStringLiteral("项目"), QStringLiteral("开具内容"),
                                  QStringLiteral("单位"), QStringLiteral("数量"),
                                  QStringLiteral("单价"), QStringLiteral("金额"),
                                  QStringLiteral("备注")};
    for (int column = 0; column < headings.size(); ++column)
        grid->addWidget(caption(headings.at(column), form), 0, column, Qt::AlignHCenter);

    for (int row = 0; row < lineCount; ++row) {
        LineRow& r = rows_.at(row);
        r.item = dropDownField(name("item", row), itemWidth, form);
        r.content = dropDownField(name("content", row), contentWidth, form);
        r.unit = dropDownField(name("unit", row), unitWidth, form);
        r.quantity = textField(name("quantity", row), quantityWidth, form);
        r.unitPrice = dropDownField(name("unitPrice", row), unitPriceWidth, form);
        r.amount = textField(name("amount", row), amountWidth, form);
        const QList<QWidget*> cells = {r.item,     r.content,   r.unit,
                                       r.quantity, r.unitPrice, r.amount};
        for (int column = 0; column < cells.size(); ++column)
            grid->addWidget(cells.at(column), row + 1, column);
        QLineEdit* cell = r.amount;
        connect(cell, &QLineEdit::textChanged, this, [this, cell] { amountChanged(cell); });
    }

    remarks_ = new QPlainTextEdit(form);
    remarks_->setObjectName(QStringLiteral("remarks"));
    remarks_->setFixedWidth(remarksWidth);
    // Tab and Shift+Tab move on, as from every other field, instead of typing a tab.
    remarks_->setTabChangesFocus(true);
    grid->addWidget(remarks_, 1, 6, lineCount, 1);

    totalCapitals_ = totalField(QStringLiteral("totalCapitals"), form);
    totalFigures_ = totalField(QStringLiteral("totalFigures"), form);
    totalFigures_->setFixedWidth(amountWidth);
    const int totalsRow = lineCount + 1;
    grid->addWidget(caption(QStringLiteral("合计金额(大写):"), form), totalsRow, 0);
    grid->addWidget(totalCapitals_, totalsRow, 1, 1, 3);
    grid->addWidget(caption(QStringLiteral("￥:"), form), totalsRow, 4, Qt::AlignRight);
    grid->addWidget(totalFigures_, totalsRow, 5);
    grid->setColumnStretch(7, 1);
    layout->addLayout(grid);

    extraLinesNote_ = caption(QString(), form, QStringLiteral("extraLinesNote"));
    extraLinesNote_->setWordWrap(true);
    extraLinesNote_->hide();
    layout->addWidget(extraLinesNote_);
}

void ReceiptEntryPage::createFooter(QWidget* form, QVBoxLayout* layout) {

    payeeName_ = textField(QStringLiteral("payeeName"), payeeWidth, form);
    issuer_ = textField(QStringLiteral("issuer"), issuerWidth, form);
    auto* row8 = new QHBoxLayout;
    row8->addWidget(caption(QStringLiteral("收款方名称(盖章):"), form));
    row8->addWidget(payeeName_);
    row8->addStretch();
    row8->addWidget(caption(QStringLiteral("开票人:"), form));
    row8->addWidget(issuer_);
    layout->addLayout(row8);

    noticeLine_ = textField(QStringLiteral("noticeLine"), noticeWidth, form);
    layout->addWidget(noticeLine_);

    save_ = button(QStringLiteral("保存(&S)"), QStringLiteral("saveButton"), form);
    preview_ = button(QStringLiteral("预览(&V)"), QStringLiteral("previewButton"), form);
    preview_->setToolTip(QStringLiteral("预览要打印的内容。"));
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(save_);
    bar->addWidget(preview_);
    bar->addStretch();
    layout->addLayout(bar);
    layout->addStretch();
}

QList<QWidget*> ReceiptEntryPage::tabOrder() const {
    QList<QWidget*> order = {invoiceNumber_, issueDate_, category_,  machineNumber_,
                             periodStart_,   periodEnd_, checkCode_, payerName_};
    for (int row = 0; row < lineCount; ++row) {
        const LineRow& r = rows_.at(row);
        order << r.item << r.content << r.unit << r.quantity << r.unitPrice << r.amount;
        // The remarks come right after the amount of the first row.
        if (row == 0)
            order << remarks_;
    }
    order << payeeName_ << issuer_ << noticeLine_ << save_ << preview_;
    return order;
}

void ReceiptEntryPage::applyTabOrder() {
    const QList<QWidget*> order = tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

QLineEdit* ReceiptEntryPage::amountCell(int row) const {
    return rows_.at(row).amount;
}

std::array<EntryLine, lineCount> ReceiptEntryPage::lines() const {
    std::array<EntryLine, lineCount> result;
    for (int row = 0; row < lineCount; ++row) {
        const LineRow& r = rows_.at(row);
        result.at(row) = {r.item->currentText(), r.content->currentText(),   r.unit->currentText(),
                          r.quantity->text(),    r.unitPrice->currentText(), r.amount->text()};
    }
    return result;
}

ReceiptEntry ReceiptEntryPage::entry() const {
    ReceiptEntry e;
    e.invoiceNumber = invoiceNumber_->text();
    e.issueDate = unknownDate_ ? QDate() : issueDate_->date();
    e.unknownDate = unknownDate_;
    e.category = category_->currentText();
    e.machineNumber = machineNumber_->text();
    // The period fields are read as shown: blanks of the mask and separators included.
    e.periodStart = periodStart_->displayText();
    e.periodEnd = periodEnd_->displayText();
    e.checkCode = checkCode_->text();
    e.payerName = payerName_->text();
    e.lines = lines();
    e.extraLines = extraLines_;
    e.remarks = remarks_->toPlainText();
    e.totalFigures = totalFigures_->text();
    e.totalCapitals = totalCapitals_->text();
    e.payeeName = payeeName_->text();
    e.issuer = issuer_->text();
    e.noticeLine = noticeLine_->text();
    e.receiptId = receiptId();
    e.loadedChanges = loadedChanges_;
    return e;
}

void ReceiptEntryPage::showReceipt(const ReceiptEntry& receipt) {
    invoiceNumber_->setText(receipt.invoiceNumber);
    if (receipt.unknownDate)
        setUnknownDate(receipt.unknownDate);
    else
        issueDate_->setDate(receipt.issueDate);
    category_->setEditText(receipt.category);
    machineNumber_->setText(receipt.machineNumber);
    periodStart_->setText(receipt.periodStart);
    periodEnd_->setText(receipt.periodEnd);
    checkCode_->setText(receipt.checkCode);
    payerName_->setText(receipt.payerName);
    totalCapitals_->setText(receipt.totalCapitals);
    totalFigures_->setText(receipt.totalFigures);
    payeeName_->setText(receipt.payeeName);
    issuer_->setText(receipt.issuer);
    noticeLine_->setText(receipt.noticeLine);
    remarks_->setPlainText(receipt.remarks);
    setReceiptId(receipt.receiptId);
    loadedChanges_ = receipt.loadedChanges;

    // Emptied first and filled in row order: each amount set works the totals out again, so
    // the last one leaves the totals of the lines just shown.
    emptyLineCells();
    setExtraLines(receipt.extraLines);
    for (int row = 0; row < lineCount; ++row) {
        const EntryLine& line = receipt.lines.at(row);
        LineRow& r = rows_.at(row);
        r.item->setEditText(line.item);
        r.content->setEditText(line.content);
        r.unit->setEditText(line.unit);
        r.quantity->setText(line.quantity);
        r.unitPrice->setEditText(line.unitPrice);
        r.amount->setText(line.amount);
    }
    markUnchanged();
}

void ReceiptEntryPage::newRecord() {
    setReceiptId(QString());
    // A new receipt starts from today rather than from a date nobody can read.
    if (unknownDate_)
        issueDate_->setDate(QDate::currentDate());
    setExtraLines({});
    emptyLineCells();
    markUnchanged();
}

void ReceiptEntryPage::setUnknownDate(const std::optional<UnknownDate>& date) {
    if (!date && !unknownDate_)
        return;
    unknownDate_ = date;
    if (!date) {
        issueDate_->setSpecialValueText(QString());
        issueDate_->setStyleSheet(QString());
        issueDate_->setToolTip(QString());
        return;
    }
    const QString stored = date->kpdate.isEmpty() ? QStringLiteral("（空）") : date->kpdate;
    // The box shows its special text at its smallest date.
    issueDate_->setSpecialValueText(QStringLiteral("未知"));
    issueDate_->setDate(issueDate_->minimumDate());
    issueDate_->setStyleSheet(QStringLiteral("QDateEdit { background-color: #ffd8d8; }"));
    issueDate_->setToolTip(QStringLiteral("存储的开票日期为“%1”").arg(stored));
    ui::MessageBox::information(
        this, QStringLiteral("该票据存储的开票日期“%1”不是有效的日期，开票日期显示为“未知”。"
                             "保存时原样保留；如需更正，请在“开票日期”中选择正确的日期。")
                  .arg(stored));
}

void ReceiptEntryPage::setExtraLines(const QList<EntryLine>& extraLines) {
    extraLines_ = extraLines;
    extraLinesNote_->setVisible(!extraLines.isEmpty());
    extraLinesNote_->setText(
        QStringLiteral("本票据另有 %1 行明细（第 6 行起）在此不显示：保存时原样保留，合计已包含"
                       "这些行，预览和打印也都印出。")
            .arg(extraLines.size()));
    updateTotals();
}

void ReceiptEntryPage::emptyLineCells() {
    // Column by column: every item cell, then every content cell, and the amounts last.
    for (LineRow& r : rows_)
        r.item->setEditText(QString());
    for (LineRow& r : rows_)
        r.content->setEditText(QString());
    for (LineRow& r : rows_)
        r.unit->setEditText(QString());
    for (LineRow& r : rows_)
        r.quantity->clear();
    for (LineRow& r : rows_)
        r.unitPrice->setEditText(QString());
    for (LineRow& r : rows_)
        r.amount->clear();
}

void ReceiptEntryPage::setPayeeName(const QString& text) {
    payeeName_->setText(text);
}

void ReceiptEntryPage::setCategory(const QString& text) {
    category_->setEditText(text);
}

void ReceiptEntryPage::setIssuer(const QString& text) {
    issuer_->setText(text);
}

void ReceiptEntryPage::setNoticeLine(const QString& text) {
    noticeLine_->setText(text);
}

void ReceiptEntryPage::setIssueDate(const QDate& date) {
    setUnknownDate(std::nullopt);
    issueDate_->setDate(date);
}

QString ReceiptEntryPage::receiptId() const {
    return receiptId_ ? receiptId_->text() : QString();
}

void ReceiptEntryPage::setReceiptId(const QString& id) {
    if (receiptId_)
        receiptId_->setText(id);
    if (id.isEmpty())
        loadedChanges_ = -1;
    // Saving a stored receipt again keeps the invoice number of its first save, so the field
    // cannot be changed while it shows a stored receipt. It stays a stop of the Enter walk.
    const bool stored = !id.isEmpty();
    invoiceNumber_->setReadOnly(stored);
    invoiceNumber_->setToolTip(
        stored
            ? QStringLiteral("已保存的票据不能修改发票号码。要用新的发票号码开票，请点“新增记录”。")
            : QString());
}

void ReceiptEntryPage::amountChanged(QLineEdit* cell) {
    const QString text = cell->text();
    const QString accepted = atMostTwoDecimals(amount::acceptedAmountText(text));
    if (accepted != text) {
        // Refused characters go at once. setText() runs this handling again for the shortened
        // text before it returns, and that run works out the totals; nothing is left to do
        // here. setText() leaves the caret at the end.
        cell->setText(accepted);
        return;
    }
    updateTotals();
}

void ReceiptEntryPage::updateTotals() {
    const EntryTotals totals = computeTotals(lines(), extraLines_);
    totalFigures_->setText(totals.figures);
    totalCapitals_->setText(totals.capitals);
    if (totals.problem != amount::CapitalsProblem::None)
        ui::MessageBox::information(this, amount::problemMessage(totals.problem));
}

} // namespace zelk::receipt
