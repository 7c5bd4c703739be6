#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "data/programfolder.h"
#include "data/schema.h"
#include "data/tdmtd.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zelk::data;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestFileLocations : public QObject {
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void installedFirstAndLaterStarts();
    void folderThatCannotBeMade();

private:
    QTemporaryDir tmp_;
};

// In the table T/ stands for a writable temporary folder, H/ for the user's data home.
void TestFileLocations::rule_data() {
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("help");
    QTest::newRow("program folder") << "T/zelk"
                                    << "T/"
                                    << "T/"
                                    << "T/help.chm";
    QTest::newRow("renamed: working folder") << "T/other"
                                             << ""
                                             << "T/"
                                             << "T/help.chm";
    QTest::newRow("installed") << "/nonexistent/usr/bin/zelk"
                               << "H/zelk/"
                               << "H/zelk/"
                               << "/nonexistent/usr/share/zelk/help.chm";
}

void TestFileLocations::rule() {
    QFETCH(QString, exe);
    QFETCH(QString, data);
    QFETCH(QString, report);
    QFETCH(QString, help);
    const QString home = QStringLiteral("/home/用户/.local/share");
    auto expand = [&](QString s) {
        return s.replace(QLatin1String("T/"), tmp_.path() + QLatin1Char('/'))
            .replace(QLatin1String("H/"), home + QLatin1Char('/'));
    };
    const FileLocations files = locateFiles(expand(exe), home);
    QCOMPARE(files.dataFolder, expand(data));
    QCOMPARE(files.templateFolder, expand(report));
    QCOMPARE(files.helpFile, expand(help));
}

// An installed program (its bin/ folder cannot be written) whose shared folder holds the
// template: the first start makes the user's database and copies the template; a later start
// keeps what the user changed.
void TestFileLocations::installedFirstAndLaterStarts() {
    const QString prefix = tmp_.path() + QStringLiteral("/usr/");
    const QString source = QStringLiteral(ZELK_TEST_SOURCE_DIR "/resources/report/");
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("share/zelk/report")));
    for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")})
        QVERIFY(QFile::copy(source + name, prefix + QStringLiteral("share/zelk/report/") + name));
    const FileLocations files =
        locateFiles(prefix + QStringLiteral("bin/zelk"), tmp_.path() + QStringLiteral("/家"));
    QCOMPARE(files.userFolder, tmp_.path() + QStringLiteral("/家/zelk/"));
    prepareUserFolder(files);
    const QString userTemplate = files.userFolder + QStringLiteral("report/fp3.frf");
    QCOMPARE(readAll(userTemplate), readAll(source + QStringLiteral("fp3.frf")));
    QCOMPARE(readAll(files.userFolder + QStringLiteral("report/fp3-blank.png")),
             readAll(source + QStringLiteral("fp3-blank.png")));
    {
        Tdmtd dm;
        dm.Database3_ado.setConnectionString(connectionStringFor(files.dataFolder));
        dm.Database3_ado.open();
        QCOMPARE(dm.settingValue(schema::payeeSetting),
                 schema::defaultSetting(schema::payeeSetting));
        dm.setSettingValue(schema::payeeSetting, QStringLiteral("用户自己的单位"));
    }
    QFile edited(userTemplate);
    QVERIFY(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write("{\"edited\": true}");
    edited.close();

    prepareUserFolder(files);
    QCOMPARE(readAll(userTemplate), QByteArray("{\"edited\": true}"));
    Tdmtd dm;
    dm.Database3_ado.setConnectionString(connectionStringFor(files.dataFolder));
    dm.Database3_ado.open();
    QCOMPARE(dm.settingValue(schema::payeeSetting), QStringLiteral("用户自己的单位"));
}

// A data home below a plain file cannot hold folders, not even for root: the message names the
// folder and nothing is made.
void TestFileLocations::folderThatCannotBeMade() {
    QFile plain(tmp_.path() + QStringLiteral("/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const FileLocations files =
        locateFiles(QStringLiteral("/nonexistent/bin/zelk"), plain.fileName());
    try {
        prepareUserFolder(files);
        QFAIL("a folder below a plain file was reported as made");
    } catch (const DatabaseError& error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("无法创建数据文件夹 ") +
                                            plain.fileName() + QStringLiteral("/zelk/Data")),
                 qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestFileLocations)
#include "test_filelocations.moc"
