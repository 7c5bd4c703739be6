// Template loading and layout: positions, pagination, substitution, shrinking,
// errors, and the shipped receipt template.

#include "report/fp3form.h"
#include "report/layout.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "reporttestutil.h"

#include <QtTest>

using namespace zelk::report;
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
    d.columns = QStringList{QStringLiteral("no"), QStringLiteral("name"), QStringLiteral("amount")};
    for (int i = 0; i < n; ++i)
        d.rows.append(QStringList{QStringLiteral("A%1").arg(i), QStringLiteral("row %1").arg(i),
                                  QString::number(i)});
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
    QTemporaryDir dir_;
};

void TestReportLayout::positionsEqualTemplateMillimetres() {
    const Template t = parseTemplate(kTemplate, dir_.filePath(QStringLiteral("t.frf")));
    const PreparedReport r =
        layoutReport(t, rows(3), {{QStringLiteral("V0"), QStringLiteral("v")}});
    QCOMPARE(r.pages.size(), 1);
    QCOMPARE(r.paperSize, QSizeF(210, 148.5));
    QCOMPARE(r.printerOffset, QPointF(1.5, -0.75));
    const Page& p = r.pages.first();
    QCOMPARE(p.texts.size(), 2 + 3 * 2);
    QCOMPARE(p.texts.at(0).rect, QRectF(12.3, 7.1, 60, 6));
    QCOMPARE(p.texts.at(0).text, QStringLiteral("No. A0"));
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
        QCOMPARE(name.text, QStringLiteral("row %1").arg(row));
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
    const Template t = parseTemplate(kTemplate, dir_.filePath(QStringLiteral("t.frf")));
    const PreparedReport r =
        layoutReport(t, rows(rowCount), {{QStringLiteral("V0"), QStringLiteral("v")}});
    QCOMPARE(r.pages.size(), rowsOnPages.size());
    int row = 0;
    for (int p = 0; p < r.pages.size(); ++p) {
        const Page& page = r.pages.at(p);
        // Header items on every page, from the first row.
        QCOMPARE(page.texts.at(0).text,
                 rowCount > 0 ? QStringLiteral("No. A0") : QStringLiteral("No. "));
        QCOMPARE(page.texts.at(1).text, QStringLiteral("v"));
        QCOMPARE(page.texts.size(), 2 + 2 * rowsOnPages.at(p));
        for (int k = 0; k < rowsOnPages.at(p); ++k, ++row) {
            const PlacedText& name = page.texts.at(2 + 2 * k);
            QCOMPARE(name.text, QStringLiteral("row %1").arg(row));
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
    QTest::newRow("plain") << QStringLiteral("[a]") << QStringLiteral("abc")
                           << QStringLiteral("abc");
    QTest::newRow("mixed") << QStringLiteral("发票号码: [a]") << QStringLiteral("00012345")
                           << QStringLiteral("发票号码: 00012345");
    QTest::newRow("quotes") << QStringLiteral("[a]") << QStringLiteral("他说\"好\"'不' \\n")
                            << QStringLiteral("他说\"好\"'不' \\n");
    QTest::newRow("line breaks") << QStringLiteral("[a]") << QStringLiteral("第一行\n第二行\r\n三")
                                 << QStringLiteral("第一行\n第二行\r\n三");
    QTest::newRow("value looks like a reference")
        << QStringLiteral("[a]") << QStringLiteral("[b] [[a]] [V0]")
        << QStringLiteral("[b] [[a]] [V0]");
    QTest::newRow("expression-like value")
        << QStringLiteral("[a]") << QStringLiteral("1+2 ' + [b] + '")
        << QStringLiteral("1+2 ' + [b] + '");
    QTest::newRow("escaped bracket")
        << QStringLiteral("[[a] = [a]]") << QStringLiteral("x") << QStringLiteral("[a] = x]");
    QTest::newRow("variable and column")
        << QStringLiteral("[V0]/[b]/[a]") << QStringLiteral("甲") << QStringLiteral("备注/乙/甲");
    QTest::newRow("empty value") << QStringLiteral("<[a]>") << QString() << QStringLiteral("<>");
    QTest::newRow("cjk and symbols")
        << QStringLiteral("￥[a]") << QStringLiteral("壹佰元整（含税）")
        << QStringLiteral("￥壹佰元整（含税）");
}

void TestReportLayout::substitution() {
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QJsonObject item{{QStringLiteral("type"), QStringLiteral("text")},
                     {QStringLiteral("x"), 1},
                     {QStringLiteral("y"), 2},
                     {QStringLiteral("width"), 50},
                     {QStringLiteral("height"), 5},
                     {QStringLiteral("text"), text}};
    QJsonObject root{{QStringLiteral("format"), QStringLiteral("zelk-report-template")},
                     {QStringLiteral("version"), 1},
                     {QStringLiteral("paper"),
                      QJsonObject{{QStringLiteral("width"), 100}, {QStringLiteral("height"), 50}}},
                     {QStringLiteral("items"), QJsonArray{item}}};
    const Template t = parseTemplate(QJsonDocument(root).toJson(), QStringLiteral("sub.frf"));
    DataSet d;
    d.columns = QStringList{QStringLiteral("a"), QStringLiteral("b")};
    d.rows.append(QStringList{value, QStringLiteral("乙")});
    const PreparedReport r = layoutReport(t, d, {{QStringLiteral("V0"), QStringLiteral("备注")}});
    QCOMPARE(r.pages.first().texts.first().text, expected);
}

void TestReportLayout::unknownNameIsAClearError() {
    const Template t = parseTemplate(kTemplate, QStringLiteral("/forms/t.frf"));
    // V0 missing: it is referenced by a page item; also with no rows at all.
    for (int n : {0, 2}) {
        try {
            layoutReport(t, rows(n), {});
            QFAIL("expected TemplateError");
        } catch (const TemplateError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("[V0]")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("/forms/t.frf")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("未知")), qPrintable(e.message()));
        }
    }
}

void TestReportLayout::rowWithWrongValueCountIsAnError() {
    const Template t = parseTemplate(kTemplate, QStringLiteral("t.frf"));
    DataSet d = rows(2);
    d.rows[1].removeLast();
    QVERIFY_THROWS_EXCEPTION(ReportError,
                             layoutReport(t, d, {{QStringLiteral("V0"), QStringLiteral("v")}}));
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
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("无法读取：文件不存在");
    QTest::newRow("not json") << QByteArray("paper: 241 x 93") << QStringLiteral("不是有效的 JSON");
    QTest::newRow("truncated json") << with(R"(, "items": [)") << QStringLiteral("不是有效的 JSON");
    QTest::newRow("json array") << QByteArray("[1, 2]") << QStringLiteral("JSON 对象");
    QTest::newRow("no format marker")
        << QByteArray(R"({"version": 1, "paper": {"width": 100, "height": 50}})")
        << QStringLiteral("format");
    QTest::newRow("unknown version")
        << QByteArray(
               R"({"format": "zelk-report-template", "version": 2, "paper": {"width": 100, "height": 50}})")
        << QStringLiteral("版本 2");
    QTest::newRow("unknown top field")
        << with(R"(, "colour": "red")") << QStringLiteral("未知字段 “colour”");
    QTest::newRow("unknown item field")
        << item(R"(, "colour": "red")") << QStringLiteral("未知字段 “items[0].colour”");
    QTest::newRow("misspelt band field")
        << with(R"(, "band": {"y": 1, "pitch": 5, "rowsPerPages": 5, "items": []})")
        << QStringLiteral("未知字段 “band.rowsPerPages”");
    QTest::newRow("no paper") << QByteArray(R"({"format": "zelk-report-template", "version": 1})")
                              << QStringLiteral("缺少字段 “paper”");
    QTest::newRow("zero paper height")
        << QByteArray(
               R"({"format": "zelk-report-template", "version": 1, "paper": {"width": 100, "height": 0}})")
        << QStringLiteral("“paper.height” 的值 0 无效");
    QTest::newRow("negative width")
        << with(R"(, "items": [{"type": "rect", "x": 1, "y": 1, "width": -3, "height": 5}])")
        << QStringLiteral("“items[0].width” 的值 -3 无效");
    QTest::newRow("size as text") << item(R"(, "font": {"size": "10"})")
                                  << QStringLiteral("“items[0].font.size” 应为数字");
    QTest::newRow("huge font size") << item(R"(, "font": {"size": 2000})")
                                    << QStringLiteral("“items[0].font.size” 的值 2000 无效");
    QTest::newRow("wrap as number")
        << item(R"(, "wrap": 1)") << QStringLiteral("“items[0].wrap” 应为 true 或 false");
    QTest::newRow("bad align") << item(R"(, "align": "middle")")
                               << QStringLiteral("“items[0].align” 的值 “middle” 无效");
    QTest::newRow("bad item type") << with(R"(, "items": [{"type": "circle"}])")
                                   << QStringLiteral("“items[0].type” 的值 “circle” 无效");
    QTest::newRow("min size above size") << item(R"(, "font": {"size": 8}, "minSize": 9)")
                                         << QStringLiteral("“items[0].minSize” 的值 9 无效");
    QTest::newRow("unclosed bracket")
        << with(
               R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "号码 [fphm"}])")
        << QStringLiteral("没有对应的 “]”");
    QTest::newRow("empty reference")
        << with(
               R"(, "items": [{"type": "text", "x": 1, "y": 1, "width": 10, "height": 5, "text": "[]"}])")
        << QStringLiteral("缺少字段名");
    QTest::newRow("fractional rows per page")
        << with(R"(, "band": {"y": 1, "pitch": 5, "rowsPerPage": 2.5, "items": []})")
        << QStringLiteral("“band.rowsPerPage” 的值 2.5 无效");
    QTest::newRow("zero pitch")
        << with(R"(, "band": {"y": 1, "pitch": 0, "rowsPerPage": 2, "items": []})")
        << QStringLiteral("“band.pitch” 的值 0 无效");
    QTest::newRow("missing background image")
        << with(R"(, "background": {"image": "nowhere.png"})") << QStringLiteral("背景图片");
}

void TestReportLayout::brokenTemplate() {
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = content.isEmpty() ? dir_.filePath(QStringLiteral("absent.frf"))
                                           : writeFile(dir_, QStringLiteral("broken.frf"), content);
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
    const Template t = loadTemplate(sourceDir() + QStringLiteral("/resources/report/fp3.frf"));
    const QString payer = QStringLiteral(
        "中华人民共和国浙江省杭州市西湖区某某街道某某社区居民委员会下属第三食品贸易有限责任公司"
        "驻上海市浦东新区陆家嘴金融贸易区办事处（临时）");
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
    const Template t = loadTemplate(sourceDir() + QStringLiteral("/resources/report/fp3.frf"));
    const PreparedReport r =
        layoutReport(t, fp3Sample(1, QStringLiteral("西湖茶楼")), fp3Variables());
    const PlacedText* text = findText(r.pages.first(), QStringLiteral("西湖茶楼"));
    QVERIFY(text);
    QCOMPARE(text->fontSize, 9.0);
}

void TestReportLayout::shippedTemplateLaysOutAReceipt() {
    const QString built = binaryDir() + QStringLiteral("/report/fp3.frf");
    QVERIFY2(QFile::exists(built), "the build copies the template into report/");
    QFile source(sourceDir() + QStringLiteral("/resources/report/fp3.frf")), copy(built);
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
    } expected[] = {{QStringLiteral("00012345"), {181, 14}},
                    {QStringLiteral("2026-12-06"), {28, 14}},
                    {QStringLiteral("餐饮业"), {98, 14}},
                    {QStringLiteral("JD0001"), {28, 19}},
                    {QStringLiteral("2026-11-01 至 2026-11-30"), {98, 19}},
                    {QStringLiteral("8841"), {181, 19}},
                    {QStringLiteral("杭州西湖食品有限公司"), {38, 25}},
                    {QStringLiteral("备注 \"含引号\""), {26, 61}},
                    {QStringLiteral("壹佰贰拾叁元整"), {42, 67}},
                    {QStringLiteral("￥123.00"), {167, 67}},
                    {QStringLiteral("西湖茶楼"), {42, 73}},
                    {QStringLiteral("张三"), {167, 73}},
                    {QStringLiteral("手写无效"), {10, 81}},
                    {QStringLiteral("餐费1"), {11, 36}},
                    {QStringLiteral("餐费5"), {11, 56}},
                    {QStringLiteral("50.00"), {191, 56}}};
    for (const auto& e : expected) {
        const PlacedText* text = findText(p, e.text);
        QVERIFY2(text, qPrintable(e.text));
        QCOMPARE(text->rect.topLeft(), e.at);
    }
    // Seven lines do not fit the five-row band: a second page with the header.
    const PreparedReport seven = layoutReport(t, fp3Sample(7), fp3Variables());
    QCOMPARE(seven.pages.size(), 2);
    QVERIFY(findText(seven.pages.at(1), QStringLiteral("00012345")));
    QCOMPARE(findText(seven.pages.at(1), QStringLiteral("餐费6"))->rect.topLeft(), QPointF(11, 36));
}

void TestReportLayout::shippedBackgroundMatchesTheFormDrawing() {
    QImage shipped(sourceDir() + QStringLiteral("/resources/report/fp3-blank.png"));
    QVERIFY(!shipped.isNull());
    const QImage drawn = drawFp3BlankForm(150);
    QCOMPARE(shipped.size(), drawn.size());
    // 241 mm at 150 dpi.
    QCOMPARE(drawn.width(), qRound(241 / 25.4 * 150));
}

QTEST_MAIN(TestReportLayout)
#include "test_report_layout.moc"
