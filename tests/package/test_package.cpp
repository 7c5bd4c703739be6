// The Debian package as a desk receives it: built by scripts/package, checked by Debian's own
// tools, installed with apt-get, started by a throwaway ordinary user on a virtual display, and
// removed again together with that user. Needs root (CI runs as root); skipped otherwise.
#include "data/schema.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QString user = QStringLiteral("zelkpkgtest");

struct Result {
    int status;
    QString output;
};

// Runs a bash command line; stdout and stderr together.
Result sh(const QString& command, int timeoutMs = 600000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished();
    }
    const QString output = QString::fromUtf8(p.readAll());
    if (!finished || p.exitStatus() != QProcess::NormalExit)
        return {-1, output + QStringLiteral("\n(did not finish: ") + command + QLatin1Char(')')};
    return {p.exitCode(), output};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

#define SH_OK(command)                                                                             \
    do {                                                                                           \
        const Result r_ = sh(command);                                                             \
        QVERIFY2(r_.status == 0, qPrintable(QString(command) + QLatin1Char('\n') + r_.output));    \
    } while (false)

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void contents();
    void checkers_data();
    void checkers();
    void installedProgramForAUser();
    void cleanupTestCase();

private:
    // The user's database through the sqlcipher shell, with our key and page size.
    Result query(const QString& sql) const {
        return sh(QStringLiteral("runuser -u %1 -- sqlcipher '%2' \"PRAGMA key='%3'; PRAGMA "
                                 "cipher_page_size=4096; %4\"")
                      .arg(user, data_ + QStringLiteral("Data/zelk.mdb"),
                           QString::fromLatin1(zelk::data::databaseKey), sql));
    }
    void removeUserAndPackage();

    QTemporaryDir tmp_;
    QString deb_;
    QString data_;
};

void TestPackage::initTestCase() {
    if (geteuid() != 0)
        QSKIP("installing a package and creating a user need root: run the tests as root (as CI "
              "does) to check the .deb");
    QStringList missing;
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "lintian", "desktop-file-validate",
                             "appstreamcli", "xvfb-run", "xdotool", "sqlcipher", "useradd"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("missing (scripts/setup installs them): ") +
                        missing.join(QLatin1Char(' '))));
    // A user left by an interrupted run marks its package too.
    if (sh(QStringLiteral("id -u ") + user).status == 0)
        removeUserAndPackage();
    QVERIFY2(sh(QStringLiteral("dpkg-query -W -f='${Status}' zelk 2>/dev/null | grep -q ' "
                               "installed'"))
                     .status != 0,
             "zelk is installed on this machine: the test would replace and remove it");
    const Result r = sh(
        QStringLiteral("'" ZELK_TEST_SOURCE_DIR "/scripts/package' '" ZELK_TEST_BINARY_DIR "' '%1'")
            .arg(tmp_.path()));
    deb_ = r.output.trimmed().section(QLatin1Char('\n'), -1);
    QVERIFY2(r.status == 0 && deb_.endsWith(QLatin1String(".deb")), qPrintable(r.output));
    SH_OK(QStringLiteral("dpkg-deb -x '%1' '%2/root'").arg(deb_, tmp_.path()));
}

void TestPackage::contents() {
    const Result list = sh(QStringLiteral("dpkg-deb -c '%1'").arg(deb_));
    QStringList expected =
        QStringLiteral("usr/bin/zelk usr/bin/zelkctl usr/share/zelk/report/fp3.frf "
                       "usr/share/zelk/report/fp3-blank.png usr/share/zelk/help.chm "
                       "usr/share/applications/com.velkor.zelk.desktop "
                       "usr/share/metainfo/com.velkor.zelk.metainfo.xml "
                       "usr/share/mime/packages/com.velkor.zelk.xml "
                       "usr/share/icons/hicolor/scalable/apps/com.velkor.zelk.svg "
                       "usr/share/doc/zelk/copyright usr/share/doc/zelk/changelog.gz")
            .split(QLatin1Char(' '));
    for (int size : {16, 32, 48, 64, 128, 256})
        expected
            << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/com.velkor.zelk.png").arg(size);
    for (const QString& path : expected)
        QVERIFY2(list.output.contains(QStringLiteral(" ./") + path + QLatin1Char('\n')),
                 qPrintable(path + QStringLiteral(" missing from\n") + list.output));
    // Nothing of the build tree: no database, no test program.
    QVERIFY2(!list.output.contains(QLatin1String("zelk.mdb")) &&
                 !list.output.contains(QLatin1String("test_")),
             qPrintable(list.output));
    // Dependencies from the linked libraries, and the viewers recommended.
    const Result fields = sh(QStringLiteral("dpkg-deb -f '%1' Depends Recommends").arg(deb_));
    for (const char* word :
         {"libqt6widgets6", "libsqlcipher0", "qt6-qpa-plugins", "xchm", "xdg-utils"})
        QVERIFY2(fields.output.contains(QLatin1String(word)), qPrintable(fields.output));
}

void TestPackage::checkers_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("lintian") << "lintian --fail-on error --tag-display-limit 0 '{deb}'";
    QTest::newRow("desktop entry")
        << "desktop-file-validate '{tmp}/root/usr/share/applications/com.velkor.zelk.desktop'";
    QTest::newRow("metainfo") << "appstreamcli validate --no-net "
                                 "'{tmp}/root/usr/share/metainfo/com.velkor.zelk.metainfo.xml'";
}

void TestPackage::checkers() {
    QFETCH(QString, command);
    command.replace(QLatin1String("{deb}"), deb_).replace(QLatin1String("{tmp}"), tmp_.path());
    const Result r = sh(command);
    qInfo().noquote() << r.output;
    QVERIFY2(r.status == 0, qPrintable(command + QLatin1Char('\n') + r.output));
}

void TestPackage::installedProgramForAUser() {
    SH_OK(QStringLiteral(
              "DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y "
              "--no-install-recommends '%1'")
              .arg(deb_));
    SH_OK(QStringLiteral("grep -q 'application/x-zelk-prepared-report:\\*\\.zrp' "
                         "/usr/share/mime/globs2"));
    SH_OK(QStringLiteral("useradd --create-home --shell /bin/sh ") + user);
    const QString home =
        sh(QStringLiteral("getent passwd %1 | cut -d: -f6").arg(user)).output.trimmed();
    data_ = home + QStringLiteral("/.local/share/zelk/");
    // Started from the menu's command; done once the main window is on the screen.
    const QString start =
        QStringLiteral("cd / && runuser -u %1 -- env -i HOME='%2' PATH=/usr/bin:/bin "
                       "LANG=C.UTF-8 timeout 120 xvfb-run -a -s '-screen 0 1280x800x24' sh -c "
                       "'/usr/bin/zelk & z=$!; timeout 60 xdotool search --sync --onlyvisible "
                       "--name \"^Velkor\" >/dev/null; s=$?; kill $z; wait $z; exit $s'")
            .arg(user, home);
    SH_OK(start);
    QCOMPARE(QFileInfo(data_ + QStringLiteral("Data/zelk.mdb")).owner(), user);
    QCOMPARE(query(QStringLiteral("select count(*) from SysSet;")).output.trimmed(),
             QStringLiteral("4"));
    for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")})
        QCOMPARE(readAll(data_ + QStringLiteral("report/") + name),
                 readAll(QStringLiteral("/usr/share/zelk/report/") + name));

    // The user's own receipt and template survive the next start.
    QCOMPARE(query(QStringLiteral("insert into fpmain (fphm) values ('PKG1');")).status, 0);
    SH_OK(
        QStringLiteral("runuser -u %1 -- sh -c 'echo \"{}\" > %2report/fp3.frf'").arg(user, data_));
    SH_OK(start);
    QCOMPARE(query(QStringLiteral("select fphm from fpmain;")).output.trimmed(),
             QStringLiteral("PKG1"));
    QCOMPARE(readAll(data_ + QStringLiteral("report/fp3.frf")), QByteArray("{}\n"));
}

void TestPackage::cleanupTestCase() {
    if (geteuid() == 0 && !deb_.isEmpty())
        removeUserAndPackage();
}

void TestPackage::removeUserAndPackage() {
    sh(QStringLiteral("userdel --remove --force %1 2>/dev/null").arg(user));
    // dpkg waits for no lock: another apt run on the machine is waited out.
    sh(QStringLiteral(
        "! dpkg-query -W zelk >/dev/null 2>&1 || for i in $(seq 120); do dpkg -r zelk "
        "&& break; sleep 5; done"));
    QVERIFY2(sh(QStringLiteral("id -u ") + user).status != 0, "the test user is still there");
    QVERIFY2(
        sh(QStringLiteral("dpkg-query -W -f='${Status}' zelk 2>/dev/null | grep -q ' installed'"))
                .status != 0,
        "the package is still installed");
}

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
