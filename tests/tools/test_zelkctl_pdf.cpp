// "zelkctl pdf": the built program run on a temporary database, its PDF read back with
// pdftotext (poppler-utils).

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using zelk::test::TempDatabase;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString sourceFile(const QString& relative) {
    return QStringLiteral(ZELK_TEST_SOURCE_DIR) + u'/' + relative;
}

QString builtZelkctl() {
    return QStringLiteral(ZELK_TEST_BINARY_DIR) + QStringLiteral("/zelkctl");
}

// Runs a program without a display and without a chosen Qt platform, the way it runs from a
// plain terminal or a script on a server.
Run run(const QString& program, const QStringList& arguments,
        const QString& workingDirectory = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString pdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(-1);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = pages.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestZelkctlPdf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesTheStoredReceipt();
    void linesBeyondOnePageGiveMorePages();
    void defaultsAreBesideTheProgram();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void wrongArgumentsShowTheUsage_data();
    void wrongArgumentsShowTheUsage();
    void otherCommandsNeedNoGui();

private:
    // Stores a receipt with `lines` lines (amounts 1.00, 2.00, ...); returns its id.
    QString storeReceipt(int lines);
    QStringList pdfArguments(const QString& id, const QString& output) const;
    void requirePoppler();

    std::unique_ptr<TempDatabase> db_;
    std::unique_ptr<QTemporaryDir> out_;
};

void TestZelkctlPdf::initTestCase() {
    QVERIFY2(QFile::exists(builtZelkctl()), qPrintable(builtZelkctl()));
}

void TestZelkctlPdf::requirePoppler() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
}

void TestZelkctlPdf::init() {
    db_ = std::make_unique<TempDatabase>();
    out_ = std::make_unique<QTemporaryDir>();
    QDir(db_->folder()).mkpath(QStringLiteral("report"));
    for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")})
        QVERIFY(QFile::copy(sourceFile(QStringLiteral("resources/report/") + name),
                            db_->folder() + QStringLiteral("report/") + name));
}

void TestZelkctlPdf::cleanup() {
    out_.reset();
    db_.reset();
}

QString TestZelkctlPdf::storeReceipt(int lines) {
    db_->exec(QStringLiteral(
        "insert into fpmain (fphm, kpdate, kpdate2, hyfl, fkfmc, jexx, jedx, skfmc, kpr,"
        " bz1, bz2) values ('00067890', 20261206, '2026-12-06', '服务业',"
        " '杭州测试商贸有限公司', '1234.56', '壹仟贰佰叁拾肆元伍角陆分', '维尔科商行',"
        " '王五', '手写无效', '保存的备注 it''s')"));
    const QString id = db_->scalar(QStringLiteral("select max(kpid) from fpmain"));
    for (int i = 1; i <= lines; ++i)
        db_->exec(QStringLiteral(
                      "insert into fpdetail (kpid, xm, kjll, dw, sl, dj, je) values (%1, '项目%2',"
                      " '内容', '次', '1', '%2.00', '%2.00')")
                      .arg(id)
                      .arg(i));
    return id;
}

QStringList TestZelkctlPdf::pdfArguments(const QString& id, const QString& output) const {
    return {QStringLiteral("pdf"),
            id,
            output,
            QStringLiteral("--database"),
            db_->path(),
            QStringLiteral("--template"),
            db_->folder() + QStringLiteral("report/fp3.frf")};
}

void TestZelkctlPdf::writesTheStoredReceipt() {
    requirePoppler();
    const QString id = storeReceipt(2);
    const QString output = out_->filePath(QStringLiteral("receipt.pdf"));
    const Run r = run(builtZelkctl(), pdfArguments(id, output));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(QFile::exists(output));
    const QString text = pdfText(output);
    for (const QString& value :
         {QStringLiteral("杭州测试商贸有限公司"), QStringLiteral("1234.56"),
          QStringLiteral("壹仟贰佰叁拾肆元伍角陆分"), QStringLiteral("项目1"),
          QStringLiteral("项目2"), QStringLiteral("2.00"), QStringLiteral("保存的备注 it's")})
        QVERIFY2(text.contains(value), qPrintable(value + QStringLiteral(" not in:\n") + text));
    QCOMPARE(pdfPages(output), 1);
}

void TestZelkctlPdf::linesBeyondOnePageGiveMorePages() {
    requirePoppler();
    // The shipped form has five line rows: a seventh line starts a second page, as in the
    // preview.
    const QString id = storeReceipt(7);
    const QString output = out_->filePath(QStringLiteral("long.pdf"));
    const Run r = run(builtZelkctl(), pdfArguments(id, output));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(pdfPages(output), 2);
    QVERIFY(pdfText(output).contains(QStringLiteral("项目7")));
}

void TestZelkctlPdf::defaultsAreBesideTheProgram() {
    requirePoppler();
    // A copy of zelkctl in the folder that holds Data/zelk.mdb and report/fp3.frf, run from
    // another working folder, finds both beside itself.
    const QString id = storeReceipt(1);
    const QString copy = db_->folder() + QStringLiteral("zelkctl");
    QVERIFY(QFile::copy(builtZelkctl(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(builtZelkctl())));
    const QString output = out_->filePath(QStringLiteral("default.pdf"));
    const Run r = run(copy, {QStringLiteral("pdf"), id, output}, out_->path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(pdfText(output).contains(QStringLiteral("杭州测试商贸有限公司")));
}

void TestZelkctlPdf::failuresWriteNothing_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("templateFile");
    QTest::addColumn<QByteArray>("templateContent");
    QTest::addColumn<QString>("expectedInMessage");
    QTest::newRow("no such receipt")
        << QStringLiteral("999") << QString() << QString() << QByteArray() << QStringLiteral("999");
    QTest::newRow("id not a number")
        << QStringLiteral("abc") << QString() << QString() << QByteArray() << QStringLiteral("abc");
    QTest::newRow("missing database") << QString() << QStringLiteral("nowhere/zelk.mdb")
                                      << QString() << QByteArray() << QStringLiteral("zelk.mdb");
    QTest::newRow("missing template") << QString() << QString() << QStringLiteral("gone.frf")
                                      << QByteArray() << QStringLiteral("gone.frf");
    QTest::newRow("malformed template")
        << QString() << QString() << QStringLiteral("bad.frf") << QByteArray("{ \"format\": ")
        << QStringLiteral("bad.frf");
}

void TestZelkctlPdf::failuresWriteNothing() {
    QFETCH(QString, id);
    QFETCH(QString, database);
    QFETCH(QString, templateFile);
    QFETCH(QByteArray, templateContent);
    QFETCH(QString, expectedInMessage);
    const QString stored = storeReceipt(1);
    if (id.isEmpty())
        id = stored;
    QStringList args = pdfArguments(id, out_->filePath(QStringLiteral("out.pdf")));
    if (!database.isEmpty())
        args[4] = out_->filePath(database);
    if (!templateFile.isEmpty()) {
        args[6] = db_->folder() + QStringLiteral("report/") + templateFile;
        if (!templateContent.isEmpty()) {
            QFile file(args[6]);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(templateContent);
        }
    }
    const Run r = run(builtZelkctl(), args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(expectedInMessage), qPrintable(r.err));
    QVERIFY(!QFile::exists(out_->filePath(QStringLiteral("out.pdf"))));
}

void TestZelkctlPdf::wrongArgumentsShowTheUsage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{QStringLiteral("pdf")};
    QTest::newRow("no file") << QStringList{QStringLiteral("pdf"), QStringLiteral("1")};
    QTest::newRow("three words") << QStringList{QStringLiteral("pdf"), QStringLiteral("1"),
                                                QStringLiteral("a.pdf"), QStringLiteral("b.pdf")};
    QTest::newRow("option without path")
        << QStringList{QStringLiteral("pdf"), QStringLiteral("1"), QStringLiteral("a.pdf"),
                       QStringLiteral("--database")};
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("pdf"), QStringLiteral("1"), QStringLiteral("a.pdf"),
                       QStringLiteral("--colour")};
}

void TestZelkctlPdf::wrongArgumentsShowTheUsage() {
    QFETCH(QStringList, arguments);
    const Run r = run(builtZelkctl(), arguments, out_->path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("zelkctl pdf KPID FILE.pdf")), qPrintable(r.err));
    QVERIFY(QDir(out_->path()).entryList(QDir::Files).isEmpty());
}

void TestZelkctlPdf::otherCommandsNeedNoGui() {
    const Run r = run(builtZelkctl(), {QStringLiteral("capitals"), QStringLiteral("1234.56")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("壹仟贰佰叁拾肆元伍角陆分"));
    const QString path = out_->filePath(QStringLiteral("new.mdb"));
    QCOMPARE(run(builtZelkctl(), {QStringLiteral("init-db"), path}).exitCode, 0);
    QVERIFY(QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestZelkctlPdf)
#include "test_zelkctl_pdf.moc"
