#include "data/databaseerror.h"
#include "data/tdmtd.h"
#include "receipt/entrytotals.h"
#include "receipt/historymodel.h"
#include "receipt/historypage.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
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
 values (1,'FP2013',20130901,'2013-09-01','JD001','甲公司','张三','备注一','J1','10.00');
insert into fpmain (kpid,fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2,jym,jexx)
 values (2,'X12',20130915,'2013-09-15','34Y','乙公司','李四','含100%纯度','J2','20.00');
insert into fpmain (kpid,fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2,jym,jexx)
 values (3,'a_b',20131001,'2013-10-01','','O''Brien','王五','路径 C:\temp','J3','30.00');
insert into fpmain (kpid,fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2,jym,jexx)
 values (4,'aXb',20131002,'2013-10-02','','丙','','100x纯度','J4','40.00');
insert into fpmain (kpid,fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2,jym,jexx)
 values (5,NULL,20121231,'2012-12-31',NULL,'say "hi" 空号码公司',NULL,NULL,'J5','50.00');
)SQL";

using Ids = QList<qint64>;

// Every receipt id of the result, reading all batches.
Ids allIds(HistoryModel& model) {
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    Ids ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(model.receiptIdAt(row));
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void likePattern_data();
    void likePattern();
    void search_data();
    void search();
    void modelFetchesInBatches();
    void modelShowsColumnsAndShortRemarks();
    void savingWhileResultIsOpen();
    void batchesFollowOneAnother_data();
    void batchesFollowOneAnother();
    void reloadReadsStoredReceipt();
    void reloadShowsFirstFiveLines();
    void reloadOfFewerLinesLeavesRowsEmpty();
    void badStoredDate_data();
    void badStoredDate();
    void missingReceipt();
    void pageSearchesAndReloads();
    void pageNothingFound();
    void pageSearchError();
    void pageReloadCommands();
    void pageGrid();
    void pageTabOrder();

private:
    std::unique_ptr<test::TempDatabase> db_;
    std::unique_ptr<data::Tdmtd> dm_;
};

void TestHistory::init() {
    db_ = std::make_unique<test::TempDatabase>();
    db_->exec(QString::fromUtf8(fixture));
    dm_ = std::make_unique<data::Tdmtd>();
    dm_->Database3_ado.setConnectionString(db_->connectionString());
    dm_->Database3_ado.open();
}

void TestHistory::cleanup() {
    dm_.reset();
    db_.reset();
}

void TestHistory::likePattern_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("empty") << ""
                           << "%%";
    QTest::newRow("trimmed") << " \t甲公司\r\n"
                             << "%甲公司%";
    QTest::newRow("wildcards escaped") << "5%_a"
                                       << "%5\\%\\_a%";
    QTest::newRow("escape escaped") << "C:\\t"
                                    << "%C:\\\\t%";
    QTest::newRow("quotes unchanged") << "O'B\""
                                      << "%O'B\"%";
}

void TestHistory::likePattern() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QCOMPARE(historyLikePattern(text), pattern);
}

void TestHistory::search_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<Ids>("ids");
    const QDate none;
    QTest::newRow("all") << "" << none << none << Ids{1, 2, 3, 4, 5};
    QTest::newRow("blanks only") << "  " << none << none << Ids{1, 2, 3, 4, 5};
    QTest::newRow("text only") << "2013" << none << none << Ids{1};
    QTest::newRow("payer") << "公司" << none << none << Ids{1, 2, 5};
    QTest::newRow("text trimmed") << " 甲公司 " << none << none << Ids{1};
    QTest::newRow("issuer") << "王五" << none << none << Ids{3};
    QTest::newRow("remarks") << "备注一" << none << none << Ids{1};
    QTest::newRow("ascii case ignored") << "fp2013" << none << none << Ids{1};
    QTest::newRow("across columns") << "1234" << none << none << Ids{2};
    QTest::newRow("literal percent") << "100%" << none << none << Ids{2};
    QTest::newRow("literal underscore") << "a_b" << none << none << Ids{3};
    QTest::newRow("single quote") << "O'Brien" << none << none << Ids{3};
    QTest::newRow("backslash") << "C:\\temp" << none << none << Ids{3};
    QTest::newRow("double quote") << "say \"hi\"" << none << none << Ids{5};
    QTest::newRow("not there") << "丁" << none << none << Ids{};
    QTest::newRow("dates inclusive") << "" << QDate(2013, 9, 1) << QDate(2013, 9, 15) << Ids{1, 2};
    QTest::newRow("start only") << "" << QDate(2013, 10, 1) << none << Ids{3, 4};
    QTest::newRow("end only") << "" << none << QDate(2012, 12, 31) << Ids{5};
    QTest::newRow("one day") << "" << QDate(2013, 10, 2) << QDate(2013, 10, 2) << Ids{4};
    QTest::newRow("start after end") << "" << QDate(2013, 10, 2) << QDate(2013, 9, 1) << Ids{};
    QTest::newRow("text and dates")
        << "公司" << QDate(2013, 1, 1) << QDate(2013, 12, 31) << Ids{1, 2};
}

void TestHistory::search() {
    QFETCH(QString, text);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(Ids, ids);
    HistoryModel model(dm_->Database3_ado);
    const bool found = model.search({text, from, to});
    QCOMPARE(found, !ids.isEmpty());
    QCOMPARE(model.hasResult(), !ids.isEmpty());
    QCOMPARE(allIds(model), ids);
}

void TestHistory::modelFetchesInBatches() {
    db_->exec(
        QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
                       "insert into fpmain (fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2) "
                       "select 'BULK'||i,20200101,'2020-01-01','','批量','','' from n"));
    HistoryModel model(dm_->Database3_ado);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QVERIFY(model.search({QStringLiteral("bulk"), QDate(), QDate()}));
    QCOMPARE(model.rowCount(), HistoryModel::batchSize);
    QVERIFY(model.canFetchMore(QModelIndex()));
    model.fetchMore(QModelIndex());
    QCOMPARE(model.rowCount(), 2 * HistoryModel::batchSize);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), HistoryModel::batchSize);

    const Ids ids = allIds(model);
    QCOMPARE(ids.size(), 3000);
    QCOMPARE(ids.first(), 6);
    QCOMPARE(ids.last(), 3005);
    QVERIFY(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    QVERIFY(!model.canFetchMore(QModelIndex()));

    // A new search starts again with one batch; clear() drops the result.
    QVERIFY(model.search({QString(), QDate(), QDate()}));
    QCOMPARE(model.rowCount(), HistoryModel::batchSize);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.hasResult());
    QVERIFY(!model.canFetchMore(QModelIndex()));
}

void TestHistory::savingWhileResultIsOpen() {
    db_->exec(
        QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<1000) "
                       "insert into fpmain (fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2) "
                       "select 'BULK'||i,20200101,'2020-01-01','','批量','','' from n"));
    HistoryModel model(dm_->Database3_ado);
    QSignalSpy failures(&model, &HistoryModel::fetchFailed);
    QVERIFY(model.search({QStringLiteral("BULK"), QDate(), QDate()}));
    QVERIFY(model.canFetchMore(QModelIndex()));

    // A save on the same connection while the result is still being read, a change through
    // another connection (as a second copy of the program would make), then a failing save.
    ReceiptEntry entry = loadReceipt(dm_->Database3_ado, 1);
    ReceiptSaver saver(*dm_);
    entry.receiptId = saver.save(entry);
    db_->exec(QStringLiteral("CREATE TRIGGER failing BEFORE INSERT ON fpdetail BEGIN SELECT "
                             "RAISE(ABORT,'磁盘故障'); END"));
    entry.lines[0].amount = QStringLiteral("1");
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, saver.save(entry));

    // The open result reads on to its end.
    const Ids ids = allIds(model);
    QCOMPARE(failures.count(), 0);
    QCOMPARE(ids.size(), 1000);
    QCOMPARE(ids.first(), 6);
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
    db_->exec(QStringLiteral(
        "with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
        "insert into fpmain (fphm,kpdate,kpdate2,jdhm,fkfmc,kpr,bz2) "
        "select 'BULK'||i,case when i%500=0 then 'x'||i when i%700=0 then 200000000+i "
        "else 20200101+(i*7)%28 end,'','','',"
        "'','' from n"));
    HistoryModel model(dm_->Database3_ado);
    QVERIFY(model.search({QStringLiteral("bulk"), from, to}));
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());

    // Every row once, in the order the database reads them in one statement.
    const QString order = historyUsesDateOrder({QString(), from, to})
                              ? QStringLiteral("kpdate,kpid")
                              : QStringLiteral("kpid");
    const QStringList expected = db_->column(
        QStringLiteral("select kpid from fpmain where fphm like 'BULK%' and %1 order by %2")
            .arg(condition, order));
    QStringList ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(QString::number(model.receiptIdAt(row)));
    QVERIFY(expected.size() > 2 * HistoryModel::batchSize);
    QCOMPARE(ids, expected);
}

void TestHistory::modelShowsColumnsAndShortRemarks() {
    const QString longRemarks = QString(150, QLatin1Char('r')) + QStringLiteral("\n第二行");
    db_->exec(QStringLiteral("update fpmain set bz2='%1' where kpid=1").arg(longRemarks));
    HistoryModel model(dm_->Database3_ado);
    QVERIFY(model.search({QStringLiteral("FP2013"), QDate(), QDate()}));
    QCOMPARE(model.columnCount(), 8);
    const QStringList shown = {QStringLiteral("FP2013"), QStringLiteral("2013-09-01"),
                               QStringLiteral("JD001"),  QStringLiteral("J1"),
                               QStringLiteral("甲公司"), QStringLiteral("10.00"),
                               QStringLiteral("张三"),   longRemarks.left(historyRemarksPreview)};
    for (int column = 0; column < 8; ++column)
        QCOMPARE(model.data(model.index(0, column)).toString(), shown.at(column));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    // The reload reads the whole remarks from the database.
    QCOMPARE(loadReceipt(dm_->Database3_ado, model.receiptIdAt(0)).remarks, longRemarks);

    // A column that holds NULL reads as empty text.
    QVERIFY(model.search({QStringLiteral("空号码"), QDate(), QDate()}));
    QCOMPARE(model.textAt(0, 0), QString());
    QCOMPARE(model.textAt(0, 7), QString());
}

void TestHistory::reloadReadsStoredReceipt() {
    db_->exec(QStringLiteral(
        "insert into fpmain (kpid,fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,fkfmc,jexx,jedx,"
        "skfmc,kpr,bz1,bz2) values (9,' 号 ','20200229','never read','类','机','    -  -  ',"
        "'2020-01-02','校','付款方 ','999.99','错的','收款方','人','说明\n两行','备\r\n注 ');"
        "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values (9,'项','内容','个','1','2','3');"
        "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values (8,'别人的','','','','','100');"));
    const ReceiptEntry entry = loadReceipt(dm_->Database3_ado, 9);
    ReceiptEntry expected;
    expected.invoiceNumber = QStringLiteral(" 号 ");
    expected.issueDate = QDate(2020, 2, 29);
    expected.category = QStringLiteral("类");
    expected.machineNumber = QStringLiteral("机");
    expected.periodStart = blankPeriod();
    expected.periodEnd = QStringLiteral("2020-01-02");
    expected.checkCode = QStringLiteral("校");
    expected.payerName = QStringLiteral("付款方 ");
    expected.lines[0] = {QStringLiteral("项"), QStringLiteral("内容"), QStringLiteral("个"),
                         QStringLiteral("1"),  QStringLiteral("2"),    QStringLiteral("3")};
    expected.remarks = QStringLiteral("备\r\n注 ");
    // Worked out from the reloaded line, not the stored 999.99.
    const EntryTotals totals = computeTotals(expected.lines);
    expected.totalFigures = totals.figures;
    expected.totalCapitals = totals.capitals;
    QCOMPARE(expected.totalFigures, QStringLiteral("3.00"));
    expected.payeeName = QStringLiteral("收款方");
    expected.issuer = QStringLiteral("人");
    expected.noticeLine = QStringLiteral("说明\n两行");
    expected.receiptId = QStringLiteral("9");
    QCOMPARE(entry, expected);
    // Reloading again gives the same.
    QCOMPARE(loadReceipt(dm_->Database3_ado, 9), expected);
}

void TestHistory::reloadShowsFirstFiveLines() {
    // Stored out of order: the reload goes by fpmxid, not by insertion.
    db_->exec(QStringLiteral("insert into fpdetail (fpmxid,kpid,xm,je) values (50,1,'L5','5');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (10,1,'L1','1');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (70,1,'L7','7');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (30,1,'L3','3');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (20,1,'L2','2');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (60,1,'L6','6');"
                             "insert into fpdetail (fpmxid,kpid,xm,je) values (40,1,'L4','4');"));
    const ReceiptEntry entry = loadReceipt(dm_->Database3_ado, 1);
    QStringList items;
    for (const EntryLine& line : entry.lines)
        items.append(line.item);
    QCOMPARE(items, (QStringList{QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3"),
                                 QStringLiteral("L4"), QStringLiteral("L5")}));
    QCOMPARE(entry.totalFigures, QStringLiteral("15.00"));
}

void TestHistory::reloadOfFewerLinesLeavesRowsEmpty() {
    QString sql;
    for (int i = 1; i <= 5; ++i)
        sql += QStringLiteral("insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values "
                              "(2,'五%1','c','d','1','1','%1');")
                   .arg(i);
    for (int i = 1; i <= 3; ++i)
        sql += QStringLiteral("insert into fpdetail (kpid,xm,je) values (3,'三%1','%1.5');").arg(i);
    db_->exec(sql);
    const ReceiptEntry five = loadReceipt(dm_->Database3_ado, 2);
    QCOMPARE(five.lines[4].amount, QStringLiteral("5"));
    const ReceiptEntry three = loadReceipt(dm_->Database3_ado, 3);
    QCOMPARE(three.lines[2].item, QStringLiteral("三3"));
    QCOMPARE(three.lines[3], EntryLine());
    QCOMPARE(three.lines[4], EntryLine());
    QCOMPARE(three.totalFigures, QStringLiteral("7.50"));
    QCOMPARE(three.totalCapitals, computeTotals(three.lines).capitals);
    QVERIFY(!three.totalCapitals.isEmpty());

    // A receipt without lines comes back with empty rows and zero totals.
    const ReceiptEntry none = loadReceipt(dm_->Database3_ado, 4);
    for (const EntryLine& line : none.lines)
        QCOMPARE(line, EntryLine());
    QCOMPARE(none.totalFigures, QStringLiteral("0.00"));
}

void TestHistory::badStoredDate_data() {
    QTest::addColumn<QString>("kpdate");
    QTest::newRow("seven digits") << "2013091";
    QTest::newRow("nine digits") << "201309011";
    QTest::newRow("month 13") << "20131301";
    QTest::newRow("30 February") << "20130230";
    QTest::newRow("dashes") << "2013-9-1";
    QTest::newRow("letters") << "2013O9O1";
    QTest::newRow("blanks") << " 2013090";
    QTest::newRow("empty") << "";
}

void TestHistory::badStoredDate() {
    QFETCH(QString, kpdate);
    db_->exec(QStringLiteral("update fpmain set kpdate='%1' where kpid=1").arg(kpdate));
    QVERIFY(!dateFromStoredKpdate(kpdate).isValid());
    try {
        loadReceipt(dm_->Database3_ado, 1);
        QFAIL("a bad stored date was read");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("开票日期")), qPrintable(error.message()));
    }
    QCOMPARE(dateFromStoredKpdate(QStringLiteral("20000229")), QDate(2000, 2, 29));
}

void TestHistory::missingReceipt() {
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, loadReceipt(dm_->Database3_ado, 77));
}

void TestHistory::pageSearchesAndReloads() {
    test::MessageRecorder messages;
    HistoryPage page(*dm_);
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, page.loadCurrentReceipt());

    page.setDateRange(QDate(2013, 9, 1), QDate(2013, 10, 1));
    auto* start = page.findChild<QCheckBox*>(QStringLiteral("startDateCheck"));
    auto* end = page.findChild<QCheckBox*>(QStringLiteral("endDateCheck"));
    QVERIFY(start && end);
    QVERIFY(start->isChecked() && end->isChecked());
    QCOMPARE(page.findChild<QDateEdit*>(QStringLiteral("startDate"))->date(), QDate(2013, 9, 1));
    QCOMPARE(page.findChild<QDateEdit*>(QStringLiteral("endDate"))->date(), QDate(2013, 10, 1));

    page.findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
    QCOMPARE(messages.texts(), QStringList());
    auto* grid = page.findChild<QTableView*>(QStringLiteral("historyGrid"));
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->currentIndex().row(), 0);

    // The second row's receipt, then the first again: the result stays open between reloads.
    grid->selectRow(1);
    const qint64 second = page.model()->receiptIdAt(1);
    QCOMPARE(page.loadCurrentReceipt().receiptId, QString::number(second));
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->currentIndex().row(), 1);
    grid->selectRow(0);
    QCOMPARE(page.loadCurrentReceipt().receiptId, QString::number(page.model()->receiptIdAt(0)));

    // Unchecking the end date widens the range; the text narrows it.
    end->setChecked(false);
    page.findChild<QLineEdit*>(QStringLiteral("searchText"))->setText(QStringLiteral("纯度"));
    page.findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
    QCOMPARE(allIds(*page.model()), (Ids{2, 4}));
}

void TestHistory::pageNothingFound() {
    test::MessageRecorder messages;
    HistoryPage page(*dm_);
    page.setDateRange(QDate(2000, 1, 1), QDate(2030, 1, 1));
    auto* grid = page.findChild<QTableView*>(QStringLiteral("historyGrid"));
    auto* search = page.findChild<QPushButton*>(QStringLiteral("searchButton"));
    search->click();
    QCOMPARE(grid->model()->rowCount(), 5);
    QVERIFY(messages.texts().isEmpty());

    page.findChild<QLineEdit*>(QStringLiteral("searchText"))->setText(QStringLiteral("没有这张"));
    search->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("未找到记录！")});
    QCOMPARE(messages.messages().first().kind, ui::MessageBox::Kind::Information);
    QCOMPARE(grid->model()->rowCount(), 0);
    QVERIFY(!page.model()->hasResult());
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, page.loadCurrentReceipt());

    // A start date after the end date finds nothing either.
    messages.clear();
    page.findChild<QLineEdit*>(QStringLiteral("searchText"))->clear();
    page.setDateRange(QDate(2013, 10, 2), QDate(2013, 9, 1));
    search->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("未找到记录！")});
}

void TestHistory::pageSearchError() {
    test::MessageRecorder messages;
    HistoryPage page(*dm_);
    page.setDateRange(QDate(2000, 1, 1), QDate(2030, 1, 1));
    page.BitBtn10Click();
    QCOMPARE(page.model()->rowCount(), 5);

    // A search text longer than the engine takes is refused in our words; the last result is
    // dropped and nothing else changes.
    page.findChild<QLineEdit*>(QStringLiteral("searchText"))->setText(QString(20000, u'票'));
    page.BitBtn10Click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("票据信息太长，请缩短后再查询。")});
    QCOMPARE(page.model()->rowCount(), 0);
    page.findChild<QLineEdit*>(QStringLiteral("searchText"))->clear();
    messages.clear();

    db_->exec(QStringLiteral("drop table fpmain"));
    page.BitBtn10Click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, ui::MessageBox::Kind::Error);
    QVERIFY(messages.messages().first().detail.contains(QStringLiteral("fpmain")));
    QCOMPARE(page.model()->rowCount(), 0);
    QVERIFY_THROWS_EXCEPTION(data::DatabaseError, page.loadCurrentReceipt());
}

void TestHistory::pageReloadCommands() {
    test::MessageRecorder messages;
    HistoryPage page(*dm_);
    page.resize(1100, 500);
    page.show();
    page.setDateRange(QDate(2000, 1, 1), QDate(2030, 1, 1));
    page.BitBtn10Click();
    QSignalSpy reloads(&page, &HistoryPage::reloadRequested);
    auto* grid = page.findChild<QTableView*>(QStringLiteral("historyGrid"));

    page.findChild<QPushButton*>(QStringLiteral("selectButton"))->click();
    QCOMPARE(reloads.count(), 1);

    // A double-click on a cell selects its row and reloads.
    const QRect cell = grid->visualRect(grid->model()->index(2, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(reloads.count(), 2);
    QCOMPARE(grid->currentIndex().row(), 2);

    // The title row and the row indicator count as the grid too.
    QHeaderView* titles = grid->horizontalHeader();
    QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {},
                       QPoint(titles->sectionViewportPosition(4) + 20, titles->height() / 2));
    QCOMPARE(reloads.count(), 3);
    QCOMPARE(page.loadCurrentReceipt().receiptId,
             QString::number(page.model()->receiptIdAt(grid->currentIndex().row())));
    QTest::mouseDClick(grid->verticalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(reloads.count(), 4);
    // A single click is no reload.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(reloads.count(), 4);
    QVERIFY(messages.texts().isEmpty());
}

void TestHistory::pageGrid() {
    HistoryPage page(*dm_);
    auto* grid = page.findChild<QTableView*>(QStringLiteral("historyGrid"));
    QVERIFY(grid);
    const QStringList titles = {QStringLiteral("发票号码"),   QStringLiteral("开票日期"),
                                QStringLiteral("机打号码"),   QStringLiteral("检验码"),
                                QStringLiteral("付款方名称"), QStringLiteral("金额"),
                                QStringLiteral("开票人"),     QStringLiteral("备注")};
    const QList<int> widths = {108, 96, 117, 111, 269, 91, 79, 439};
    QCOMPARE(grid->model()->columnCount(), 8);
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(grid->model()->headerData(column, Qt::Horizontal).toString(), titles.at(column));
        QCOMPARE(grid->columnWidth(column), widths.at(column));
        QCOMPARE(grid->horizontalHeader()->sectionResizeMode(column), QHeaderView::Interactive);
    }
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(grid->showGrid());
    QVERIFY(!grid->verticalHeader()->isHidden());
    QVERIFY(!grid->horizontalHeader()->isHidden());
    QCOMPARE(grid->model()->rowCount(), 0);
    QVERIFY(page.findChild<QDateEdit*>(QStringLiteral("startDate"))->calendarPopup());
}

void TestHistory::pageTabOrder() {
    HistoryPage page(*dm_);
    QStringList names;
    for (QWidget* w : page.tabOrder())
        names.append(w->objectName());
    QCOMPARE(names, (QStringList{QStringLiteral("startDate"), QStringLiteral("endDate"),
                                 QStringLiteral("searchText"), QStringLiteral("searchButton"),
                                 QStringLiteral("selectButton"), QStringLiteral("historyGrid")}));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("searchButton"))->text(),
             QStringLiteral("查询"));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("selectButton"))->text(),
             QStringLiteral("选中"));
    for (const auto& [name, caption] :
         {std::pair{"startDateLabel", "起始开票日期"}, std::pair{"endDateLabel", "截止开票日期"},
          std::pair{"searchTextLabel", "票据信息"}})
        QCOMPARE(page.findChild<QLabel*>(QLatin1String(name))->text(), QString::fromUtf8(caption));
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
