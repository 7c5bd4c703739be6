// Rendering, printing, PDF export and the prepared report file.

#include "report/layout.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "reporttestutil.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextDocument>
#include <QtTest>

using namespace zelk::report;
using namespace reporttest;

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

struct Word {
    QString text;
    QRectF mm;
};

struct PdfPage {
    QSizeF mm;
    QList<Word> words;
};

// Runs pdftotext -bbox and returns the pages with word boxes in millimetres.
QList<PdfPage> pdfWords(const QString& pdf) {
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!proc.waitForFinished(60000) || proc.exitCode() != 0)
        return {};
    const QString html = QString::fromUtf8(proc.readAllStandardOutput());
    static const QRegularExpression pageRe(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression wordRe(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<PdfPage> pages;
    const QStringList chunks = html.split(QStringLiteral("</page>"));
    for (const QString& chunk : chunks) {
        const auto pm = pageRe.match(chunk);
        if (!pm.hasMatch())
            continue;
        PdfPage page;
        page.mm = QSizeF(pm.captured(1).toDouble(), pm.captured(2).toDouble()) * kMmPerPt;
        for (auto it = wordRe.globalMatch(chunk); it.hasNext();) {
            const auto m = it.next();
            QTextDocument decode;
            decode.setHtml(m.captured(5));
            const QPointF tl(m.captured(1).toDouble(), m.captured(2).toDouble());
            const QPointF br(m.captured(3).toDouble(), m.captured(4).toDouble());
            page.words.append({decode.toPlainText(), QRectF(tl * kMmPerPt, br * kMmPerPt)});
        }
        pages.append(page);
    }
    return pages;
}

// The word with this text nearest to where it is expected (amounts repeat).
const Word* wordAt(const PdfPage& page, const QString& text, const QPointF& nearMm = {}) {
    const Word* best = nullptr;
    double bestDistance = 0;
    for (const Word& w : page.words) {
        const double d = QLineF(w.mm.center(), nearMm).length();
        if (w.text == text && (!best || d < bestDistance)) {
            best = &w;
            bestDistance = d;
        }
    }
    return best;
}

PreparedReport sampleReceipt(int lines = 5) {
    const Template t = loadTemplate(sourceDir() + QStringLiteral("/resources/report/fp3.frf"));
    return layoutReport(t, fp3Sample(lines), fp3Variables());
}

// A page with a solid green background image and one rectangle, on 100 x 50 mm.
PreparedReport colouredReport(const QPointF& offset) {
    PreparedReport r;
    r.paperSize = QSizeF(100, 50);
    r.printerOffset = offset;
    QImage green(20, 10, QImage::Format_ARGB32);
    green.fill(QColor(0, 200, 0));
    r.background = green;
    r.backgroundRect = QRectF(0, 0, 100, 50);
    Page p;
    p.rects.append({QRectF(20, 10, 30, 20), 1.0});
    r.pages.append(p);
    return r;
}

} // namespace

class TestReportRender : public QObject {
    Q_OBJECT

private slots:
    void planAppliesOffsetToPrintOnly_data();
    void planAppliesOffsetToPrintOnly();
    void backgroundOnlyInPreviewImage_data();
    void backgroundOnlyInPreviewImage();
    void offsetMovesPrintedPixels();
    void pdfTextLandsOnTemplatePositions();
    void printedPdfIsShiftedByTheOffset();
    void exportToUnwritablePathFails();
    void preparedFileRoundTrip();
    void brokenPreparedFile_data();
    void brokenPreparedFile();

private:
    QTemporaryDir dir_;
};

void TestReportRender::planAppliesOffsetToPrintOnly_data() {
    QTest::addColumn<QPointF>("offset");
    QTest::newRow("right and down") << QPointF(2.5, 1.25);
    QTest::newRow("left and up") << QPointF(-3, -0.7);
    QTest::newRow("none") << QPointF(0, 0);
}

void TestReportRender::planAppliesOffsetToPrintOnly() {
    QFETCH(QPointF, offset);
    PreparedReport r = sampleReceipt();
    r.printerOffset = offset;
    r.pages[0].lines.append({QLineF(10, 10, 20, 30), 0.3});
    r.pages[0].rects.append({QRectF(5, 6, 7, 8), 0.3});
    const auto preview = renderPlan(r, 0, RenderTarget::Preview);
    const auto pdf = renderPlan(r, 0, RenderTarget::Pdf);
    const auto print = renderPlan(r, 0, RenderTarget::Print);
    QCOMPARE(preview.size(), pdf.size() + 1);
    QCOMPARE(print.size(), pdf.size());
    QCOMPARE(preview.first().kind, DrawOp::Kind::Background);
    QCOMPARE(preview.first().rect, QRectF(0, 0, 241, 93.1));
    QCOMPARE(pdf.size(), r.pages[0].texts.size() + 2);
    for (qsizetype i = 0; i < pdf.size(); ++i) {
        QVERIFY(pdf.at(i).kind != DrawOp::Kind::Background);
        QCOMPARE(print.at(i).kind, pdf.at(i).kind);
        // The preview shows exactly what the PDF holds, unshifted.
        QCOMPARE(preview.at(i + 1).rect, pdf.at(i).rect);
        QCOMPARE(preview.at(i + 1).line, pdf.at(i).line);
        if (pdf.at(i).kind == DrawOp::Kind::Line) {
            QCOMPARE(print.at(i).line, pdf.at(i).line.translated(offset));
            QCOMPARE(pdf.at(i).line, QLineF(10, 10, 20, 30));
        } else {
            QCOMPARE(print.at(i).rect, pdf.at(i).rect.translated(offset));
        }
        if (pdf.at(i).kind == DrawOp::Kind::Text)
            QCOMPARE(pdf.at(i).rect, r.pages[0].texts.at(pdf.at(i).textIndex).rect);
    }
}

void TestReportRender::backgroundOnlyInPreviewImage_data() {
    QTest::addColumn<RenderTarget>("target");
    QTest::addColumn<bool>("green");
    QTest::newRow("preview") << RenderTarget::Preview << true;
    QTest::newRow("print") << RenderTarget::Print << false;
    QTest::newRow("pdf") << RenderTarget::Pdf << false;
}

void TestReportRender::backgroundOnlyInPreviewImage() {
    QFETCH(RenderTarget, target);
    QFETCH(bool, green);
    const QImage img = renderPageImage(colouredReport(QPointF(0, 0)), 0, 254, target); // 10 px/mm
    QCOMPARE(img.size(), QSize(1000, 500));
    const QColor c = img.pixelColor(5, 5);
    QCOMPARE(c, green ? QColor(0, 200, 0) : QColor(Qt::white));
    // The rectangle's left edge is drawn in every case.
    QCOMPARE(img.pixelColor(200, 200), QColor(Qt::black));
}

void TestReportRender::offsetMovesPrintedPixels() {
    const PreparedReport r = colouredReport(QPointF(5, -3));
    const QImage pdf = renderPageImage(r, 0, 254, RenderTarget::Pdf);
    const QImage print = renderPageImage(r, 0, 254, RenderTarget::Print);
    // Rectangle left edge at x = 20 mm, from y = 10 to 30 mm; printed 5 mm
    // right and 3 mm up.
    QCOMPARE(pdf.pixelColor(200, 200), QColor(Qt::black));
    QCOMPARE(pdf.pixelColor(250, 200), QColor(Qt::white));
    QCOMPARE(print.pixelColor(200, 200), QColor(Qt::white));
    QCOMPARE(print.pixelColor(250, 200), QColor(Qt::black));
    QCOMPARE(print.pixelColor(250, 75), QColor(Qt::black)); // top edge now at 7 mm
    QCOMPARE(pdf.pixelColor(250, 75), QColor(Qt::white));
}

void TestReportRender::pdfTextLandsOnTemplatePositions() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const PreparedReport r = sampleReceipt(7);
    const QString pdf = dir_.filePath(QStringLiteral("receipt.pdf"));
    exportPdf(r, pdf);
    const QList<PdfPage> pages = pdfWords(pdf);
    QCOMPARE(pages.size(), 2);
    for (int p = 0; p < pages.size(); ++p) {
        // Qt stores the page size in whole points.
        QVERIFY(qAbs(pages[p].mm.width() - 241) < 0.2);
        QVERIFY(qAbs(pages[p].mm.height() - 93.1) < 0.2);
        // The blank form's captions are pre-printed, never in the PDF.
        for (const Word& w : pages[p].words)
            QVERIFY2(!w.text.contains(QStringLiteral("付款方")) &&
                         !w.text.contains(QStringLiteral("发票联")),
                     qPrintable(w.text));
        int checked = 0;
        for (const PlacedText& t : r.pages[p].texts) {
            if (t.text.isEmpty() || t.text.contains(u' '))
                continue; // pdftotext splits words at spaces
            const Word* w = wordAt(pages[p], t.text, t.rect.center());
            QVERIFY2(w, qPrintable(t.text));
            const double tol = 0.2;
            if (t.halign == HAlign::Left)
                QVERIFY2(qAbs(w->mm.left() - t.rect.left()) <= tol,
                         qPrintable(QStringLiteral("%1: %2 vs %3")
                                        .arg(t.text)
                                        .arg(w->mm.left())
                                        .arg(t.rect.left())));
            if (t.halign == HAlign::Right)
                QVERIFY2(qAbs(w->mm.right() - t.rect.right()) <= tol,
                         qPrintable(QStringLiteral("%1: %2 vs %3")
                                        .arg(t.text)
                                        .arg(w->mm.right())
                                        .arg(t.rect.right())));
            if (t.halign == HAlign::Center)
                QVERIFY(qAbs(w->mm.center().x() - t.rect.center().x()) <= tol);
            // Vertically centred in its box, and inside it.
            QVERIFY2(qAbs(w->mm.center().y() - t.rect.center().y()) <= tol,
                     qPrintable(QStringLiteral("%1: %2 vs %3")
                                    .arg(t.text)
                                    .arg(w->mm.center().y())
                                    .arg(t.rect.center().y())));
            QVERIFY(w->mm.top() >= t.rect.top() - tol && w->mm.bottom() <= t.rect.bottom() + tol);
            ++checked;
        }
        QVERIFY(checked >= 8);
    }
    QVERIFY(wordAt(pages[1], QStringLiteral("餐费7")));
    QVERIFY(wordAt(pages[1], QStringLiteral("杭州西湖食品有限公司")));
}

void TestReportRender::printedPdfIsShiftedByTheOffset() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    PreparedReport r = sampleReceipt(1);
    r.printerOffset = QPointF(3, 2);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir_.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4)); // replaced by the report's paper
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    printReport(printer, r);
    QVERIFY(printer.fullPage());
    const QList<PdfPage> pages = pdfWords(pdf);
    QCOMPARE(pages.size(), 1);
    QVERIFY(qAbs(pages[0].mm.width() - 241) < 0.2);
    for (const QString& text : {QStringLiteral("00012345"), QStringLiteral("杭州西湖食品有限公司"),
                                QStringLiteral("餐费1")}) {
        const PlacedText* t = findText(r.pages[0], text);
        const Word* w = wordAt(pages[0], text, t ? t->rect.center() : QPointF());
        QVERIFY(t && w);
        QVERIFY2(qAbs(w->mm.left() - (t->rect.left() + 3)) <= 0.2, qPrintable(text));
        QVERIFY2(qAbs(w->mm.center().y() - (t->rect.center().y() + 2)) <= 0.2, qPrintable(text));
    }
}

void TestReportRender::exportToUnwritablePathFails() {
    const QString path = dir_.filePath(QStringLiteral("no/such/folder/out.pdf"));
    try {
        exportPdf(sampleReceipt(1), path);
        QFAIL("expected ReportError");
    } catch (const ReportError& e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
    }
}

void TestReportRender::preparedFileRoundTrip() {
    PreparedReport r = sampleReceipt(7);
    r.printerOffset = QPointF(1.25, -0.5);
    r.orientation = QPageLayout::Landscape;
    r.pages[1].texts[0].text = QStringLiteral("引号\"'\n换行 [V0] \\ 壹");
    r.pages[1].lines.append({QLineF(1.1, 2.2, 3.3, 4.4), 0.15});
    r.pages[1].rects.append({QRectF(0.1, 0.2, 0.3, 0.4), 0.35});
    QVERIFY(!r.background.isNull());
    const QString path = dir_.filePath(QStringLiteral("receipt.zrp"));
    savePreparedReport(r, path);
    const PreparedReport back = loadPreparedReport(path);
    QCOMPARE(back.pages.size(), 2);
    QCOMPARE(back.pages, r.pages);
    QCOMPARE(back.background, r.background);
    QVERIFY(back == r);
    // The template's background folder is not needed to show it again.
    QCOMPARE(renderPageImage(back, 1, 50, RenderTarget::Preview),
             renderPageImage(r, 1, 50, RenderTarget::Preview));
}

void TestReportRender::brokenPreparedFile_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("expected");
    QByteArray good = preparedReportToJson(sampleReceipt(1));
    QTest::newRow("missing") << QByteArray() << QStringLiteral("文件不存在");
    QTest::newRow("not json") << QByteArray("garbage") << QStringLiteral("文件已损坏");
    QTest::newRow("truncated") << good.left(good.size() / 2) << QStringLiteral("文件已损坏");
    QTest::newRow("a template, not a prepared report")
        << QByteArray(R"({"format": "zelk-report-template", "version": 1})")
        << QStringLiteral("不是本程序保存的预览文件");
    QByteArray v2 = good;
    v2.replace("\"version\": 1", "\"version\": 9");
    QTest::newRow("newer version") << v2 << QStringLiteral("版本 9");
    QByteArray noText = good;
    noText.replace("\"text\":", "\"txet\":");
    QTest::newRow("missing field") << noText << QStringLiteral("缺少字段 “text”");
    QByteArray badImage = good;
    badImage.replace("\"png\": \"", "\"png\": \"!!");
    QTest::newRow("broken image") << badImage << QStringLiteral("背景图片数据损坏");
    QByteArray badSize = good;
    badSize.replace("\"fontSize\": 9", "\"fontSize\": \"9\"");
    QTest::newRow("wrong type") << badSize << QStringLiteral("“fontSize” 应为数字");
}

void TestReportRender::brokenPreparedFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = content.isEmpty() ? dir_.filePath(QStringLiteral("absent.zrp"))
                                           : writeFile(dir_, QStringLiteral("broken.zrp"), content);
    try {
        loadPreparedReport(path);
        QFAIL("expected PreparedFileError");
    } catch (const PreparedFileError& e) {
        QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
    }
}

QTEST_MAIN(TestReportRender)
#include "test_report_render.moc"
