// "zelkctl pdf": the built program run on a temporary database, its PDF read back with
// pdftotext (poppler-utils).

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using zelk::test::TempDatabase;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString sourceFile(const QString& relative) {
    return qEnvironmentVariable("ZELK_SOURCE_DIR") + u'/' + relative;
}

QString builtZelkctl() {
    return qEnvironmentVariable("ZELK_BINARY_DIR") + u"/zelkctl"_s;
}

// Runs a program without a display and without a chosen Qt platform, the way it runs from a
// plain terminal or a script on a server.
Run run(const QString& program, const QStringList& arguments,
        const QString& workingDirectory = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.remove(u"QT_QPA_PLATFORM"_s);
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
    process.start(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, path, u"-"_s});
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess process;
    process.start(u"pdfinfo"_s, {path});
    process.waitForFinished(-1);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression pages(u"^Pages:\\s+(\\d+)"_s,
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

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<QTemporaryDir> m_out;
};

void TestZelkctlPdf::initTestCase() {
    QVERIFY2(QFile::exists(builtZelkctl()), qPrintable(builtZelkctl()));
}

void TestZelkctlPdf::requirePoppler() {
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"pdfinfo"_s).isEmpty())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
}

void TestZelkctlPdf::init() {
    m_db = std::make_unique<TempDatabase>();
    m_out = std::make_unique<QTemporaryDir>();
    QDir(m_db->folder()).mkpath(u"report"_s);
    for (const QString& name : {u"fp3.frf"_s, u"fp3-blank.png"_s})
        QVERIFY(QFile::copy(sourceFile(u"resources/report/"_s + name),
                            m_db->folder() + u"report/"_s + name));
}

void TestZelkctlPdf::cleanup() {
    m_out.reset();
    m_db.reset();
}

QString TestZelkctlPdf::storeReceipt(int lines) {
    m_db->exec(u"insert into fpmain (fphm, kpdate, kpdate2, hyfl, fkfmc, jexx, jedx, skfmc, kpr,"
               " bz1, bz2) values ('00067890', 20261206, '2026-12-06', '服务业',"
               " '杭州测试商贸有限公司', '1234.56', '壹仟贰佰叁拾肆元伍角陆分', '维尔科商行',"
               " '王五', '手写无效', '保存的备注 it''s')"_s);
    const QString id = m_db->scalar(u"select max(kpid) from fpmain"_s);
    for (int i = 1; i <= lines; ++i)
        m_db->exec(u"insert into fpdetail (kpid, xm, kjll, dw, sl, dj, je) values (%1, '项目%2',"
                   " '内容', '次', '1', '%2.00', '%2.00')"_s.arg(id)
                       .arg(i));
    return id;
}

QStringList TestZelkctlPdf::pdfArguments(const QString& id, const QString& output) const {
    return {u"pdf"_s,
            id,
            output,
            u"--database"_s,
            m_db->path(),
            u"--template"_s,
            m_db->folder() + u"report/fp3.frf"_s};
}

void TestZelkctlPdf::writesTheStoredReceipt() {
    requirePoppler();
    const QString id = storeReceipt(2);
    const QString output = m_out->filePath(u"receipt.pdf"_s);
    const Run r = run(builtZelkctl(), pdfArguments(id, output));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(QFile::exists(output));
    const QString text = pdfText(output);
    for (const QString& value :
         {u"杭州测试商贸有限公司"_s, u"1234.56"_s, u"壹仟贰佰叁拾肆元伍角陆分"_s, u"项目1"_s,
          u"项目2"_s, u"2.00"_s, u"保存的备注 it's"_s})
        QVERIFY2(text.contains(value), qPrintable(value + u" not in:\n"_s + text));
    QCOMPARE(pdfPages(output), 1);
}

void TestZelkctlPdf::linesBeyondOnePageGiveMorePages() {
    requirePoppler();
    // The shipped form has five line rows: a seventh line starts a second page, as in the
    // preview.
    const QString id = storeReceipt(7);
    const QString output = m_out->filePath(u"long.pdf"_s);
    const Run r = run(builtZelkctl(), pdfArguments(id, output));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(pdfPages(output), 2);
    QVERIFY(pdfText(output).contains(u"项目7"_s));
}

void TestZelkctlPdf::defaultsAreBesideTheProgram() {
    requirePoppler();
    // A copy of zelkctl in the folder that holds Data/zelk.mdb and report/fp3.frf, run from
    // another working folder, finds both beside itself.
    const QString id = storeReceipt(1);
    const QString copy = m_db->folder() + u"zelkctl"_s;
    QVERIFY(QFile::copy(builtZelkctl(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(builtZelkctl())));
    const QString output = m_out->filePath(u"default.pdf"_s);
    const Run r = run(copy, {u"pdf"_s, id, output}, m_out->path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(pdfText(output).contains(u"杭州测试商贸有限公司"_s));
}

void TestZelkctlPdf::failuresWriteNothing_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("templateFile");
    QTest::addColumn<QByteArray>("templateContent");
    QTest::addColumn<QString>("expectedInMessage");
    QTest::newRow("no such receipt")
        << u"999"_s << QString() << QString() << QByteArray() << u"999"_s;
    QTest::newRow("id not a number")
        << u"abc"_s << QString() << QString() << QByteArray() << u"abc"_s;
    QTest::newRow("missing database")
        << QString() << u"nowhere/zelk.mdb"_s << QString() << QByteArray() << u"zelk.mdb"_s;
    QTest::newRow("missing template")
        << QString() << QString() << u"gone.frf"_s << QByteArray() << u"gone.frf"_s;
    QTest::newRow("malformed template")
        << QString() << QString() << u"bad.frf"_s << QByteArray("{ \"format\": ") << u"bad.frf"_s;
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
    QStringList args = pdfArguments(id, m_out->filePath(u"out.pdf"_s));
    if (!database.isEmpty())
        args[4] = m_out->filePath(database);
    if (!templateFile.isEmpty()) {
        args[6] = m_db->folder() + u"report/"_s + templateFile;
        if (!templateContent.isEmpty()) {
            QFile file(args[6]);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(templateContent);
        }
    }
    const Run r = run(builtZelkctl(), args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(expectedInMessage), qPrintable(r.err));
    QVERIFY(!QFile::exists(m_out->filePath(u"out.pdf"_s)));
}

void TestZelkctlPdf::wrongArgumentsShowTheUsage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{u"pdf"_s};
    QTest::newRow("no file") << QStringList{u"pdf"_s, u"1"_s};
    QTest::newRow("three words") << QStringList{u"pdf"_s, u"1"_s, u"a.pdf"_s, u"b.pdf"_s};
    QTest::newRow("option without path")
        << QStringList{u"pdf"_s, u"1"_s, u"a.pdf"_s, u"--database"_s};
    QTest::newRow("unknown option") << QStringList{u"pdf"_s, u"1"_s, u"a.pdf"_s, u"--colour"_s};
}

void TestZelkctlPdf::wrongArgumentsShowTheUsage() {
    QFETCH(QStringList, arguments);
    const Run r = run(builtZelkctl(), arguments, m_out->path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(u"zelkctl pdf KPID FILE.pdf"_s), qPrintable(r.err));
    QVERIFY(QDir(m_out->path()).entryList(QDir::Files).isEmpty());
}

void TestZelkctlPdf::otherCommandsNeedNoGui() {
    const Run r = run(builtZelkctl(), {u"capitals"_s, u"1234.56"_s});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), u"壹仟贰佰叁拾肆元伍角陆分"_s);
    const QString path = m_out->filePath(u"new.mdb"_s);
    QCOMPARE(run(builtZelkctl(), {u"init-db"_s, path}).exitCode, 0);
    QVERIFY(QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestZelkctlPdf)
#include "test_zelkctl_pdf.moc"
