// The history: the search, reading its result in batches, reloading a stored receipt, and the
// history page's commands.
#include "data/databaseerror.h"
#include "receipt/entrytotals.h"
#include "receipt/historymodel.h"
#include "receipt/historysearch.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace zelk;
using namespace zelk::receipt;

namespace {

// Receipts written straight into the file, each with its own kpid, so that every search
// expectation names the receipts it must find.
const char* const fixture = R"SQL(
insert into fpmain (kpid,fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2,jym,jexx)
 values (1,'FP2013',20130901,'2013-09-01','JD001','甲公司','张三','备注一','J1','10.00'),
 (2,'X12',20130915,'2013-09-15','34Y','乙公司','李四','含100%纯度','J2','20.00'),
 (3,'a_b',20131001,'2013-10-01','','O''Brien','王五','路径 C:\temp','J3','30.00'),
 (4,'aXb',20131002,'2013-10-02','','丙','','100x纯度','J4','40.00'),
 (5,NULL,20121231,'2012-12-31',NULL,'say "hi" 空号码公司',NULL,NULL,'J5','50.00');
)SQL";

// Bulk receipts 'BULK1'... after the fixture; kpdate as given (an SQL expression of i).
QString bulk(int count, const char* kpdate = "20200101") {
    return QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where "
                          "i<%1) insert into fpmain (fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2) "
                          "select 'BULK'||i,%2,'','','批量','','' from n")
        .arg(count)
        .arg(QLatin1String(kpdate));
}

using Ids = QList<qint64>;

// Every receipt id of the result, reading all batches, in the order shown.
Ids allIds(HistoryModel& model) {
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    Ids ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(model.receiptIdAt(row));
    return ids;
}

Ids sorted(Ids ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void search_data();
    void search();
    void batchesFollowOneAnother_data();
    void batchesFollowOneAnother();
    void savingWhileResultIsOpen();
    void reloadReadsStoredReceipt();

private:
    std::unique_ptr<test::OpenDatabase> db_;
    store::FileStore& store() { return db_->store(); }
};

void TestHistory::init() {
    db_ = std::make_unique<test::OpenDatabase>();
    db_->exec(QString::fromUtf8(fixture));
}

void TestHistory::cleanup() {
    db_.reset();
}

void TestHistory::search_data() {
    // The text, the dates ("" for none) and the receipts found.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("ids");
    const char* table[][5] = {
        {"all", "", "", "", "1 2 3 4 5"},
        {"blanks only", "  ", "", "", "1 2 3 4 5"},
        {"text only", "2013", "", "", "1"},
        {"payer", "公司", "", "", "1 2 5"},
        {"text trimmed", " \t甲公司\r\n", "", "", "1"},
        {"issuer", "王五", "", "", "3"},
        {"remarks", "备注一", "", "", "1"},
        {"ascii case ignored", "fp2013", "", "", "1"},
        {"across columns", "1234", "", "", "2"},
        {"literal percent", "100%", "", "", "2"},
        {"literal underscore", "a_b", "", "", "3"},
        {"single quote", "O'Brien", "", "", "3"},
        {"backslash", "C:\\temp", "", "", "3"},
        {"double quote", "say \"hi\"", "", "", "5"},
        {"not there", "丁", "", "", ""},
        {"dates inclusive", "", "2013-09-01", "2013-09-15", "1 2"},
        {"start only", "", "2013-10-01", "", "3 4"},
        {"end only", "", "", "2012-12-31", "5"},
        {"one day", "", "2013-10-02", "2013-10-02", "4"},
        {"start after end", "", "2013-10-02", "2013-09-01", ""},
        {"text and dates", "公司", "2013-01-01", "2013-12-31", "1 2"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1])
                              << QDate::fromString(QLatin1String(row[2]), Qt::ISODate)
                              << QDate::fromString(QLatin1String(row[3]), Qt::ISODate)
                              << QString::fromLatin1(row[4]);
}

void TestHistory::search() {
    QFETCH(QString, text);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, ids);
    HistoryModel model(store());
    QCOMPARE(model.search({text, from, to}), !ids.isEmpty());
    QCOMPARE(model.hasResult(), !ids.isEmpty());
    QStringList found;
    for (qint64 id : sorted(allIds(model)))
        found.append(QString::number(id));
    QCOMPARE(found.join(u' '), ids);
}

void TestHistory::batchesFollowOneAnother_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("condition");
    QTest::newRow("no dates") << QDate() << QDate() << "1";
    QTest::newRow("both dates") << QDate(2020, 1, 3) << QDate(2020, 1, 20)
                                << "kpdate>=20200103 and kpdate<=20200120";
    QTest::newRow("start only") << QDate(2020, 1, 3) << QDate() << "kpdate>=20200103";
    QTest::newRow("end only") << QDate() << QDate(2020, 1, 20) << "kpdate<=20200120";
}

void TestHistory::batchesFollowOneAnother() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, condition);
    // Dates that do not follow the ids, many rows per date, so batches end inside a date;
    // a few kpdate values of data we did not write are text or nine digits long (ordered
    // differently as text than as numbers).
    db_->exec(bulk(3000, "case when i%500=0 then 'x'||i when i%700=0 then 200000000+i "
                         "else 20200101+(i*7)%28 end"));
    HistoryModel model(store());
    // Qt's own checks of the model's signals and answers, over a new search and every batch.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(model.search({QStringLiteral("bulk"), from, to}));
    // Every row once, in the order the database reads them in one statement.
    const QString order = historyUsesDateOrder({QString(), from, to})
                              ? QStringLiteral("kpdate,kpid")
                              : QStringLiteral("kpid");
    const QStringList expected = db_->column(
        QStringLiteral("select kpid from fpmain where fphm like 'BULK%' and %1 order by %2")
            .arg(condition, order));
    QStringList ids;
    for (qint64 id : allIds(model))
        ids.append(QString::number(id));
    QVERIFY(expected.size() > 2 * HistoryModel::batchSize);
    QCOMPARE(ids, expected);
}

void TestHistory::savingWhileResultIsOpen() {
    db_->exec(bulk(1000));
    HistoryModel model(store());
    QSignalSpy failures(&model, &HistoryModel::fetchFailed);
    QVERIFY(model.search({QStringLiteral("BULK"), QDate(), QDate()}));
    QVERIFY(model.canFetchMore(QModelIndex()));

    // A save on the same connection while the result is still being read, a change through
    // another connection (as a second copy of the program would make), then a failing save.
    ReceiptEntry entry = loadReceipt(store(), 1);
    ReceiptSaver saver(db_->store());
    entry.receiptId = saver.save(entry);
    db_->exec(QStringLiteral("CREATE TRIGGER failing BEFORE INSERT ON fpdetail BEGIN SELECT "
                             "RAISE(ABORT,'磁盘故障'); END"));
    entry.lines[0].amount = QStringLiteral("1");
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, saver.save(entry));

    // The open result reads on to its end.
    const Ids ids = sorted(allIds(model));
    QCOMPARE(failures.count(), 0);
    QCOMPARE(ids.size(), 1000);
    QCOMPARE(ids.first(), 6);
}

void TestHistory::reloadReadsStoredReceipt() {
    db_->exec(QStringLiteral(
        "insert into fpmain (kpid,fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,fkfmc,jexx,jedx,"
        "skfmc,kpr,bz1,bz2) values (9,' 号 ','20200229','never read','类','机','    -  -  ',"
        "'2020-01-02','校','付款方 ','999.99','错的','收款方','人','说明\n两行','备\r\n注 ');"
        "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values (9,'项','内容','个','1','2','3');"
        "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values (8,'别人的','','','','','100');"));
    const ReceiptEntry e = loadReceipt(store(), 9);
    // Every value as stored, the date from kpdate, the lines of this receipt only and the
    // totals worked out from them, not the stored 999.99.
    QCOMPARE(QStringList({e.receiptId, e.invoiceNumber, e.issueDate.toString(Qt::ISODate),
                          e.category, e.machineNumber, e.periodStart, e.periodEnd, e.checkCode,
                          e.payerName, e.totalFigures, e.totalCapitals, e.payeeName, e.issuer,
                          e.noticeLine, e.remarks})
                 .join(u'|'),
             QStringLiteral(
                 "9| 号 |2020-02-29|类|机|    -  -  |2020-01-02|校|付款方 |3.00|叁元整|收款方|人|"
                 "说明\n两行|备\r\n注 "));
    QCOMPARE(e.lines[0], (EntryLine{"项", "内容", "个", "1", "2", "3"}));
    QCOMPARE(e.lines[1], EntryLine());
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, loadReceipt(store(), 77));

    // The first five lines by fpmxid (not by insertion) fill the rows; the others are kept
    // aside in order and counted in the totals.
    db_->exec(QStringLiteral("insert into fpdetail (fpmxid,kpid,xm,je) values (50,1,'L5','5'),"
                             "(10,1,'L1','1'),(70,1,'L7','7'),(30,1,'L3','3'),(20,1,'L2','2'),"
                             "(60,1,'L6','6'),(40,1,'L4','4')"));
    const ReceiptEntry seven = loadReceipt(store(), 1);
    QCOMPARE(seven.lines[0].item + seven.lines[4].item, QStringLiteral("L1L5"));
    QCOMPARE(seven.extraLines.size(), 2);
    QCOMPARE(seven.extraLines[0].item + seven.extraLines[1].item, QStringLiteral("L6L7"));
    QCOMPARE(seven.totalFigures, QStringLiteral("28.00"));

    // A stored date that is no date loads as unknown, keeping the stored texts.
    for (const char* kpdate : {"2013091", "201309011", "20131301", "20130230", "2013-9-1", ""}) {
        db_->exec(QStringLiteral("update fpmain set kpdate='%1', kpdate2='原样' where kpid=1")
                      .arg(QLatin1String(kpdate)));
        const ReceiptEntry e = loadReceipt(store(), 1);
        QVERIFY(!e.issueDate.isValid());
        QCOMPARE(e.unknownDate, (UnknownDate{QLatin1String(kpdate), QStringLiteral("原样")}));
    }
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
