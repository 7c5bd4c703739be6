// Import of the older program's Access file: every value compared with the generator's expected
// JSON under both id rules, cancel and failures leaving the database byte for byte as it was,
// the Jet 4 text decoding of compressed values; zelkctl import-legacy only passes its arguments on.

#include "testsupport.h"

#include "legacy/jettext.h"
#include "legacy/legacyerror.h"
#include "legacy/legacyimporter.h"
#include "store/fileschema.h"
#include "store/filestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
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

// `mdb` is a fixture's name or a full path.
zelk::legacy::ImportSummary import(const TempDatabase& db, const QString& mdb, bool settings,
                                   const zelk::legacy::Progress& progress = {}) {
    zelk::store::FileStore file(db.path());
    zelk::legacy::LegacyImporter importer(file);
    importer.setImportSettings(settings);
    return importer.run(QFileInfo(mdb).isAbsolute() ? mdb : fixture(mdb), progress);
}

struct Run {
    int exitCode;
    QString err;
};

Run zelkctl(const QStringList& arguments) {
    QProcess process;
    process.start(zelk::test::builtFile(QStringLiteral("zelkctl")), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestLegacyImport : public QObject {
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void unchanged_data();
    void unchanged();
    // A file cut short is refused whole: nothing written, the file named.
    void damaged_data();
    void damaged();
    // zelkctl: a cut file exits 1 with libmdb's text only as a detail line; the same receipts a
    // second time exit 1 naming the first import; --again imports them.
    void commandRefusesDamageAndRepeats();
    // The summary speaks the form's words: no column names or old ids; amounts compared as
    // decimals.
    void summaryWords();
    void jet4Text_data();
    void jet4Text();
};

void TestLegacyImport::values_data() {
    QTest::addColumn<QString>("mdb");
    QTest::addColumn<bool>("settings");
    // What the database holds of ours first (ids used up to 1); none: ids are kept.
    QTest::addColumn<QString>("arrange");
    const QString small = QStringLiteral("legacy-small.mdb");
    QTest::newRow("small, ids kept") << small << true << QString();
    QTest::newRow("small, renumbered")
        << small << false
        << QStringLiteral("INSERT INTO fpmain (fphm) VALUES ('ours'); "
                          "INSERT INTO fpdetail (kpid, xm) VALUES (1, 'ours');");
    // Receipt 1 was corrected, then removed: its earlier version stays its own.
    QTest::newRow("small, after an earlier version")
        << small << false
        << QStringLiteral("INSERT INTO fpmain_history (kpid, fphm) VALUES (1, 'ours')");
    QTest::newRow("password, ids kept")
        << QStringLiteral("legacy-small-password.mdb") << false << QString();
    QTest::newRow("empty") << QStringLiteral("legacy-empty.mdb") << true << QString();
}

void TestLegacyImport::values() {
    QFETCH(QString, mdb);
    QFETCH(bool, settings);
    QFETCH(QString, arrange);
    const bool ours = !arrange.isEmpty();
    TempDatabase db;
    if (ours)
        db.exec(arrange);
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
                                   : zelk::store::schema::defaultSetting(id));
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

void TestLegacyImport::damaged_data() {
    QTest::addColumn<qsizetype>("length");
    for (const qsizetype length : {100000, 140000, 156000, 188000, 191000})
        QTest::addRow("%lld bytes", qlonglong(length)) << length;
    // Whole pages: only what libmdb could not read tells.
    for (qsizetype pages = 2; pages < 192512 / 4096; ++pages)
        QTest::addRow("%lld pages", qlonglong(pages)) << pages * 4096;
}

void TestLegacyImport::damaged() {
    QFETCH(qsizetype, length);
    static const QStringList whole = [] {
        TempDatabase full;
        import(full, QStringLiteral("legacy-small.mdb"), true);
        return full.snapshot();
    }();
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("zelk.mdb"));
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes(fixture(QStringLiteral("legacy-small.mdb"))).left(length));
    file.close();
    TempDatabase db;
    const QByteArray before = bytes(db.path());
    try {
        import(db, cut, true);
        // Only pages no table uses may be missing; then everything came over.
        QVERIFY(length % 4096 == 0);
        QCOMPARE(db.snapshot(), whole);
    } catch (const zelk::legacy::LegacyError& error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("旧数据文件已损坏")) &&
                     error.message().contains(QDir::toNativeSeparators(cut)),
                 qPrintable(error.message()));
        QVERIFY(bytes(db.path()) == before);
    }
}

void TestLegacyImport::commandRefusesDamageAndRepeats() {
    TempDatabase db;
    const QString small = fixture(QStringLiteral("legacy-small.mdb"));
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.mdb"));
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes(small).left(156000));
    file.close();
    const QByteArray empty = bytes(db.path());
    Run run =
        zelkctl({QStringLiteral("import-legacy"), cut, QStringLiteral("--database"), db.path()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("旧数据文件已损坏")) && run.err.contains(cut),
             qPrintable(run.err));
    QVERIFY(bytes(db.path()) == empty);

    const QStringList once = {QStringLiteral("import-legacy"), small, QStringLiteral("--database"),
                              db.path()};
    QCOMPARE(zelkctl(once).exitCode, 0);
    const QByteArray imported = bytes(db.path());
    run = zelkctl(once);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("已在")) && run.err.contains(small) &&
                 run.err.contains(QStringLiteral("--again")),
             qPrintable(run.err));
    QVERIFY(bytes(db.path()) == imported);
    const QString receipts = db.scalar(QStringLiteral("SELECT count(*) FROM fpmain"));
    QCOMPARE(zelkctl(once + QStringList{QStringLiteral("--again")}).exitCode, 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM fpmain")).toInt(),
             2 * receipts.toInt());
}

void TestLegacyImport::summaryWords() {
    TempDatabase db;
    db.exec(QStringLiteral("INSERT INTO fpmain (fphm) VALUES ('ours')"));
    const QString text = import(db, QStringLiteral("legacy-small.mdb"), false).text();
    static const QRegularExpression columns(
        QStringLiteral("(?<![A-Za-z])(fphm|kpdate2?|hyfl|kjll|jexx|jedx|je|kpid|fpmxid|SetId|"
                       "SysSet)(?![A-Za-z])"));
    // The stored values quoted in 「」 are the shop's own.
    QString ours = text;
    ours.remove(QRegularExpression(QStringLiteral("「[^」]*」")));
    QVERIFY2(!columns.match(ours).hasMatch(), qPrintable(ours));
    QVERIFY(!text.contains(
        QRegularExpression(QStringLiteral("(收据|明细|设置) \\d+(?![\\d ]*[张行项])"))));
    QVERIFY(text.contains(QStringLiteral("合计金额「999.00」与各行金额之和「900.00」不一致")));
    QVERIFY(!text.contains(QStringLiteral("合计金额「1200」")));
    QVERIFY(text.contains(QStringLiteral("开票日期「2013-02-05」的收据（导入后编号 ")));
    QVERIFY(text.contains(QStringLiteral("开票日期「2013205」不是有效的日期")));
    QVERIFY(text.contains(QStringLiteral("有 7 行明细")) && !text.contains(QStringLiteral("只印")));
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
