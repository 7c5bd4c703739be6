// zelkctl as the operator runs it: the built program in a separate process, on a temporary
// database, without a display; its PDFs read back with pdftotext (poppler-utils).
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program without a display and without a chosen Qt platform, the way it runs from a
// plain terminal or a script on a server.
Run run(const QStringList& arguments, const QString& program = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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

} // namespace

class TestZelkctl : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
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

QTEST_GUILESS_MAIN(TestZelkctl)
#include "test_zelkctl.moc"
