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

PreparedReport boxedReceiptForm() {
    PreparedReport r;
    r.paperSize = QSizeF(241.0, 93.1);
    Page page;
    auto line = [&page](double x1, double y1, double x2, double y2, double width = 0.25) {
        page.lines.append({QLineF(x1, y1, x2, y2), width});
    };
    auto text = [&page](const QString& s, double x, double y, double w, double h,
                        HAlign a = HAlign::Center, double size = 9.0) {
        page.texts.append(caption(s, QRectF(x, y, w, h), a, size));
    };
    page.texts.append(
        caption(QStringLiteral("收 款 收 据"), QRectF(0, 3, 241, 8), HAlign::Center, 16, true));
    text(QStringLiteral("日期："), 12, 14, 12, 5, HAlign::Left);
    text(QStringLiteral("No."), 165, 14, 10, 5, HAlign::Left);

    page.rects.append({QRectF(10, 20, 221, 56), 0.4});
    for (double y : {27.0, 34.0, 49.0, 63.0})
        line(10, y, 231, y);
    text(QStringLiteral("交款单位"), 10, 20, 28, 7);
    text(QStringLiteral("收款事由"), 10, 27, 28, 7);
    text(QStringLiteral("人民币（大写）"), 10, 34, 28, 15);
    text(QStringLiteral("校验码"), 10, 49, 28, 14);
    line(38, 20, 38, 63);

    // The amount: captions over ten 6 mm boxes from x = 171 to the frame.
    const QStringList places{QStringLiteral("千"), QStringLiteral("百"), QStringLiteral("十"),
                             QStringLiteral("万"), QStringLiteral("千"), QStringLiteral("百"),
                             QStringLiteral("十"), QStringLiteral("元"), QStringLiteral("角"),
                             QStringLiteral("分")};
    line(171, 34, 171, 49);
    line(171, 40, 231, 40);
    for (int k = 0; k < places.size(); ++k) {
        text(places.at(k), 171 + 6 * k, 34, 6, 6, HAlign::Center, 8);
        if (k > 0)
            line(171 + 6 * k, 34, 171 + 6 * k, 49, k == 8 ? 0.4 : 0.2); // bold before 角
    }
    // The check code: twenty 4 mm boxes from x = 40.
    page.rects.append({QRectF(40, 52, 80, 8), 0.25});
    for (int k = 1; k < 20; ++k)
        line(40 + 4 * k, 52, 40 + 4 * k, 60, 0.2);

    line(120, 63, 120, 76);
    text(QStringLiteral("收款单位(盖章)"), 10, 63, 28, 13);
    text(QStringLiteral("收款人"), 120, 63, 20, 13);
    line(140, 63, 140, 76);
    r.pages.append(page);
    return r;
}

QImage drawFp3BlankForm(int dpi) {
    return drawBlankForm(fp3BlankForm(), dpi);
}

QImage drawBlankForm(const PreparedReport& form, int dpi) {
    const QImage black = renderPageImage(form, 0, dpi, RenderTarget::Pdf);
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
