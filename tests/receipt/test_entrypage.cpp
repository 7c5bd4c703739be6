// The receipt entry page on its own: the amount cells and the totals, new record, showing a
// stored receipt, reading the page back, and its fields.
#include "receipt/entrypage.h"

#include "amount/capitals.h"

#include "testsupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using zelk::receipt::ReceiptEntry;
using zelk::receipt::ReceiptEntryPage;

namespace {

template <typename T> T* child(const QWidget& parent, const QString& name) {
    T* w = parent.findChild<T*>(name);
    if (!w)
        qFatal("no control named %s", qPrintable(name));
    return w;
}

QLineEdit* lineEdit(const QWidget& page, const QString& name) {
    return child<QLineEdit>(page, name);
}

QComboBox* combo(const QWidget& page, const QString& name) {
    return child<QComboBox>(page, name);
}

QString cellName(const char* base, int row) {
    return QLatin1String(base) + QString::number(row);
}

QString figures(const QWidget& page) {
    return lineEdit(page, QStringLiteral("totalFigures"))->text();
}

QString capitals(const QWidget& page) {
    return lineEdit(page, QStringLiteral("totalCapitals"))->text();
}

// Types ASCII text one key at a time, as the operator does.
void type(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClicks(field, text);
}

// Fills every field of the page with a distinct value.
void fillEverything(ReceiptEntryPage& page) {
    lineEdit(page, QStringLiteral("invoiceNumber"))->setText(QStringLiteral("NO-1"));
    child<QDateEdit>(page, QStringLiteral("issueDate"))->setDate(QDate(2013, 9, 1));
    combo(page, QStringLiteral("category"))->setEditText(QStringLiteral("服务业"));
    lineEdit(page, QStringLiteral("machineNumber"))->setText(QStringLiteral("M-2"));
    lineEdit(page, QStringLiteral("periodStart"))->setText(QStringLiteral("2013-09-01"));
    lineEdit(page, QStringLiteral("periodEnd"))->setText(QStringLiteral("2013-09-30"));
    lineEdit(page, QStringLiteral("checkCode"))->setText(QStringLiteral("C-3"));
    lineEdit(page, QStringLiteral("payerName"))->setText(QStringLiteral("付款公司"));
    for (int row = 1; row <= 5; ++row) {
        const QString n = QString::number(row);
        combo(page, cellName("item", row))->setEditText(QStringLiteral("项") + n);
        combo(page, cellName("content", row))->setEditText(QStringLiteral("内容") + n);
        combo(page, cellName("unit", row))->setEditText(QStringLiteral("个") + n);
        lineEdit(page, cellName("quantity", row))->setText(n);
        combo(page, cellName("unitPrice", row))->setEditText(n + QStringLiteral(".5"));
        lineEdit(page, cellName("amount", row))->setText(n + QStringLiteral("0"));
    }
    child<QPlainTextEdit>(page, QStringLiteral("remarks"))
        ->setPlainText(QStringLiteral("第一行\n第二行"));
    lineEdit(page, QStringLiteral("payeeName"))->setText(QStringLiteral("收款公司"));
    lineEdit(page, QStringLiteral("issuer"))->setText(QStringLiteral("张三"));
    lineEdit(page, QStringLiteral("noticeLine"))->setText(QStringLiteral("本收据手写无效"));
    page.setReceiptId(QStringLiteral("7"));
}

} // namespace

class TestEntryPage : public QObject {
    Q_OBJECT

private slots:
    void startsEmpty();
    void captionsAndFields();
    void typedAmount_data();
    void typedAmount();
    void pastedAmountKeepsItsAcceptedBeginning();
    void rowsAreSummedTogether();
    void emptyingACellDropsItFromTheTotals();
    void quantityAndUnitPriceAreNotSummed();
    void tooLargeAmountIsReportedEachTime();
    void newRecordEmptiesOnlyIdAndLineCells();
    void newRecordWithoutAmountsLeavesTotalsAsTheyWere();
    void entryReadsEveryField();
    void showReceiptWorksTotalsOutFromTheLines();
    void tabOrderHas44Stops();
};

void TestEntryPage::startsEmpty() {
    ReceiptEntryPage page;
    const ReceiptEntry e = page.entry();
    QCOMPARE(e.invoiceNumber, QString());
    QCOMPARE(e.periodStart, QStringLiteral("    -  -  "));
    QCOMPARE(e.periodEnd, QStringLiteral("    -  -  "));
    QCOMPARE(e.totalFigures, QString());
    QCOMPARE(e.totalCapitals, QString());
    QCOMPARE(e.receiptId, QString());
    for (const auto& line : e.lines)
        QCOMPARE(line, zelk::receipt::EntryLine{});
    QVERIFY(page.receiptIdField()->isHidden());
}

void TestEntryPage::captionsAndFields() {
    ReceiptEntryPage page;
    QCOMPARE(child<QLabel>(page, QStringLiteral("entryHeading"))->text(),
             QStringLiteral("票据内容"));
    QCOMPARE(page.saveButton()->text(), QStringLiteral("保存(&S)"));
    QCOMPARE(page.previewButton()->text(), QStringLiteral("预览(&V)"));
    QCOMPARE(page.previewButton()->toolTip(), QStringLiteral("预览要打印的内容。"));

    QStringList captions;
    for (const QLabel* label : page.findChildren<QLabel*>())
        captions << label->text();
    for (const char* text :
         {"发票号码:", "开票日期:", "行业分类:", "机打号码:", "起止时间:", "至",
          "校验码:", "付款方名称:", "项目", "开具内容", "单位", "数量", "单价", "金额", "备注",
          "合计金额(大写):", "￥:", "收款方名称(盖章):", "开票人:"})
        QVERIFY2(captions.contains(QString::fromUtf8(text)), text);

    const auto* issueDate = child<QDateEdit>(page, QStringLiteral("issueDate"));
    QVERIFY(issueDate->calendarPopup());
    for (const QString& name :
         {QStringLiteral("category"), QStringLiteral("item3"), QStringLiteral("content1"),
          QStringLiteral("unit5"), QStringLiteral("unitPrice2")}) {
        const QComboBox* box = combo(page, name);
        QVERIFY(box->isEditable());
        QCOMPARE(box->count(), 0);
        QCOMPARE(box->insertPolicy(), QComboBox::NoInsert);
    }
    QVERIFY(lineEdit(page, QStringLiteral("totalFigures"))->isReadOnly());
    QVERIFY(lineEdit(page, QStringLiteral("totalCapitals"))->isReadOnly());
    QCOMPARE(lineEdit(page, QStringLiteral("payerName"))->width(), 491);
    QCOMPARE(lineEdit(page, QStringLiteral("amount1"))->width(), 102);
    QCOMPARE(lineEdit(page, QStringLiteral("noticeLine"))->width(), 815);
}

void TestEntryPage::typedAmount_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("capitals");
    QTest::newRow("letter refused") << "12a"
                                    << "12"
                                    << "12.00" << QStringLiteral("壹拾贰元整");
    QTest::newRow("lone minus stays") << "-"
                                      << "-"
                                      << "0.00" << QString();
    QTest::newRow("half, key by key") << "0.5"
                                      << "0.5"
                                      << "0.50" << QStringLiteral("伍角整");
    QTest::newRow("second point refused") << "1.2.3"
                                          << "1.23"
                                          << "1.23" << QStringLiteral("壹元贰角叁分");
    QTest::newRow("negative") << "-3"
                              << "-3"
                              << "-3.00" << QStringLiteral("负数叁元整");
    QTest::newRow("leading zero") << "05"
                                  << "05"
                                  << "5.00" << QStringLiteral("伍元整");
}

void TestEntryPage::typedAmount() {
    QFETCH(QString, keys);
    QFETCH(QString, cell);
    QFETCH(QString, figures);
    QFETCH(QString, capitals);
    zelk::test::MessageRecorder messages;
    ReceiptEntryPage page;
    QLineEdit* amount = page.amountCell(0);
    type(amount, keys);
    QCOMPARE(amount->text(), cell);
    QCOMPARE(amount->cursorPosition(), cell.size());
    QCOMPARE(::figures(page), figures);
    QCOMPARE(::capitals(page), capitals);
    QCOMPARE(messages.texts(), QStringList());
}

void TestEntryPage::pastedAmountKeepsItsAcceptedBeginning() {
    ReceiptEntryPage page;
    QLineEdit* amount = page.amountCell(1);
    amount->insert(QStringLiteral("3x5"));
    QCOMPARE(amount->text(), QStringLiteral("3"));
    QCOMPARE(amount->cursorPosition(), 1);
    QCOMPARE(figures(page), QStringLiteral("3.00"));
    QCOMPARE(capitals(page), QStringLiteral("叁元整"));
}

void TestEntryPage::rowsAreSummedTogether() {
    ReceiptEntryPage page;
    type(page.amountCell(0), QStringLiteral("10"));
    type(page.amountCell(2), QStringLiteral("2.5"));
    QCOMPARE(figures(page), QStringLiteral("12.50"));
    QCOMPARE(capitals(page), QStringLiteral("壹拾贰元伍角整"));
}

void TestEntryPage::emptyingACellDropsItFromTheTotals() {
    ReceiptEntryPage page;
    page.amountCell(0)->setText(QStringLiteral("10"));
    page.amountCell(1)->setText(QStringLiteral("5"));
    QCOMPARE(figures(page), QStringLiteral("15.00"));
    page.amountCell(1)->setFocus();
    page.amountCell(1)->selectAll();
    QTest::keyClick(page.amountCell(1), Qt::Key_Delete);
    QCOMPARE(page.amountCell(1)->text(), QString());
    QCOMPARE(figures(page), QStringLiteral("10.00"));
    QCOMPARE(capitals(page), QStringLiteral("壹拾元整"));
}

void TestEntryPage::quantityAndUnitPriceAreNotSummed() {
    ReceiptEntryPage page;
    lineEdit(page, QStringLiteral("quantity1"))->setText(QStringLiteral("3"));
    combo(page, QStringLiteral("unitPrice1"))->setEditText(QStringLiteral("2"));
    QCOMPARE(figures(page), QString());
    page.amountCell(4)->setText(QStringLiteral("1"));
    QCOMPARE(figures(page), QStringLiteral("1.00"));
}

void TestEntryPage::tooLargeAmountIsReportedEachTime() {
    zelk::test::MessageRecorder messages;
    ReceiptEntryPage page;
    const QString tooLarge =
        zelk::amount::problemMessage(zelk::amount::CapitalsProblem::TooManyIntegerDigits);
    type(page.amountCell(0), QStringLiteral("9999999999999")); // thirteen digits still fit
    QCOMPARE(messages.texts(), QStringList());
    QTest::keyClick(page.amountCell(0), Qt::Key_9);
    QCOMPARE(messages.texts(), QStringList{tooLarge});
    QCOMPARE(messages.messages().first().kind, zelk::ui::MessageBox::Kind::Information);
    QTest::keyClick(page.amountCell(0), Qt::Key_9);
    QCOMPARE(messages.texts(), (QStringList{tooLarge, tooLarge}));
    QCOMPARE(capitals(page), QString());
}

void TestEntryPage::newRecordEmptiesOnlyIdAndLineCells() {
    ReceiptEntryPage page;
    fillEverything(page);
    const ReceiptEntry before = page.entry();
    QCOMPARE(before.totalFigures, QStringLiteral("150.00"));

    page.newRecord();
    const ReceiptEntry after = page.entry();
    QCOMPARE(after.receiptId, QString());
    for (const auto& line : after.lines)
        QCOMPARE(line, zelk::receipt::EntryLine{});
    QCOMPARE(after.totalFigures, QStringLiteral("0.00"));
    QCOMPARE(after.totalCapitals, QString());

    ReceiptEntry expected = before;
    expected.receiptId.clear();
    expected.lines = after.lines;
    expected.totalFigures = after.totalFigures;
    expected.totalCapitals = after.totalCapitals;
    QCOMPARE(after, expected); // every header value, the date and the remarks unchanged
}

void TestEntryPage::newRecordWithoutAmountsLeavesTotalsAsTheyWere() {
    ReceiptEntryPage page;
    combo(page, QStringLiteral("item1"))->setEditText(QStringLiteral("项目"));
    page.newRecord();
    QCOMPARE(page.entry().lines.at(0).item, QString());
    QCOMPARE(figures(page), QString()); // no amount cell changed, so nothing was summed
}

void TestEntryPage::entryReadsEveryField() {
    ReceiptEntryPage page;
    fillEverything(page);
    const ReceiptEntry e = page.entry();
    QCOMPARE(e.invoiceNumber, QStringLiteral("NO-1"));
    QCOMPARE(e.issueDate, QDate(2013, 9, 1));
    QCOMPARE(e.category, QStringLiteral("服务业"));
    QCOMPARE(e.machineNumber, QStringLiteral("M-2"));
    QCOMPARE(e.periodStart, QStringLiteral("2013-09-01"));
    QCOMPARE(e.periodEnd, QStringLiteral("2013-09-30"));
    QCOMPARE(e.checkCode, QStringLiteral("C-3"));
    QCOMPARE(e.payerName, QStringLiteral("付款公司"));
    QCOMPARE(e.lines.at(2),
             (zelk::receipt::EntryLine{QStringLiteral("项3"), QStringLiteral("内容3"),
                                       QStringLiteral("个3"), QStringLiteral("3"),
                                       QStringLiteral("3.5"), QStringLiteral("30")}));
    QCOMPARE(e.remarks, QStringLiteral("第一行\n第二行"));
    QCOMPARE(e.totalFigures, QStringLiteral("150.00"));
    QCOMPARE(e.totalCapitals, QStringLiteral("壹佰伍拾元整"));
    QCOMPARE(e.payeeName, QStringLiteral("收款公司"));
    QCOMPARE(e.issuer, QStringLiteral("张三"));
    QCOMPARE(e.noticeLine, QStringLiteral("本收据手写无效"));
    QCOMPARE(e.receiptId, QStringLiteral("7"));

    // A half-typed period keeps the mask's blanks.
    auto* start = lineEdit(page, QStringLiteral("periodStart"));
    start->clear();
    type(start, QStringLiteral("2013"));
    QCOMPARE(page.entry().periodStart, QStringLiteral("2013-  -  "));
}

void TestEntryPage::showReceiptWorksTotalsOutFromTheLines() {
    ReceiptEntryPage page;
    fillEverything(page); // five filled rows before the reload

    ReceiptEntry stored;
    stored.invoiceNumber = QStringLiteral("A-9");
    stored.issueDate = QDate(2026, 12, 5);
    stored.category = QStringLiteral("零售");
    stored.machineNumber = QStringLiteral("J-1");
    stored.periodStart = QStringLiteral("2026-12-01");
    stored.periodEnd = QStringLiteral("    -  -  ");
    stored.checkCode = QStringLiteral("X");
    stored.payerName = QStringLiteral("甲");
    stored.lines.at(0) = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                          QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1.10")};
    stored.lines.at(1) = {QStringLiteral("d"), {}, {}, {}, {}, QStringLiteral("2")};
    stored.lines.at(2) = {{}, {}, {}, {}, {}, QStringLiteral("0.05")};
    stored.remarks = QStringLiteral("备注\n两行");
    stored.totalFigures = QStringLiteral("999.00"); // what the stored header said
    stored.totalCapitals = QStringLiteral("玖佰玖拾玖元整");
    stored.payeeName = QStringLiteral("乙");
    stored.issuer = QStringLiteral("丙");
    stored.noticeLine = QStringLiteral("丁");
    stored.receiptId = QStringLiteral("42");

    page.showReceipt(stored);
    ReceiptEntry expected = stored;
    expected.totalFigures = QStringLiteral("3.15");
    expected.totalCapitals = QStringLiteral("叁元壹角伍分");
    QCOMPARE(page.entry(), expected); // rows 4 and 5 emptied, totals from the three lines

    // The same receipt again leaves the page as it was.
    page.showReceipt(stored);
    QCOMPARE(page.entry(), expected);
}

void TestEntryPage::tabOrderHas44Stops() {
    ReceiptEntryPage page;
    const QList<QWidget*> order = page.tabOrder();
    QCOMPARE(order.size(), 44);
    QStringList names;
    for (const QWidget* w : order)
        names << w->objectName();
    QCOMPARE(names.mid(0, 16),
             (QStringList{"invoiceNumber", "issueDate", "category", "machineNumber", "periodStart",
                          "periodEnd", "checkCode", "payerName", "item1", "content1", "unit1",
                          "quantity1", "unitPrice1", "amount1", "remarks", "item2"}));
    QCOMPARE(names.mid(38), (QStringList{"amount5", "payeeName", "issuer", "noticeLine",
                                         "saveButton", "previewButton"}));
    QCOMPARE(QSet<QWidget*>(order.begin(), order.end()).size(), 44);
}

QTEST_MAIN(TestEntryPage)
#include "test_entrypage.moc"
