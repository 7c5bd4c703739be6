#include "data/databaseerror.h"
#include "receipt/entrytotals.h"
#include "receipt/formsaver.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "samples.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QtTest>

using namespace zelk;
using namespace zelk::receipt;

namespace {

// A receipt as an operator would type it: amounts in rows 1 and 3, row 2 filled except for
// its amount, row 4 with an amount of blanks only.
ReceiptEntry typedEntry() {
    ReceiptEntry e = test::sampleReceipt(QStringLiteral("甲公司"), 0, 0);
    e.issueDate = QDate(2013, 9, 1);
    e.periodEnd = blankPeriod();
    e.lines[0] = {"房费", "标准间", "间", "2", "5", "10"};
    e.lines[1] = {"餐费", "午餐", "份", "3", "2", ""};
    e.lines[2] = {"会议", "", "", "", "", "2.5"};
    e.lines[3] = {"停车", "", "", "", "", "   "};
    const EntryTotals totals = computeTotals(e.lines);
    e.totalFigures = totals.figures;
    e.totalCapitals = totals.capitals;
    e.remarks = QStringLiteral("第一行\n第二行");
    return e;
}

} // namespace

class TestSaving : public QObject {
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void newReceiptStoresFilledRowsInOrder();
    void rewriteReplacesLinesKeepsNumberTrimsHeader();
    void refusedRewrite_data();
    void refusedRewrite();
};

// The one home of the save refusals: what checkBeforeSave says, and that the saver itself
// stores nothing for a refused receipt.
void TestSaving::refusals_data() {
    QTest::addColumn<QString>("payer");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("message");
    QTest::newRow("complete") << "甲"
                              << "12.50"
                              << "";
    QTest::newRow("payer of blanks passes") << "   "
                                            << "1.00"
                                            << "";
    QTest::newRow("zero total passes") << "甲"
                                       << "0.00"
                                       << "";
    QTest::newRow("empty payer") << ""
                                 << "1.00"
                                 << "付款方名称不能为空！";
    QTest::newRow("empty payer checked first") << ""
                                               << ""
                                               << "付款方名称不能为空！";
    QTest::newRow("empty total") << "甲"
                                 << ""
                                 << "金额不能为空！";
    QTest::newRow("total of blanks") << "甲"
                                     << " \t\n"
                                     << "金额不能为空！";
}

void TestSaving::refusals() {
    QFETCH(QString, payer);
    QFETCH(QString, total);
    QFETCH(QString, message);
    test::OpenDatabase db;
    ReceiptEntry entry = typedEntry();
    entry.payerName = payer;
    entry.totalFigures = total;
    QCOMPARE(refusalMessage(checkBeforeSave(entry)), message);
    if (!message.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(data::DatabaseError, ReceiptSaver(db.store()).save(entry));
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from fpdetail")), QStringLiteral("0"));
        return;
    }
    entry.receiptId = ReceiptSaver(db.store()).save(entry);
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc||'|'||jexx from fpmain")),
             payer + u'|' + total);
    // A rewrite stores the header trimmed.
    ReceiptSaver(db.store()).save(entry);
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc from fpmain")), text::trimBlanks(payer));
}

void TestSaving::newReceiptStoresFilledRowsInOrder() {
    test::OpenDatabase db;
    const ReceiptEntry entry = typedEntry();
    ReceiptSaver saver(db.store());
    const QString id = saver.save(entry);
    QCOMPARE(id, QStringLiteral("1"));
    // The date in both forms, kpdate held as a number; an untouched period as its blank mask.
    QCOMPARE(db.scalar(QStringLiteral("select typeof(kpdate)||' '||kpdate||' '||kpdate2||'['||"
                                      "jcsj||']'||jexx||jedx from fpmain")),
             QStringLiteral("integer 20130901 2013-09-01[    -  -  ]12.50壹拾贰元伍角整"));
    // Rows 1 and 3 only: row 2 has no amount, row 4 an amount of blanks.
    QCOMPARE(db.column(QStringLiteral("select kpid||'|'||xm||'|'||kjll||'|'||dw||'|'||sl||'|'||"
                                      "dj||'|'||je from fpdetail order by fpmxid")),
             (QStringList{"1|房费|标准间|间|2|5|10", "1|会议|||||2.5"}));

    ReceiptEntry expected = entry;
    expected.receiptId = id;
    expected.lines = {entry.lines[0], entry.lines[2]};
    QCOMPARE(loadReceipt(db.store(), 1), expected);
    QCOMPARE(saver.save(entry), QStringLiteral("2")); // a second new receipt gets the next id
}

void TestSaving::rewriteReplacesLinesKeepsNumberTrimsHeader() {
    test::OpenDatabase db;
    ReceiptEntry entry = typedEntry();
    entry.issueDate = QDate(2012, 1, 31);
    ReceiptSaver saver(db.store());
    entry.receiptId = saver.save(entry);
    saver.save(typedEntry()); // another receipt, whose lines a rewrite leaves alone
    entry.invoiceNumber = QStringLiteral("99999999");
    entry.issueDate = QDate(2013, 9, 1);
    entry.category = QStringLiteral("  餐饮\t");
    entry.payeeName = QStringLiteral("\r\n乙宾馆 ");
    entry.remarks = QStringLiteral("\n备注 内部 空格\n\n");
    entry.lines[4].amount = QStringLiteral("7");
    QCOMPARE(saver.save(entry), entry.receiptId);
    QCOMPARE(
        db.column(QStringLiteral("select fpmxid||' '||kpid||' '||je from fpdetail order by 1")),
        (QStringList{"3 2 10", "4 2 2.5", "5 1 10", "6 1 2.5", "7 1 7"}));
    QCOMPARE(db.scalar(QStringLiteral(
                 "select count(*)||fphm||'|'||typeof(kpdate)||kpdate||'|'||"
                 "kpdate2||'|'||hyfl||'|'||skfmc||'|'||bz2 from fpmain where kpid=1")),
             QStringLiteral("100012345|integer20130901|2013-09-01|餐饮|乙宾馆|备注 内部 空格"));
}

// A rewrite the store refuses, answered each way: the form becomes a new receipt, the other
// change is read back, or nothing happens; the stored receipt is never overwritten.
void TestSaving::refusedRewrite_data() {
    QTest::addColumn<bool>("gone");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("kind");
    using Kind = FormSaveOutcome::Kind;
    QTest::newRow("gone, store as new") << true << QList<bool>{true} << int(Kind::Saved);
    QTest::newRow("gone, leave") << true << QList<bool>{false} << int(Kind::Kept);
    QTest::newRow("changed, store as new") << false << QList<bool>{true} << int(Kind::Saved);
    QTest::newRow("changed, reload") << false << QList<bool>{false, true} << int(Kind::Reloaded);
    QTest::newRow("changed, leave") << false << QList<bool>{false, false} << int(Kind::Kept);
}

void TestSaving::refusedRewrite() {
    QFETCH(bool, gone);
    QFETCH(QList<bool>, answers);
    QFETCH(int, kind);
    test::OpenDatabase db;
    store::FileStore store(db.dm.Database3_ado);
    QStringList asked;
    FormSaver saver(store, [&](const QString& question) {
        asked.append(question);
        return answers.value(asked.size() - 1);
    });
    ReceiptEntry form = loadReceipt(store, saver.save(typedEntry()).receiptId.toLongLong());
    // Elsewhere the receipt is changed (or, when gone, the form names one no longer stored).
    ReceiptEntry other = form;
    other.payerName = QStringLiteral("别处改的");
    ReceiptSaver(store).save(other);
    if (gone)
        form.receiptId = QStringLiteral("7");
    form.payerName = QStringLiteral("本页改的");

    const FormSaveOutcome outcome = saver.save(form);
    QCOMPARE(asked.size(), answers.size());
    QVERIFY(
        asked[0].endsWith(gone ? QStringLiteral("本页填写的内容都会保存，不必重新输入。")
                               : QStringLiteral("（选“否”可以改为重新读取该票据的最新内容。）")));
    QCOMPARE(int(outcome.kind), kind);
    QCOMPARE(loadReceipt(store, 1).payerName, other.payerName);
    QCOMPARE(store.largestReceiptId(), kind == int(FormSaveOutcome::Kind::Saved) ? 2 : 1);
    if (outcome.kind == FormSaveOutcome::Kind::Saved) {
        QCOMPARE(outcome.receiptId, QStringLiteral("2"));
        QCOMPARE(loadReceipt(store, 2).payerName, form.payerName);
    }
    if (outcome.kind == FormSaveOutcome::Kind::Reloaded)
        QCOMPARE(outcome.reloaded, loadReceipt(store, 1));
}

QTEST_MAIN(TestSaving)
#include "test_saving.moc"
