// The report engine: template loading and layout, rendering for the screen, the printer and
// PDF, the prepared report file, and the preview window driven through its controls.
#include "report/layout.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "samples.h"
#include "testsupport.h"

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextDocument>
#include <QtTest>

using namespace zelk::report;

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;

// A template of two page items, a line and a band of two texts and a line, five rows a page.
const QByteArray kTemplate = R"({
  "format": "zelk-report-template", "version": 1,
  "paper": { "width": 210, "height": 148.5 }, "printerOffset": { "x": 1.5, "y": -0.75 },
  "items": [
    { "type": "text", "x": 12.3, "y": 7.1, "width": 60, "height": 6, "text": "No. [no]" },
    { "type": "text", "x": 150.25, "y": 7.1, "width": 40, "height": 6, "text": "[V0]", "align": "right" },
    { "type": "line", "x1": 10, "y1": 20.2, "x2": 200, "y2": 20.2, "lineWidth": 0.3 }
  ],
  "band": { "y": 31.3, "pitch": 6.35, "rowsPerPage": 5, "items": [
    { "type": "text", "x": 11, "y": 0.4, "width": 80, "height": 5, "text": "[name]" },
    { "type": "line", "x1": 10, "y1": 6.35, "x2": 200, "y2": 6.35 }
  ] }
})";

DataSet rows(int n) {
    DataSet d{{QStringLiteral("no"), QStringLiteral("name")}, {}};
    for (int i = 0; i < n; ++i)
        d.rows.append({QStringLiteral("A%1").arg(i), QStringLiteral("row %1").arg(i)});
    return d;
}

PreparedReport sampleReceipt(int lines,
                             const QString& payer = QStringLiteral("杭州西湖食品有限公司")) {
    return layoutReport(
        loadTemplate(zelk::test::sourceFile(QStringLiteral("resources/report/fp3.frf"))),
        {zelk::test::fp3Columns(), zelk::test::fp3Rows(lines, payer)},
        {{QStringLiteral("V0"), QStringLiteral("备注 \"含引号\"")}});
}

// The first placed text on a page equal to text, or nullptr.
const PlacedText* findText(const Page& page, const QString& text) {
    for (const auto& t : page.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

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

// Runs pdftotext on a PDF file, failing the test when it is not installed.
#define PDF_WORDS(pages, pdf)                                                                      \
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),               \
             "pdftotext (poppler-utils, installed by scripts/setup) is missing");                  \
    const QList<PdfPage> pages = pdfWords(pdf)

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void pagination_data();
    void pagination();
    void brokenTemplate_data();
    void brokenTemplate();
    void shippedTemplatePositionsAndShrinking();
    void pdfTextLandsOnTemplatePositions();
    void preparedFile_data();
    void preparedFile();

private:
    QTemporaryDir dir_;
};

void TestReport::pagination_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QList<int>>("rowsOnPages");
    QTest::newRow("no rows") << 0 << QList<int>{0};
    QTest::newRow("exactly full") << 5 << QList<int>{5};
    QTest::newRow("one over") << 6 << QList<int>{5, 1};
    QTest::newRow("eleven") << 11 << QList<int>{5, 5, 1};
}

void TestReport::pagination() {
    QFETCH(int, rowCount);
    QFETCH(QList<int>, rowsOnPages);
    const Template t = parseTemplate(kTemplate, QStringLiteral("t.frf"));
    const PreparedReport r = layoutReport(t, rows(rowCount), {{QStringLiteral("V0"), "v"}});
    QCOMPARE(r.paperSize, QSizeF(210, 148.5));
    QCOMPARE(r.printerOffset, QPointF(1.5, -0.75));
    QCOMPARE(r.pages.size(), rowsOnPages.size());
    int row = 0;
    for (int p = 0; p < r.pages.size(); ++p) {
        const Page& page = r.pages.at(p);
        // The page items on every page, from the first row; the band from its origin.
        QCOMPARE(page.texts.at(0).text,
                 rowCount ? QStringLiteral("No. A0") : QStringLiteral("No. "));
        QCOMPARE(page.texts.at(0).rect, QRectF(12.3, 7.1, 60, 6));
        QCOMPARE(page.texts.at(1).halign, HAlign::Right);
        QCOMPARE(page.lines.at(0).line, QLineF(10, 20.2, 200, 20.2));
        QCOMPARE(page.texts.size(), 2 + rowsOnPages.at(p));
        for (int k = 0; k < rowsOnPages.at(p); ++k, ++row) {
            const double top = 31.3 + k * 6.35;
            QCOMPARE(page.texts.at(2 + k).text, QStringLiteral("row %1").arg(row));
            QCOMPARE(page.texts.at(2 + k).rect, QRectF(11, 0.4 + top, 80, 5));
            QCOMPARE(page.lines.at(1 + k).line, QLineF(10, 6.35 + top, 200, 6.35 + top));
        }
    }
    QCOMPARE(row, rowCount);
    // A name neither column nor variable is an error naming the template, also without rows;
    // so is a row with a value missing.
    for (int n : {0, 2}) {
        try {
            layoutReport(t, rows(n), {});
            QFAIL("expected TemplateError");
        } catch (const TemplateError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("[V0]")) &&
                         e.message().contains(QStringLiteral("t.frf")),
                     qPrintable(e.message()));
        }
    }
    DataSet d = rows(2);
    d.rows[1].removeLast();
    QVERIFY_THROWS_EXCEPTION(ReportError, layoutReport(t, d, {{QStringLiteral("V0"), "v"}}));
}

void TestReport::brokenTemplate_data() {
    // The file's content (what starts with ',' follows the paper; "-": no file) and a part of
    // the message.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    const char* table[][3] = {
        {"missing file", "-", "无法读取：文件不存在"},
        {"not json", "paper: 241 x 93", "不是有效的 JSON"},
        {"json array", "[1, 2]", "JSON 对象"},
        {"unknown version", R"({"format": "zelk-report-template", "version": 2})", "版本 2"},
        {"no paper", R"({"format": "zelk-report-template", "version": 1})", "缺少字段 “paper”"},
        {"misspelt band field", R"(, "band": {"y": 1, "pitch": 5, "rowsPerPages": 5, "items": []})",
         "未知字段 “band.rowsPerPages”"},
        {"negative width",
         R"(, "items": [{"type": "rect", "x": 1, "y": 1, "width": -3, "height": 5}])",
         "“items[0].width” 的值 -3 无效"},
        {"huge font size",
         R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "t", "font": {"size": 2000}}])",
         "“items[0].font.size” 的值 2000 无效"},
        {"unclosed bracket",
         R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "号码 [fphm"}])",
         "没有对应的 “]”"},
        {"fractional rows per page",
         R"(, "band": {"y": 1, "pitch": 5, "rowsPerPage": 2.5, "items": []})",
         "“band.rowsPerPage” 的值 2.5 无效"},
        {"missing background", R"(, "background": {"image": "nowhere.png"})", "背景图片"},
    };
    const QByteArray head =
        R"({"format": "zelk-report-template", "version": 1, "paper": {"width": 100, "height": 50})";
    for (const auto& row : table) {
        const QByteArray rest(row[1]);
        QTest::newRow(row[0]) << (rest.startsWith(',') ? QByteArray(head + rest + '}') : rest)
                              << QString::fromUtf8(row[2]);
    }
}

void TestReport::brokenTemplate() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = dir_.filePath(QStringLiteral("broken.frf"));
    QFile::remove(path);
    if (content != "-")
        zelk::test::writeFile(path, content);
    try {
        loadTemplate(path);
        QFAIL("expected TemplateError");
    } catch (const TemplateError& e) {
        QVERIFY2(e.message().contains(path) && e.message().contains(expected),
                 qPrintable(e.message()));
    }
}

void TestReport::shippedTemplatePositionsAndShrinking() {
    // The copy the build puts beside the program.
    const Template t = loadTemplate(zelk::test::builtFile(QStringLiteral("report/fp3.frf")));
    QCOMPARE(t.paperSize, QSizeF(241, 93.1));
    QVERIFY(!t.background.isNull());
    const PreparedReport r = sampleReceipt(7);
    QCOMPARE(r.pages.size(), 2); // seven lines do not fit the five-row band
    const struct {
        int page;
        const char* text;
        QPointF at;
    } expected[] = {{0, "00012345", {181, 14}},
                    {0, "2026-12-06", {28, 14}},
                    {0, "餐饮业", {98, 14}},
                    {0, "JD0001", {28, 19}},
                    {0, "2026-11-01 至 2026-11-30", {98, 19}},
                    {0, "8841", {181, 19}},
                    {0, "杭州西湖食品有限公司", {38, 25}},
                    {0, "备注 \"含引号\"", {26, 61}},
                    {0, "壹佰贰拾叁元整", {42, 67}},
                    {0, "￥123.00", {167, 67}},
                    {0, "西湖茶楼", {42, 73}},
                    {0, "张三", {167, 73}},
                    {0, "手写无效", {10, 81}},
                    {0, "餐费1", {11, 36}},
                    {0, "50.00", {191, 56}},
                    {1, "00012345", {181, 14}},
                    {1, "餐费6", {11, 36}}};
    for (const auto& e : expected) {
        const PlacedText* text = findText(r.pages.at(e.page), QString::fromUtf8(e.text));
        QVERIFY2(text, e.text);
        QCOMPARE(text->rect.topLeft(), e.at);
        QCOMPARE(text->fontSize, text->templateSize);
    }
    // A payer too long for its box is shrunk to the largest size that fits.
    const QString payer = QStringLiteral(
        "中华人民共和国浙江省杭州市西湖区某某街道某某社区居民委员会"
        "下属第三食品贸易有限责任公司驻上海市浦东新区陆家嘴金融贸易区办事处（临时）");
    const PreparedReport shrunk = sampleReceipt(1, payer);
    const PlacedText* text = findText(shrunk.pages.first(), payer);
    QVERIFY(text && text->fontSize < 9.0 && text->fontSize >= 5.0);
    QVERIFY(measureText(text->text, text->rect.size(), text->font(), text->flags()).width() <=
            text->rect.width());
    QFont larger = text->font();
    larger.setPointSizeF(text->fontSize + 0.5);
    QVERIFY(measureText(text->text, text->rect.size(), larger, text->flags()).width() >
            text->rect.width());
}

void TestReport::pdfTextLandsOnTemplatePositions() {
    const PreparedReport r = sampleReceipt(7);
    const QString pdf = dir_.filePath(QStringLiteral("receipt.pdf"));
    exportPdf(r, pdf);
    PDF_WORDS(pages, pdf);
    QCOMPARE(pages.size(), 2);
    const double tol = 0.2;
    for (int p = 0; p < pages.size(); ++p) {
        // Qt stores the page size in whole points.
        QVERIFY(qAbs(pages[p].mm.width() - 241) < tol && qAbs(pages[p].mm.height() - 93.1) < tol);
        // The blank form's captions are pre-printed, never in the PDF.
        for (const Word& w : pages[p].words)
            QVERIFY2(!w.text.contains(QStringLiteral("付款方")), qPrintable(w.text));
        int checked = 0;
        for (const PlacedText& t : r.pages[p].texts) {
            if (t.text.isEmpty() || t.text.contains(u' '))
                continue; // pdftotext splits words at spaces
            const Word* w = wordAt(pages[p], t.text, t.rect.center());
            QVERIFY2(w, qPrintable(t.text));
            const QString where = QStringLiteral("%1: (%2, %3) in (%4, %5)")
                                      .arg(t.text)
                                      .arg(w->mm.left())
                                      .arg(w->mm.center().y())
                                      .arg(t.rect.left())
                                      .arg(t.rect.center().y());
            const double dx = t.halign == HAlign::Left ? w->mm.left() - t.rect.left()
                              : t.halign == HAlign::Right
                                  ? w->mm.right() - t.rect.right()
                                  : w->mm.center().x() - t.rect.center().x();
            QVERIFY2(qAbs(dx) <= tol, qPrintable(where));
            // Vertically centred in its box, and inside it.
            QVERIFY2(qAbs(w->mm.center().y() - t.rect.center().y()) <= tol, qPrintable(where));
            QVERIFY(w->mm.top() >= t.rect.top() - tol && w->mm.bottom() <= t.rect.bottom() + tol);
            ++checked;
        }
        QVERIFY(checked >= 8);
    }
    QVERIFY(wordAt(pages[1], QStringLiteral("餐费7")));
}

void TestReport::preparedFile_data() {
    // The saved file with one text replaced ("": the file as saved, "-": no file), and a part
    // of the message ("": opens and equals what was saved).
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("saved and opened") << QByteArray() << QByteArray() << "";
    QTest::newRow("missing") << QByteArray("-") << QByteArray() << "文件不存在";
    QTest::newRow("truncated") << QByteArray("}") << QByteArray() << "文件已损坏";
    QTest::newRow("a template") << QByteArray("zelk-prepared") << QByteArray("zelk-report-template")
                                << "不是本程序保存的预览文件";
    QTest::newRow("newer version")
        << QByteArray("\"version\": 1") << QByteArray("\"version\": 9") << "版本 9";
    QTest::newRow("missing field")
        << QByteArray("\"text\":") << QByteArray("\"txet\":") << "缺少字段 “text”";
    QTest::newRow("broken image") << QByteArray("\"png\": \"") << QByteArray("\"png\": \"!!")
                                  << "背景图片数据损坏";
    QTest::newRow("wrong type") << QByteArray("\"fontSize\": 9")
                                << QByteArray("\"fontSize\": \"9\"") << "“fontSize” 应为数字";
}

void TestReport::preparedFile() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, expected);
    PreparedReport r = sampleReceipt(7);
    r.printerOffset = QPointF(1.25, -0.5);
    r.orientation = QPageLayout::Landscape;
    r.pages[1].texts[0].text = QStringLiteral("引号\"'\n换行 [V0] \\ 壹");
    r.pages[1].lines.append({QLineF(1.1, 2.2, 3.3, 4.4), 0.15});
    const QString path = dir_.filePath(QStringLiteral("receipt.zrp"));
    savePreparedReport(r, path);
    QVERIFY(zelk::test::readFile(path).contains(from) || from == "-");
    if (from == "-")
        QFile::remove(path);
    else if (!from.isEmpty())
        zelk::test::writeFile(path, zelk::test::readFile(path).replace(from, to));
    try {
        const PreparedReport back = loadPreparedReport(path);
        QVERIFY2(expected.isEmpty(), "a broken file opened");
        QVERIFY(back == r);
        // The template's background folder is not needed to show it again.
        QCOMPARE(renderPageImage(back, 1, 50, RenderTarget::Preview),
                 renderPageImage(r, 1, 50, RenderTarget::Preview));
    } catch (const PreparedFileError& e) {
        QVERIFY2(!expected.isEmpty() && e.message().contains(expected) &&
                     e.message().contains(path),
                 qPrintable(e.message()));
    }
}

QTEST_MAIN(TestReport)
#include "test_report.moc"
