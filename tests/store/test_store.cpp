// Both stores behind the one interface: the receipt operations on each, the same search
// results for the same data, two desks on one receipt, the server lost in the middle of a save,
// TLS, a database with ctype C, and copying between them. The server is a private PostgreSQL
// that this program starts (pgserver.h).

#include "pgserver.h"
#include "samples.h"
#include "testsupport.h"

#include "app/tfrmqj.h"
#include "designer/designvalues.h"
#include "receipt/entrypage.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "store/copystore.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/storeconfig.h"

#include <QLabel>
#include <QLineEdit>
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

    void refusesCtypeC() {
        store::PgStore s(server_->createDatabase(QStringLiteral("ctypec"), QStringLiteral("C")));
        try {
            s.check();
            QFAIL("a database with ctype C was used");
        } catch (const data::DatabaseError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("C.UTF-8")),
                     qPrintable(error.message()));
        }
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
                QVERIFY(error.message().contains(QStringLiteral("证书")));
            }
            QCOMPARE(works, c.works);
        }
    }

    void copyBothWays() {
        auto& original = files_.emplace_back();
        store::FileStore file(original.path());
        receipt::ReceiptSaver saver(file);
        for (int i = 0; i < 3; ++i)
            saver.save(test::sampleReceipt(QStringLiteral("复制%1").arg(i), i + 1));
        saver.save(receipt::loadReceipt(file, 2)); // changecount 1
        store::StoreConfig config;
        config.server = true;
        config.password = QStringLiteral("秘密");
        store::saveStoreConfig(file, config);

        store::PgStore server(server_->createDatabase(QStringLiteral("copy")));
        QCOMPARE(store::copyStore(file, server).receipts, qint64(3));
        QVERIFY_THROWS_EXCEPTION(data::DatabaseError, store::copyStore(file, server));
        QVERIFY(server.setting(206).isEmpty()); // the password stays in the local file
        store::FileStore back(files_.emplace_back().path());
        QCOMPARE(store::copyStore(server, back).lines, qint64(6));
        for (qint64 id = 1; id <= 3; ++id) {
            QCOMPARE(server.loadReceipt(id), file.loadReceipt(id));
            QCOMPARE(back.loadReceipt(id), file.loadReceipt(id));
        }
        QCOMPARE(server.loadReceipt(2)->changes, qint64(1));
        // New ids go on after the copied ones.
        QCOMPARE(server.insertReceipt(*file.loadReceipt(1)), qint64(4));
    }

    // A window whose file chooses an unreachable server: it says so at start-up and at the
    // save, shows the server as its store, and never keeps the receipt in the local file.
    void unreachableServerIsNoFallback() {
        test::MessageRecorder boxes;
        const test::TempDatabase& local = files_.emplace_back();
        {
            store::FileStore file(local.path());
            store::StoreConfig config;
            config.server = true;
            config.host = local.folder() + QStringLiteral("no-server");
            config.user = QStringLiteral("test");
            config.tls = false;
            store::saveStoreConfig(file, config);
        }
        data::Tdmtd dm;
        app::Tfrmqj w(dm, local.folder() + QStringLiteral("zelk"));
        w.show();
        const QString refused = QStringLiteral("无法连接数据存储服务器");
        QVERIFY2(boxes.texts().join(u'\n').contains(refused),
                 qPrintable(boxes.texts().join(u'\n')));
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("storeLabel"))->text().contains(u"服务器"));
        boxes.clear();
        w.entryPage()->payerField()->setText(QStringLiteral("付款方"));
        QTest::keyClicks(w.entryPage()->amountCell(0), QStringLiteral("5"));
        w.entryPage()->saveButton()->click();
        QVERIFY2(boxes.texts().join(u'\n').contains(refused),
                 qPrintable(boxes.texts().join(u'\n')));
        QCOMPARE(local.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestStore)
#include "test_store.moc"
