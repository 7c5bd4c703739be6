// Faults with a real database file and a real template file: the disk full during a save, a
// failure between two statements of a save, the file made read-only, the file replaced by
// garbage or truncated while the program runs, another program holding the write lock, and the
// template deleted or corrupted between two previews. Each must give a clear message, leave
// what is stored exactly as it was, and the next operation must work once the fault is gone.
#include "robustutil.h"

#include "data/databaseerror.h"
#include "data/query.h"
#include "data/tdmtd.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "report/layout.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <unistd.h>

using namespace zelk;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return f.readAll();
}

// Writes into the existing file (same inode), as another program damaging it in place would.
void overwrite(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(content);
}

QByteArray garbage(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7919 + 13) % 251);
    return bytes;
}

struct Open {
    data::Tdmtd dm;
    explicit Open(const test::TempDatabase& db) {
        dm.Database3_ado.setConnectionString(db.connectionString());
        dm.Database3_ado.open();
    }
};

// Saves and reads back; fails the test when what is read differs from what was saved.
void saveWorks(data::Tdmtd& dm, const receipt::ReceiptEntry& entry) {
    receipt::ReceiptSaver saver(dm);
    const QString id = saver.save(entry);
    const receipt::ReceiptEntry back = receipt::loadReceipt(dm.Database3_ado, id.toLongLong());
    QCOMPARE(back.payerName, entry.payerName);
    QCOMPARE(back.remarks, entry.remarks);
    QCOMPARE(back.lines, entry.lines);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void diskFullDuringSave_data();
    void diskFullDuringSave();
    void failureBetweenStatementsOfASave_data();
    void failureBetweenStatementsOfASave();
    void fileMadeReadOnly_data();
    void fileMadeReadOnly();
    void fileDamagedWhileOpen_data();
    void fileDamagedWhileOpen();
    void writeLockHeldByAnotherProgram();
    void readerHoldsTheFileOverACommit();
    void templateBrokenBetweenTwoPreviews_data();
    void templateBrokenBetweenTwoPreviews();
};

void TestFaults::diskFullDuringSave_data() {
    QTest::addColumn<bool>("rewrite");
    QTest::newRow("new receipt") << false;
    QTest::newRow("rewrite of a stored receipt") << true;
}

void TestFaults::diskFullDuringSave() {
    QFETCH(bool, rewrite);
    test::TempDatabase db;
    Open o(db);
    receipt::ReceiptSaver saver(o.dm);
    const QString id = saver.save(robust::sampleReceipt(QStringLiteral("first")));
    const QStringList before = robust::snapshot(db);

    // The file may not grow by a single page: any save that needs a new page fails.
    const QString pages = db.scalar(QStringLiteral("PRAGMA page_count"));
    o.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
    receipt::ReceiptEntry big = robust::sampleReceipt(QStringLiteral("big"), 5, 100000);
    if (rewrite)
        big.receiptId = id;
    try {
        saver.save(big);
        QFAIL("a save into a full file succeeded");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(
            QString::fromUtf8(error.what()).contains(QStringLiteral("database or disk is full")),
            qPrintable(error.message()));
    }
    QCOMPARE(robust::snapshot(db), before);
    QCOMPARE(o.dm.largestReceiptId(), id.toLongLong());

    // Room again: the same save works on the same connection.
    o.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    saveWorks(o.dm, big);
}

void TestFaults::failureBetweenStatementsOfASave_data() {
    QTest::addColumn<int>("failingLine");
    QTest::addColumn<bool>("rewrite");
    for (int line = 1; line <= 5; ++line) {
        QTest::addRow("insert, line %d fails", line) << line << false;
        QTest::addRow("rewrite, line %d fails", line) << line << true;
    }
}

void TestFaults::failureBetweenStatementsOfASave() {
    QFETCH(int, failingLine);
    QFETCH(bool, rewrite);
    test::TempDatabase db;
    Open o(db);
    receipt::ReceiptSaver saver(o.dm);
    const QString id = saver.save(robust::sampleReceipt(QStringLiteral("stored"), 2));
    // The header and the earlier lines are written when the failing line's insert is refused.
    db.exec(QStringLiteral("CREATE TRIGGER fail_line BEFORE INSERT ON fpdetail WHEN "
                           "new.xm = '项目%1' BEGIN SELECT RAISE(ABORT, 'simulated write "
                           "failure'); END")
                .arg(failingLine - 1));
    const QStringList before = robust::snapshot(db);

    receipt::ReceiptEntry entry = robust::sampleReceipt(QStringLiteral("changed"), 5);
    if (rewrite)
        entry.receiptId = id;
    try {
        saver.save(entry);
        QFAIL("the save succeeded although a line could not be written");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(
            QString::fromUtf8(error.what()).contains(QStringLiteral("simulated write failure")),
            qPrintable(error.message()));
    }
    QCOMPARE(robust::snapshot(db), before);

    db.exec(QStringLiteral("DROP TRIGGER fail_line"));
    saveWorks(o.dm, entry);
}

namespace {

// Makes a file unwritable even for root (the immutable attribute), or with file modes for
// other users; undone when the object goes.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(QString path) : path_(std::move(path)) {
        if (geteuid() == 0) {
            usedChattr_ =
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
            ok_ = usedChattr_;
        } else {
            ok_ = QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadUser);
        }
    }
    ~ReadOnlyFile() { release(); }
    bool ok() const { return ok_; }
    void release() {
        if (usedChattr_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        else if (ok_)
            QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        ok_ = usedChattr_ = false;
    }

private:
    QString path_;
    bool ok_ = false;
    bool usedChattr_ = false;
};

} // namespace

void TestFaults::fileMadeReadOnly_data() {
    QTest::addColumn<bool>("openedBefore");
    QTest::newRow("made read-only while open") << true;
    QTest::newRow("read-only when opened") << false;
}

void TestFaults::fileMadeReadOnly() {
    QFETCH(bool, openedBefore);
    test::TempDatabase db;
    std::optional<Open> o;
    if (openedBefore) {
        o.emplace(db);
        receipt::ReceiptSaver(o->dm).save(robust::sampleReceipt(QStringLiteral("first")));
    } else {
        Open first(db);
        receipt::ReceiptSaver(first.dm).save(robust::sampleReceipt(QStringLiteral("first")));
    }
    const QStringList before = robust::snapshot(db);

    ReadOnlyFile readOnly(db.path());
    if (!readOnly.ok())
        QSKIP(
            "cannot make the file read-only here: running as root without chattr +i "
            "(the immutable attribute needs an ext2/3/4-like file system and CAP_LINUX_IMMUTABLE)");
    if (!openedBefore)
        o.emplace(db); // opening a read-only file works: reading it is allowed
    QCOMPARE(receipt::loadReceipt(o->dm.Database3_ado, 1).payerName, QStringLiteral("first"));

    const receipt::ReceiptEntry entry = robust::sampleReceipt(QStringLiteral("second"), 5, 5000);
    try {
        receipt::ReceiptSaver(o->dm).save(entry);
        QFAIL("a save into a read-only file succeeded");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("readonly")) ||
                     QString::fromUtf8(error.what()).contains(QStringLiteral("disk I/O error")),
                 qPrintable(error.message()));
    }
    // Reading shows nothing of the failed save, or, when the failed save left a journal that
    // cannot be rolled back into a read-only file, fails with a message until it is writable.
    try {
        QCOMPARE(o->dm.largestReceiptId(), 1);
    } catch (const data::DatabaseError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("disk I/O error")),
                 qPrintable(error.message()));
    }
    readOnly.release();
    QCOMPARE(robust::snapshot(db), before);

    // Writable again: the next save works (a connection opened read-only must be opened again,
    // as the program does at its next start).
    if (!openedBefore)
        o->dm.Database3_ado.open();
    saveWorks(o->dm, entry);
}

void TestFaults::fileDamagedWhileOpen_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("overwritten with garbage") << QStringLiteral("garbage");
    QTest::newRow("truncated to half") << QStringLiteral("half");
    QTest::newRow("truncated to one page") << QStringLiteral("page");
    QTest::newRow("truncated to nothing") << QStringLiteral("empty");
    QTest::newRow("replaced by another file") << QStringLiteral("replaced");
    QTest::newRow("deleted") << QStringLiteral("deleted");
}

void TestFaults::fileDamagedWhileOpen() {
    QFETCH(QString, damage);
    test::TempDatabase db;
    Open o(db);
    receipt::ReceiptSaver saver(o.dm);
    // Enough receipts that the file has several pages to lose.
    for (int i = 0; i < 8; ++i)
        saver.save(robust::sampleReceipt(QStringLiteral("stored %1").arg(i), 5, 2000));
    const QStringList before = robust::snapshot(db);
    const QByteArray original = readAll(db.path());
    const QString aside = db.path() + QStringLiteral(".aside");

    if (damage == QLatin1String("garbage")) {
        overwrite(db.path(), garbage(original.size()));
    } else if (damage == QLatin1String("half")) {
        overwrite(db.path(), original.left(original.size() / 2));
    } else if (damage == QLatin1String("page")) {
        overwrite(db.path(), original.left(4096));
    } else if (damage == QLatin1String("empty")) {
        overwrite(db.path(), QByteArray());
    } else {
        QVERIFY(QFile::rename(db.path(), aside));
        if (damage == QLatin1String("replaced")) {
            QFile f(db.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage(original.size()));
        }
    }

    const receipt::ReceiptEntry entry = robust::sampleReceipt(QStringLiteral("after"), 4, 3000);
    try {
        const QString id = saver.save(entry);
        QFAIL(qPrintable(
            QStringLiteral("a save into a damaged file reported success (id %1)").arg(id)));
    } catch (const data::DatabaseError& error) {
        QVERIFY2(!error.message().isEmpty(), "no message");
        qInfo("%s: %s", qPrintable(damage), qPrintable(error.message()));
    }

    // The fault goes away: the file is put back as it was.
    if (damage == QLatin1String("replaced") || damage == QLatin1String("deleted")) {
        QFile::remove(db.path());
        QVERIFY(QFile::rename(aside, db.path()));
    } else {
        overwrite(db.path(), original);
    }
    QCOMPARE(robust::snapshot(db), before);
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // The program's own connection goes on working, without being opened again; except after
    // the file was empty: SQLCipher then took it for a new database, and the connection keeps
    // failing with "file is encrypted or is not a database" until it is opened again (as at
    // the program's next start).
    if (damage == QLatin1String("empty")) {
        try {
            receipt::ReceiptSaver(o.dm).save(entry);
        } catch (const data::DatabaseError& error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("not a database")),
                     qPrintable(error.message()));
        }
        QCOMPARE(robust::snapshot(db), before);
        o.dm.Database3_ado.open();
    }
    saveWorks(o.dm, entry);
}

void TestFaults::writeLockHeldByAnotherProgram() {
    test::TempDatabase db;
    Open o(db);
    receipt::ReceiptSaver saver(o.dm);
    saver.save(robust::sampleReceipt(QStringLiteral("first")));
    const QStringList before = robust::snapshot(db);

    data::Connection other;
    other.setConnectionString(db.connectionString());
    other.open();
    other.executeDirect(QStringLiteral("BEGIN IMMEDIATE"));
    // The save waits for the lock for Connection::busyTimeoutMs (5 s), then gives up.
    const receipt::ReceiptEntry entry = robust::sampleReceipt(QStringLiteral("second"));
    try {
        saver.save(entry);
        QFAIL("a save succeeded while another connection held the write lock");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("database is locked")),
                 qPrintable(error.message()));
    }
    QCOMPARE(robust::snapshot(db), before);

    other.executeDirect(QStringLiteral("ROLLBACK"));
    saveWorks(o.dm, entry);
}

void TestFaults::readerHoldsTheFileOverACommit() {
    test::TempDatabase db;
    Open o(db);
    receipt::ReceiptSaver saver(o.dm);
    saver.save(robust::sampleReceipt(QStringLiteral("first")));
    const QStringList before = robust::snapshot(db);

    // Another program in the middle of reading: the save gets its write lock, but the commit
    // cannot have the file to itself. A short wait keeps the test quick; the failure is the same
    // after the program's usual 5 s.
    data::Connection other;
    other.setConnectionString(db.connectionString());
    other.open();
    data::Query reading(other);
    reading.add(QStringLiteral("select * from fpmain"));
    reading.open();
    QVERIFY(!reading.eof());
    o.dm.Database3_ado.executeDirect(QStringLiteral("PRAGMA busy_timeout = 200"));

    const receipt::ReceiptEntry entry = robust::sampleReceipt(QStringLiteral("second"));
    try {
        saver.save(entry);
        QFAIL("a save committed while another connection was reading");
    } catch (const data::DatabaseError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("database is locked")),
                 qPrintable(error.message()));
    }
    reading.close();
    QCOMPARE(robust::snapshot(db), before);
    saveWorks(o.dm, entry);
}

void TestFaults::templateBrokenBetweenTwoPreviews_data() {
    QTest::addColumn<QString>("damage");
    for (const char* d :
         {"deleted", "empty", "garbage", "truncated", "json array", "wrong format",
          "folder in its place", "background image garbage", "background image deleted"})
        QTest::newRow(d) << QString::fromLatin1(d);
}

void TestFaults::templateBrokenBetweenTwoPreviews() {
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const QString source =
        QStringLiteral(ZELK_TEST_SOURCE_DIR) + QStringLiteral("/resources/report/");
    const QString path = dir.filePath(QStringLiteral("fp3.frf"));
    const QString image = dir.filePath(QStringLiteral("fp3-blank.png"));
    QVERIFY(QFile::copy(source + QStringLiteral("fp3.frf"), path));
    QVERIFY(QFile::copy(source + QStringLiteral("fp3-blank.png"), image));
    const QByteArray original = readAll(path);
    const QByteArray originalImage = readAll(image);

    zelk::report::DataSet data;
    data.columns =
        QStringList{QStringLiteral("kpdate2"), QStringLiteral("hyfl"),  QStringLiteral("fphm"),
                    QStringLiteral("jdhm"),    QStringLiteral("qssj"),  QStringLiteral("jcsj"),
                    QStringLiteral("jym"),     QStringLiteral("fkfmc"), QStringLiteral("jedx"),
                    QStringLiteral("jexx"),    QStringLiteral("skfmc"), QStringLiteral("kpr"),
                    QStringLiteral("bz1"),     QStringLiteral("xm"),    QStringLiteral("kjll"),
                    QStringLiteral("dw"),      QStringLiteral("sl"),    QStringLiteral("dj"),
                    QStringLiteral("je")};
    QStringList row;
    for (const QString& c : std::as_const(data.columns))
        row.append(c + QStringLiteral(" 值"));
    data.rows.append(row);
    const zelk::report::Variables variables{{QStringLiteral("V0"), QStringLiteral("备注")}};
    const zelk::report::PreparedReport first =
        zelk::report::layoutReport(zelk::report::loadTemplate(path), data, variables);

    if (damage == QLatin1String("deleted"))
        QVERIFY(QFile::remove(path));
    else if (damage == QLatin1String("empty"))
        overwrite(path, QByteArray());
    else if (damage == QLatin1String("garbage"))
        overwrite(path, garbage(original.size()));
    else if (damage == QLatin1String("truncated"))
        overwrite(path, original.left(original.size() / 2));
    else if (damage == QLatin1String("json array"))
        overwrite(path, "[1, 2, 3]");
    else if (damage == QLatin1String("wrong format"))
        overwrite(path, QByteArray(original).replace("zelk-report-template", "other-template"));
    else if (damage == QLatin1String("folder in its place"))
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
    else if (damage == QLatin1String("background image garbage"))
        overwrite(image, garbage(originalImage.size()));
    else
        QVERIFY(QFile::remove(image));

    try {
        zelk::report::loadTemplate(path);
        QFAIL("a broken template loaded");
    } catch (const zelk::report::TemplateError& error) {
        // The message names the file the operator has to look at.
        const QString named = damage.startsWith(QLatin1String("background")) ? image : path;
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(named)),
                 qPrintable(error.message()));
    }

    // Mended: the next preview gives the same pages as the first.
    if (damage == QLatin1String("folder in its place"))
        QVERIFY(QDir().rmdir(path));
    overwrite(path, original);
    overwrite(image, originalImage);
    QCOMPARE(zelk::report::layoutReport(zelk::report::loadTemplate(path), data, variables), first);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
