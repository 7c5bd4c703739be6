// Faults with a real database file and a real template file: the disk full during a save, a
// failure between two statements of a save, the file made read-only, the file replaced by
// garbage or truncated while the program runs, another program holding the write lock, and the
// template deleted or corrupted between two previews. Each must give a clear message, leave
// what is stored exactly as it was, and the next operation must work once the fault is gone.
#include "samples.h"

#include "data/databaseerror.h"
#include "data/query.h"
#include "data/tdmtd.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "report/layout.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace zelk;

namespace {

// Saves and reads back; fails the test when what is read differs from what was saved.
void saveWorks(store::Store& store, const receipt::ReceiptEntry& entry) {
    const QString id = receipt::ReceiptSaver(store).save(entry);
    const receipt::ReceiptEntry back = receipt::loadReceipt(store, id.toLongLong());
    QCOMPARE(back.payerName, entry.payerName);
    QCOMPARE(back.remarks, entry.remarks);
    QCOMPARE(back.lines, entry.lines);
}

// Saves the entry, expecting a DatabaseError whose sentence or engine detail holds one of the
// parts.
void saveFails(store::Store& store, const receipt::ReceiptEntry& entry, const QStringList& parts) {
    try {
        const QString id = receipt::ReceiptSaver(store).save(entry);
        QFAIL(qPrintable(QStringLiteral("the save reported success (id %1)").arg(id)));
    } catch (const data::DatabaseError& error) {
        const QString both = error.message() + u'\n' + error.detail();
        bool named = parts.isEmpty() && !error.message().isEmpty();
        for (const QString& part : parts)
            named = named || both.contains(part);
        QVERIFY2(named, qPrintable(both));
    }
}

using test::sampleReceipt;

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void faultDuringSave_data();
    void faultDuringSave();
    void fileDamagedWhileOpen_data();
    void fileDamagedWhileOpen();
    void templateBrokenBetweenTwoPreviews_data();
    void templateBrokenBetweenTwoPreviews();
};

void TestFaults::faultDuringSave_data() {
    // The fault, the receipt (new, or a rewrite of the stored one) and the engine's message.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("rewrite");
    QTest::addColumn<QString>("message");
    for (bool rewrite : {false, true}) {
        const char* kind = rewrite ? "rewrite" : "insert";
        for (int line = 1; line <= 5; ++line)
            QTest::addRow("%s, line %d fails", kind, line)
                << QStringLiteral("line %1").arg(line) << rewrite << "simulated write failure";
        QTest::addRow("%s, disk full", kind) << "full" << rewrite << "database or disk is full";
        QTest::addRow("%s, write lock held", kind) << "lock" << rewrite << "database is locked";
        QTest::addRow("%s, reader over the commit", kind)
            << "reader" << rewrite << "database is locked";
    }
}

void TestFaults::faultDuringSave() {
    QFETCH(QString, fault);
    QFETCH(bool, rewrite);
    QFETCH(QString, message);
    test::OpenDatabase db;
    const QString id =
        receipt::ReceiptSaver(db.store()).save(sampleReceipt(QStringLiteral("stored"), 2));
    data::Connection other; // another program on the same file
    other.setConnectionString(db.connectionString());
    other.open();
    data::Query reading(other);
    if (fault.startsWith(QLatin1String("line"))) {
        // The header and the earlier lines are written when the failing line's insert is refused.
        db.exec(QStringLiteral("CREATE TRIGGER fail_line BEFORE INSERT ON fpdetail WHEN new.xm = "
                               "'项目%1' BEGIN SELECT RAISE(ABORT, 'simulated write failure'); END")
                    .arg(fault.mid(5).toInt() - 1));
    } else if (fault == QLatin1String("full")) { // the file may not grow by a single page
        db.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA max_page_count = %1")
                                              .arg(db.scalar(QStringLiteral("PRAGMA page_count"))));
    } else if (fault == QLatin1String("lock")) { // waited for 5 s, then given up
        other.executeDirect(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        // In the middle of reading: the save gets its write lock, but the commit cannot have
        // the file to itself (a short wait keeps the test quick; the program waits 5 s).
        reading.add(QStringLiteral("select * from fpmain"));
        reading.open();
        db.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA busy_timeout = 200"));
    }
    const QStringList before = db.snapshot();
    const QByteArray hash = test::fileHash(db.path());

    receipt::ReceiptEntry entry = sampleReceipt(QStringLiteral("changed"), 5, 100000);
    if (rewrite)
        entry.receiptId = id;
    saveFails(db.store(), entry, {message});
    QCOMPARE(db.snapshot(), before);
    QCOMPARE(test::fileHash(db.path()), hash); // not a byte of the file changed
    QCOMPARE(db.store().largestReceiptId(), id.toLongLong());

    // The failed save left no transaction behind: once the fault is gone, the save works on
    // the same connection.
    db.exec(QStringLiteral("DROP TRIGGER IF EXISTS fail_line"));
    db.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    reading.close();
    if (fault == QLatin1String("lock"))
        other.executeDirect(QStringLiteral("ROLLBACK"));
    saveWorks(db.store(), entry);
}

void TestFaults::fileDamagedWhileOpen_data() {
    QTest::addColumn<QString>("damage");
    for (const char* damage : {"garbage", "half", "one page", "empty", "replaced", "deleted"})
        QTest::newRow(damage) << QString::fromLatin1(damage);
}

void TestFaults::fileDamagedWhileOpen() {
    QFETCH(QString, damage);
    test::OpenDatabase db;
    // Enough receipts that the file has several pages to lose.
    for (int i = 0; i < 8; ++i)
        receipt::ReceiptSaver(db.store())
            .save(sampleReceipt(QStringLiteral("stored %1").arg(i), 5, 2000));
    const QStringList before = db.snapshot();
    const QByteArray original = test::readFile(db.path());
    const QString aside = db.path() + QStringLiteral(".aside");
    const bool moved = damage == QLatin1String("replaced") || damage == QLatin1String("deleted");
    if (moved)
        QVERIFY(QFile::rename(db.path(), aside));
    if (damage != QLatin1String("deleted")) {
        const qsizetype size = damage == QLatin1String("half")       ? original.size() / 2
                               : damage == QLatin1String("one page") ? 4096
                               : damage == QLatin1String("empty")    ? 0
                                                                     : -1;
        test::writeFile(db.path(), size < 0 ? test::garbage(original.size()) : original.left(size));
    }

    const receipt::ReceiptEntry entry = sampleReceipt(QStringLiteral("after"), 4, 3000);
    saveFails(db.store(), entry, {});

    // The fault goes away: the file is put back as it was.
    if (moved) {
        QFile::remove(db.path());
        QVERIFY(QFile::rename(aside, db.path()));
    } else {
        test::writeFile(db.path(), original);
    }
    QCOMPARE(db.snapshot(), before);
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // The program's own connection goes on working, without being opened again; except after
    // the file was empty: SQLCipher then took it for a new database, and the connection keeps
    // failing with "file is encrypted or is not a database" until it is opened again (as at
    // the program's next start).
    if (damage == QLatin1String("empty")) {
        saveFails(db.store(), entry, {QStringLiteral("not a database")});
        QCOMPARE(db.snapshot(), before);
        db.open();
    }
    saveWorks(db.store(), entry);
}

void TestFaults::templateBrokenBetweenTwoPreviews_data() {
    QTest::addColumn<QString>("damage");
    for (const char* d : {"deleted", "empty", "garbage", "truncated", "json array", "wrong format",
                          "folder in its place", "background garbage", "background deleted"})
        QTest::newRow(d) << QString::fromLatin1(d);
}

void TestFaults::templateBrokenBetweenTwoPreviews() {
    QFETCH(QString, damage);
    test::TempDatabase dir;
    dir.installTemplate();
    const QString path = dir.folder() + QStringLiteral("report/fp3.frf");
    const QString image = dir.folder() + QStringLiteral("report/fp3-blank.png");
    const QByteArray original = test::readFile(path);
    const QByteArray originalImage = test::readFile(image);
    const report::DataSet data{test::fp3Columns(), test::fp3Rows(1)};
    const report::Variables variables{{QStringLiteral("V0"), QStringLiteral("备注")}};
    const report::PreparedReport first =
        report::layoutReport(report::loadTemplate(path), data, variables);

    const bool background = damage.startsWith(QLatin1String("background"));
    if (damage.endsWith(QLatin1String("deleted")) || damage.startsWith(QLatin1String("folder")))
        QVERIFY(QFile::remove(background ? image : path));
    if (damage.startsWith(QLatin1String("folder")))
        QVERIFY(QDir().mkdir(path));
    const std::pair<const char*, QByteArray> contents[] = {
        {"empty", QByteArray()},
        {"garbage", test::garbage(original.size())},
        {"truncated", original.left(original.size() / 2)},
        {"json array", "[1, 2, 3]"},
        {"wrong format", QByteArray(original).replace("zelk-report-template", "other-template")},
        {"background garbage", test::garbage(originalImage.size())}};
    for (const auto& [name, content] : contents)
        if (damage == QLatin1String(name))
            test::writeFile(background ? image : path, content);

    try {
        report::loadTemplate(path);
        QFAIL("a broken template loaded");
    } catch (const report::TemplateError& error) {
        // The message names the file the operator has to look at.
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(background ? image : path)),
                 qPrintable(error.message()));
    }

    // Mended: the next preview gives the same pages as the first.
    QDir().rmdir(path);
    test::writeFile(path, original);
    test::writeFile(image, originalImage);
    QCOMPARE(report::layoutReport(report::loadTemplate(path), data, variables), first);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
