// zelkctl as the operator runs it: the built program in a separate process, on a temporary
// database, without a display; its PDFs read back with pdftotext (poppler-utils).
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program without a display and without a chosen Qt platform, the way it runs from a
// plain terminal or a script on a server.
Run run(const QStringList& arguments, const QString& program = {},
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    process.setProcessEnvironment(env);
    process.start(program.isEmpty() ? zelk::test::builtFile(QStringLiteral("zelkctl")) : program,
                  arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The permission bits of a file or folder.
int mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class TestZelkctl : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void unplaceableFieldIsNamed();
    void installedForAnOrdinaryUser();
};

void TestZelkctl::commands_data() {
    // Arguments separated by blanks (@ID is a stored receipt of seven lines, @DB its database,
    // @TPL the shipped template, @OUT a file in an empty folder); the exit status, the output,
    // and a part of the error output or, after "pdf:", of the PDF's text.
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    const char* table[][5] = {
        {"capitals", "capitals 1234.56", "0", "壹仟贰佰叁拾肆元伍角陆分\n", ""},
        {"capitals of zero", "capitals 0.00", "0", "\n", ""},
        {"a negative amount is no option", "capitals -5", "0", "负数伍元整\n", ""},
        {"three decimals", "capitals 12.345", "1", "", "小数位超过两位,请更正！\n"},
        {"too large", "capitals 10000000000000", "1", "", "整数位超过万亿位,请更正！\n"},
        {"init-db of an existing file", "init-db @DB", "1", "", "zelk.mdb"},
        {"seven lines on two pages", "pdf @ID @OUT --database @DB --template @TPL", "0",
         "已写入 PDF：@OUT\n", "pdf:项目7"},
        {"no such receipt", "pdf 999 @OUT --database @DB --template @TPL", "1", "", "999"},
        {"id not a number", "pdf abc @OUT --database @DB --template @TPL", "1", "", "abc"},
        {"missing database", "pdf @ID @OUT --database @TPL.mdb --template @TPL", "1", "", ".mdb"},
        {"malformed template", "pdf @ID @OUT --database @DB --template @DB", "1", "", "zelk.mdb"},
        {"pdf alone", "pdf", "2", "", "zelkctl pdf KPID FILE.pdf"},
        {"unknown option", "pdf 1 @OUT --colour", "2", "", "zelkctl pdf KPID FILE.pdf"},
        {"option without its value", "pdf @ID @OUT --database", "2", "",
         "选项 --database 后缺少值"},
        {"unknown command", "colour", "2", "", "zelkctl search TEXT"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]) << QByteArray(row[2]).toInt()
                              << QString::fromUtf8(row[3]) << QString::fromUtf8(row[4]);
}

void TestZelkctl::commands() {
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);
    zelk::test::TempDatabase db;
    db.installTemplate();
    db.exec(QStringLiteral("insert into fpmain (kpid, fphm, kpdate, kpdate2, fkfmc, jexx, bz2) "
                           "values (5, '00067890', 20261206, '2026-12-06', '杭州测试商贸有限公司', "
                           "'28.00', 'it''s')"));
    for (int i = 1; i <= 7; ++i)
        db.exec(QStringLiteral("insert into fpdetail (kpid, xm, je) values (5, '项目%1', '%1')")
                    .arg(i));
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("out.pdf"));
    const QByteArray before = zelk::test::readFile(db.path());
    arguments.replace(QStringLiteral("@ID"), QStringLiteral("5"))
        .replace(QStringLiteral("@OUT"), pdf)
        .replace(QStringLiteral("@DB"), db.path())
        .replace(QStringLiteral("@TPL"), db.folder() + QStringLiteral("report/fp3.frf"));
    const Run r = run(arguments.split(u' '));
    QCOMPARE(r.exitCode, status);
    QCOMPARE(r.out, output.replace(QStringLiteral("@OUT"), pdf));
    QCOMPARE(zelk::test::readFile(db.path()), before);
    if (!error.startsWith(QLatin1String("pdf:"))) {
        QVERIFY2(error.isEmpty() ? r.err.isEmpty() : r.err.endsWith(error) || r.err.contains(error),
                 qPrintable(r.err));
        QVERIFY(QDir(out.path()).isEmpty()); // no file written
        return;
    }
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!tool.isEmpty(), "pdftotext (poppler-utils, installed by scripts/setup) is missing");
    const QString text =
        run({QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")}, tool).out;
    QVERIFY2(text.contains(error.mid(4)) && text.contains(QStringLiteral("杭州测试商贸有限公司")) &&
                 text.contains(QStringLiteral("it's")),
             qPrintable(text));
    QCOMPARE(text.count(u'\f'), 2); // pages
}

// A payer box 999 mm tall on a 93 mm form: no PDF with the payer left out, but an exit status
// and a sentence naming the field.
void TestZelkctl::unplaceableFieldIsNamed() {
    zelk::test::TempDatabase db;
    db.installTemplate();
    db.exec(QStringLiteral("insert into fpmain (kpid, fphm, fkfmc) values (5, '1', '付款单位')"));
    db.exec(QStringLiteral("insert into fpdetail (kpid, xm, je) values (5, '项目', '1')"));
    const QString tpl = db.folder() + QStringLiteral("report/fp3.frf");
    QByteArray content = zelk::test::readFile(tpl);
    content.replace("\"width\": 192, \"height\": 6, \"text\": \"[fkfmc]\"",
                    "\"width\": 192, \"height\": 999, \"text\": \"[fkfmc]\"");
    QFile file(tpl);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QTemporaryDir out;
    const Run r =
        run({QStringLiteral("pdf"), QStringLiteral("5"), out.filePath(QStringLiteral("a.pdf")),
             QStringLiteral("--database"), db.path(), QStringLiteral("--template"), tpl});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(
                 QStringLiteral("付款方名称（[fkfmc]）的框高 999 mm，比纸张（高 93.1 mm）还高")),
             qPrintable(r.err));
    QVERIFY(QDir(out.path()).isEmpty());
}

void TestZelkctl::installedForAnOrdinaryUser() {
    // zelkctl as the package installs it: in <prefix>/bin, which the user cannot write, the
    // shipped template in <prefix>/share/zelk/report/, the user's data under XDG_DATA_HOME. Run
    // by an ordinary account: root (as under CI) runs it as nobody through setpriv.
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (root && (!nobody || setpriv.isEmpty()))
        QSKIP("running as root without the account nobody or setpriv (util-linux): cannot run "
              "zelkctl as an ordinary user");
    QTemporaryDir top;
    const QString prefix = top.filePath(QStringLiteral("usr/"));
    const QString home = top.filePath(QStringLiteral("home/"));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("bin")) &&
            QDir().mkpath(prefix + QStringLiteral("share/zelk/report")) && QDir().mkpath(home));
    const QString zelkctl = prefix + QStringLiteral("bin/zelkctl");
    QVERIFY(QFile::copy(zelk::test::builtFile(QStringLiteral("zelkctl")), zelkctl));
    for (const char* name : {"fp3.frf", "fp3-blank.png"})
        QVERIFY(QFile::copy(zelk::test::sourceFile(QStringLiteral("resources/report/")) +
                                QLatin1String(name),
                            prefix + QStringLiteral("share/zelk/report/") + QLatin1String(name)));
    const QString old = top.filePath(QStringLiteral("old.mdb"));
    QVERIFY(QFile::copy(
        zelk::test::sourceFile(QStringLiteral("tests/legacy/fixtures/legacy-small.mdb")), old));
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                          QFileDevice::ExeOther;
    QFile::setPermissions(top.path(), everyone);
    QFile::setPermissions(old, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    if (root)
        QCOMPARE(::chown(QFile::encodeName(home).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    else // the ordinary user may not write the installed folder
        QFile::setPermissions(prefix + QStringLiteral("bin"),
                              everyone & ~QFileDevice::Permissions(QFileDevice::WriteOwner));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    // A sanitizer build reads its leak suppressions as the child's user: a copy it may read.
    const QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    const QRegularExpressionMatch suppressions =
        QRegularExpression(QStringLiteral("suppressions=([^:]+)")).match(lsan);
    if (suppressions.hasMatch()) {
        const QString copy = top.filePath(QStringLiteral("lsan-suppressions.txt"));
        QVERIFY(QFile::copy(suppressions.captured(1), copy));
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        env.insert(QStringLiteral("LSAN_OPTIONS"),
                   QString(lsan).replace(suppressions.captured(1), copy));
    }
    const auto zelkctlRun = [&](const QStringList& arguments) {
        if (!root)
            return run(arguments, zelkctl, env);
        return run(QStringList{QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                               QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                               QStringLiteral("--clear-groups"), zelkctl} +
                       arguments,
                   setpriv, env);
    };

    // import-legacy makes the user's folder as the program's first start does, private.
    Run r = zelkctlRun({QStringLiteral("import-legacy"), old});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QString folder = home + QStringLiteral("data/zelk/");
    QCOMPARE(mode(folder), 0700);
    QCOMPARE(mode(folder + QStringLiteral("Data")), 0700);
    QCOMPARE(mode(folder + QStringLiteral("Data/zelk.mdb")), 0600);
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("report/fp3.frf")));

    // search, pdf and print read that database and the user's template.
    const QJsonArray receipts =
        QJsonDocument::fromJson(zelk::test::readFile(zelk::test::sourceFile(QStringLiteral(
                                    "tests/legacy/fixtures/legacy-small.expected.json"))))
            .object()
            .value(QStringLiteral("fpmain"))
            .toArray();
    r = zelkctlRun({QStringLiteral("search"), QString()});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out.count(u'\n'), receipts.size());
    const QString id = r.out.section(u'\t', 0, 0);
    const QString pdf = home + QStringLiteral("out.pdf");
    r = zelkctlRun({QStringLiteral("pdf"), id, pdf});
    QVERIFY2(r.exitCode == 0 && QFileInfo(pdf).size() > 0, qPrintable(r.err));
    r = zelkctlRun({QStringLiteral("print"), QStringLiteral("999")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("没有编号为 999")), qPrintable(r.err));

    // A database init-db makes is the user's alone.
    r = zelkctlRun({QStringLiteral("init-db"), home + QStringLiteral("new.mdb")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(mode(home + QStringLiteral("new.mdb")), 0600);
}

QTEST_GUILESS_MAIN(TestZelkctl)
#include "test_zelkctl.moc"
