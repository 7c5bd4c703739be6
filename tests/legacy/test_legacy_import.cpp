// Import of the older program's Access file: every value compared with the generator's expected
// JSON under both id rules, cancel and failures leaving the database byte for byte as it was,
// the Jet 4 text decoding of compressed values, and zelkctl import-legacy's exit statuses.

#include "testsupport.h"

#include "data/connection.h"
#include "data/schema.h"
#include "legacy/jettext.h"
#include "legacy/legacyimporter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;
using zelk::test::TempDatabase;

namespace {

QString fixture(const QString& name) {
    return QStringLiteral(ZELK_TEST_SOURCE_DIR "/tests/legacy/fixtures/") + name;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject expected(const QString& mdb) {
    QString json = mdb;
    json.replace(u".mdb"_s, u".expected.json"_s);
    return QJsonDocument::fromJson(bytes(fixture(json))).object();
}

// NULL is stored as empty text; Long Integers as their digits.
QString text(const QJsonValue& v) {
    return v.isDouble() ? QString::number(v.toInteger()) : v.toString();
}

zelk::legacy::ImportSummary import(const TempDatabase& db, const QString& mdb, bool settings,
                                   const zelk::legacy::Progress& progress = {}) {
    zelk::data::Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.open();
    zelk::legacy::LegacyImporter importer(connection);
    importer.setImportSettings(settings);
    return importer.run(fixture(mdb), progress);
}

} // namespace

class TestLegacyImport : public QObject {
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void unchanged_data();
    void unchanged();
    void jet4Text_data();
    void jet4Text();
    void zelkctl_data();
    void zelkctl();
};

void TestLegacyImport::values_data() {
    QTest::addColumn<QString>("mdb");
    QTest::addColumn<bool>("settings");
    QTest::addColumn<bool>("ours"); // the database already holds a receipt of ours
    QTest::newRow("small, ids kept") << u"legacy-small.mdb"_s << true << false;
    QTest::newRow("small, renumbered") << u"legacy-small.mdb"_s << false << true;
    QTest::newRow("password, ids kept") << u"legacy-small-password.mdb"_s << false << false;
    QTest::newRow("empty") << u"legacy-empty.mdb"_s << true << false;
}

void TestLegacyImport::values() {
    QFETCH(QString, mdb);
    QFETCH(bool, settings);
    QFETCH(bool, ours);
    TempDatabase db;
    if (ours)
        db.exec(u"INSERT INTO fpmain (fphm) VALUES ('ours'); "
                "INSERT INTO fpdetail (kpid, xm) VALUES (1, 'ours');"_s);
    const auto summary = import(db, mdb, settings);
    QCOMPARE(summary.renumbered, ours);
    const QJsonObject json = expected(mdb);

    // Receipts: in old order, after ours when renumbered.
    QHash<qint64, qint64> newId;
    QMap<QString, QStringList> want;
    for (const QJsonValue& r : json[u"fpmain"_s].toArray()) {
        const QJsonObject row = r.toObject();
        const qint64 old = row[u"kpid"_s].toInteger();
        newId.insert(old, ours ? newId.size() + 2 : old);
        for (auto it = row.begin(); it != row.end(); ++it)
            want[it.key()] << text(it.value());
        want[u"kpid"_s].last() = QString::number(newId.value(old));
    }
    const auto check = [&](const QString& from) {
        for (auto it = want.cbegin(); it != want.cend(); ++it)
            QCOMPARE(db.column(u"SELECT %1 FROM %2"_s.arg(it.key(), from)), it.value());
    };
    check(u"fpmain WHERE fphm IS NOT 'ours' ORDER BY kpid"_s);

    // Lines: orphans skipped, each receipt's lines following it in their old order.
    QList<QJsonObject> lines;
    for (const QJsonValue& l : json[u"fpdetail"_s].toArray())
        if (newId.contains(l[u"kpid"_s].toInteger(-1)))
            lines << l.toObject();
    // Kept ids keep the old fpmxid order; new ids follow each receipt.
    if (ours)
        std::stable_sort(lines.begin(), lines.end(),
                         [](const QJsonObject& a, const QJsonObject& b) {
                             return a[u"kpid"_s].toInteger() < b[u"kpid"_s].toInteger();
                         });
    want.clear();
    for (const QJsonObject& row : lines) {
        for (auto it = row.begin(); it != row.end(); ++it)
            want[it.key()] << text(it.value());
        want[u"kpid"_s].last() = QString::number(newId.value(row[u"kpid"_s].toInteger()));
    }
    if (ours)
        want.remove(u"fpmxid"_s);
    check(u"fpdetail WHERE xm IS NOT 'ours' ORDER BY fpmxid"_s);
    QCOMPARE(summary.receipts, newId.size());
    QCOMPARE(summary.lines, lines.size());

    // Settings 27-30 only when asked; the counters continue above the largest id.
    QStringList setValues;
    for (const QJsonValue& s : json[u"SysSet"_s].toArray()) {
        const int id = s[u"SetId"_s].toInt();
        if (id >= 27 && id <= 30)
            setValues << (settings ? text(s[u"SetValue"_s])
                                   : zelk::data::schema::defaultSetting(id));
    }
    QCOMPARE(db.column(u"SELECT SetValue FROM SysSet ORDER BY SetId"_s), setValues);
    if (!ours) {
        const QString largest = db.scalar(u"SELECT coalesce(max(kpid), 0) FROM fpmain"_s);
        db.exec(u"INSERT INTO fpmain (fphm) VALUES ('next')"_s);
        QCOMPARE(db.scalar(u"SELECT kpid FROM fpmain WHERE fphm = 'next'"_s).toLongLong(),
                 largest.toLongLong() + 1);
    }
}

void TestLegacyImport::unchanged_data() {
    QTest::addColumn<QString>("mdb");
    QTest::addColumn<double>("cancelAt"); // share of the progress; 0 means never
    QTest::addColumn<QString>("trap");    // SQL arranged first to make the import fail
    const QString small = u"legacy-small.mdb"_s;
    QTest::newRow("cancel while reading") << small << 0.25 << QString();
    QTest::newRow("cancel while writing") << small << 0.75 << QString();
    QTest::newRow("write fails half-way")
        << small << 0.0
        << u"CREATE TRIGGER trap BEFORE INSERT ON fpdetail WHEN new.kpid = 12 "
           "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s;
    QTest::newRow("not an Access file") << u"README.txt"_s << 0.0 << QString();
    QTest::newRow("missing file") << u"nothing.mdb"_s << 0.0 << QString();
}

void TestLegacyImport::unchanged() {
    QFETCH(QString, mdb);
    QFETCH(double, cancelAt);
    QFETCH(QString, trap);
    TempDatabase db;
    db.exec(u"UPDATE SysSet SET SetValue = 'ours' WHERE SetId = 27"_s +
            (trap.isEmpty() ? u""_s : u";"_s + trap));
    const QByteArray before = bytes(db.path());
    const auto progress = [&](qint64 done, qint64 total) {
        return cancelAt == 0 || done < cancelAt * total;
    };
    QVERIFY_THROWS_EXCEPTION(std::exception, import(db, mdb, true, progress));
    QVERIFY(bytes(db.path()) == before);
}

void TestLegacyImport::jet4Text_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("compressed, switching to two bytes and back")
        << QByteArray::fromHex("fffe41002d4e00420d0a") << u"A中B\r\n"_s;
}

void TestLegacyImport::jet4Text() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    QCOMPARE(zelk::legacy::decodeJet4Text(stored), text);
}

void TestLegacyImport::zelkctl_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("receipts");
    QTest::newRow("imported") << QStringList{fixture(u"legacy-small.mdb"_s), u"--settings"_s} << 0
                              << u"31"_s;
    QTest::newRow("not an Access file") << QStringList{fixture(u"README.txt"_s)} << 1 << u"0"_s;
    QTest::newRow("no file named") << QStringList{u"--settings"_s} << 2 << u"0"_s;
}

void TestLegacyImport::zelkctl() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, receipts);
    TempDatabase db;
    QProcess process;
    process.start(QStringLiteral(ZELK_TEST_BINARY_DIR "/zelkctl"),
                  QStringList{u"import-legacy"_s, u"--database"_s, db.path()} + arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(db.scalar(u"SELECT count(*) FROM fpmain"_s), receipts);
}

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "test_legacy_import.moc"
