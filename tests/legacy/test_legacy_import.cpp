// Import of the older program's Access file: every value compared with the generator's expected
// JSON under both id rules, cancel and failures leaving the database byte for byte as it was,
// the Jet 4 text decoding of compressed values; zelkctl import-legacy only passes its arguments on.

#include "testsupport.h"

#include "data/connection.h"
#include "data/schema.h"
#include "legacy/jettext.h"
#include "legacy/legacyimporter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
    json.replace(QStringLiteral(".mdb"), QStringLiteral(".expected.json"));
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
};

void TestLegacyImport::values_data() {
    QTest::addColumn<QString>("mdb");
    QTest::addColumn<bool>("settings");
    QTest::addColumn<bool>("ours"); // the database already holds a receipt of ours
    QTest::newRow("small, ids kept") << QStringLiteral("legacy-small.mdb") << true << false;
    QTest::newRow("small, renumbered") << QStringLiteral("legacy-small.mdb") << false << true;
    QTest::newRow("password, ids kept")
        << QStringLiteral("legacy-small-password.mdb") << false << false;
    QTest::newRow("empty") << QStringLiteral("legacy-empty.mdb") << true << false;
}

void TestLegacyImport::values() {
    QFETCH(QString, mdb);
    QFETCH(bool, settings);
    QFETCH(bool, ours);
    TempDatabase db;
    if (ours)
        db.exec(QStringLiteral("INSERT INTO fpmain (fphm) VALUES ('ours'); "
                               "INSERT INTO fpdetail (kpid, xm) VALUES (1, 'ours');"));
    const auto summary = import(db, mdb, settings);
    QCOMPARE(summary.renumbered, ours);
    const QJsonObject json = expected(mdb);

    // Receipts: in old order, after ours when renumbered.
    QHash<qint64, qint64> newId;
    QMap<QString, QStringList> want;
    for (const QJsonValue& r : json[QStringLiteral("fpmain")].toArray()) {
        const QJsonObject row = r.toObject();
        const qint64 old = row[QStringLiteral("kpid")].toInteger();
        newId.insert(old, ours ? newId.size() + 2 : old);
        for (auto it = row.begin(); it != row.end(); ++it)
            want[it.key()] << text(it.value());
        want[QStringLiteral("kpid")].last() = QString::number(newId.value(old));
    }
    const auto check = [&](const QString& from) {
        for (auto it = want.cbegin(); it != want.cend(); ++it)
            QCOMPARE(db.column(QStringLiteral("SELECT %1 FROM %2").arg(it.key(), from)),
                     it.value());
    };
    check(QStringLiteral("fpmain WHERE fphm IS NOT 'ours' ORDER BY kpid"));

    // Lines: orphans skipped, each receipt's lines following it in their old order.
    QList<QJsonObject> lines;
    for (const QJsonValue& l : json[QStringLiteral("fpdetail")].toArray())
        if (newId.contains(l[QStringLiteral("kpid")].toInteger(-1)))
            lines << l.toObject();
    // Kept ids keep the old fpmxid order; new ids follow each receipt.
    const QString kpid = QStringLiteral("kpid");
    if (ours)
        std::stable_sort(lines.begin(), lines.end(),
                         [&](const QJsonObject& a, const QJsonObject& b) {
                             return a[kpid].toInteger() < b[kpid].toInteger();
                         });
    want.clear();
    for (const QJsonObject& row : lines) {
        for (auto it = row.begin(); it != row.end(); ++it)
            want[it.key()] << text(it.value());
        want[kpid].last() = QString::number(newId.value(row[kpid].toInteger()));
    }
    if (ours)
        want.remove(QStringLiteral("fpmxid"));
    check(QStringLiteral("fpdetail WHERE xm IS NOT 'ours' ORDER BY fpmxid"));
    QCOMPARE(summary.receipts, newId.size());
    QCOMPARE(summary.lines, lines.size());

    // Settings 27-30 only when asked; the counters continue above the largest id.
    QStringList setValues;
    for (const QJsonValue& s : json[QStringLiteral("SysSet")].toArray()) {
        const int id = s[QStringLiteral("SetId")].toInt();
        if (id >= 27 && id <= 30)
            setValues << (settings ? text(s[QStringLiteral("SetValue")])
                                   : zelk::data::schema::defaultSetting(id));
    }
    QCOMPARE(db.column(QStringLiteral("SELECT SetValue FROM SysSet ORDER BY SetId")), setValues);
    if (!ours) {
        const QString largest =
            db.scalar(QStringLiteral("SELECT coalesce(max(kpid), 0) FROM fpmain"));
        db.exec(QStringLiteral("INSERT INTO fpmain (fphm) VALUES ('next')"));
        QCOMPARE(
            db.scalar(QStringLiteral("SELECT kpid FROM fpmain WHERE fphm = 'next'")).toLongLong(),
            largest.toLongLong() + 1);
    }
}

void TestLegacyImport::unchanged_data() {
    QTest::addColumn<QString>("mdb");
    QTest::addColumn<double>("cancelAt"); // share of the progress; 0 means never
    QTest::addColumn<QString>("trap");    // SQL arranged first to make the import fail
    const QString small = QStringLiteral("legacy-small.mdb");
    QTest::newRow("cancel while reading") << small << 0.25 << QString();
    QTest::newRow("cancel while writing") << small << 0.75 << QString();
    QTest::newRow("write fails half-way")
        << small << 0.0
        << QStringLiteral("CREATE TRIGGER trap BEFORE INSERT ON fpdetail WHEN new.kpid = 12 "
                          "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
    QTest::newRow("not an Access file") << QStringLiteral("README.txt") << 0.0 << QString();
    QTest::newRow("missing file") << QStringLiteral("nothing.mdb") << 0.0 << QString();
}

void TestLegacyImport::unchanged() {
    QFETCH(QString, mdb);
    QFETCH(double, cancelAt);
    QFETCH(QString, trap);
    TempDatabase db;
    db.exec(QStringLiteral("UPDATE SysSet SET SetValue = 'ours' WHERE SetId = 27") +
            (trap.isEmpty() ? QStringLiteral("") : QStringLiteral(";") + trap));
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
        << QByteArray::fromHex("fffe41002d4e00420d0a") << QStringLiteral("A中B\r\n");
}

void TestLegacyImport::jet4Text() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    QCOMPARE(zelk::legacy::decodeJet4Text(stored), text);
}

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "test_legacy_import.moc"
