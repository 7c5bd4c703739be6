#include "printing/calibrationsheet.h"

#include <algorithm>
#include <cmath>

namespace zelk::printing {

namespace {

constexpr double kLine = 0.15;     // mm
constexpr double kLabelSize = 6.0; // points

report::PlacedText label(const QString& text, const QRectF& rect,
                         report::HAlign halign = report::HAlign::Left) {
    report::PlacedText t;
    t.text = text;
    t.rect = rect;
    t.family = QStringLiteral("SimSun");
    t.templateSize = kLabelSize;
    t.fontSize = kLabelSize;
    t.halign = halign;
    t.valign = report::VAlign::Top;
    return t;
}

QString itemName(const report::TextItem& item, const QMap<QString, QString>& fieldNames) {
    QStringList names;
    for (const report::TextPart& part : item.parts)
        if (part.isReference)
            names.append(fieldNames.value(part.text, part.text));
    return names.isEmpty() ? item.source : names.join(QStringLiteral("、"));
}

void addRuler(report::Page& page, const QSizeF& size) {
    page.lines.append({QLineF(0, 0, size.width(), 0), kLine});
    page.lines.append({QLineF(0, 0, 0, size.height()), kLine});
    for (int mm = 1; mm < size.width(); ++mm) {
        const double length = mm % 10 == 0 ? 3.0 : mm % 5 == 0 ? 2.0 : 1.0;
        page.lines.append({QLineF(mm, 0, mm, length), kLine});
        if (mm % 10 == 0)
            page.texts.append(
                label(QString::number(mm), QRectF(mm - 5, 3.2, 10, 3), report::HAlign::Center));
    }
    for (int mm = 1; mm < size.height(); ++mm) {
        const double length = mm % 10 == 0 ? 3.0 : mm % 5 == 0 ? 2.0 : 1.0;
        page.lines.append({QLineF(0, mm, length, mm), kLine});
        if (mm % 10 == 0)
            page.texts.append(label(QString::number(mm), QRectF(3.4, mm - 1.2, 8, 3)));
    }
}

using PlacedRectList = QList<report::PlacedRect>;

// Where a crosshair's label goes: in the first corner beside the crosshair (below right, above
// right, below left, above left) where it crosses no field outline and stays on the paper, else
// the nearest clear place a few millimetres away, so that it can be read; below right when no
// place near is clear.
QRectF labelPlace(const QPointF& mark, qsizetype characters, const PlacedRectList& outlines,
                  const QSizeF& paper) {
    const QSizeF box(characters * kLabelSize * 0.2 + 0.5, 2.6); // 6 pt digits, about 1.2 mm each
    QList<QPointF> places = {mark + QPointF(1, 0.8), mark + QPointF(1, -0.8 - box.height()),
                             mark + QPointF(-1 - box.width(), 0.8),
                             mark + QPointF(-1 - box.width(), -0.8 - box.height())};
    QList<QPointF> further;
    for (int dy = -15; dy <= 15; ++dy)
        for (int dx = -15; dx <= 15; ++dx)
            further.append(mark + QPointF(dx, dy) - QPointF(box.width(), box.height()) / 2);
    std::stable_sort(further.begin(), further.end(), [&](const QPointF& a, const QPointF& b) {
        const QPointF half(box.width() / 2, box.height() / 2);
        return QLineF(a + half, mark).length() < QLineF(b + half, mark).length();
    });
    places += further;
    const QRectF arms(mark - QPointF(4.2, 4.2), QSizeF(8.4, 8.4));
    for (const QPointF& corner : places) {
        const QRectF place(corner, box);
        const bool clear =
            std::none_of(outlines.begin(), outlines.end(), [&](const report::PlacedRect& r) {
                return r.rect.adjusted(-kLine, -kLine, kLine, kLine).intersects(place);
            });
        // Off the crosshair's arms too, unless in one of its corners.
        const bool offArms = places.indexOf(corner) < 4 ||
                             (!place.intersects(QRectF(mark.x() - 0.3, arms.top(), 0.6, 8.4)) &&
                              !place.intersects(QRectF(arms.left(), mark.y() - 0.3, 8.4, 0.6)));
        if (clear && offArms && QRectF(QPointF(0, 0), paper).contains(place))
            return place;
    }
    return QRectF(places.first(), box);
}

} // namespace

QList<QPointF> calibrationMarks(const QSizeF& pageMm) {
    return {QPointF(20, 20),
            QPointF(std::floor(pageMm.width() / 2), std::floor(pageMm.height() / 2)),
            QPointF(std::floor(pageMm.width() - 20), std::floor(pageMm.height() - 20))};
}

report::PreparedReport calibrationSheet(const report::Template& tpl,
                                        const QMap<QString, QString>& fieldNames, int sheets) {
    report::PreparedReport sheet;
    sheet.paperSize = tpl.paperSize;
    sheet.orientation = tpl.orientation;
    // No offset: the sheet shows how the printer feeds by itself.
    report::Page page;
    const QSizeF size = tpl.pageSize();
    addRuler(page, size);
    const auto outline = [&](const report::TextItem& item, const QPointF& shift) {
        const QRectF box = item.rect.translated(shift);
        page.rects.append({box, kLine});
        page.texts.append(label(itemName(item, fieldNames), box.adjusted(0.4, 0.3, -0.4, 0)));
    };
    for (const report::TextItem& item : tpl.page.texts)
        outline(item, QPointF());
    if (tpl.band.present)
        for (int row = 0; row < tpl.band.rowsPerPage; ++row)
            for (const report::TextItem& item : tpl.band.items.texts)
                outline(item, QPointF(0, tpl.band.y + row * tpl.band.pitch));
    const PlacedRectList outlines = page.rects;
    for (const QPointF& mark : calibrationMarks(size)) {
        page.lines.append({QLineF(mark.x() - 4, mark.y(), mark.x() + 4, mark.y()), kLine});
        page.lines.append({QLineF(mark.x(), mark.y() - 4, mark.x(), mark.y() + 4), kLine});
        const QString text = QStringLiteral("X%1 Y%2").arg(mark.x()).arg(mark.y());
        page.texts.append(label(text, labelPlace(mark, text.size(), outlines, size)));
    }
    for (int k = 1; k <= sheets; ++k) {
        sheet.pages.append(page);
        if (sheets > 1)
            sheet.pages.last().texts.append(
                label(QStringLiteral("第 %1 张，共 %2 张").arg(k).arg(sheets),
                      QRectF(size.width() / 2 - 20, 8, 40, 3), report::HAlign::Center));
    }
    return sheet;
}

} // namespace zelk::printing
