#include "report/fp3form.h"

#include "report/render.h"

namespace zelk::report {

namespace {

PlacedText caption(const QString& text, const QRectF& rect, HAlign h = HAlign::Center,
                   double size = 9.0, bool bold = false) {
    PlacedText t;
    t.text = text;
    t.rect = rect;
    t.family = QStringLiteral("SimSun");
    t.templateSize = size;
    t.fontSize = size;
    t.bold = bold;
    t.halign = h;
    t.valign = VAlign::Center;
    return t;
}

} // namespace

PreparedReport fp3BlankForm() {
    PreparedReport r;
    r.paperSize = QSizeF(241.0, 93.1);
    Page page;
    auto line = [&page](double x1, double y1, double x2, double y2) {
        page.lines.append({QLineF(x1, y1, x2, y2), 0.25});
    };
    auto text = [&page](const QString& s, double x, double y, double w, double h,
                        HAlign a = HAlign::Center) {
        page.texts.append(caption(s, QRectF(x, y, w, h), a));
    };

    page.texts.append(
        caption(QStringLiteral("通用机打发票"), QRectF(0, 2, 241, 7), HAlign::Center, 16, true));
    page.texts.append(caption(QStringLiteral("发 票 联"), QRectF(0, 9, 241, 4), HAlign::Center, 9));
    line(100, 9.3, 141, 9.3);

    // Header captions; the values follow right after them.
    text(QStringLiteral("开票日期："), 12, 14, 16, 5, HAlign::Left);
    text(QStringLiteral("行业分类："), 82, 14, 16, 5, HAlign::Left);
    text(QStringLiteral("发票号码："), 165, 14, 16, 5, HAlign::Left);
    text(QStringLiteral("机打号码："), 12, 19, 16, 5, HAlign::Left);
    text(QStringLiteral("所属期间："), 82, 19, 16, 5, HAlign::Left);
    text(QStringLiteral("校 验 码："), 165, 19, 16, 5, HAlign::Left);

    // The table.
    page.rects.append({QRectF(10, 25, 221, 55), 0.4});
    for (double y : {31.0, 36.0, 61.0, 67.0, 73.0})
        line(10, y, 231, y);
    line(36, 25, 36, 31);
    text(QStringLiteral("付款方名称"), 10, 25, 26, 6);

    const double columns[] = {40, 110, 128, 153, 190};
    for (double x : columns)
        line(x, 31, x, 61);
    text(QStringLiteral("项目"), 10, 31, 30, 5);
    text(QStringLiteral("开具内容"), 40, 31, 70, 5);
    text(QStringLiteral("单位"), 110, 31, 18, 5);
    text(QStringLiteral("数量"), 128, 31, 25, 5);
    text(QStringLiteral("单价"), 153, 31, 37, 5);
    text(QStringLiteral("金额"), 190, 31, 41, 5);

    line(24, 61, 24, 67);
    text(QStringLiteral("备注"), 10, 61, 14, 6);

    for (double x : {40.0, 150.0, 165.0})
        line(x, 67, x, 80);
    text(QStringLiteral("合计金额(大写)"), 10, 67, 30, 6);
    text(QStringLiteral("(小写)"), 150, 67, 15, 6);
    text(QStringLiteral("收款方名称(盖章)"), 10, 73, 30, 7);
    text(QStringLiteral("开票人"), 150, 73, 15, 7);

    r.pages.append(page);
    return r;
}

QImage drawFp3BlankForm(int dpi) {
    const QImage black = renderPageImage(fp3BlankForm(), 0, dpi, RenderTarget::Pdf);
    // Few colours keep the PNG small: 16 tints from paper white to red ink.
    QList<QRgb> table;
    for (int i = 0; i < 16; ++i) {
        const double ink = i / 15.0;
        table.append(qRgb(int(255 - ink * (255 - 176)), int(255 - ink * (255 - 40)),
                          int(255 - ink * (255 - 40))));
    }
    QImage out(black.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    out.setDotsPerMeterX(black.dotsPerMeterX());
    out.setDotsPerMeterY(black.dotsPerMeterY());
    for (int y = 0; y < black.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(black.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < black.width(); ++x)
            dst[x] = uchar(((255 - qGray(src[x])) * 15 + 127) / 255);
    }
    return out;
}

} // namespace zelk::report
