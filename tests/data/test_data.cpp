#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/tdmtd.h"
#include "data/transaction.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelk::data;

class TestData : public QObject {
    Q_OBJECT

private slots:
    void executableFolder_data();
    void executableFolder();
    void connectionStringOfFolder();
    void settingLookup();
    void largestReceiptId();
    void openFailures_data();
    void openFailures();
    void queryReadsAndBinds();
    void queryErrors();
    void transactionRollsBackOnError();
    void initDbRefusesExistingFile();
    void fileIsEncrypted();
};

void TestData::executableFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("programFolder");
    QTest::newRow("zelk") << "/opt/receipts/zelk"
                          << "/opt/receipts/"
                          << "/opt/receipts/";
    QTest::newRow("ZELK") << "/opt/receipts/ZELK"
                          << "/opt/receipts/"
                          << "/opt/receipts/";
    QTest::newRow("zelk.exe") << "/apps/zelk.exe"
                              << "/apps/"
                              << "/apps/";
    QTest::newRow("ZELK.EXE") << "/apps/ZELK.EXE"
                              << "/apps/"
                              << "/apps/";
    QTest::newRow("mixed case not recognised") << "/apps/Zelk"
                                               << ""
                                               << "/apps/";
    QTest::newRow("other name") << "/apps/receipts"
                                << ""
                                << "/apps/";
    QTest::newRow("name only in folder") << "/zelk/other"
                                         << ""
                                         << "/zelk/";
    QTest::newRow("longer name") << "/apps/zelkctl"
                                 << ""
                                 << "/apps/";
    QTest::newRow("root") << "/zelk"
                          << "/"
                          << "/";
}

void TestData::executableFolder() {
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(QString, programFolder);
    QCOMPARE(zelk::data::executableFolder(path), folder);
    QCOMPARE(zelk::data::programFolder(path), programFolder);
}

void TestData::connectionStringOfFolder() {
    const QString cs = connectionStringFor(QStringLiteral(" /opt/receipts/ "));
    QCOMPARE(cs, QStringLiteral("Data Source=/opt/receipts/Data/zelk.mdb;Password=mvrpbk4709125"));
    QCOMPARE(connectionStringFor(QString()),
             QStringLiteral("Data Source=Data/zelk.mdb;Password=mvrpbk4709125"));
    Connection c;
    c.setConnectionString(cs);
    QCOMPARE(c.path(), QStringLiteral("/opt/receipts/Data/zelk.mdb"));
    QCOMPARE(c.key(), QStringLiteral("mvrpbk4709125"));
}

void TestData::settingLookup() {
    zelk::test::TempDatabase db;
    db.exec(QStringLiteral("update SysSet set SetValue='  abc  ' where SetId=27;"
                           "update SysSet set SetValue=NULL where SetId=28;"
                           "update SysSet set SetValue=' 第一行\n第二行 \n' where SetId=30"));
    Tdmtd dm;
    dm.Database3_ado.setConnectionString(db.connectionString());
    dm.Database3_ado.open();
    QCOMPARE(dm.settingValue(27), QStringLiteral("abc"));
    QCOMPARE(dm.settingValue(28), QString());
    QCOMPARE(dm.settingValue(29), schema::defaultSetting(29));
    QCOMPARE(dm.settingValue(30), QStringLiteral("第一行\n第二行"));
    QCOMPARE(dm.settingValue(99), QString());
    QVERIFY(!dm.Qry_Func.isOpen());

    dm.setSettingValue(29, QStringLiteral(" it's \"quoted\" \\ "));
    QCOMPARE(db.scalar(QStringLiteral("select SetValue from SysSet where SetId=29")),
             QStringLiteral(" it's \"quoted\" \\ "));
}

void TestData::largestReceiptId() {
    zelk::test::TempDatabase db;
    Tdmtd dm;
    dm.Database3_ado.setConnectionString(db.connectionString());
    dm.Database3_ado.open();
    QCOMPARE(dm.largestReceiptId(), 0);
    db.exec(QStringLiteral("insert into fpmain (fphm) values ('a');"
                           "insert into fpmain (fphm) values ('b');"));
    QCOMPARE(dm.largestReceiptId(), 2);
    // Ids are never reused, even after the largest row is gone.
    db.exec(
        QStringLiteral("delete from fpmain where kpid=2; insert into fpmain (fphm) values ('c')"));
    QCOMPARE(dm.largestReceiptId(), 3);
}

void TestData::openFailures_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("missing file") << "missing"
                                  << "找不到";
    QTest::newRow("wrong key") << "wrongkey"
                               << "密码不对";
    QTest::newRow("plain text file") << "text"
                                     << "密码不对";
    QTest::newRow("folder") << "folder"
                            << "不是文件";
}

void TestData::openFailures() {
    QFETCH(QString, kind);
    QFETCH(QString, messagePart);
    zelk::test::TempDatabase db;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Data/zelk.mdb"));
    QString key = QString::fromLatin1(databaseKey);
    if (kind == QLatin1String("wrongkey")) {
        path = db.path();
        key = QStringLiteral("wrong");
    } else if (kind == QLatin1String("text")) {
        QDir(dir.path()).mkpath(QStringLiteral("Data"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("这不是数据库\nplain text, long enough to fill a header of sixteen bytes\n");
    } else if (kind == QLatin1String("folder")) {
        QDir(dir.path()).mkpath(QStringLiteral("Data/zelk.mdb"));
    }
    const QByteArray before = QFile::exists(path) && QFileInfo(path).isFile()
                                  ? [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }()
                                  : QByteArray();
    Connection c;
    c.setConnectionString(QStringLiteral("Data Source=%1;Password=%2").arg(path, key));
    try {
        c.open();
        QFAIL("open succeeded");
    } catch (const DatabaseError& error) {
        QVERIFY2(error.message().contains(messagePart), qPrintable(error.message()));
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
    }
    QVERIFY(!c.isOpen());
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFile::exists(path));
    if (!before.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
}

void TestData::queryReadsAndBinds() {
    zelk::test::TempDatabase db;
    Connection c;
    c.setConnectionString(db.connectionString());
    c.open();
    Query insert(c);
    const QString awkward = QStringLiteral("O'Brien \"引号\" %_\\ \n第二行") + QChar(0) + u'尾';
    for (int i = 0; i < 3; ++i) {
        insert.close();
        insert.clear();
        insert.add(QStringLiteral("insert into fpdetail (kpid, xm)"));
        insert.add(QStringLiteral(" values(:kpid, :xm)"));
        insert.bind(QStringLiteral("kpid"), QString::number(7));
        insert.bind(QStringLiteral("xm"), awkward + QString::number(i));
        insert.execute();
    }
    Query q(c);
    q.add(QStringLiteral("select * from fpdetail"));
    q.add(QStringLiteral(" where kpid=:kpid order by fpmxid"));
    q.bind(QStringLiteral("kpid"), qint64(7));
    q.open();
    QStringList items;
    for (; !q.eof(); q.next())
        items.append(q.fieldAsText(QStringLiteral("xm")));
    QCOMPARE(items, (QStringList{awkward + u'0', awkward + u'1', awkward + u'2'}));
    q.first();
    const int xm = q.fieldIndex(QStringLiteral("xm"));
    QCOMPARE(q.fieldUtf8(xm).toByteArray(), (awkward + u'0').toUtf8()); // NUL kept
    QCOMPARE(q.fieldAsInteger(q.fieldIndex(QStringLiteral("kpid"))), 7);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q.fieldIndex(QStringLiteral("nosuchfield")));
    QCOMPARE(q.fieldAsInteger(QStringLiteral("KPID")), 7);    // names compare without case
    QCOMPARE(q.fieldAsText(QStringLiteral("sl")), QString()); // NULL reads as empty
    QVERIFY(q.fieldIsNull(QStringLiteral("sl")));
    QCOMPARE(db.scalar(QStringLiteral("select typeof(kpid) from fpdetail limit 1")),
             QStringLiteral("integer"));
}

void TestData::queryErrors() {
    zelk::test::TempDatabase db;
    Connection c;
    c.setConnectionString(db.connectionString());
    c.open();
    Query q(c);
    auto expectError = [&](const char* what) {
        try {
            q.open();
            QFAIL(what);
        } catch (const DatabaseError&) {
        }
        QVERIFY(!q.isOpen());
    };
    q.add(QStringLiteral("select * from nosuchtable"));
    expectError("missing table");
    q.clear();
    q.add(QStringLiteral("select * from fpmain where kpid=:kpid"));
    q.bind(QStringLiteral("kpdi"), qint64(1));
    expectError("misspelt parameter");
    q.clear();
    q.add(QStringLiteral("select 1; delete from fpmain"));
    expectError("two statements");
    q.clear();
    q.add(QStringLiteral("select * from fpmain"));
    q.open();
    QVERIFY(q.eof());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q.fieldAsText(QStringLiteral("fphm")));
    c.close();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q.open());
}

void TestData::transactionRollsBackOnError() {
    zelk::test::TempDatabase db;
    Connection c;
    c.setConnectionString(db.connectionString());
    c.open();
    try {
        Transaction t(c);
        c.executeDirect(QStringLiteral("insert into fpmain (fphm) values ('x')"));
        c.executeDirect(QStringLiteral("insert into nosuchtable values (1)"));
        t.commit();
        QFAIL("no error");
    } catch (const DatabaseError&) {
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("0"));
    {
        Transaction t(c);
        c.executeDirect(QStringLiteral("insert into fpmain (fphm) values ('y')"));
        t.commit();
    }
    QCOMPARE(db.scalar(QStringLiteral("select fphm from fpmain")), QStringLiteral("y"));
}

void TestData::initDbRefusesExistingFile() {
    zelk::test::TempDatabase db;
    QFile f(db.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QProcess tool;
    tool.start(QStringLiteral(ZELK_TEST_BINARY_DIR) + QStringLiteral("/zelkctl"),
               {QStringLiteral("init-db"), db.path()});
    QVERIFY(tool.waitForFinished());
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(QString::fromUtf8(tool.readAllStandardError()).contains(db.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);

    // A fresh file has the three tables, both indexes and the four settings.
    QCOMPARE(
        db.column(QStringLiteral("select name from sqlite_master where type in "
                                 "('table','index') and name not like 'sqlite%' order by name")),
        (QStringList{"SysSet", "fpdetail", "fpdetail_kpid", "fpmain", "fpmain_kpdate"}));
    QCOMPARE(db.column(QStringLiteral("select SetId from SysSet order by SetId")),
             (QStringList{"27", "28", "29", "30"}));
}

void TestData::fileIsEncrypted() {
    zelk::test::TempDatabase db;
    QFile f(db.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.startsWith("SQLite format 3"));
    QVERIFY(!bytes.contains("CREATE TABLE"));
    QVERIFY(!bytes.contains(schema::defaultSetting(29).toUtf8()));
    if (!QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {db.path(), QStringLiteral("select * from SysSet")});
        QVERIFY(shell.waitForFinished());
        QVERIFY(shell.exitCode() != 0);
    }
}

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
