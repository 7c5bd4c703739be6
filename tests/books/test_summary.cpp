// Summaries by month and by category equal exact sums of the stored totals, and corrections
// keep the earlier versions, on the local file and on a private PostgreSQL server (which adds up
// itself); zelkctl prints the same.
#include "pgserver.h"
#include "testsupport.h"

#include "store/filestore.h"
#include "store/pgstore.h"

#include <QMap>
#include <QProcess>
#include <QtTest>

namespace {

int headerIndex(const char* column) {
    return int(zelk::store::headerColumns().indexOf(QLatin1String(column)));
}

struct Expected {
    qint64 count = 0;
    qint64 cents = 0;
};

QString cents(qint64 value) {
    return QStringLiteral("%1%2.%3")
        .arg(value < 0 ? QStringLiteral("-") : QString())
        .arg(qAbs(value) / 100)
        .arg(qAbs(value) % 100, 2, 10, QLatin1Char('0'));
}

// Receipts over three months and five categories, with totals from 0.01 to 1234567.89 that
// binary floating point adds up wrongly, and totals that count 0 (empty, "-", words).
QList<zelk::store::StoredReceipt> receipts(QMap<QString, Expected>* byMonth,
                                           QMap<QString, Expected>* byCategory,
                                           QMap<QString, Expected>* november) {
    const QStringList categories = {QStringLiteral("餐饮"), QString(), QStringLiteral("住宿"),
                                    QStringLiteral("'; drop \\ 类"), QStringLiteral("z")};
    QList<zelk::store::StoredReceipt> list;
    for (int i = 0; i < 240; ++i) {
        const QDate date = QDate(2026, 10, 1).addDays(i * 91 / 240);
        qint64 value = (i * 7919LL) % 12345678901LL % 123456790LL; // cents
        QString total = cents(value);
        if (i % 17 == 0) {
            total = QStringList{QString(), QStringLiteral("-"), QStringLiteral("abc")}[i % 3];
            value = 0;
        } else if (i % 13 == 0) {
            total =
                QStringLiteral(" ") + cents(value).chopped(1) + QStringLiteral(" "); // one decimal
            value = value / 10 * 10;
        } else if (i % 11 == 0) {
            value = i % 2 ? 1 : 123456789;
            total = cents(value);
        }
        zelk::store::StoredReceipt receipt;
        receipt.header = QStringList(zelk::store::headerColumns().size(), QString());
        receipt.header[headerIndex("kpdate")] = date.toString(QStringLiteral("yyyyMMdd"));
        receipt.header[headerIndex("hyfl")] = categories[i % categories.size()];
        receipt.header[headerIndex("jexx")] = total;
        list << receipt;
        for (auto [map, key] : {std::pair{byMonth, date.toString(QStringLiteral("yyyy-MM"))},
                                std::pair{byCategory, categories[i % categories.size()]}}) {
            (*map)[key].count += 1;
            (*map)[key].cents += value;
        }
        if (date.month() == 11) {
            (*november)[date.toString(Qt::ISODate)].count += 1;
            (*november)[date.toString(Qt::ISODate)].cents += value;
        }
    }
    return list;
}

QList<zelk::store::SummaryRow> rows(const QMap<QString, Expected>& expected) {
    QList<zelk::store::SummaryRow> list;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        list.append({it.key(), it->count, cents(it->cents)});
    return list;
}

} // namespace

class TestSummary : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exactSums();
    void totalsOfEveryShape_data();
    void totalsOfEveryShape();
    void correctionsKeepEarlierVersions();

private:
    std::unique_ptr<zelk::test::PgServer> server_;
};

void TestSummary::initTestCase() {
    server_ = std::make_unique<zelk::test::PgServer>();
    QVERIFY2(server_->problem().isEmpty(), qPrintable(server_->problem()));
}

void TestSummary::exactSums() {
    QMap<QString, Expected> byMonth, byCategory, november;
    const auto list = receipts(&byMonth, &byCategory, &november);
    zelk::test::TempDatabase db;
    zelk::store::FileStore file(db.path());
    zelk::store::PgStore pg(server_->createDatabase(QStringLiteral("summary")));
    for (zelk::store::Store* store :
         {static_cast<zelk::store::Store*>(&file), static_cast<zelk::store::Store*>(&pg)}) {
        for (const auto& receipt : list)
            store->insertReceipt(receipt);
        using zelk::store::SummaryKey;
        QCOMPARE(store->summarize(SummaryKey::Month, {}, {}), rows(byMonth));
        QCOMPARE(store->summarize(SummaryKey::Category, {}, {}), rows(byCategory));
        QCOMPARE(store->summarize(SummaryKey::Day, QDate(2026, 11, 1), QDate(2026, 11, 30)),
                 rows(november));
    }

    QProcess zelkctl;
    zelkctl.start(zelk::test::builtFile(QStringLiteral("zelkctl")),
                  {QStringLiteral("summary"), QStringLiteral("--by"), QStringLiteral("month"),
                   QStringLiteral("--database"), db.path()});
    zelkctl.waitForFinished(-1);
    QStringList expected;
    for (const auto& row : rows(byMonth))
        expected << QStringLiteral("%1\t%2\t%3").arg(row.key).arg(row.count).arg(row.total);
    QCOMPARE(QString::fromUtf8(zelkctl.readAllStandardOutput()), expected.join(u'\n') + u'\n');
}

// Totals too long for whole-number sums, sums that outgrow them, and texts that count nothing
// add up as exact decimals would.
void TestSummary::totalsOfEveryShape_data() {
    QTest::addColumn<QStringList>("totals");
    QTest::addColumn<QString>("sum");
    QTest::newRow("sums past 2^63") << QStringList(10, QStringLiteral("999999999999999999"))
                                    << QStringLiteral("9999999999999999990.00");
    QTest::newRow("negative sums past 2^63")
        << QStringList(100, QStringLiteral("-99999999999999999.9"))
        << QStringLiteral("-9999999999999999990.00");
    QTest::newRow("more than 18 digits or places")
        << QStringLiteral("12345678901234567890.5|0.0000000000000000001|0.005").split(u'|')
        << QStringLiteral("12345678901234567890.51");
    QTest::newRow("plain shapes") << QStringLiteral("+.5|5.|  -3.25 |007|-0").split(u'|')
                                  << QStringLiteral("9.25");
    // Blanks other than spaces, exponents, full-width digits and words count nothing.
    QTest::newRow("counted as nothing")
        << QString::fromUtf8("| |-|+|.|1e3|1.2.3|\t5|１２|5元|--5").split(u'|')
        << QStringLiteral("0.00");
}

void TestSummary::totalsOfEveryShape() {
    QFETCH(QStringList, totals);
    QFETCH(QString, sum);
    zelk::store::SummaryTotals byMonth(zelk::store::SummaryKey::Month);
    for (const QString& total : totals)
        byMonth.addReceipt("20261207", total.toUtf8());
    const QList<zelk::store::SummaryRow> expected = {
        {QStringLiteral("2026-12"), totals.size(), sum}};
    QCOMPARE(byMonth.rows(), expected);
}

// Two corrections leave the two earlier versions, oldest first, header and lines as they were;
// zelkctl changes lists them before the current one.
void TestSummary::correctionsKeepEarlierVersions() {
    zelk::test::TempDatabase db;
    zelk::store::FileStore file(db.path());
    zelk::store::PgStore pg(server_->createDatabase(QStringLiteral("changes")));
    for (zelk::store::Store* store :
         {static_cast<zelk::store::Store*>(&file), static_cast<zelk::store::Store*>(&pg)}) {
        zelk::store::StoredReceipt first;
        first.header = QStringList(zelk::store::headerColumns().size(), QStringLiteral("v1"));
        first.header[headerIndex("kpdate")] = QStringLiteral("20261206");
        first.header[headerIndex("fkfmc")] = QStringLiteral("甲\t\n'乙");
        first.lines = {{QStringLiteral("项"), QStringLiteral("内容"), QStringLiteral("个"),
                        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2")},
                       {QStringLiteral("二"), {}, {}, {}, {}, QStringLiteral("3")}};
        first.kpid = store->insertReceipt(first);
        const zelk::store::StoredReceipt stored = *store->loadReceipt(first.kpid);
        zelk::store::StoredReceipt second = stored;
        second.header[headerIndex("fkfmc")] = QStringLiteral("丙");
        second.lines = {{QStringLiteral("改"), {}, {}, {}, {}, QStringLiteral("9")}};
        second.changes = store->rewriteReceipt(second);
        zelk::store::StoredReceipt third = second;
        third.header[headerIndex("jexx")] = QStringLiteral("9.00");
        third.lines.clear();
        store->rewriteReceipt(third);

        const QList<zelk::store::ReceiptVersion> versions = store->earlierVersions(first.kpid);
        QCOMPARE(versions.size(), 2);
        QCOMPARE(versions[0].receipt.header, stored.header);
        QCOMPARE(versions[0].receipt.lines, stored.lines);
        QCOMPARE(versions[1].receipt.header, second.header);
        QCOMPARE(versions[1].receipt.lines, second.lines);
        QVERIFY(!versions[0].replacedAt.isEmpty() && !versions[0].desk.isEmpty());
        QCOMPARE(store->earlierVersions(first.kpid + 1).size(), 0);
    }

    QProcess zelkctl;
    zelkctl.start(
        zelk::test::builtFile(QStringLiteral("zelkctl")),
        {QStringLiteral("changes"), QStringLiteral("1"), QStringLiteral("--database"), db.path()});
    zelkctl.waitForFinished(-1);
    const QStringList lines = QString::fromUtf8(zelkctl.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.size(), 4); // three versions and the empty text after the last line break
    QVERIFY(lines[0].startsWith(QStringLiteral("-\t")));
    QVERIFY(lines[0].contains(QStringLiteral("\t甲\\t\\n'乙\t")));
    QVERIFY(lines[0].endsWith(QStringLiteral("\t项/内容/个/1/2/2 | 二/////3")));
    QVERIFY(lines[1].contains(QStringLiteral("\t丙\t")));
    QVERIFY(lines[1].endsWith(QStringLiteral("\t改/////9")));
    QVERIFY(lines[2].contains(QStringLiteral("\t9.00\t")));
    QVERIFY(lines[2].endsWith(u'\t'));
}

QTEST_GUILESS_MAIN(TestSummary)
#include "test_summary.moc"
