// Template loading and layout: positions, pagination, substitution, shrinking,
// errors, and the shipped receipt template.

#include "report/fp3form.h"
#include "report/layout.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "reporttestutil.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace report;
using namespace reporttest;

namespace {

// A small template: two page items, a line, a rectangle and a three-item band.
const QByteArray kTemplate = R"({
  "format": "zelk-report-template", "version": 1,
  "paper": { "width": 210, "height": 148.5 },
  "printerOffset": { "x": 1.5, "y": -0.75 },
  "font": { "family": "SimSun", "size": 10 },
  "items": [
    { "type": "text", "x": 12.3, "y": 7.1, "width": 60, "height": 6, "text": "No. [no]" },
    { "type": "text", "x": 150.25, "y": 7.1, "width": 40, "height": 6, "text": "[V0]", "align": "right" },
    { "type": "line", "x1": 10, "y1": 20.2, "x2": 200, "y2": 20.2, "lineWidth": 0.3 },
    { "type": "rect", "x": 10, "y": 30, "width": 190, "height": 40.7 }
  ],
  "band": { "y": 31.3, "pitch": 6.35, "rowsPerPage": 5, "items": [
    { "type": "text", "x": 11, "y": 0.4, "width": 80, "height": 5, "text": "[name]" },
    { "type": "text", "x": 160, "y": 0.4, "width": 39, "height": 5, "text": "[amount]", "align": "right" },
    { "type": "line", "x1": 10, "y1": 6.35, "x2": 200, "y2": 6.35 }
  ] }
})";

DataSet rows(int n) {
    DataSet d;
    d.columns = QStringList{u"no"_s, u"name"_s, u"amount"_s};
    for (int i = 0; i < n; ++i)
        d.rows.append(QStringList{u"A%1"_s.arg(i), u"row %1"_s.arg(i), QString::number(i)});
    return d;
}

} // namespace

class TestReportLayout : public QObject {
    Q_OBJECT

private slots:
    void positionsEqualTemplateMillimetres();
    void pagination_data();
    void pagination();
    void substitution_data();
    void substitution();
    void unknownNameIsAClearError();
    void rowWithWrongValueCountIsAnError();
    void brokenTemplate_data();
    void brokenTemplate();
    void shrinkToFitKeepsLongTextInsideItsBox();
    void shortTextKeepsItsSize();
    void shippedTemplateLaysOutAReceipt();
    void shippedBackgroundMatchesTheFormDrawing();

private:
    QTemporaryDir m_dir;
};

void TestReportLayout::positionsEqualTemplateMillimetres() {
    const Template t = parseTemplate(kTemplate, m_dir.filePath(u"t.frf"_s));
    const PreparedReport r = layoutReport(t, rows(3), {{u"V0"_s, u"v"_s}});
    QCOMPARE(r.pages.size(), 1);
    QCOMPARE(r.paperSize, QSizeF(210, 148.5));
    QCOMPARE(r.printerOffset, QPointF(1.5, -0.75));
    const Page& p = r.pages.first();
    QCOMPARE(p.texts.size(), 2 + 3 * 2);
    QCOMPARE(p.texts.at(0).rect, QRectF(12.3, 7.1, 60, 6));
    QCOMPARE(p.texts.at(0).text, u"No. A0"_s);
    QCOMPARE(p.texts.at(1).rect, QRectF(150.25, 7.1, 40, 6));
    QCOMPARE(p.texts.at(1).halign, HAlign::Right);
    QCOMPARE(p.rects.size(), 1);
    QCOMPARE(p.rects.first().rect, QRectF(10, 30, 190, 40.7));
    QCOMPARE(p.lines.size(), 1 + 3);
    QCOMPARE(p.lines.first().line, QLineF(10, 20.2, 200, 20.2));
    QCOMPARE(p.lines.first().lineWidth, 0.3);
    for (int row = 0; row < 3; ++row) {
        const double top = 31.3 + row * 6.35;
        const PlacedText& name = p.texts.at(2 + row * 2);
        const PlacedText& amount = p.texts.at(3 + row * 2);
        QCOMPARE(name.text, u"row %1"_s.arg(row));
        QCOMPARE(name.rect, QRectF(11, 0.4 + top, 80, 5));
        QCOMPARE(amount.rect, QRectF(160, 0.4 + top, 39, 5));
        QCOMPARE(p.lines.at(1 + row).line, QLineF(10, 6.35 + top, 200, 6.35 + top));
    }
}

void TestReportLayout::pagination_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QList<int>>("rowsOnPages");
    QTest::newRow("no rows") << 0 << QList<int>{0};
    QTest::newRow("one row") << 1 << QList<int>{1};
    QTest::newRow("exactly full") << 5 << QList<int>{5};
    QTest::newRow("one over") << 6 << QList<int>{5, 1};
    QTest::newRow("seven") << 7 << QList<int>{5, 2};
    QTest::newRow("eleven") << 11 << QList<int>{5, 5, 1};
}

void TestReportLayout::pagination() {
    QFETCH(int, rowCount);
    QFETCH(QList<int>, rowsOnPages);
    const Template t = parseTemplate(kTemplate, m_dir.filePath(u"t.frf"_s));
    const PreparedReport r = layoutReport(t, rows(rowCount), {{u"V0"_s, u"v"_s}});
    QCOMPARE(r.pages.size(), rowsOnPages.size());
    int row = 0;
    for (int p = 0; p < r.pages.size(); ++p) {
        const Page& page = r.pages.at(p);
        // Header items on every page, from the first row.
        QCOMPARE(page.texts.at(0).text, rowCount > 0 ? u"No. A0"_s : u"No. "_s);
        QCOMPARE(page.texts.at(1).text, u"v"_s);
        QCOMPARE(page.texts.size(), 2 + 2 * rowsOnPages.at(p));
        for (int k = 0; k < rowsOnPages.at(p); ++k, ++row) {
            const PlacedText& name = page.texts.at(2 + 2 * k);
            QCOMPARE(name.text, u"row %1"_s.arg(row));
            // Each page starts the band again at its origin.
            QCOMPARE(name.rect.y(), 0.4 + (31.3 + k * 6.35));
        }
    }
    QCOMPARE(row, rowCount);
}

void TestReportLayout::substitution_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"[a]"_s << u"abc"_s << u"abc"_s;
    QTest::newRow("mixed") << u"发票号码: [a]"_s << u"00012345"_s << u"发票号码: 00012345"_s;
    QTest::newRow("quotes") << u"[a]"_s << u"他说\"好\"'不' \\n"_s << u"他说\"好\"'不' \\n"_s;
    QTest::newRow("line breaks") << u"[a]"_s << u"第一行\n第二行\r\n三"_s
                                 << u"第一行\n第二行\r\n三"_s;
    QTest::newRow("value looks like a reference")
        << u"[a]"_s << u"[b] [[a]] [V0]"_s << u"[b] [[a]] [V0]"_s;
    QTest::newRow("expression-like value")
        << u"[a]"_s << u"1+2 ' + [b] + '"_s << u"1+2 ' + [b] + '"_s;
    QTest::newRow("escaped bracket") << u"[[a] = [a]]"_s << u"x"_s << u"[a] = x]"_s;
    QTest::newRow("variable and column") << u"[V0]/[b]/[a]"_s << u"甲"_s << u"备注/乙/甲"_s;
    QTest::newRow("empty value") << u"<[a]>"_s << QString() << u"<>"_s;
    QTest::newRow("cjk and symbols")
        << u"￥[a]"_s << u"壹佰元整（含税）"_s << u"￥壹佰元整（含税）"_s;
}

void TestReportLayout::substitution() {
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QJsonObject item{{u"type"_s, u"text"_s}, {u"x"_s, 1},      {u"y"_s, 2},
                     {u"width"_s, 50},       {u"height"_s, 5}, {u"text"_s, text}};
    QJsonObject root{{u"format"_s, u"zelk-report-template"_s},
                     {u"version"_s, 1},
                     {u"paper"_s, QJsonObject{{u"width"_s, 100}, {u"height"_s, 50}}},
                     {u"items"_s, QJsonArray{item}}};
    const Template t = parseTemplate(QJsonDocument(root).toJson(), u"sub.frf"_s);
    DataSet d;
    d.columns = QStringList{u"a"_s, u"b"_s};
    d.rows.append(QStringList{value, u"乙"_s});
    const PreparedReport r = layoutReport(t, d, {{u"V0"_s, u"备注"_s}});
    QCOMPARE(r.pages.first().texts.first().text, expected);
}

void TestReportLayout::unknownNameIsAClearError() {
    const Template t = parseTemplate(kTemplate, u"/forms/t.frf"_s);
    // V0 missing: it is referenced by a page item; also with no rows at all.
    for (int n : {0, 2}) {
        try {
            layoutReport(t, rows(n), {});
            QFAIL("expected TemplateError");
        } catch (const TemplateError& e) {
            QVERIFY2(e.message().contains(u"[V0]"_s), qPrintable(e.message()));
            QVERIFY2(e.message().contains(u"/forms/t.frf"_s), qPrintable(e.message()));
            QVERIFY2(e.message().contains(u"未知"_s), qPrintable(e.message()));
        }
    }
}

void TestReportLayout::rowWithWrongValueCountIsAnError() {
    const Template t = parseTemplate(kTemplate, u"t.frf"_s);
    DataSet d = rows(2);
    d.rows[1].removeLast();
    QVERIFY_THROWS_EXCEPTION(ReportError, layoutReport(t, d, {{u"V0"_s, u"v"_s}}));
}

void TestReportLayout::brokenTemplate_data() {
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<QString>("expected");
    const QByteArray head =
        R"("format": "zelk-report-template", "version": 1, "paper": {"width": 100, "height": 50})";
    auto with = [&head](const char* rest) -> QByteArray { return "{" + head + rest + "}"; };
    auto item = [&head](const char* fields) -> QByteArray {
        return "{" + head +
               R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "t")" +
               fields + "}]}";
    };
    QTest::newRow("missing file") << QByteArray() << u"无法读取：文件不存在"_s;
    QTest::newRow("not json") << QByteArray("paper: 241 x 93") << u"不是有效的 JSON"_s;
    QTest::newRow("truncated json") << with(R"(, "items": [)") << u"不是有效的 JSON"_s;
    QTest::newRow("json array") << QByteArray("[1, 2]") << u"JSON 对象"_s;
    QTest::newRow("no format marker")
        << QByteArray(R"({"version": 1, "paper": {"width": 100, "height": 50}})") << u"format"_s;
    QTest::newRow("unknown version")
        << QByteArray(
               R"({"format": "zelk-report-template", "version": 2, "paper": {"width": 100, "height": 50}})")
        << u"版本 2"_s;
    QTest::newRow("unknown top field") << with(R"(, "colour": "red")") << u"未知字段 “colour”"_s;
    QTest::newRow("unknown item field")
        << item(R"(, "colour": "red")") << u"未知字段 “items[0].colour”"_s;
    QTest::newRow("misspelt band field")
        << with(R"(, "band": {"y": 1, "pitch": 5, "rowsPerPages": 5, "items": []})")
        << u"未知字段 “band.rowsPerPages”"_s;
    QTest::newRow("no paper") << QByteArray(R"({"format": "zelk-report-template", "version": 1})")
                              << u"缺少字段 “paper”"_s;
    QTest::newRow("zero paper height")
        << QByteArray(
               R"({"format": "zelk-report-template", "version": 1, "paper": {"width": 100, "height": 0}})")
        << u"“paper.height” 的值 0 无效"_s;
    QTest::newRow("negative width")
        << with(R"(, "items": [{"type": "rect", "x": 1, "y": 1, "width": -3, "height": 5}])")
        << u"“items[0].width” 的值 -3 无效"_s;
    QTest::newRow("size as text") << item(R"(, "font": {"size": "10"})")
                                  << u"“items[0].font.size” 应为数字"_s;
    QTest::newRow("huge font size")
        << item(R"(, "font": {"size": 2000})") << u"“items[0].font.size” 的值 2000 无效"_s;
    QTest::newRow("wrap as number")
        << item(R"(, "wrap": 1)") << u"“items[0].wrap” 应为 true 或 false"_s;
    QTest::newRow("bad align") << item(R"(, "align": "middle")")
                               << u"“items[0].align” 的值 “middle” 无效"_s;
    QTest::newRow("bad item type")
        << with(R"(, "items": [{"type": "circle"}])") << u"“items[0].type” 的值 “circle” 无效"_s;
    QTest::newRow("min size above size")
        << item(R"(, "font": {"size": 8}, "minSize": 9)") << u"“items[0].minSize” 的值 9 无效"_s;
    QTest::newRow("unclosed bracket")
        << with(
               R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "号码 [fphm"}])")
        << u"没有对应的 “]”"_s;
    QTest::newRow("empty reference")
        << with(
               R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "[]"}])")
        << u"缺少字段名"_s;
    QTest::newRow("fractional rows per page")
        << with(R"(, "band": {"y": 1, "pitch": 5, "rowsPerPage": 2.5, "items": []})")
        << u"“band.rowsPerPage” 的值 2.5 无效"_s;
    QTest::newRow("zero pitch")
        << with(R"(, "band": {"y": 1, "pitch": 0, "rowsPerPage": 2, "items": []})")
        << u"“band.pitch” 的值 0 无效"_s;
    QTest::newRow("missing background image")
        << with(R"(, "background": {"image": "nowhere.png"})") << u"背景图片"_s;
}

void TestReportLayout::brokenTemplate() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = content.isEmpty() ? m_dir.filePath(u"absent.frf"_s)
                                           : writeFile(m_dir, u"broken.frf"_s, content);
    try {
        loadTemplate(path);
        QFAIL("expected TemplateError");
    } catch (const TemplateError& e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
        QCOMPARE(QString::fromUtf8(e.what()), e.message());
    }
}

void TestReportLayout::shrinkToFitKeepsLongTextInsideItsBox() {
    const Template t = loadTemplate(sourceDir() + u"/resources/report/fp3.frf"_s);
    const QString payer =
        u"中华人民共和国浙江省杭州市西湖区某某街道某某社区居民委员会下属第三食品贸易有限责任公司"
        u"驻上海市浦东新区陆家嘴金融贸易区办事处（临时）"_s;
    const PreparedReport r = layoutReport(t, fp3Sample(1, payer), fp3Variables());
    const PlacedText* text = findText(r.pages.first(), payer);
    QVERIFY(text);
    QCOMPARE(text->templateSize, 9.0);
    QVERIFY2(text->fontSize < 9.0, qPrintable(QString::number(text->fontSize)));
    QVERIFY(text->fontSize >= 5.0);
    const QSizeF need = measureText(text->text, text->rect.size(), text->font(), text->flags());
    QVERIFY2(need.width() <= text->rect.width(), qPrintable(QString::number(need.width())));
    QVERIFY(need.height() <= text->rect.height());
    // Half a point larger would not have fitted: shrinking stops at the first fit.
    QFont larger = text->font();
    larger.setPointSizeF(text->fontSize + 0.5);
    QVERIFY(measureText(text->text, text->rect.size(), larger, text->flags()).width() >
            text->rect.width());
}

void TestReportLayout::shortTextKeepsItsSize() {
    const Template t = loadTemplate(sourceDir() + u"/resources/report/fp3.frf"_s);
    const PreparedReport r = layoutReport(t, fp3Sample(1, u"西湖茶楼"_s), fp3Variables());
    const PlacedText* text = findText(r.pages.first(), u"西湖茶楼"_s);
    QVERIFY(text);
    QCOMPARE(text->fontSize, 9.0);
}

void TestReportLayout::shippedTemplateLaysOutAReceipt() {
    const QString built = binaryDir() + u"/report/fp3.frf"_s;
    QVERIFY2(QFile::exists(built), "the build copies the template into report/");
    QFile source(sourceDir() + u"/resources/report/fp3.frf"_s), copy(built);
    QVERIFY(source.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), source.readAll());

    const Template t = loadTemplate(built);
    QCOMPARE(t.paperSize, QSizeF(241, 93.1));
    QVERIFY(!t.background.isNull());
    const PreparedReport r = layoutReport(t, fp3Sample(5), fp3Variables());
    QCOMPARE(r.pages.size(), 1);
    const Page& p = r.pages.first();
    const struct {
        QString text;
        QPointF at;
    } expected[] = {{u"00012345"_s, {181, 14}},
                    {u"2026-12-06"_s, {28, 14}},
                    {u"餐饮业"_s, {98, 14}},
                    {u"JD0001"_s, {28, 19}},
                    {u"2026-11-01 至 2026-11-30"_s, {98, 19}},
                    {u"8841"_s, {181, 19}},
                    {u"杭州西湖食品有限公司"_s, {38, 25}},
                    {u"备注 \"含引号\""_s, {26, 61}},
                    {u"壹佰贰拾叁元整"_s, {42, 67}},
                    {u"￥123.00"_s, {167, 67}},
                    {u"西湖茶楼"_s, {42, 73}},
                    {u"张三"_s, {167, 73}},
                    {u"手写无效"_s, {10, 81}},
                    {u"餐费1"_s, {11, 36}},
                    {u"餐费5"_s, {11, 56}},
                    {u"50.00"_s, {191, 56}}};
    for (const auto& e : expected) {
        const PlacedText* text = findText(p, e.text);
        QVERIFY2(text, qPrintable(e.text));
        QCOMPARE(text->rect.topLeft(), e.at);
    }
    // Seven lines do not fit the five-row band: a second page with the header.
    const PreparedReport seven = layoutReport(t, fp3Sample(7), fp3Variables());
    QCOMPARE(seven.pages.size(), 2);
    QVERIFY(findText(seven.pages.at(1), u"00012345"_s));
    QCOMPARE(findText(seven.pages.at(1), u"餐费6"_s)->rect.topLeft(), QPointF(11, 36));
}

void TestReportLayout::shippedBackgroundMatchesTheFormDrawing() {
    QImage shipped(sourceDir() + u"/resources/report/fp3-blank.png"_s);
    QVERIFY(!shipped.isNull());
    const QImage drawn = drawFp3BlankForm(150);
    QCOMPARE(shipped.size(), drawn.size());
    // 241 mm at 150 dpi.
    QCOMPARE(drawn.width(), qRound(241 / 25.4 * 150));
}

QTEST_MAIN(TestReportLayout)
#include "test_report_layout.moc"
