// Printing through a real print queue. A private cupsd (own folder, socket and spool) runs in a
// mount namespace of its own where a private cups-pdf.conf is bound over
// /etc/cups/cups-pdf.conf (cups-pdf reads no other file), so its queues write PDFs into the
// test's folder and the machine's configuration is never touched. Stored receipts are printed
// by "zelkctl print" and by the preview window; the PDF the queue wrote is checked for its
// paper and, by drawn ink (ghostscript re-encodes the fonts), for where every value landed.

#include "data/connection.h"
#include "printing/calibrationsheet.h"
#include "printing/previewprinting.h"
#include "printing/printerprofiles.h"
#include "printing/printjob.h"
#include "receipt/receiptpreview.h"
#include "report/previewwindow.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using zelk::report::PreparedReport;

namespace {

constexpr double kDpi = 400.0, kPxPerMm = kDpi / 25.4;
const QString kForm = QStringLiteral("zelk-form"), kSpare = QStringLiteral("zelk-spare");
const QString kTemplate = QStringLiteral(ZELK_TEST_SOURCE_DIR "/resources/report/fp3.frf");

// Runs a program; returns its exit status (-1 when it did not finish) and its output.
int run(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    if (out)
        *out = QString::fromUtf8(p.readAll());
    return done ? p.exitCode() : -1;
}

// Page size (mm) and page count from pdfinfo.
QSizeF pdfPage(const QString& pdf, int* pages) {
    QString info;
    run(QStringLiteral("pdfinfo"), {pdf}, &info);
    *pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    const auto m =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(info);
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) * 25.4 / 72.0;
}

QImage pdfImage(const QString& pdf, int page = 1) {
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-f"),
         QString::number(page), QStringLiteral("-singlefile"), pdf, pdf});
    return QImage(pdf + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
}

// The bounding box (mm) of the ink inside a box (mm); null when there is none.
QRectF inkBox(const QImage& image, const QRectF& mm) {
    const QRect area = QRect(QPoint(int(mm.left() * kPxPerMm), int(mm.top() * kPxPerMm)),
                             QPoint(int(mm.right() * kPxPerMm), int(mm.bottom() * kPxPerMm)))
                           .intersected(image.rect());
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.constScanLine(y)[x] < 128)
                ink |= QRect(x, y, 1, 1);
    const double k = 1 / kPxPerMm;
    return ink.isNull() ? QRectF()
                        : QRectF(ink.x() * k, ink.y() * k, ink.width() * k, ink.height() * k);
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() {
        cupsd_.terminate();
        cupsd_.waitForFinished();
    }
    void printedValuesLandInTheirBoxes_data();
    void printedValuesLandInTheirBoxes();
    void refusalsPrintNothing_data();
    void refusalsPrintNothing();
    void previewPrintsThePageRangeOnTheRememberedPrinter();
    void feedCorrectionMovesEverySheet();
    void calibrationSheetLabelsSitAtTheirPositions();
    void emptyValuesAndAbsurdPaperAreHandled();

private:
    void requireCups();
    QString cups(const QStringList& args) { // lpadmin/lpstat, against the private server
        QString out;
        const int status = run(args.first(), args.mid(1), &out);
        return status == 0 ? out : QStringLiteral("FAILED ") + out;
    }
    QStringList waitForPdfs(int count);
    int zelkctl(const QStringList& args, QString* err);
    PreparedReport prepare(const QString& remarks);

    QTemporaryDir dir_;
    QProcess cupsd_;
    bool cupsTried_ = false, cupsUp_ = false;
    zelk::test::TempDatabase db_;
    zelk::data::Connection connection_;
    QString id_;
};

void TestPrinting::initTestCase() {
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ExeOther |
                                           QFile::ReadOther | QFile::ExeGroup);
    qputenv("CUPS_SERVER", dir_.filePath(QStringLiteral("cups.sock")).toUtf8());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    db_.exec(QStringLiteral(
        "insert into fpmain (fphm, kpdate, kpdate2, hyfl, jdhm, qssj, jcsj, jym, fkfmc, jexx,"
        " jedx, skfmc, kpr, bz1, bz2) values ('00067890', 20261206, '2026-12-06', '服务业', 'A1',"
        " '2026-11-01', '2026-12-01', '7788', '杭州测试商贸有限公司', '1234.56',"
        " '壹仟贰佰叁拾肆元伍角陆分', '维尔科商行', '王五', '手写无效', '保存的备注')"));
    id_ = db_.scalar(QStringLiteral("select max(kpid) from fpmain"));
    for (int i = 1; i <= 11; ++i)
        db_.exec(QStringLiteral("insert into fpdetail (kpid, xm, kjll, dw, sl, dj, je) values"
                                " (%1, '项目%2', '内容', '次', '1', '%2.00', '%2.00')")
                     .arg(id_)
                     .arg(i));
    connection_.setConnectionString(db_.connectionString());
    connection_.open();
}

void TestPrinting::requireCups() {
    if (cupsUp_)
        return;
    QVERIFY2(!cupsTried_, "the private cupsd did not start (see the first failure)");
    cupsTried_ = true;
    const QString d = dir_.path();
    for (const char* file : {"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf",
                             "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd", "/etc/cups/cups-pdf.conf"})
        QVERIFY2(QFile::exists(QString::fromLatin1(file)),
                 qPrintable(QStringLiteral("%1 is missing: run scripts/setup (cups, "
                                           "printer-driver-cups-pdf)")
                                .arg(QString::fromLatin1(file))));
    zelk::test::writeFile(
        d + QStringLiteral("/cupsd.conf"),
        QStringLiteral("Listen %1/cups.sock\nBrowsing No\nWebInterface No\n"
                       "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                       "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n"
                       "</Policy>\n")
            .arg(d)
            .toUtf8());
    zelk::test::writeFile(
        d + QStringLiteral("/cups-files.conf"),
        QStringLiteral(
            "ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\n"
            "StateDir %1/state\nTempDir %1/tmp\nAccessLog %1/access_log\nErrorLog %1/error_log\n"
            "PageLog %1/page_log\n")
            .arg(d)
            .toUtf8());
    zelk::test::writeFile(
        d + QStringLiteral("/cups-pdf.conf"),
        QStringLiteral("Out %1/out\nAnonDirName %1/out\nSpool %1/cups-pdf\nLog %1\n"
                       "Grp root\n")
            .arg(d)
            .toUtf8());
    for (const char* sub : {"ppd", "spool", "cache", "state", "tmp"})
        QVERIFY(QDir(d).mkpath(QString::fromLatin1(sub)));
    // The filters run as lp and write their temporary files there.
    QVERIFY(::chmod(QFile::encodeName(d + QStringLiteral("/tmp")).constData(), 01777) == 0);
    // unshare execs sh, which execs cupsd: stopping the process stops cupsd, and so does the
    // end of this test program, however it ends.
    cupsd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(
        QStringLiteral("unshare"),
        {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
         QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("mount --bind \"$0\"/cups-pdf.conf /etc/cups/cups-pdf.conf && exec "
                        "/usr/sbin/cupsd -f -c \"$0\"/cupsd.conf -s \"$0\"/cups-files.conf"),
         d});
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(d + QStringLiteral("/cups.sock"))) {
        QVERIFY2(cupsd_.state() != QProcess::NotRunning && !timer.hasExpired(15000),
                 qPrintable(QStringLiteral("cupsd did not start: ") +
                            QString::fromLocal8Bit(cupsd_.readAll())));
        QThread::msleep(50);
    }
    for (const QString& queue : {kForm, kSpare}) {
        const QString added =
            cups({QStringLiteral("lpadmin"), QStringLiteral("-p"), queue, QStringLiteral("-E"),
                  QStringLiteral("-v"), QStringLiteral("cups-pdf:/"), QStringLiteral("-P"),
                  QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")});
        QVERIFY2(!added.startsWith(QStringLiteral("FAILED")), qPrintable(added));
    }
    cupsUp_ = true;
}

QStringList TestPrinting::waitForPdfs(int count) {
    QElapsedTimer timer;
    timer.start();
    QStringList files;
    do {
        QThread::msleep(200);
        files.clear();
        for (const QFileInfo& f : QDir(dir_.filePath(QStringLiteral("out")))
                                      .entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            files.append(f.filePath());
    } while ((files.size() < count ||
              !cups({QStringLiteral("lpstat"), QStringLiteral("-o")}).isEmpty()) &&
             !timer.hasExpired(60000));
    return files;
}

int TestPrinting::zelkctl(const QStringList& args, QString* err) {
    return run(QStringLiteral(ZELK_TEST_BINARY_DIR "/zelkctl"),
               args + QStringList{QStringLiteral("--database"), db_.path()}, err);
}

PreparedReport TestPrinting::prepare(const QString& remarks) {
    return zelk::receipt::prepareReceiptReport(connection_, id_, remarks, kTemplate);
}

void TestPrinting::printedValuesLandInTheirBoxes_data() {
    QTest::addColumn<QPointF>("offset"); // stored for the printer; none when null
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("remarks");
    QTest::newRow("printer without an offset") << QPointF() << 1 << QStringLiteral("保存的备注");
    QTest::newRow("offset +1.5 −2.0 mm, two copies")
        << QPointF(1.5, -2.0) << 2 << QStringLiteral("备注");
    QTest::newRow("remarks of eight lines") << QPointF(1.5, -2.0) << 1
                                            << QStringLiteral("第一行\n第二行\n第三行\n第四行\n"
                                                              "第五行\n第六行\n第七行\n第八行");
    QTest::newRow("remarks of 10,000 characters")
        << QPointF(1.5, -2.0) << 1 << QString(10000, u'墨');
}

void TestPrinting::printedValuesLandInTheirBoxes() {
    QFETCH(QPointF, offset);
    QFETCH(int, copies);
    QFETCH(QString, remarks);
    requireCups();
    // Where every value belongs: the exact PDF of the receipt with short remarks.
    const QString exact = dir_.filePath(QStringLiteral("exact.pdf"));
    QString err;
    QCOMPARE(
        zelkctl({QStringLiteral("pdf"), id_, exact, QStringLiteral("--template"), kTemplate}, &err),
        0);
    const QImage reference = pdfImage(exact);
    const QList<zelk::report::PlacedText> texts =
        prepare(QStringLiteral("保存的备注")).pages.at(0).texts;

    if (!offset.isNull())
        zelk::printing::PrinterProfiles(connection_).setOffset(kForm, offset);
    db_.exec(QStringLiteral("update fpmain set bz2='%1'").arg(remarks));
    const int status = zelkctl({QStringLiteral("print"), id_, QStringLiteral("--printer"), kForm,
                                QStringLiteral("--copies"), QString::number(copies),
                                QStringLiteral("--template"), kTemplate},
                               &err);
    QVERIFY2(status == 0, qPrintable(err));
    const QStringList pdfs = waitForPdfs(1);
    QVERIFY2(pdfs.size() == 1, "the queue wrote no PDF (its log is error_log in the test folder)");
    int pages = 0;
    const QSizeF size = pdfPage(pdfs.first(), &pages);
    // Ghostscript writes the page size in whole points (0.35 mm).
    QVERIFY2(std::abs(size.width() - 241) < 0.4 && std::abs(size.height() - 93.1) < 0.4,
             qPrintable(QStringLiteral("page %1 × %2 mm").arg(size.width()).arg(size.height())));
    QCOMPARE(pages, 3 * copies); // eleven lines: two pages of five and one more
    const QImage printed = pdfImage(pdfs.first());
    QFile::remove(pdfs.first());
    QRectF remarksBox;
    for (const zelk::report::PlacedText& t : texts)
        if (t.field == QLatin1String("V0"))
            remarksBox = t.rect;
    QVERIFY(!remarksBox.isNull());
    for (const zelk::report::PlacedText& t : texts) {
        QRectF window = t.rect.adjusted(-0.5, -0.5, 0.5, 0.5);
        // Remarks may reach the very edge of their box (a pixel row of their ink may round across
        // it): keep the neighbours' windows 0.3 mm clear of it.
        if (t.field != QLatin1String("V0") && window.intersects(remarksBox))
            (t.rect.top() >= remarksBox.bottom() ? window.setTop(remarksBox.bottom() + 0.3)
                                                 : window.setBottom(remarksBox.top() - 0.3));
        const QRectF got = inkBox(printed, window.translated(offset));
        if (t.field == QLatin1String("V0")) { // long remarks: cut at the box, never beyond
            QVERIFY(!got.isNull() &&
                    t.rect.translated(offset).adjusted(-0.3, -0.3, 0.3, 0.3).contains(got));
            continue;
        }
        const QRectF want = inkBox(reference, window).translated(offset);
        QString where =
            QStringLiteral("[%1] at %2, %3 mm: ink").arg(t.field).arg(t.rect.x()).arg(t.rect.y());
        for (const double v :
             {got.left(), got.top(), got.right(), got.bottom(), want.left(), want.top()})
            where += u' ' + QString::number(v);
        QVERIFY2(want.isNull() == t.text.trimmed().isEmpty() && got.isNull() == want.isNull(),
                 qPrintable(where));
        for (const double d : {got.left() - want.left(), got.top() - want.top(),
                               got.right() - want.right(), got.bottom() - want.bottom()})
            QVERIFY2(std::abs(d) <= 0.3, qPrintable(where));
    }
    // The preview warns exactly when the remarks do not fit.
    zelk::report::PreviewWindow preview(prepare(remarks));
    preview.setFieldNames(zelk::receipt::receiptFieldNames());
    QCOMPARE(
        preview.statusText().contains(QStringLiteral("备注内容超出打印区域，超出部分不会打印。")),
        remarks.size() > 10);
}

void TestPrinting::refusalsPrintNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown printer")
        << QStringList{QStringLiteral("1"), QStringLiteral("--printer"), QStringLiteral("x")}
        << QStringLiteral("找不到打印机“x”");
    QTest::newRow("no default printer")
        << QStringList{QStringLiteral("1")} << QStringLiteral("默认打印机");
    QTest::newRow("no such receipt")
        << QStringList{QStringLiteral("999"), QStringLiteral("--printer"), kForm}
        << QStringLiteral("没有编号为 999 的发票");
    QTest::newRow("broken template")
        << QStringList{QStringLiteral("1"), QStringLiteral("--printer"), kForm,
                       QStringLiteral("--template"),
                       QStringLiteral(ZELK_TEST_SOURCE_DIR "/CMakeLists.txt")}
        << QStringLiteral("CMakeLists.txt");
}

void TestPrinting::refusalsPrintNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    requireCups();
    QString err;
    QCOMPARE(zelkctl(QStringList{QStringLiteral("print")} + args, &err), 1);
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(waitForPdfs(0).isEmpty());
}

void TestPrinting::previewPrintsThePageRangeOnTheRememberedPrinter() {
    requireCups();
    const auto open = [this](zelk::report::PreviewWindow& window) {
        return new zelk::printing::PreviewPrinting(window, connection_, kTemplate, {});
    };
    {
        zelk::report::PreviewWindow window(prepare(QStringLiteral("备注")));
        window.setMessageHandler([](const QString& text) { QFAIL(qPrintable(text)); });
        open(window);
        window.printer().setPrinterName(kSpare);
        window.printer().setPrintRange(QPrinter::PageRange);
        window.printer().setFromTo(2, 2);
        QVERIFY(window.printTo(window.printer()));
    }
    const QStringList pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.size(), 1);
    int pages = 0;
    pdfPage(pdfs.first(), &pages);
    QCOMPARE(pages, 1);
    QFile::remove(pdfs.first());
    QVERIFY(cups({QStringLiteral("lpstat"), QStringLiteral("-W"), QStringLiteral("completed"),
                  QStringLiteral("-o"), kSpare})
                .contains(kSpare + u'-'));
    // The next preview starts on the printer used last; once it is gone, on the default one.
    for (const bool gone : {false, true}) {
        if (gone)
            cups({QStringLiteral("lpadmin"), QStringLiteral("-x"), kSpare});
        cups({QStringLiteral("lpadmin"), QStringLiteral("-d"), kForm});
        zelk::report::PreviewWindow window(prepare(QString()));
        open(window);
        QCOMPARE(window.printer().printerName(), gone ? kForm : kSpare);
        QCOMPARE(window.statusText().contains(kSpare), gone);
    }
}

void TestPrinting::feedCorrectionMovesEverySheet() {
    requireCups();
    // Five calibration sheets in which the last crosshair lay 2 mm low: 0.5 mm per sheet, and
    // two copies drawn as ten sheets that go on creeping.
    zelk::printing::PrinterProfiles profiles(connection_);
    profiles.setFeedCorrection(kForm, 5, 2.0);
    const QPointF offset = profiles.offset(kForm).value_or(QPointF());
    const zelk::report::Template tpl = zelk::report::loadTemplate(kTemplate);
    zelk::printing::printReport(kForm, 2, zelk::printing::calibrationSheet(tpl, {}, 5), &profiles);
    const QStringList pdfs = waitForPdfs(1);
    QVERIFY2(pdfs.size() == 1, "the queue wrote no PDF (its log is error_log in the test folder)");
    int pages = 0;
    pdfPage(pdfs.first(), &pages);
    QCOMPARE(pages, 10);
    const QPointF mark = zelk::printing::calibrationMarks(tpl.pageSize()).first() + offset;
    // Where sheet 1 put the crosshair (within the queue's own 0.3 mm), and each later sheet
    // 0.5 mm higher than the one before: the queue does not creep, so the correction shows.
    QPointF first;
    for (int sheet = 0; sheet < pages; ++sheet) {
        // The crosshair's left arm and upright, clear of its label on the right.
        const QPointF want = (sheet == 0 ? mark : first) - QPointF(0, 0.5 * sheet);
        const QRectF ink = inkBox(pdfImage(pdfs.first(), sheet + 1),
                                  QRectF(want - QPointF(6, 6), QSizeF(6.5, 12)));
        const QPointF got(ink.left() + 4, ink.center().y());
        if (sheet == 0)
            first = got;
        QVERIFY2(QLineF(got, want).length() < (sheet == 0 ? 0.3 : 0.1),
                 qPrintable(QStringLiteral("sheet %1: crosshair at %2, %3 mm, wanted %4, %5")
                                .arg(sheet + 1)
                                .arg(got.x())
                                .arg(got.y())
                                .arg(want.x())
                                .arg(want.y())));
    }
    QFile::remove(pdfs.first());
    profiles.setFeedCorrection(kForm, 5, 0);
    QCOMPARE(profiles.offset(kForm).value_or(QPointF()), offset);
}

void TestPrinting::calibrationSheetLabelsSitAtTheirPositions() {
    const zelk::report::Template tpl = zelk::report::loadTemplate(kTemplate);
    const QString pdf = dir_.filePath(QStringLiteral("calibration.pdf"));
    zelk::report::exportPdf(
        zelk::printing::calibrationSheet(tpl, zelk::receipt::receiptFieldNames()), pdf);
    QString html;
    QCOMPARE(run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")},
                 &html),
             0);
    const auto word = [&](const QString& text) { // left and vertical middle, mm
        const auto m = QRegularExpression(
                           QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" "
                                          "yMax=\"([\\d.]+)\">%1<")
                               .arg(text))
                           .match(html);
        return QPointF(m.captured(1).toDouble(),
                       (m.captured(2).toDouble() + m.captured(3).toDouble()) / 2) *
               25.4 / 72;
    };
    // A label's left edge is 1 mm right of its crosshair, its middle about 2 mm below.
    const QList<QPointF> marks = zelk::printing::calibrationMarks(tpl.pageSize());
    QCOMPARE(marks.size(), 3);
    for (const QPointF& mark : marks) {
        const QPointF at = word(QStringLiteral("X%1").arg(mark.x()));
        QVERIFY2(std::abs(at.x() - mark.x() - 1) < 0.3 && std::abs(at.y() - mark.y() - 1.9) < 0.6,
                 qPrintable(QStringLiteral("X%1 at %2, %3").arg(mark.x()).arg(at.x()).arg(at.y())));
    }
    const QPointF payer = word(QStringLiteral("付款方名称")); // its box is at 38, 25
    QVERIFY2(std::abs(payer.x() - 38.4) < 0.3 && payer.y() > 25 && payer.y() < 28,
             qPrintable(html.left(0)));
}

void TestPrinting::emptyValuesAndAbsurdPaperAreHandled() {
    db_.exec(QStringLiteral("update fpmain set qssj='-  -', jcsj='', jexx=' '"));
    QStringList shown;
    const PreparedReport report = prepare(QString());
    for (const auto& t : report.pages.at(0).texts)
        shown.append(t.text);
    QVERIFY(!shown.contains(QStringLiteral("-  - 至 ")) && !shown.contains(QStringLiteral("￥ ")));
    QVERIFY(shown.contains(QString()));
    QFile tpl(kTemplate);
    QVERIFY(tpl.open(QIODevice::ReadOnly));
    const QByteArray absurd = tpl.readAll().replace("\"width\": 241", "\"width\": 1e300");
    QVERIFY_THROWS_EXCEPTION(zelk::report::TemplateError,
                             zelk::report::parseTemplate(absurd, kTemplate));
    // An offset beyond ±20 mm is refused and changes nothing.
    zelk::printing::PrinterProfiles profiles(connection_);
    QVERIFY_THROWS_EXCEPTION(zelk::report::ReportError, profiles.setOffset(kSpare, QPointF(25, 0)));
    QVERIFY(!profiles.offset(kSpare));
}

// The private cupsd and cups-pdf need root: as another user the whole program says so and
// ctest shows it as skipped.
int main(int argc, char* argv[]) {
    if (geteuid() != 0)
        return zelk::test::skipProgram(
            "the private cupsd and cups-pdf need root (CI runs as root)");
    QApplication app(argc, argv);
    TestPrinting test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_printing.moc"
