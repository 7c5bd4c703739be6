#include "data/databaseerror.h"
#include "data/tdmtd.h"
#include "receipt/entrytotals.h"
#include "receipt/historymodel.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtTest>

#include <memory>

using namespace zelk;
using namespace zelk::receipt;

namespace {

// A receipt as an operator would type it: amounts in rows 1 and 3, row 2 filled except for
// its amount, row 4 with an amount of blanks only.
ReceiptEntry typedEntry() {
    ReceiptEntry e;
    e.invoiceNumber = QStringLiteral("00012345");
    e.issueDate = QDate(2013, 9, 1);
    e.category = QStringLiteral("服务业");
    e.machineNumber = QStringLiteral("JD-77");
    e.periodStart = QStringLiteral("2013-08-01");
    e.periodEnd = blankPeriod();
    e.checkCode = QStringLiteral("9981");
    e.payerName = QStringLiteral("甲公司");
    e.lines[0] = {QStringLiteral("房费"), QStringLiteral("标准间"), QStringLiteral("间"),
                  QStringLiteral("2"),    QStringLiteral("5"),      QStringLiteral("10")};
    e.lines[1] = {QStringLiteral("餐费"), QStringLiteral("午餐"), QStringLiteral("份"),
                  QStringLiteral("3"),    QStringLiteral("2"),    QString()};
    e.lines[2] = {QStringLiteral("会议"), QString(), QString(), QString(), QString(),
                  QStringLiteral("2.5")};
    e.lines[3] = {QStringLiteral("停车"), QString(), QString(), QString(), QString(),
                  QStringLiteral("   ")};
    const EntryTotals totals = computeTotals(e.lines);
    e.totalFigures = totals.figures;
    e.totalCapitals = totals.capitals;
    e.payeeName = QStringLiteral("乙宾馆");
    e.issuer = QStringLiteral("张三");
    e.noticeLine = QStringLiteral("手写无效");
    e.remarks = QStringLiteral("第一行\n第二行");
    return e;
}

// The full contents of the receipt tables and the id counters, for before/after comparisons.
QStringList tableContents(const test::TempDatabase& db) {
    QStringList all;
    all << db.column(QStringLiteral(
        "select quote(kpid)||'|'||quote(fphm)||'|'||quote(kpdate)||'|'||typeof(kpdate)||'|'||"
        "quote(kpdate2)||'|'||quote(hyfl)||'|'||quote(jdhm)||'|'||quote(qssj)||'|'||quote(jcsj)||"
        "'|'||quote(jym)||'|'||quote(fkfmc)||'|'||quote(jexx)||'|'||quote(jedx)||'|'||"
        "quote(skfmc)||'|'||quote(kpr)||'|'||quote(bz1)||'|'||quote(bz2) from fpmain order by "
        "kpid"));
    all << db.column(QStringLiteral(
        "select quote(fpmxid)||'|'||quote(kpid)||'|'||quote(xm)||'|'||quote(kjll)||'|'||"
        "quote(dw)||'|'||quote(sl)||'|'||quote(dj)||'|'||quote(je) from fpdetail order by fpmxid"));
    all << db.column(QStringLiteral("select name||'='||seq from sqlite_sequence order by name"));
    return all;
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestSaving : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void refusedSaveStoresNothing();
    void newReceiptStoresFilledRowsInOrder();
    void savingTwiceRewritesWithNewLines();
    void rewriteKeepsInvoiceNumberAndTrimsHeader();
    void payerOfBlanks();
    void untouchedPeriodStoresBlankMask();
    void exactValues_data();
    void exactValues();
    void failedSaveLeavesDatabaseUntouched_data();
    void failedSaveLeavesDatabaseUntouched();
    void rewriteOfMissingReceiptFails();

private:
    std::unique_ptr<test::TempDatabase> db_;
    std::unique_ptr<data::Tdmtd> dm_;

    void openDatabase() {
        dm_ = std::make_unique<data::Tdmtd>();
        dm_->Database3_ado.setConnectionString(db_->connectionString());
        dm_->Database3_ado.open();
    }
};

void TestSaving::init() {
    db_ = std::make_unique<test::TempDatabase>();
    openDatabase();
}

void TestSaving::cleanup() {
    dm_.reset();
    db_.reset();
}

void TestSaving::refusals_data() {
    QTest::addColumn<QString>("payer");
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("complete") << "甲"
                              << "12.50" << int(SaveRefusal::None) << none;
    QTest::newRow("payer of blanks passes") << "   "
                                            << "1.00" << int(SaveRefusal::None) << none;
    QTest::newRow("zero total passes") << "甲"
                                       << "0.00" << int(SaveRefusal::None) << none;
    QTest::newRow("empty payer") << ""
                                 << "1.00" << int(SaveRefusal::EmptyPayer)
                                 << "付款方名称不能为空！";
    QTest::newRow("empty payer checked first")
        << ""
        << "" << int(SaveRefusal::EmptyPayer) << "付款方名称不能为空！";
    QTest::newRow("empty total") << "甲"
                                 << "" << int(SaveRefusal::EmptyTotal) << "金额不能为空！";
    QTest::newRow("total of blanks") << "甲"
                                     << " \t\n"
                                     << int(SaveRefusal::EmptyTotal) << "金额不能为空！";
}

void TestSaving::refusals() {
    QFETCH(QString, payer);
    QFETCH(QString, total);
    QFETCH(int, refusal);
    QFETCH(QString, message);
    ReceiptEntry entry = typedEntry();
    entry.payerName = payer;
    entry.totalFigures = total;
    const SaveRefusal result = checkBeforeSave(entry);
    QCOMPARE(int(result), refusal);
    QCOMPARE(refusalMessage(result), message);
    if (result == SaveRefusal::None) {
        const QString id = ReceiptSaver(*dm_).save(entry);
        QCOMPARE(db_->scalar(QStringLiteral("select jexx from fpmain where kpid=") + id), total);
    }
}

void TestSaving::refusedSaveStoresNothing() {
    ReceiptEntry entry = typedEntry();
    entry.payerName.clear();
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, ReceiptSaver(*dm_).save(entry));
    entry = typedEntry();
    entry.totalFigures = QStringLiteral(" ");
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, ReceiptSaver(*dm_).save(entry));
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("0"));
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpdetail")), QStringLiteral("0"));
}

void TestSaving::newReceiptStoresFilledRowsInOrder() {
    const ReceiptEntry entry = typedEntry();
    ReceiptSaver saver(*dm_);
    const QString id = saver.save(entry);
    QCOMPARE(id, QStringLiteral("1"));
    QCOMPARE(db_->column(QStringLiteral("select kpid from fpmain")), QStringList{id});

    // The date in both forms, kpdate held as a number.
    QCOMPARE(db_->scalar(QStringLiteral("select typeof(kpdate)||' '||kpdate||' '||kpdate2 from "
                                        "fpmain")),
             QStringLiteral("integer 20130901 2013-09-01"));
    QCOMPARE(db_->scalar(QStringLiteral("select jexx||'|'||jedx from fpmain")),
             entry.totalFigures + QLatin1Char('|') + entry.totalCapitals);

    // Rows 1 and 3 only: row 2 has no amount, row 4 an amount of blanks.
    QCOMPARE(
        db_->column(QStringLiteral("select kpid||'|'||xm||'|'||kjll||'|'||dw||'|'||sl||'|'||"
                                   "dj||'|'||je from fpdetail order by fpmxid")),
        (QStringList{QStringLiteral("1|房费|标准间|间|2|5|10"), QStringLiteral("1|会议|||||2.5")}));

    const ReceiptEntry loaded = loadReceipt(dm_->Database3_ado, id.toLongLong());
    QCOMPARE(loaded.lines[0], entry.lines[0]);
    QCOMPARE(loaded.lines[1], entry.lines[2]);
    QCOMPARE(loaded.lines[2], EntryLine());
    QCOMPARE(loaded.lines[3], EntryLine());
    QCOMPARE(loaded.lines[4], EntryLine());
    QCOMPARE(loaded.totalFigures, QStringLiteral("12.50"));
    QCOMPARE(loaded.receiptId, id);
    QCOMPARE(loaded.issueDate, entry.issueDate);

    // A second new receipt gets the next id.
    QCOMPARE(saver.save(entry), QStringLiteral("2"));
}

void TestSaving::savingTwiceRewritesWithNewLines() {
    ReceiptEntry entry = typedEntry();
    ReceiptSaver saver(*dm_);
    entry.receiptId = saver.save(entry);
    const QStringList firstIds =
        db_->column(QStringLiteral("select fpmxid from fpdetail order by fpmxid"));
    QCOMPARE(firstIds, (QStringList{QStringLiteral("1"), QStringLiteral("2")}));

    QCOMPARE(saver.save(entry), entry.receiptId);
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("1"));
    QCOMPARE(db_->column(QStringLiteral("select fpmxid||' '||kpid||' '||je from fpdetail order "
                                        "by fpmxid")),
             (QStringList{QStringLiteral("3 1 10"), QStringLiteral("4 1 2.5")}));

    // Other receipts' lines are left alone by a rewrite.
    ReceiptEntry other = typedEntry();
    const QString otherId = saver.save(other);
    entry.lines[4].amount = QStringLiteral("7");
    saver.save(entry);
    QCOMPARE(db_->column(QStringLiteral("select je from fpdetail where kpid=") + otherId),
             (QStringList{QStringLiteral("10"), QStringLiteral("2.5")}));
    QCOMPARE(db_->column(QStringLiteral("select je from fpdetail where kpid=1 order by fpmxid")),
             (QStringList{QStringLiteral("10"), QStringLiteral("2.5"), QStringLiteral("7")}));
}

void TestSaving::rewriteKeepsInvoiceNumberAndTrimsHeader() {
    ReceiptEntry entry = typedEntry();
    entry.issueDate = QDate(2012, 1, 31);
    ReceiptSaver saver(*dm_);
    entry.receiptId = saver.save(entry);

    entry.invoiceNumber = QStringLiteral("99999999");
    entry.issueDate = QDate(2013, 9, 1);
    entry.category = QStringLiteral("  餐饮\t");
    entry.payeeName = QStringLiteral("\r\n乙宾馆 ");
    entry.remarks = QStringLiteral("\n备注 内部 空格\n\n");
    saver.save(entry);

    QCOMPARE(db_->scalar(QStringLiteral("select fphm from fpmain")), QStringLiteral("00012345"));
    QCOMPARE(db_->scalar(QStringLiteral("select typeof(kpdate)||' '||kpdate||' '||kpdate2 from "
                                        "fpmain")),
             QStringLiteral("integer 20130901 2013-09-01"));
    QCOMPARE(db_->scalar(QStringLiteral("select hyfl||'|'||skfmc||'|'||bz2 from fpmain")),
             QStringLiteral("餐饮|乙宾馆|备注 内部 空格"));
    QCOMPARE(db_->column(QStringLiteral("select kpdate from fpmain where kpdate>=20130901 and "
                                        "kpdate<=20130901")),
             QStringList{QStringLiteral("20130901")});
}

void TestSaving::payerOfBlanks() {
    ReceiptEntry entry = typedEntry();
    entry.payerName = QStringLiteral("   ");
    QCOMPARE(checkBeforeSave(entry), SaveRefusal::None);
    ReceiptSaver saver(*dm_);
    entry.receiptId = saver.save(entry);
    QCOMPARE(db_->scalar(QStringLiteral("select '['||fkfmc||']' from fpmain")),
             QStringLiteral("[   ]"));
    saver.save(entry);
    QCOMPARE(db_->scalar(QStringLiteral("select '['||fkfmc||']' from fpmain")),
             QStringLiteral("[]"));
}

void TestSaving::untouchedPeriodStoresBlankMask() {
    ReceiptEntry entry = typedEntry();
    entry.periodStart = blankPeriod();
    entry.periodEnd = blankPeriod();
    ReceiptSaver(*dm_).save(entry);
    QCOMPARE(db_->scalar(QStringLiteral("select '['||qssj||']['||jcsj||']' from fpmain")),
             QStringLiteral("[    -  -  ][    -  -  ]"));
}

void TestSaving::exactValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("searchable");
    QTest::newRow("single quote") << QStringLiteral("O'Brien's '') --") << true;
    QTest::newRow("double quote") << QStringLiteral("say \"hi\"") << true;
    QTest::newRow("percent and underscore") << QStringLiteral("100%_off%") << true;
    QTest::newRow("backslash") << QStringLiteral("C:\\temp\\n\\") << true;
    QTest::newRow("line breaks") << QStringLiteral("一\r\n二\n三\r四") << true;
    QTest::newRow("sql text") << QStringLiteral("x'); drop table fpmain; --") << true;
    QTest::newRow("long") << QString(10000, QChar(0x7968)) + QStringLiteral("尾") << true;
    // SQLite's LIKE reads text only up to a NUL character, so such a value is stored and
    // reloaded exactly but is not looked for here.
    QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
}

void TestSaving::exactValues() {
    QFETCH(QString, value);
    QFETCH(bool, searchable);
    ReceiptEntry entry;
    entry.issueDate = QDate(2020, 2, 29);
    for (QString* field :
         {&entry.invoiceNumber, &entry.category, &entry.machineNumber, &entry.periodStart,
          &entry.periodEnd, &entry.checkCode, &entry.payerName, &entry.totalCapitals,
          &entry.payeeName, &entry.issuer, &entry.noticeLine, &entry.remarks})
        *field = value;
    entry.totalFigures = value;
    for (EntryLine& line : entry.lines)
        line = {value, value, value, value, value, QStringLiteral("1.25")};

    ReceiptSaver saver(*dm_);
    const QString id = saver.save(entry);
    for (const char* column : {"fphm", "hyfl", "jdhm", "qssj", "jcsj", "jym", "fkfmc", "jexx",
                               "jedx", "skfmc", "kpr", "bz1", "bz2"}) {
        QCOMPARE(db_->column(QStringLiteral("select %1 from fpmain").arg(QLatin1String(column))),
                 QStringList{value});
    }
    for (const char* column : {"xm", "kjll", "dw", "sl", "dj"})
        QCOMPARE(db_->column(QStringLiteral("select %1 from fpdetail").arg(QLatin1String(column))),
                 QStringList(5, value));

    ReceiptEntry loaded = loadReceipt(dm_->Database3_ado, id.toLongLong());
    // The totals come back worked out from the lines; everything else exactly as typed.
    QCOMPARE(loaded.totalFigures, QStringLiteral("6.25"));
    loaded.totalFigures = entry.totalFigures;
    loaded.totalCapitals = entry.totalCapitals;
    entry.receiptId = id;
    QCOMPARE(loaded, entry);

    if (searchable) {
        HistoryModel model(dm_->Database3_ado);
        HistoryCriteria criteria;
        criteria.text = value;
        QVERIFY(model.search(criteria));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.receiptIdAt(0), id.toLongLong());
        QCOMPARE(model.textAt(0, 0), value);
    }

    // A rewrite stores the same values again (they have no blanks at either end).
    saver.save(entry);
    QCOMPARE(db_->column(QStringLiteral("select bz2 from fpmain")), QStringList{value});
    QCOMPARE(db_->column(QStringLiteral("select fkfmc from fpmain")), QStringList{value});
}

void TestSaving::failedSaveLeavesDatabaseUntouched_data() {
    QTest::addColumn<bool>("rewrite");
    QTest::newRow("new receipt") << false;
    QTest::newRow("stored receipt") << true;
}

void TestSaving::failedSaveLeavesDatabaseUntouched() {
    QFETCH(bool, rewrite);
    ReceiptEntry entry = typedEntry();
    ReceiptSaver saver(*dm_);
    saver.save(entry); // a receipt that is there before the failing save
    if (rewrite)
        entry.receiptId = saver.save(entry);
    entry.lines[1].amount = QStringLiteral("3");
    entry.invoiceNumber = QStringLiteral("changed");
    entry.payerName = QStringLiteral("changed");

    dm_.reset();
    db_->exec(QStringLiteral(
        "CREATE TRIGGER failing BEFORE INSERT ON fpdetail WHEN (select count(*) from fpdetail "
        "where kpid=NEW.kpid)>=2 BEGIN SELECT RAISE(ABORT,'磁盘故障'); END"));
    openDatabase();
    const QStringList before = tableContents(*db_);
    const QByteArray hashBefore = fileHash(db_->path());

    ReceiptSaver failing(*dm_);
    try {
        failing.save(entry);
        QFAIL("the save did not fail");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("磁盘故障")),
                 qPrintable(error.message()));
    }
    QCOMPARE(tableContents(*db_), before);
    QCOMPARE(fileHash(db_->path()), hashBefore);

    // The connection is usable again: the failed save left no transaction behind.
    db_->exec(QStringLiteral("DROP TRIGGER failing"));
    const QString id = failing.save(entry);
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpdetail where kpid=") + id),
             QStringLiteral("3"));
}

void TestSaving::rewriteOfMissingReceiptFails() {
    ReceiptEntry entry = typedEntry();
    entry.receiptId = QStringLiteral("42");
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, ReceiptSaver(*dm_).save(entry));
    entry.receiptId = QStringLiteral("abc");
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, ReceiptSaver(*dm_).save(entry));
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpdetail")), QStringLiteral("0"));
}

QTEST_MAIN(TestSaving)
#include "test_saving.moc"
