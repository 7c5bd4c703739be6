#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/query.h"
#include "data/tdmtd.h"
#include "data/transaction.h"
#include "store/fileschema.h"
#include "store/filestore.h"
#include "store/schemaversion.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

using namespace zelk::data;
using zelk::test::OpenDatabase;
using zelk::test::TempDatabase;
namespace schema = zelk::store::schema;

class TestData : public QObject {
    Q_OBJECT

private slots:
    void executableFolder_data();
    void executableFolder();
    void settings_data();
    void settings();
    void queryErrorsAndRollback();
    void fileIsEncrypted();
    void earlierFileIsBroughtUpToDate();
    void foreignFileIsRefusedUnchanged_data();
    void foreignFileIsRefusedUnchanged();
};

void TestData::executableFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("programFolder");
    const char* table[][3] = {
        {"/opt/receipts/zelk", "/opt/receipts/", "/opt/receipts/"},
        {"/opt/receipts/ZELK", "/opt/receipts/", "/opt/receipts/"},
        {"/apps/zelk.exe", "/apps/", "/apps/"},
        {"/apps/ZELK.EXE", "/apps/", "/apps/"},
        {"/apps/Zelk", "", "/apps/"}, // mixed case is not recognised
        {"/apps/receipts", "", "/apps/"},
        {"/zelk/other", "", "/zelk/"},
        {"/apps/zelkctl", "", "/apps/"},
        {"/zelk", "/", "/"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << row[0] << row[1] << row[2];
}

void TestData::executableFolder() {
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(QString, programFolder);
    QCOMPARE(zelk::data::executableFolder(path), folder);
    QCOMPARE(zelk::data::programFolder(path), programFolder);
}

void TestData::settings_data() {
    QTest::addColumn<QString>("text");
    for (const auto& [name, text] : zelk::test::hostileTexts())
        QTest::newRow(name) << text;
    QTest::newRow("lines") << QStringLiteral(" 第一行\n第二行 \n");
}

// Settings through the file store: stored and read back exactly, a missing row added.
void TestData::settings() {
    QFETCH(QString, text);
    OpenDatabase db;
    zelk::store::FileStore file(db.dm.Database3_ado);
    db.exec(QStringLiteral("update SysSet set SetValue=NULL where SetId=28"));
    QCOMPARE(file.setting(28), QString()); // NULL
    QCOMPARE(file.setting(99), QString()); // no such row
    QCOMPARE(file.setting(schema::issuerSetting), schema::defaultSetting(29));
    for (int setId : {schema::payeeSetting, schema::noticeSetting, 99}) {
        file.setSettings({{setId, text}});
        QCOMPARE(db.setting(setId), text);
        QCOMPARE(file.setting(setId), text);
    }
}

void TestData::queryErrorsAndRollback() {
    OpenDatabase db;
    Connection& c = db.dm.Database3_ado;
    Query q(c);
    for (const char* sql : {"select * from nosuchtable", "select * from fpmain where kpid=:kpid",
                            "select 1; delete from fpmain"}) {
        q.clear();
        q.add(QString::fromLatin1(sql));
        if (QByteArray(sql).contains(':'))
            q.bind(QStringLiteral("kpdi"), qint64(1)); // misspelt
        QVERIFY_THROWS_EXCEPTION(DatabaseError, q.open());
        QVERIFY(!q.isOpen());
    }
    try {
        Transaction t(c);
        c.executeDirect(QStringLiteral("insert into fpmain (fphm) values ('x')"));
        c.executeDirect(QStringLiteral("insert into nosuchtable values (1)"));
        t.commit();
        QFAIL("no error");
    } catch (const DatabaseError&) {
    }
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("0"));
    // Ids are never reused, even after the largest row is gone.
    db.exec(QStringLiteral("insert into fpmain (kpid) values (2); delete from fpmain"));
    c.executeDirect(QStringLiteral("insert into fpmain (fphm) values ('y')"));
    QCOMPARE(zelk::store::FileStore(c).largestReceiptId(), 3);
    c.close();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q.open());
}

void TestData::fileIsEncrypted() {
    TempDatabase db;
    const QByteArray bytes = zelk::test::readFile(db.path());
    QVERIFY(!bytes.startsWith("SQLite format 3"));
    QVERIFY(!bytes.contains("CREATE TABLE"));
    QVERIFY(!bytes.contains(schema::defaultSetting(29).toUtf8()));
}

// A file of the first layout (no change counter, no earlier versions' tables, no version)
// gains what later versions added when a store opens it, keeps its rows, and is counted once.
void TestData::earlierFileIsBroughtUpToDate() {
    TempDatabase db;
    db.exec(QStringLiteral(
        "drop table fpmain_history; drop table fpdetail_history; PRAGMA user_version=0;"
        "drop table PrinterChoice; drop table PrinterOffset; create table PrinterOffset "
        "(PrinterName TEXT PRIMARY KEY, OffsetX INTEGER, OffsetY INTEGER);"
        "drop table fpmain; create table fpmain (kpid INTEGER PRIMARY KEY AUTOINCREMENT, fphm "
        "TEXT, kpdate INTEGER, kpdate2 TEXT, hyfl TEXT, jdhm TEXT, qssj TEXT, jcsj TEXT, jym TEXT, "
        "fkfmc TEXT, jexx TEXT, jedx TEXT, skfmc TEXT, kpr TEXT, bz1 TEXT, bz2 TEXT);"
        "insert into fpmain (kpid,fphm,fkfmc) values (1,'7','甲')"));
    const auto versionAndTables = [&]() -> QString {
        return db.scalar(QStringLiteral("PRAGMA user_version")) + u' ' +
               db.column(QStringLiteral("select name from sqlite_master where name like "
                                        "'%history' or name='fpmain_summary' order by name"))
                   .join(u',');
    };
    QCOMPARE(versionAndTables(), QStringLiteral("0 "));
    for (int open = 0; open < 2; ++open) {
        zelk::store::FileStore store(db.path());
        QVERIFY(store.hasChangeCounter());
        QCOMPARE(versionAndTables(),
                 QStringLiteral("%1 fpdetail_history,fpmain_history,fpmain_summary")
                     .arg(zelk::store::fileSchemaVersion));
        zelk::store::StoredReceipt receipt = *store.loadReceipt(1);
        receipt.header[zelk::store::headerColumns().indexOf(QStringLiteral("fkfmc"))] =
            QStringLiteral("乙");
        store.rewriteReceipt(receipt);
        QCOMPARE(store.earlierVersions(1).size(), open + 1);
    }
    // An earlier version finds every table and column it knew, its rows as they were.
    zelk::store::FileStore again(db.path());
    QCOMPARE(db.scalar(QStringLiteral("select kpid||fphm||fkfmc||changecount from fpmain")),
             QStringLiteral("17乙2"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from sqlite_master where name in "
                                      "('PrinterChoice','PrinterOffset')")),
             QStringLiteral("2"));
    QCOMPARE(db.column(QStringLiteral("PRAGMA table_info(PrinterOffset)")).size(), 7);

    // A file of version 3 gains the summary index.
    db.exec(QStringLiteral("drop index fpmain_summary; PRAGMA user_version=3"));
    zelk::store::FileStore{db.path()};
    QCOMPARE(versionAndTables(),
             QStringLiteral("4 fpdetail_history,fpmain_history,fpmain_summary"));
}

void TestData::foreignFileIsRefusedUnchanged_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no settings") << "drop table SysSet"
                                 << "没有表 SysSet";
    QTest::newRow("line without amount")
        << "drop table fpdetail; create table fpdetail (fpmxid INTEGER PRIMARY KEY, kpid INTEGER)"
        << "表 fpdetail 缺少列";
}

// The connection opens any file with our key; a store refuses one without the receipt tables
// before writing into it (no version steps), by either way of opening, and says why.
void TestData::foreignFileIsRefusedUnchanged() {
    QFETCH(QString, sql);
    QFETCH(QString, reason);
    TempDatabase db;
    db.exec(sql + QStringLiteral("; PRAGMA user_version=0"));
    const QByteArray before = zelk::test::fileHash(db.path());
    for (bool byPath : {true, false}) {
        Connection c;
        c.setConnectionString(db.connectionString());
        c.open();
        try {
            if (byPath)
                zelk::store::FileStore store(db.path());
            else
                zelk::store::FileStore store(c);
            QFAIL("a foreign file was opened");
        } catch (const DatabaseError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("不是本程序的票据数据库")) &&
                         error.message().contains(reason),
                     qPrintable(error.message()));
        }
        QCOMPARE(c.isOpen(), byPath);
    }
    QCOMPARE(zelk::test::fileHash(db.path()), before);
}

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
