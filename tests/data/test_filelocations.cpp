#include "data/databaseerror.h"
#include "data/filelocations.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zelk::data;

class TestFileLocations : public QObject {
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void folderThatCannotBeMade();

private:
    QTemporaryDir tmp_;
};

// The first start of an installed program, and the later ones, are in tests/package.
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

// A data home below a plain file cannot hold folders, not even for root: the message names the
// folder and nothing is made.
void TestFileLocations::folderThatCannotBeMade() {
    QFile plain(tmp_.path() + QStringLiteral("/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const FileLocations files =
        locateFiles(QStringLiteral("/nonexistent/bin/zelk"), plain.fileName());
    try {
        prepareUserFolder(files, [](const QString&) {});
        QFAIL("a folder below a plain file was reported as made");
    } catch (const DatabaseError& error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("无法创建数据文件夹 ") +
                                            plain.fileName() + QStringLiteral("/zelk/")),
                 qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestFileLocations)
#include "test_filelocations.moc"
