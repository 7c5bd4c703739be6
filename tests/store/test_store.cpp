// Both stores behind the one interface: the receipt operations on each, the same search
// results for the same data, two desks on one receipt, the server lost in the middle of a save,
// TLS, a database with ctype C, and copying between them. The server is a private PostgreSQL
// that this program starts (pgserver.h).

#include "cutproxy.h"
#include "pgserver.h"
#include "samples.h"
#include "testsupport.h"

#include "app/tfrmqj.h"
#include "data/tdmtd.h"
#include "designer/designvalues.h"
#include "receipt/entrypage.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "store/copystore.h"
#include "store/fileschema.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/schemaversion.h"
#include "store/storeconfig.h"

#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <libpq-fe.h>

#include <list>
#include <random>
#include <thread>

using namespace zelk;
using store::StoredReceipt;

namespace {

using Rows = QList<QStringList>; // kpid and the grid's texts

Rows allRows(store::Store& s, const store::HistoryCriteria& criteria) {
    Rows rows;
    const std::unique_ptr<store::HistoryReader> reader = s.searchHistory(criteria);
    // A small batch, so that every search continues over several batches.
    while (reader->readBatch(7, [&](qint64 kpid, const QByteArrayView* texts) {
        QStringList row{QString::number(kpid)};
        for (int c = 0; c < store::historyColumnCount; ++c)
            row << QString::fromUtf8(texts[c]);
        rows << row;
    }))
        ;
    return rows;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<test::PgServer> server_;
    std::list<test::TempDatabase> files_;
    int databases_ = 0;

    // A new empty store of the kind named.
    std::unique_ptr<store::Store> make(const QString& kind) {
        if (kind == QLatin1String("file"))
            return std::make_unique<store::FileStore>(files_.emplace_back().path());
        return std::make_unique<store::PgStore>(
            server_->createDatabase(QStringLiteral("db%1").arg(++databases_)));
    }

private slots:
    void initTestCase() {
        server_ = std::make_unique<test::PgServer>();
        QVERIFY2(server_->problem().isEmpty(), qPrintable(server_->problem()));
    }

    void receipts_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << QStringLiteral("file");
        QTest::newRow("server") << QStringLiteral("server");
    }

    void receipts() {
        QFETCH(QString, kind);
        const auto s = make(kind);
        receipt::ReceiptSaver saver(*s);
        for (const auto& hostile : test::hostileTexts()) {
            const QString& text = hostile.second;
            receipt::ReceiptEntry entry = test::sampleReceipt(text);
            entry.remarks = text;
            entry.issuer = text;
            const qint64 before = s->largestReceiptId();
            if (kind == QLatin1String("server") && text.contains(QChar(0))) {
                // The server's text cannot hold NUL: refused whole, never stored cut off.
                QVERIFY_THROWS_EXCEPTION(data::DatabaseError, saver.save(entry));
                QCOMPARE(s->largestReceiptId(), before);
                continue;
            }
            entry.receiptId = saver.save(entry);
            QCOMPARE(entry.receiptId.toLongLong(), before + 1);
            QCOMPARE(receipt::loadReceipt(*s, before + 1), entry);
        }
        // A rewrite with the counter it was loaded with; then one with a stale counter.
        receipt::ReceiptEntry first = receipt::loadReceipt(*s, 1);
        const receipt::ReceiptEntry stale = first;
        first.payerName = QStringLiteral("改过的付款方");
        saver.save(first);
        QCOMPARE(saver.changes(), first.loadedChanges + 1);
        QVERIFY_THROWS_EXCEPTION(receipt::ReceiptChanged, saver.save(stale));
        QCOMPARE(receipt::loadReceipt(*s, 1).payerName, first.payerName);
        receipt::ReceiptEntry gone = first;
        gone.receiptId = QStringLiteral("999");
        QVERIFY_THROWS_EXCEPTION(receipt::ReceiptGone, saver.save(gone));
        // Settings: rows changed and added in one go.
        s->setSettings({{27, QStringLiteral("新单位")}, {300, QStringLiteral("新行")}});
        QCOMPARE(s->setting(27), QStringLiteral("新单位"));
        QCOMPARE(s->setting(300), QStringLiteral("新行"));

        // The designer's receipt comes from this store: the latest with the number asked for,
        // else the latest of all (here one without lines, whose header still shows).
        QCOMPARE(s->isLocalFile(), kind == QLatin1String("file"));
        const qint64 numbered = s->largestReceiptId();
        StoredReceipt lineless;
        lineless.header = QStringList(store::headerColumns().size());
        lineless.header[store::headerColumns().indexOf(QStringLiteral("fphm"))] =
            QStringLiteral("99990001");
        const qint64 latest = s->insertReceipt(lineless);
        const auto shows = [&](const QString& number, const QString& column) {
            const designer::DesignValues values = designer::loadDesignValues(*s, number);
            QStringList texts;
            for (const QStringList& row : values.data.rows)
                texts << row.value(values.data.columns.indexOf(column));
            return texts;
        };
        QCOMPARE(shows(QStringLiteral("00012345"), QStringLiteral("kpid")),
                 QStringList(3, QString::number(numbered)));
        QCOMPARE(shows(QString(), QStringLiteral("kpid")), QStringList{QString::number(latest)});
        QCOMPARE(shows(QString(), QStringLiteral("fphm")), QStringList{QStringLiteral("99990001")});
        QCOMPARE(designer::loadDesignValues(*s, QStringLiteral("1")).source,
                 designer::sampleValues().source);
    }

    // Both stores, the same generated receipts: every search gives the same rows in the same
    // order, over short, long, wildcard, mixed-case and dated searches.
    void sameSearchResults() {
        const auto file = make(QStringLiteral("file"));
        const auto server = make(QStringLiteral("server"));
        const QStringList pieces = {
            QStringLiteral("a"),  QStringLiteral("B"),  QStringLiteral("%"),  QStringLiteral("_"),
            QStringLiteral("\\"), QStringLiteral("中"), QStringLiteral("文"), QStringLiteral(" "),
            QStringLiteral("É"),  QStringLiteral("é"),  QStringLiteral("𠀀"), QStringLiteral("Ｚ"),
            QStringLiteral("'"),  QStringLiteral("x"),  QStringLiteral("A"),  QStringLiteral("ab")};
        std::mt19937 rng(18);
        auto text = [&](int most) {
            QString out;
            for (int n = int(rng() % (most + 1)); n > 0; --n)
                out += pieces.at(rng() % pieces.size());
            return out;
        };
        // Older receipts with nothing searchable come first: the server reads its first batch
        // from the oldest receipts, then goes on through the trigram index and changes to kpid
        // order where a text proves dense; every way must give the file's rows.
        StoredReceipt blank;
        for (const QString& column : store::headerColumns())
            blank.header << (column == QLatin1String("kpdate") ? QStringLiteral("20251231") : "");
        for (int i = 0; i < 2100; ++i)
            QCOMPARE(server->insertReceipt(blank), file->insertReceipt(blank));
        QStringList samples;
        for (int i = 0; i < 600; ++i) {
            StoredReceipt r;
            for (const QString& column : store::headerColumns())
                r.header << (column == QLatin1String("kpdate")
                                 ? QString::number(20260101 + rng() % 28)
                                 : text(column == QLatin1String("bz2") ? 12 : 4));
            r.lines << QStringList{text(3), text(3), text(1),
                                   text(1), text(1), QStringLiteral("1")};
            QCOMPARE(server->insertReceipt(r), file->insertReceipt(r));
            samples << r.header.at(8).mid(1, 3) << r.header.at(14).mid(2, 2).toUpper();
        }
        QStringList searches = pieces + samples.mid(0, 60);
        searches << test::hostileTexts().at(2).second << QString() << QStringLiteral("  中文 ")
                 << QStringLiteral("a%b") << QStringLiteral("AB") << QStringLiteral("\\%");
        qsizetype found = 0;
        for (const QString& s : std::as_const(searches)) {
            const std::pair<QDate, QDate> ranges[] = {{QDate(), QDate()},
                                                      {QDate(2026, 1, 5), QDate(2026, 1, 9)},
                                                      {QDate(2026, 1, 20), QDate()}};
            for (const auto& [from, to] : ranges) {
                const store::HistoryCriteria criteria{s, from, to};
                const Rows rows = allRows(*file, criteria);
                QCOMPARE(allRows(*server, criteria), rows);
                found += rows.size();
            }
        }
        QVERIFY(found > 1000);
    }

    void twoDesks() {
        const QString info = server_->createDatabase(QStringLiteral("desks"));
        store::PgStore a(info);
        store::PgStore b(info);
        receipt::ReceiptSaver saverA(a);
        receipt::ReceiptSaver saverB(b);
        saverA.save(test::sampleReceipt(QStringLiteral("甲")));
        receipt::ReceiptEntry onA = receipt::loadReceipt(a, 1);
        receipt::ReceiptEntry onB = receipt::loadReceipt(b, 1);
        onB.remarks = QStringLiteral("乙台更正");
        saverB.save(onB);
        onA.remarks = QStringLiteral("甲台修改");
        QVERIFY_THROWS_EXCEPTION(receipt::ReceiptChanged, saverA.save(onA));
        QCOMPARE(receipt::loadReceipt(a, 1).remarks, onB.remarks);
        // Desk A keeps its form as a new receipt; desk B's next search lists it.
        onA.receiptId.clear();
        QCOMPARE(saverA.save(onA), QStringLiteral("2"));
        const Rows rows = allRows(b, {QStringLiteral("甲台"), {}, {}});
        QCOMPARE(rows.size(), qsizetype(1));
        QCOMPARE(rows.at(0).at(0), QStringLiteral("2"));
    }

    // The server goes down while a save waits between its header and its lines: nothing of it
    // stays, the message says the connection was lost, and the next save connects again. The
    // server stops at once: a fast stop ends the backends one by one, and when the locker's
    // ends first its lock is released and the waiting save may still commit.
    void serverLostDuringSave() {
        const QString info = server_->createDatabase(QStringLiteral("loss"));
        store::PgStore s(info);
        receipt::ReceiptSaver saver(s);
        saver.save(test::sampleReceipt(QStringLiteral("第一张")));
        PGconn* blocker = PQconnectdb(info.toUtf8().constData());
        PQclear(PQexec(blocker, "begin; lock table fpdetail in access exclusive mode"));
        QString failure;
        std::thread save([&] {
            try {
                saver.save(test::sampleReceipt(QStringLiteral("第二张")));
            } catch (const data::DatabaseError& error) {
                failure = error.message();
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(
            server_->exec(QStringLiteral("loss"),
                          QStringLiteral("select count(*) from pg_locks where not granted")),
            QStringList{QStringLiteral("1")}, 20000);
        QVERIFY(server_->stop(true));
        save.join();
        PQfinish(blocker);
        QVERIFY2(failure.contains(QStringLiteral("连接已断开")), qPrintable(failure));
        QVERIFY_THROWS_EXCEPTION(data::DatabaseError, s.largestReceiptId());
        QVERIFY(server_->start());
        QCOMPARE(
            server_->exec(QStringLiteral("loss"), QStringLiteral("select count(*) from fpmain")),
            QStringList{QStringLiteral("1")});
        // The lost save's id is not handed out again; the newest receipt has the largest one.
        QVERIFY(saver.save(test::sampleReceipt(QStringLiteral("重试"))).toLongLong() > 2);
        QCOMPARE(
            server_->exec(QStringLiteral("loss"), QStringLiteral("select count(*) from fpmain")),
            QStringList{QStringLiteral("2")});
    }

    // The answer to COMMIT is lost: the server is asked whether the save committed; when it
    // cannot be asked the save says its outcome is unknown, and saving the form again corrects
    // what the first save stored instead of storing it twice. The same for a correction.
    void commitAnswerLost() {
        server_->createDatabase(QStringLiteral("cut"));
        test::CutProxy proxy(server_->socketFolder());
        store::PgStore s(proxy.conninfo(QStringLiteral("cut")));
        s.check();
        receipt::ReceiptSaver saver(s);
        auto count = [&] {
            return server_
                ->exec(QStringLiteral("cut"), QStringLiteral("select count(*) from fpmain"))
                .value(0);
        };
        saver.setToken(QStringLiteral("form-1"));
        proxy.cutAfterCommit(false);
        QCOMPARE(saver.save(test::sampleReceipt(QStringLiteral("提交后断开"))),
                 QStringLiteral("1"));
        QVERIFY(proxy.cut());
        QCOMPARE(count(), QStringLiteral("1"));

        receipt::ReceiptEntry entry = test::sampleReceipt(QStringLiteral("结果不明"));
        saver.setToken(QStringLiteral("form-2"));
        proxy.cutAfterCommit(true);
        try {
            saver.save(entry);
            QFAIL("a save whose outcome is unknown was reported as saved");
        } catch (const store::OutcomeUnknown& error) {
            QVERIFY2(error.message().contains(QStringLiteral("无法确定这张收据是否已保存")),
                     qPrintable(error.message()));
        }
        QCOMPARE(count(), QStringLiteral("2"));
        proxy.allow();
        entry.remarks = QStringLiteral("再次保存");
        QCOMPARE(saver.save(entry), QStringLiteral("2"));
        QCOMPARE(count(), QStringLiteral("2"));
        QCOMPARE(receipt::loadReceipt(s, 2).remarks, entry.remarks);

        receipt::ReceiptEntry correction = receipt::loadReceipt(s, 2);
        correction.payerName = QStringLiteral("更正的付款方");
        saver.setToken(QStringLiteral("form-3"));
        proxy.cutAfterCommit(true);
        QVERIFY_THROWS_EXCEPTION(store::OutcomeUnknown, saver.save(correction));
        proxy.allow();
        QCOMPARE(saver.save(correction), QStringLiteral("2"));
        QCOMPARE(s.loadReceipt(2)->changes, qint64(1));
        QCOMPARE(receipt::loadReceipt(s, 2).payerName, correction.payerName);
    }

    // Each cause of a failed connection has its own sentence; a socket with TLS asked for is
    // refused, since libpq would connect to it unencrypted.
    void connectionFailures_data() {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("sentence");
        const QString socket = server_->socketFolder();
        QTest::newRow("not running") << QStringLiteral("host=/nonexistent-zelk user=test")
                                     << QStringLiteral("服务器没有运行");
        QTest::newRow("unknown host") << QStringLiteral("host=no-such-host.invalid user=test")
                                      << QStringLiteral("找不到名为");
        QTest::newRow("no database") << server_->conninfo(QStringLiteral("missing"))
                                     << QStringLiteral("没有名为“missing”的数据库");
        QTest::newRow("unknown user")
            << QStringLiteral("host='%1' user=nobody9 dbname=postgres").arg(socket)
            << QStringLiteral("用户名“nobody9”或密码不对");
        QTest::newRow("ctype C") << server_->createDatabase(QStringLiteral("ctypec"),
                                                            QStringLiteral("C"))
                                 << QStringLiteral("C.UTF-8");
        QTest::newRow("socket with TLS") << server_->conninfo(QStringLiteral("postgres")) +
                                                QStringLiteral(" sslmode=verify-full")
                                         << QStringLiteral("不加密");
    }

    void connectionFailures() {
        QFETCH(QString, conninfo);
        QFETCH(QString, sentence);
        store::PgStore s(conninfo);
        try {
            s.check();
            QFAIL("connected");
        } catch (const data::DatabaseError& error) {
            QVERIFY2(error.message().contains(sentence), qPrintable(error.message()));
        }
    }

    // The README's set-up, command for command: a shop user who is not the administrator
    // owns the database and so may create the tables and the extension. A database the
    // administrator owns refuses that user with a sentence naming the missing right.
    void shopUserSetUp() {
        const QString bin = QStringLiteral("/usr/lib/postgresql/15/bin/");
        const QStringList as = {QStringLiteral("-h"), server_->socketFolder(), QStringLiteral("-U"),
                                QStringLiteral("test")};
        auto run = [&](const QString& tool, const QStringList& arguments) {
            QProcess p;
            p.start(bin + tool, as + arguments);
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        QVERIFY(run(QStringLiteral("createuser"), {QStringLiteral("shop")}));
        QVERIFY(run(QStringLiteral("createdb"),
                    {QStringLiteral("-O"), QStringLiteral("shop"), QStringLiteral("-E"),
                     QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                     QStringLiteral("-T"), QStringLiteral("template0"), QStringLiteral("shopdb")}));
        const QString shop =
            QStringLiteral("host='%1' user=shop dbname=").arg(server_->socketFolder());
        store::PgStore owned(shop + QStringLiteral("shopdb"));
        receipt::ReceiptSaver saver(owned);
        QCOMPARE(saver.save(test::sampleReceipt(QStringLiteral("店员"))), QStringLiteral("1"));
        server_->createDatabase(QStringLiteral("admindb"));
        store::PgStore foreign(shop + QStringLiteral("admindb"));
        try {
            foreign.check();
            QFAIL("the tables were made without the right to");
        } catch (const data::DatabaseError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("没有所需的权利")),
                     qPrintable(error.message()));
        }
    }

    // Tables of the first layout (made by hand or by a version that did not count) gain what
    // later versions added at the first connection, once, and keep their rows.
    void earlierServerLayout() {
        const QString conninfo = server_->createDatabase(QStringLiteral("earlier"));
        store::PgConnection old(conninfo);
        for (const char* sql :
             {"create table fpmain (kpid bigint generated by default as identity primary key, "
              "fphm text, kpdate bigint, kpdate2 text, hyfl text, jdhm text, qssj text, jcsj "
              "text, jym text, fkfmc text, jexx text, jedx text, skfmc text, kpr text, bz1 text, "
              "bz2 text)",
              "create table fpdetail (fpmxid bigint generated by default as identity primary "
              "key, kpid bigint, xm text, kjll text, dw text, sl text, dj text, je text)",
              "create table SysSet (SetId integer primary key, SetValue text)",
              "insert into fpmain (fphm,fkfmc) values ('7','甲')"})
            old.exec(QString::fromUtf8(sql));
        for (int open = 0; open < 2; ++open) {
            store::PgStore s(conninfo);
            receipt::ReceiptEntry entry = receipt::loadReceipt(s, 1);
            entry.payerName = QStringLiteral("乙");
            receipt::ReceiptSaver(s).save(entry);
            QCOMPARE(s.earlierVersions(1).size(), open + 1);
        }
        QCOMPARE(old.exec(QStringLiteral("select string_agg(version::text,',') from zelk_schema"))
                     .text(0, 0),
                 QString::number(store::serverSchemaVersion));
        // The rows written before step 4 count in the summaries too.
        old.exec(QStringLiteral("update fpmain set jexx=' 12.5 '"));
        QCOMPARE(store::PgStore(conninfo).summarize(store::SummaryKey::Day, {}, {}).value(0).total,
                 QStringLiteral("12.50"));
    }

    // A desk given "primary,standby": the primary with a synchronous standby is killed with
    // -9; until the standby is promoted the desk says so, then it carries on there without a
    // restart, naming the server in use, with every receipt it called saved there exactly once.
    void standbyTakesOver() {
        test::PgServer primary;
        QVERIFY2(primary.problem().isEmpty(), qPrintable(primary.problem()));
        primary.createDatabase(QStringLiteral("shop"));
        test::PgServer standby(&primary);
        QVERIFY2(standby.problem().isEmpty(), qPrintable(standby.problem()));
        QVERIFY(primary.requireStandby());
        QTRY_COMPARE_WITH_TIMEOUT(
            primary.exec(QStringLiteral("postgres"),
                         QStringLiteral("select sync_state from pg_stat_replication")),
            QStringList{QStringLiteral("sync")}, 30000);
        store::PgStore desk(QStringLiteral("host='%1,%2' port=5432 user=test dbname=shop")
                                .arg(primary.socketFolder(), standby.socketFolder()));
        QString inUse;
        desk.setOnConnected([&](const QString& where) { inUse = where; });
        receipt::ReceiptSaver saver(desk);
        QStringList saved;
        for (int i = 0; i < 10; ++i)
            saved << saver.save(test::sampleReceipt(QStringLiteral("主%1").arg(i)));
        QVERIFY2(inUse.contains(primary.socketFolder()), qPrintable(inUse));
        // With the standby down the commit's wait for it is cut short: not called saved, and
        // saving the form again corrects the receipt the primary holds.
        QVERIFY(standby.stop());
        const receipt::ReceiptEntry unconfirmed = test::sampleReceipt(QStringLiteral("未确认"));
        saver.setToken(QStringLiteral("unconfirmed"));
        try {
            saver.save(unconfirmed);
            QFAIL("a save the standby never had was called saved");
        } catch (const store::OutcomeUnknown& error) {
            QVERIFY2(error.message().contains(QStringLiteral("备用服务器没有在规定时间内确认")),
                     qPrintable(error.message()));
        }
        QVERIFY(standby.start());
        QTRY_COMPARE_WITH_TIMEOUT(
            primary.exec(QStringLiteral("postgres"),
                         QStringLiteral("select sync_state from pg_stat_replication")),
            QStringList{QStringLiteral("sync")}, 30000);
        saved << saver.save(unconfirmed);
        saver.setToken(QString()); // the next form is another receipt
        QVERIFY(primary.kill());
        QTest::qWait(1000); // the killed server's backends notice and end
        try {
            desk.largestReceiptId();
            QFAIL("a standby that was not promoted took the desk's command");
        } catch (const data::DatabaseError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("备用服务器还没有接替")),
                     qPrintable(error.message()));
        }
        QVERIFY(standby.promote());
        saved << saver.save(test::sampleReceipt(QStringLiteral("备")));
        QVERIFY2(inUse.contains(standby.socketFolder()), qPrintable(inUse));
        QCOMPARE(standby.exec(QStringLiteral("shop"),
                              QStringLiteral("select kpid from fpmain order by kpid")),
                 saved);
    }

    void tls() {
        test::PgServer server(true);
        QVERIFY2(server.problem().isEmpty(), qPrintable(server.problem()));
        server.createDatabase(QStringLiteral("tls"));
        const struct {
            const char* host;
            const char* mode;
            QString root;
            bool works;
        } cases[] = {
            {"localhost", "verify-full", server.certificate(), true},
            {"127.0.0.1", "verify-full", server.certificate(), false}, // not the certified name
            {"127.0.0.1", "verify-ca", server.certificate(), true},
            {"localhost", "verify-full", server.otherCertificate(), false}, // another authority
        };
        for (const auto& c : cases) {
            store::PgStore s(server.tlsConninfo(QStringLiteral("tls"), QLatin1String(c.host),
                                                QLatin1String(c.mode), c.root));
            bool works = true;
            try {
                s.check();
                QCOMPARE(s.connection()
                             .exec(QStringLiteral(
                                 "select ssl::text from pg_stat_ssl where pid=pg_backend_pid()"))
                             .text(0, 0),
                         QStringLiteral("true"));
            } catch (const data::DatabaseError& error) {
                works = false;
                QVERIFY2(error.message().contains(c.root == server.certificate()
                                                      ? QStringLiteral("发给另一个名字")
                                                      : QStringLiteral("不受信任")),
                         qPrintable(error.message()));
            }
            QCOMPARE(works, c.works);
        }
    }

    // kpdate as the legacy import keeps it ('2005-3-1'), empty texts and NULLs: file, server,
    // file again (and file to file), every value and its type back, earlier versions too, in
    // batches with progress told; the receipts the server refuses, a version's line by its
    // receipt, are named and nothing is copied.
    void copyKeepsEveryValue() {
        test::TempDatabase& original = files_.emplace_back();
        original.exec(
            QStringLiteral("insert into fpmain (kpid,fphm,kpdate,kpdate2,fkfmc,bz1) values "
                           "(1,'1','2005-3-1','2005-3-1','',null),(2,null,'',null,'甲',''),"
                           "(3,'',null,'',null,'x'),(4,'4',20260102,'2026-01-02','乙','y');"
                           "update fpmain set changecount=2 where kpid=4;"
                           "insert into fpdetail (fpmxid,kpid,xm,kjll,je) values (1,1,'',null,'1'),"
                           "(2,4,null,'',null);"
                           "update SysSet set SetValue=null where SetId=27;"
                           "insert into SysSet (SetId,SetValue) values (301,''),(302,null)"));
        original.exec(QStringLiteral(
            "with recursive n(i) as (select 5 union all select i+1 from n where i<1200) insert "
            "into fpmain (kpid,kpdate,fkfmc) select i,20260101+i%28,'批' from n"));
        QList<qint64> told;
        store::PgStore server(server_->createDatabase(QStringLiteral("values")));
        QList<store::ReceiptVersion> kept; // what a correction replaced, to be copied with it
        const auto keptIn = [&](store::Store& s) {
            const QList<store::ReceiptVersion> versions = s.earlierVersions(1);
            return versions.size() == 1 && versions[0].receipt == kept[0].receipt &&
                   versions[0].replacedAt + versions[0].desk == kept[0].replacedAt + kept[0].desk;
        };
        {
            store::FileStore file(original.path());
            store::StoredReceipt corrected = *file.loadReceipt(1);
            corrected.header[int(store::headerColumns().indexOf(QStringLiteral("fkfmc")))] =
                QStringLiteral("改");
            file.rewriteReceipt(corrected);
            kept = file.earlierVersions(1);
            store::StoreConfig config;
            config.server = true;
            config.password = QStringLiteral("秘密");
            store::saveStoreConfig(file, config);
            store::copyStore(file, server, [&](qint64 done, qint64 total) {
                QCOMPARE(total, qint64(1202));
                told << done;
            });
            QVERIFY_THROWS_EXCEPTION(data::DatabaseError, store::copyStore(file, server));
        }
        QVERIFY(keptIn(server));
        QVERIFY(server.setting(206).isEmpty()); // the password stays in the local file
        QCOMPARE(server.loadReceipt(4)->changes, qint64(2));
        QCOMPARE(told.size(), 4);
        QCOMPARE(told.last(), qint64(1202));
        QCOMPARE(server.loadReceipt(1)->header.at(1), QStringLiteral("2005-3-1"));
        test::TempDatabase& back = files_.emplace_back();
        {
            store::FileStore file(back.path());
            store::copyStore(server, file);
            QVERIFY(keptIn(file));
        }
        QCOMPARE(back.snapshot(), original.snapshot().filter(
                                      QRegularExpression(QStringLiteral("^(?!SysSet 20[1-8]')"))));
        test::TempDatabase& twin = files_.emplace_back();
        {
            store::FileStore from(original.path());
            store::FileStore to(twin.path());
            store::copyStore(from, to);
        }
        QCOMPARE(twin.snapshot(), back.snapshot());
        // New ids go on after the copied ones.
        QCOMPARE(server.insertReceipt(*server.loadReceipt(1)), qint64(1201));

        const QString unstorable = QStringLiteral("cast(x'e4b8ad' as text)||char(0)||'尾'");
        original.exec(QStringLiteral("insert into fpmain (kpid,fkfmc) values (1201,%1);"
                                     "insert into fpmain_history (histid,kpid) values (9,4);"
                                     "insert into fpdetail_history (histid,fpmxid,xm) values "
                                     "(9,2,%1)")
                          .arg(unstorable));
        store::PgStore refusing(server_->createDatabase(QStringLiteral("refusing")));
        store::FileStore file(original.path());
        try {
            store::copyStore(file, refusing);
            QFAIL("a receipt the server cannot hold was copied");
        } catch (const data::DatabaseError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("编号为 4、1201 的票据（共 2 张）")),
                     qPrintable(error.message()));
        }
        QCOMPARE(refusing.largestReceiptId(), qint64(0));
    }

    // A window whose file chooses a server that is down: it says so at start-up, takes the
    // form's date and defaults from the local file, shows the server as its store and never
    // keeps a receipt in the local file. Once the server is back the receipt is stored with
    // them; while another session holds fpmain locked the save answers within seconds.
    void windowWithServerDown() {
        test::MessageRecorder boxes;
        const test::TempDatabase& local = files_.emplace_back();
        server_->createDatabase(QStringLiteral("window"));
        {
            store::FileStore file(local.path());
            store::PgStore(server_->conninfo(QStringLiteral("window"))).check();
            store::StoreConfig config;
            config.server = true;
            config.host = server_->socketFolder();
            config.database = QStringLiteral("window");
            config.user = QStringLiteral("test");
            config.tls = false;
            store::saveStoreConfig(file, config);
        }
        QVERIFY(server_->stop());
        app::Tfrmqj w(local.folder() + QStringLiteral("zelk"));
        w.show();
        const QString refused = QStringLiteral("无法连接数据存储服务器");
        QVERIFY2(boxes.texts().join(u'\n').contains(refused),
                 qPrintable(boxes.texts().join(u'\n')));
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("storeLabel"))->text().contains(u"服务器"));
        QCOMPARE(w.entryPage()->entry().issueDate, QDate::currentDate());
        const QString payee = store::schema::defaultSetting(store::schema::payeeSetting);
        QCOMPARE(w.entryPage()->entry().payeeName, payee);
        boxes.clear();
        w.entryPage()->payerField()->setText(QStringLiteral("付款方"));
        QTest::keyClicks(w.entryPage()->amountCell(0), QStringLiteral("5"));
        w.entryPage()->saveButton()->click();
        QVERIFY2(boxes.texts().join(u'\n').contains(QStringLiteral("连接")),
                 qPrintable(boxes.texts().join(u'\n')));
        QCOMPARE(local.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("0"));

        QVERIFY(server_->start());
        PGconn* blocker = PQconnectdb(server_->conninfo(QStringLiteral("window")).toUtf8());
        PQclear(PQexec(blocker, "begin; lock table fpmain in access exclusive mode"));
        boxes.clear();
        QElapsedTimer waited;
        waited.start();
        w.entryPage()->saveButton()->click();
        QVERIFY(waited.elapsed() < 20000);
        QVERIFY2(
            boxes.texts().join(u'\n').contains(QStringLiteral("另一台电脑正在保存，请稍后再试。")),
            qPrintable(boxes.texts().join(u'\n')));
        PQfinish(blocker);

        boxes.clear();
        w.entryPage()->saveButton()->click();
        QCOMPARE(boxes.texts().value(0), QStringLiteral("保存成功！"));
        QCOMPARE(server_->exec(QStringLiteral("window"),
                               QStringLiteral("select kpdate::text||'|'||skfmc from fpmain")),
                 QStringList{QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                             QLatin1Char('|') + payee});
    }
};

QTEST_MAIN(TestStore)
#include "test_store.moc"
