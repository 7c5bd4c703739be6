// Backups of the encrypted file: a backup restores every row over a damaged file, what is not
// one of our databases is refused without change, automatic backups run once a day and keep ten.
#include "testsupport.h"

#include "backup/filebackup.h"
#include "data/connection.h"
#include "data/databaseerror.h"
#include "settings/backupdialog.h"
#include "store/fileschema.h"

#include <QDir>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

namespace {

int mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Receipts with every hostile text and a line each, bound as parameters, so a lost or changed
// value shows in a snapshot.
void fill(const zelk::test::TempDatabase& db, int receipts) {
    sqlite3* handle =
        zelk::data::openEncrypted(db.path(), QString::fromLatin1(zelk::data::databaseKey), false);
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* header = nullptr;
    sqlite3_stmt* line = nullptr;
    sqlite3_prepare_v2(handle, "insert into fpmain (fphm, kpdate, fkfmc) values (?, ?, ?)", -1,
                       &header, nullptr);
    sqlite3_prepare_v2(handle, "insert into fpdetail (kpid, xm, je) values (?, ?, '1.00')", -1,
                       &line, nullptr);
    const auto& hostile = zelk::test::hostileTexts();
    for (int i = 0; i < receipts; ++i) {
        const QByteArray text = hostile[i % hostile.size()].second.left(5000).toUtf8();
        sqlite3_bind_int(header, 1, i);
        sqlite3_bind_int(header, 2, 20260000 + i);
        sqlite3_bind_text(header, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(header), SQLITE_DONE);
        sqlite3_reset(header);
        sqlite3_bind_int64(line, 1, sqlite3_last_insert_rowid(handle));
        sqlite3_bind_text(line, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(line), SQLITE_DONE);
        sqlite3_reset(line);
    }
    sqlite3_finalize(header);
    sqlite3_finalize(line);
    sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
}

QString run(const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.start(zelk::test::builtFile(QStringLiteral("zelkctl")), arguments);
    process.waitForFinished(-1);
    *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

const QDateTime noon(QDate(2026, 12, 6), QTime(12, 0));

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    void restoreOverDamagedFile();
    void refusesWhatIsNotOurs_data();
    void refusesWhatIsNotOurs();
    void automaticOncePerDayKeepsTen();
    void dialogBacksUpAndRestores();
};

// zelkctl backup, then the current file cut in half, then zelkctl restore: every row back, the
// damaged file kept aside, the backup owner-only.
void TestBackup::restoreOverDamagedFile() {
    zelk::test::TempDatabase db;
    fill(db, 300);
    const QStringList before = db.snapshot();
    int status = -1;
    const QString written =
        run({QStringLiteral("backup"), QStringLiteral("--database"), db.path()}, &status).trimmed();
    QCOMPARE(status, 0);
    QCOMPARE(QFileInfo(written).absolutePath(),
             QFileInfo(db.folder() + QStringLiteral("Data/backup")).absoluteFilePath());
    QCOMPARE(mode(written), 0600);
    QCOMPARE(mode(QFileInfo(written).absolutePath()), 0700);

    const QByteArray whole = zelk::test::readFile(db.path());
    zelk::test::writeFile(db.path(), whole.left(whole.size() / 2));
    QVERIFY_THROWS_EXCEPTION(zelk::data::DatabaseError, zelk::backup::checkDatabase(db.path()));

    const QString said =
        run({QStringLiteral("restore"), written, QStringLiteral("--database"), db.path()}, &status);
    QVERIFY2(status == 0, qPrintable(said));
    QCOMPARE(db.snapshot(), before);
    QCOMPARE(mode(db.path()), 0600);
    const QStringList aside = QDir(db.folder() + QStringLiteral("Data"))
                                  .entryList({QStringLiteral("zelk.mdb.before-restore-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(zelk::test::readFile(db.folder() + QStringLiteral("Data/") + aside.first()).size(),
             whole.size() / 2);
    QVERIFY(said.contains(QStringLiteral("收据 300 张，明细 300 行")));
}

void TestBackup::refusesWhatIsNotOurs_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("other key") << "other key";
    QTest::newRow("backup cut in half") << "cut";
    QTest::newRow("no receipt tables") << "no tables";
}

// The candidate is refused with a reason, and the current file and its folder stay as they were.
void TestBackup::refusesWhatIsNotOurs() {
    QFETCH(QString, kind);
    zelk::test::TempDatabase db;
    fill(db, 20);
    const QString candidate = db.folder() + QStringLiteral("candidate.mdb");
    if (kind == QLatin1String("garbage")) {
        zelk::test::writeFile(candidate, zelk::test::garbage(50000));
    } else if (kind == QLatin1String("cut")) {
        const QString made =
            zelk::backup::makeBackup(db.path(), db.folder() + QStringLiteral("b"), noon);
        const QByteArray bytes = zelk::test::readFile(made);
        zelk::test::writeFile(candidate, bytes.left(bytes.size() / 2));
    } else {
        const bool ours = kind == QLatin1String("no tables");
        sqlite3* other = zelk::data::openEncrypted(
            candidate, ours ? QString::fromLatin1(zelk::data::databaseKey) : QStringLiteral("x"),
            true);
        sqlite3_exec(other, "create table fpmain (kpid integer)", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    const QByteArray hash = zelk::test::fileHash(db.path());
    const QStringList files = QDir(db.folder() + QStringLiteral("Data")).entryList(QDir::Files);
    try {
        zelk::backup::restoreBackup(candidate, db.path(), noon);
        QFAIL("restored a file that is not one of our receipt databases");
    } catch (const zelk::data::DatabaseError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("candidate.mdb")),
                 qPrintable(error.message()));
    }
    QCOMPARE(zelk::test::fileHash(db.path()), hash);
    QCOMPARE(QDir(db.folder() + QStringLiteral("Data")).entryList(QDir::Files), files);
}

// Leaving the program backs up at most once a day into Data/backup/, keeps the newest ten, and
// every kept file opens with the program's key and holds every receipt.
void TestBackup::automaticOncePerDayKeepsTen() {
    zelk::test::TempDatabase db;
    fill(db, 5);
    const QString folder = zelk::backup::automaticFolder(db.path());
    QVERIFY(!zelk::backup::runAutomaticBackup(db.path(), noon).isEmpty());
    QVERIFY(zelk::backup::runAutomaticBackup(db.path(), noon.addSecs(3600)).isEmpty());
    for (int day = 1; day <= 11; ++day) {
        db.exec(QStringLiteral("insert into fpmain (fphm) values ('day %1')").arg(day));
        QVERIFY(!zelk::backup::runAutomaticBackup(db.path(), noon.addDays(day)).isEmpty());
    }
    const QList<zelk::backup::BackupEntry> kept = zelk::backup::listBackups(folder);
    QCOMPARE(kept.size(), zelk::backup::keptBackups);
    QCOMPARE(kept.first().made, noon.addDays(11));
    QCOMPARE(kept.last().made, noon.addDays(2));
    QVERIFY(kept.first().problem.isEmpty());
    QCOMPARE(kept.first().check.receipts, 5 + 11);
    QCOMPARE(kept.last().check.receipts, 5 + 2);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), zelk::backup::keptBackups);
}

// The window's way: leaving backs up once a day; the dialog lists it, and restoring it releases
// the program's connection, puts every row back and opens the file again.
void TestBackup::dialogBacksUpAndRestores() {
    zelk::test::TempDatabase db;
    fill(db, 30);
    const QStringList before = db.snapshot();
    zelk::test::MessageRecorder messages;
    zelk::settings::backUpOnExit(nullptr, db.path());
    zelk::settings::backUpOnExit(nullptr, db.path());
    QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
    QStringList calls;
    zelk::settings::BackupDialog dialog(
        db.path(), false,
        {[&] { calls << QStringLiteral("release"); }, [&] { calls << QStringLiteral("reopen"); }});
    QCOMPARE(dialog.table()->rowCount(), 1);
    QCOMPARE(dialog.table()->item(0, 1)->text(), QStringLiteral("30"));
    const QString automatic = dialog.table()->item(0, 0)->data(Qt::UserRole).toString();

    db.exec(QStringLiteral("delete from fpdetail"));
    dialog.restoreFrom(automatic);
    QCOMPARE(calls, (QStringList{QStringLiteral("release"), QStringLiteral("reopen")}));
    QCOMPARE(db.snapshot(), before);
    QVERIFY(messages.texts().last().contains(QStringLiteral("before-restore-")));

    // A file that is not a backup changes nothing and is said.
    calls.clear();
    dialog.restoreFrom(db.folder() + QStringLiteral("missing.mdb"));
    QVERIFY(calls.isEmpty());
    QVERIFY(messages.texts().last().startsWith(QStringLiteral("不能恢复：")));
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
