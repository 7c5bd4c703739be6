// Printing through a real print queue: the private print service of tests/support (cups-pdf
// queues writing into the test's folder, one rejecting jobs, one stopped, one whose driver
// offers standard sizes only). Stored receipts are printed by "zelkctl print" and by the
// preview window; the PDF the queue wrote is checked for its paper and, by drawn ink
// (ghostscript re-encodes the fonts), for where every value landed; the refused queues must
// get no job and both say why.

#include "cupsserver.h"
#include "printing/calibrationsheet.h"
#include "printing/offsetdialog.h"
#include "printing/previewprinting.h"
#include "printing/printerprofiles.h"
#include "printing/printjob.h"
#include "receipt/receiptpreview.h"
#include "report/previewwindow.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "testsupport.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QtTest>

#include <cups/cups.h>

#include <optional>
#include <unistd.h>

using zelk::report::PreparedReport;

// Skips the test function where the private print service cannot run (it needs root), and
// ends it when the service did not start. A QSKIP inside a helper would end the helper only.
#define REQUIRE_CUPS()                                                                             \
    do {                                                                                           \
        if (geteuid() != 0)                                                                        \
            QSKIP("the private cupsd and cups-pdf need root (CI runs as root)");                   \
        requireCups();                                                                             \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

namespace {

constexpr double kDpi = 400.0, kPxPerMm = kDpi / 25.4;
const QString kForm = QStringLiteral("zelk-form"), kSpare = QStringLiteral("zelk-spare");
// Queues that must print nothing: one rejecting jobs, one stopped, one offering standard sizes.
const QString kReject = QStringLiteral("zelk-reject"), kStopped = QStringLiteral("zelk-stopped"),
              kLetter = QStringLiteral("zelk-letter");
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
    QString cups(const QStringList& args) { return cupsd_.run(args); } // lpadmin, lpstat…
    QStringList waitForPdfs(int count);
    int zelkctl(const QStringList& args, QString* err);
    PreparedReport prepare(const QString& remarks);

    QTemporaryDir dir_;
    zelk::test::CupsServer cupsd_;
    bool cupsTried_ = false, cupsUp_ = false;
    zelk::test::TempDatabase db_;
    std::unique_ptr<zelk::store::FileStore> file_;
    QString id_;
};

void TestPrinting::initTestCase() {
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
    file_ = std::make_unique<zelk::store::FileStore>(db_.path());
}

void TestPrinting::requireCups() {
    if (cupsUp_)
        return;
    QVERIFY2(!cupsTried_, "the private cupsd did not start (see the first failure)");
    cupsTried_ = true;
    const QString started = cupsd_.start();
    QVERIFY2(started.isEmpty(), qPrintable(started));
    cupsSetServer(nullptr); // libcups in this process reads CUPS_SERVER again
    for (const QString& queue : {kForm, kSpare, kReject, kStopped, kLetter}) {
        const QString added = cupsd_.addQueue(
            queue, queue == kLetter ? QStringLiteral("drv:///sample.drv/generic.ppd") : QString());
        QVERIFY2(added.isEmpty(), qPrintable(added));
    }
    for (const QStringList& command :
         {QStringList{QStringLiteral("cupsreject"), QStringLiteral("-r"), QStringLiteral("维修中"),
                      kReject},
          QStringList{QStringLiteral("cupsdisable"), QStringLiteral("-r"), QStringLiteral("卡纸"),
                      kStopped}})
        QVERIFY(!cups(command).startsWith(QStringLiteral("FAILED")));
    cupsUp_ = true;
}

QStringList TestPrinting::waitForPdfs(int count) {
    QElapsedTimer timer;
    timer.start();
    QStringList files;
    do {
        QThread::msleep(200);
        files.clear();
        for (const QFileInfo& f :
             QDir(cupsd_.out()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
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
    return zelk::receipt::prepareReceiptReport(*file_, id_, remarks, kTemplate);
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
    REQUIRE_CUPS();
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
        zelk::printing::PrinterProfiles(*file_).setOffset(kForm, offset);
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
    // The page exactly as long as the form: on tractor paper a short page creeps.
    QVERIFY2(std::abs(size.width() - 241) < 0.05 && std::abs(size.height() - 93.1) < 0.05,
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
    QTest::addColumn<QString>("message"); // also what the window says, when a queue is named
    const auto on = [](const QString& queue) {
        return QStringList{QStringLiteral("1"), QStringLiteral("--printer"), queue};
    };
    QTest::newRow("unknown printer")
        << on(QStringLiteral("x")) << QStringLiteral("找不到打印机“x”");
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
    QTest::newRow("template is a folder")
        << QStringList{QStringLiteral("1"), QStringLiteral("--printer"), kForm,
                       QStringLiteral("--template"), QStringLiteral(ZELK_TEST_SOURCE_DIR)}
        << QStringLiteral("这是一个文件夹，不是文件");
    QTest::newRow("queue rejecting jobs")
        << on(kReject)
        << QStringLiteral("打印机“zelk-reject”不接受打印任务（维修中），没有打印。请处理后重试。");
    QTest::newRow("stopped queue")
        << on(kStopped)
        << QStringLiteral("打印机“zelk-stopped”已暂停（卡纸），没有打印。请处理后重试。");
    QTest::newRow("queue of standard sizes only")
        << on(kLetter) << QStringLiteral("打印机“zelk-letter”只能用标准尺寸的纸张");
    QTest::newRow("no print service")
        << on(kForm) << QStringLiteral("没有找到打印服务（CUPS），没有打印。");
}

void TestPrinting::refusalsPrintNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    REQUIRE_CUPS();
    const bool down = message.contains(QStringLiteral("CUPS"));
    struct ServerKept { // the private service again, however the row ends
        QByteArray server = qgetenv("CUPS_SERVER");
        ~ServerKept() {
            qputenv("CUPS_SERVER", server);
            cupsSetServer(nullptr);
            zelk::ui::MessageBox::setHandler({});
        }
    };
    std::optional<ServerKept> kept(std::in_place);
    if (down) // a socket no service listens on
        qputenv("CUPS_SERVER", dir_.filePath(QStringLiteral("gone.sock")).toUtf8());
    const auto jobs = [this] {
        return cups({QStringLiteral("lpstat"), QStringLiteral("-W"), QStringLiteral("all"),
                     QStringLiteral("-o")})
            .count(u'\n');
    };
    const qsizetype jobsBefore = down ? 0 : jobs();
    QString err;
    QCOMPARE(zelkctl(QStringList{QStringLiteral("print")} + args, &err), 1);
    QVERIFY2(err.contains(message), qPrintable(err));
    if (args.size() == 3 && args.first() == QLatin1String("1") &&
        args.at(2) != QLatin1String("x")) {
        // The window says the same and remembers nothing.
        cupsSetServer(down ? qgetenv("CUPS_SERVER").constData() : nullptr);
        zelk::test::MessageRecorder boxes;
        boxes.setAnswer(false);
        zelk::report::PreviewWindow window(prepare(QString()));
        QString shown;
        window.setMessageHandler([&shown](const QString& text) { shown = text; });
        new zelk::printing::PreviewPrinting(window, *file_, kTemplate, {});
        window.printer().setPrinterName(args.at(2));
        QVERIFY(!window.printTo(window.printer()));
        QVERIFY2(shown.contains(message), qPrintable(shown));
        QCOMPARE(window.statusText().contains(QStringLiteral("没有找到打印服务")), down);
        if (down) { // 打印 says so instead of offering only a file
            shown.clear();
            window.findChild<QAction*>(QStringLiteral("printAction"))->trigger();
            QVERIFY2(shown.contains(message), qPrintable(shown));
        }
        QVERIFY(zelk::printing::PrinterProfiles(*file_)
                    .rememberedPrinter(QStringLiteral("fp3.frf"))
                    .isEmpty());
    }
    kept.reset();
    QVERIFY(waitForPdfs(0).isEmpty());
    if (!down)
        QCOMPARE(jobs(), jobsBefore);
    // A form on standard paper only when asked for.
    if (args.contains(kLetter)) {
        QCOMPARE(zelkctl(QStringList{QStringLiteral("print")} + args +
                             QStringList{QStringLiteral("--allow-other-paper")},
                         &err),
                 0);
        const QStringList pdfs = waitForPdfs(1);
        QCOMPARE(pdfs.size(), 1);
        QFile::remove(pdfs.first());
    }
}

void TestPrinting::previewPrintsThePageRangeOnTheRememberedPrinter() {
    REQUIRE_CUPS();
    const auto open = [this](zelk::report::PreviewWindow& window) {
        return new zelk::printing::PreviewPrinting(window, *file_, kTemplate, {});
    };
    {
        QMainWindow main; // the program's window, whose status bar keeps the confirmation
        zelk::report::PreviewWindow window(prepare(QStringLiteral("备注")), &main);
        window.setMessageHandler([](const QString& text) { QFAIL(qPrintable(text)); });
        open(window);
        window.printer().setPrinterName(kSpare);
        window.printer().setPrintRange(QPrinter::PageRange);
        window.printer().setFromTo(2, 2);
        QVERIFY(window.printTo(window.printer()));
        QVERIFY2(window.statusText().contains(
                     QStringLiteral("已发送到打印机 zelk-spare：收据 00067890（作业 ")),
                 qPrintable(window.statusText()));
        QCOMPARE(main.statusBar()->currentMessage(), window.statusText());
    }
    const QStringList pdfs = waitForPdfs(1);
    QCOMPARE(pdfs.size(), 1);
    int pages = 0;
    pdfPage(pdfs.first(), &pages);
    QCOMPARE(pages, 1);
    QFile::remove(pdfs.first());
    // The queue knows which receipt its job is.
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "zelk-spare", 0, CUPS_WHICHJOBS_ALL);
    QCOMPARE(count, 1);
    QCOMPARE(QString::fromUtf8(jobs[0].title),
             QStringLiteral("收据 00067890 杭州测试商贸有限公司"));
    QCOMPARE(jobs[0].state, IPP_JSTATE_COMPLETED);
    cupsFreeJobs(count, jobs);
    // zelkctl prints on the remembered printer too.
    QString out;
    QCOMPARE(zelkctl({QStringLiteral("print"), id_, QStringLiteral("--pages"),
                      QStringLiteral("3-3"), QStringLiteral("--template"), kTemplate},
                     &out),
             0);
    QVERIFY2(out.contains(QStringLiteral("已发送到打印机 zelk-spare：收据 00067890（作业 ")),
             qPrintable(out));
    QCOMPARE(waitForPdfs(1).size(), 1);
    pdfPage(waitForPdfs(1).first(), &pages);
    QCOMPARE(pages, 1);
    QFile::remove(waitForPdfs(1).first());
    // The next preview starts on the printer used last; once it is gone, on the default one.
    for (const bool gone : {false, true}) {
        if (gone)
            cups({QStringLiteral("lpadmin"), QStringLiteral("-x"), kSpare});
        cups({QStringLiteral("lpadmin"), QStringLiteral("-d"), kForm});
        zelk::report::PreviewWindow window(prepare(QString()));
        open(window);
        QCOMPARE(window.printer().printerName(), gone ? kForm : kSpare);
        QCOMPARE(window.statusText().contains(kSpare), gone);
        if (gone) { // a print on another printer replaces the stale warning
            QVERIFY(window.printTo(window.printer()));
            QVERIFY(!window.statusText().contains(kSpare));
            QFile::remove(waitForPdfs(1).value(0));
        }
    }
}

void TestPrinting::feedCorrectionMovesEverySheet() {
    REQUIRE_CUPS();
    // Five calibration sheets in which the last crosshair lay 2 mm low: 0.5 mm per sheet, counted
    // on from job to job (one sheet, one sheet, then two copies), until the paper is aligned.
    zelk::printing::PrinterProfiles profiles(*file_);
    profiles.setFeedCorrection(kForm, 5, 2.0);
    profiles.resetSheets(kForm);
    const QPointF offset = profiles.offset(kForm).value_or(QPointF());
    const zelk::report::Template tpl = zelk::report::loadTemplate(kTemplate);
    const QPointF mark = zelk::printing::calibrationMarks(tpl.pageSize()).first() + offset;
    QPointF first;
    int sheet = 0;
    for (const int copies : {1, 1, 2, 0, 1}) {
        if (copies == 0) { // "纸已重新对齐"
            profiles.resetSheets(kForm);
            sheet = 0;
            continue;
        }
        zelk::printing::PrintOptions options;
        options.printerName = kForm;
        options.copies = copies;
        zelk::printing::printReport(zelk::printing::calibrationSheet(tpl, {}), options, &profiles);
        const QStringList pdfs = waitForPdfs(1);
        QVERIFY2(pdfs.size() == 1,
                 "the queue wrote no PDF (its log is error_log in the test folder)");
        for (int page = 1; page <= copies; ++page, ++sheet) {
            // Where sheet 1 put the crosshair (within the queue's own 0.3 mm), and each later
            // sheet 0.5 mm higher: the queue does not creep, so the correction shows.
            const QPointF want = (first.isNull() ? mark : first) - QPointF(0, 0.5 * sheet);
            // The middles of the crosshair's left and upper arms, clear of its label.
            const QImage image = pdfImage(pdfs.first(), page);
            const QPointF got(
                inkBox(image, QRectF(want - QPointF(0.7, 4.5), QSizeF(1.4, 3.5))).center().x(),
                inkBox(image, QRectF(want - QPointF(4.5, 0.7), QSizeF(3.5, 1.4))).center().y());
            if (first.isNull())
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
    }
    // The offset dialog keeps the measurement as typed: 4 sheets and 1.50 mm reopen as such,
    // another sheet count leaves the creep alone, and "纸已重新对齐" starts the count again.
    profiles.setFeedCorrection(kForm, 4, 1.5);
    QCOMPARE(sheet, 1);
    QCOMPARE(profiles.sheetsSinceAlignment(kForm), 1);
    zelk::printing::OffsetDialog dialog(profiles, kForm, offset, *profiles.feedMeasurement(kForm),
                                        [](int) { return true; });
    auto* sheets = dialog.findChild<QSpinBox*>(QStringLiteral("feedSheetsSpin"));
    auto* creep = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("feedCreepSpin"));
    QCOMPARE(sheets->value(), 4);
    QCOMPARE(creep->value(), 1.5);
    sheets->setValue(6);
    QCOMPARE(creep->value(), 1.5);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("feedPerSheetLabel"))->text(),
             QStringLiteral("0.300 毫米"));
    dialog.findChild<QPushButton*>(QStringLiteral("paperAlignedButton"))->click();
    QCOMPARE(profiles.sheetsSinceAlignment(kForm), 0);
    dialog.accept();
    QCOMPARE(profiles.feedMeasurement(kForm)->sheets, 6);
    QCOMPARE(profiles.feedMeasurement(kForm)->creepMm, 1.5);
    profiles.setFeedCorrection(kForm, 5, 0);
    QCOMPARE(profiles.offset(kForm).value_or(QPointF()), offset);
}

void TestPrinting::calibrationSheetLabelsSitAtTheirPositions() {
    const zelk::report::Template tpl = zelk::report::loadTemplate(kTemplate);
    const QString pdf = dir_.filePath(QStringLiteral("calibration.pdf"));
    const PreparedReport sheet =
        zelk::printing::calibrationSheet(tpl, zelk::receipt::receiptFieldNames());
    zelk::report::exportPdf(sheet, pdf);
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
    // Every crosshair's label beside it, printed where it was placed, crossing no field outline.
    const QList<QPointF> marks = zelk::printing::calibrationMarks(tpl.pageSize());
    QCOMPARE(marks.size(), 3);
    for (const QPointF& mark : marks) {
        const QString name = QStringLiteral("X%1 Y%2").arg(mark.x()).arg(mark.y());
        QRectF box;
        for (const zelk::report::PlacedText& t : sheet.pages.at(0).texts)
            if (t.text == name)
                box = t.rect;
        QVERIFY2(QLineF(box.center(), mark).length() < 16,
                 qPrintable(QStringLiteral("%1: %2 %3").arg(name).arg(box.x()).arg(box.y())));
        for (const zelk::report::PlacedRect& outline : sheet.pages.at(0).rects)
            QVERIFY2(!outline.rect.intersects(box), qPrintable(name));
        const QPointF at = word(QStringLiteral("X%1").arg(mark.x()));
        QVERIFY2(std::abs(at.x() - box.left()) < 0.3 && at.y() > box.top() && at.y() < box.bottom(),
                 qPrintable(QStringLiteral("%1 at %2, %3").arg(name).arg(at.x()).arg(at.y())));
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
    zelk::printing::PrinterProfiles profiles(*file_);
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
