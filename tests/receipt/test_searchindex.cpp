#include "data/tdmtd.h"
#include "data/transaction.h"
#include "receipt/historymodel.h"
#include "receipt/receiptsaver.h"
#include "store/filesearchindex.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QtTest>
#include <random>

using namespace zelk;
using namespace zelk::receipt;
namespace si = zelk::store::searchindex;

namespace {

using Ids = QList<qint64>;

// Characters that stress the tokens: both cases, digits, LIKE's special characters, blanks
// and breaks, Chinese, a character outside the BMP, a private-use character (what ASCII
// punctuation maps to) and a NUL.
const QString alphabet =
    QStringLiteral("aAbBzZ0129%_\\-.: \n'\"公司有限瀚星😀é") + QChar(0xE02D) + QChar(0);

QString randomText(std::mt19937& rng, int maxLength) {
    const QList<uint> ucs4 = alphabet.toUcs4();
    const std::vector<char32_t> points(ucs4.begin(), ucs4.end());
    QString out;
    for (int n = std::uniform_int_distribution<int>(0, maxLength)(rng); n > 0; --n)
        out += QString::fromUcs4(
            &points[std::uniform_int_distribution<std::size_t>(0, points.size() - 1)(rng)], 1);
    return out;
}

// Inserts receipts with random searched columns in one transaction, the way another program
// would (fpmain's triggers queue them for the index).
void insertRandom(data::Tdmtd& dm, std::mt19937& rng, int count) {
    data::Transaction transaction(dm.Database3_ado);
    for (int i = 0; i < count; ++i) {
        data::Query& q = dm.Qry_Insert;
        q.close();
        q.clear();
        q.add(QStringLiteral("insert into fpmain (kpdate,fphm,jdhm,fkfmc,kpr,bz2) values "
                             "(20240101,:a,:b,:c,:d,:e)"));
        for (const char* column : {"a", "b", "c", "d", "e"})
            q.bind(QString::fromLatin1(column), randomText(rng, 6));
        q.execute();
    }
    transaction.commit();
}

Ids searchIds(data::Tdmtd& dm, const QString& text) {
    store::FileStore file(dm.Database3_ado);
    HistoryModel model(file);
    model.search({text, {}, {}});
    while (model.canFetchMore({}))
        model.fetchMore({});
    Ids ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.receiptIdAt(row);
    return ids;
}

// The plain LIKE scan: the search statement without the index, stepped to the end.
Ids scanIds(data::Tdmtd& dm, const QString& text) {
    data::Query q(dm.Database3_ado);
    prepareHistorySearch(q, {text, {}, {}}, nullptr, -1);
    Ids ids;
    for (q.open(); !q.eof(); q.next())
        ids << q.fieldAsInteger(QStringLiteral("kpid"));
    return ids;
}

} // namespace

class TestSearchIndex : public QObject {
    Q_OBJECT
private slots:
    void init() {
        db_ = std::make_unique<test::TempDatabase>();
        dm_ = std::make_unique<data::Tdmtd>();
        dm_->Database3_ado.setConnectionString(db_->connectionString());
        dm_->Database3_ado.open();
    }

    // Thousands of search texts of every kind give the same rows in the same order through
    // the index as the plain scan, on a file indexed by a build (half) and by the queue (half).
    void sameRowsAsScan() {
        std::mt19937 rng(20261206);
        db_->exec(QStringLiteral("drop table fpsearch_state"));
        insertRandom(*dm_, rng, 1500);
        QCOMPARE(si::state(dm_->Database3_ado), si::State::Missing);
        QVERIFY(si::update(dm_->Database3_ado));
        insertRandom(*dm_, rng, 1500);
        QVERIFY(si::update(dm_->Database3_ado));
        QVERIFY(si::isReady(dm_->Database3_ado));
        const QStringList joined = db_->column(QStringLiteral(
            "select coalesce(fphm,'')||coalesce(jdhm,'')||coalesce(fkfmc,'')||coalesce(kpr,'')||"
            "coalesce(bz2,'') from fpmain"));
        for (int i = 0; i < 2500; ++i) {
            QString text = randomText(rng, 5);
            if (i % 2) { // a piece of a stored text, across column ends, in another case
                const QString& from = joined[i % joined.size()];
                const qsizetype at = std::uniform_int_distribution<qsizetype>(0, from.size())(rng);
                text = from.mid(at, std::uniform_int_distribution<int>(1, 6)(rng));
                text = i % 4 == 1 ? text.toUpper() : text;
            }
            const Ids expected = scanIds(*dm_, text);
            QVERIFY2(searchIds(*dm_, text) == expected, qPrintable(text.toUtf8().toHex()));
        }
    }

    // A change by another program leaves the index stale; searches stay exact meanwhile and the
    // next update (start-up) mends only what changed. A file whose index lost a trigger or has
    // another format is rebuilt. The saver keeps the index in step by itself.
    void staleIndexFoundAndMended() {
        store::FileStore file(dm_->Database3_ado);
        ReceiptSaver saver(file);
        ReceiptEntry entry;
        entry.issueDate = QDate(2024, 1, 1);
        entry.payerName = QStringLiteral("旧名称公司");
        entry.totalFigures = QStringLiteral("1.00");
        const QString id = saver.save(entry);
        QCOMPARE(si::state(dm_->Database3_ado), si::State::Ready);
        db_->exec(QStringLiteral("update fpmain set fkfmc='新名称公司' where kpid=%1").arg(id));
        QCOMPARE(si::state(dm_->Database3_ado), si::State::Pending);
        QCOMPARE(searchIds(*dm_, QStringLiteral("新名称")), Ids{id.toLongLong()});
        QVERIFY(si::update(dm_->Database3_ado));
        QCOMPARE(searchIds(*dm_, QStringLiteral("新名称")), Ids{id.toLongLong()});
        QVERIFY(searchIds(*dm_, QStringLiteral("旧名称")).isEmpty());
        entry.receiptId = id;
        entry.payerName = QStringLiteral("再改名称");
        saver.save(entry);
        QCOMPARE(si::state(dm_->Database3_ado), si::State::Ready);
        QCOMPARE(searchIds(*dm_, QStringLiteral("再改名")), Ids{id.toLongLong()});
        for (const char* damage : {"drop trigger fpsearch_fpmain_update",
                                   "update fpsearch_state set version=version+1"}) {
            db_->exec(QString::fromLatin1(damage));
            QCOMPARE(si::state(dm_->Database3_ado), si::State::Missing);
            QVERIFY(si::update(dm_->Database3_ado));
            QCOMPARE(searchIds(*dm_, QStringLiteral("再改名")), Ids{id.toLongLong()});
        }
    }

    // A build stopped part-way (cancelled, or killed: the step under way rolls back) leaves a
    // file that works: searches scan until a later update completes the index.
    void interruptedBuildResumes() {
        std::mt19937 rng(7);
        db_->exec(QStringLiteral("drop table fpsearch_state"));
        insertRandom(*dm_, rng, 1200);
        int calls = 0;
        QVERIFY(!si::update(dm_->Database3_ado, [&](qint64, qint64) { return ++calls < 2; }));
        QCOMPARE(si::state(dm_->Database3_ado), si::State::Partial);
        QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpsearch")), QStringLiteral("0"));
        const QString text = QStringLiteral("公司");
        const Ids expected = scanIds(*dm_, text);
        QCOMPARE(searchIds(*dm_, text), expected);
        dm_->Database3_ado.open(); // as after a restart
        QVERIFY(si::update(dm_->Database3_ado));
        QVERIFY(si::isReady(dm_->Database3_ado));
        QCOMPARE(searchIds(*dm_, text), expected);
    }

private:
    std::unique_ptr<test::TempDatabase> db_;
    std::unique_ptr<data::Tdmtd> dm_;
};

QTEST_GUILESS_MAIN(TestSearchIndex)
#include "test_searchindex.moc"
