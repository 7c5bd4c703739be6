#include "report/layout.h"

#include "report/fonts.h"
#include "report/reporterror.h"

#include <QDir>
#include <QFontMetricsF>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace zelk::report {

namespace {

// Text is measured at a printer-like resolution so that rounding to whole
// device pixels does not change whether it fits.
constexpr double kMeasureDpi = 1200.0;
constexpr double kMmPerInch = 25.4;

const QImage& measureDevice() {
    static const QImage device = [] {
        QImage img(1, 1, QImage::Format_ARGB32);
        const int dpm = int(std::lround(kMeasureDpi / 0.0254));
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        return img;
    }();
    return device;
}

int alignmentFlags(HAlign h, VAlign v, bool wrap) {
    int flags = 0;
    switch (h) {
    case HAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case HAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case HAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    switch (v) {
    case VAlign::Top:
        flags |= Qt::AlignTop;
        break;
    case VAlign::Center:
        flags |= Qt::AlignVCenter;
        break;
    case VAlign::Bottom:
        flags |= Qt::AlignBottom;
        break;
    }
    if (wrap)
        flags |= Qt::TextWordWrap;
    return flags;
}

QFont makeFont(const QString& family, double size, bool bold) {
    QFont f(family);
    f.setPointSizeF(size);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Looks up the values of [name] references for one dataset row.
class Resolver {
public:
    Resolver(const Template& tpl, const DataSet& data, const Variables& variables)
        : tpl_(tpl), data_(data), variables_(variables) {
        for (qsizetype i = 0; i < data.columns.size(); ++i)
            columnIndex_.insert(data.columns.at(i), i);
        for (qsizetype r = 0; r < data.rows.size(); ++r) {
            if (data.rows.at(r).size() != data.columns.size())
                throw ReportError(
                    QStringLiteral("报表数据第 %1 行有 %2 个值，应为 %3 个（与列数相同）")
                        .arg(r + 1)
                        .arg(data.rows.at(r).size())
                        .arg(data.columns.size()));
        }
    }

    // Fails on the first unknown name, before any page is built.
    void check(const ItemGroup& group, const QString& where) const {
        for (qsizetype i = 0; i < group.texts.size(); ++i) {
            for (const TextPart& part : group.texts.at(i).parts) {
                if (part.isReference && !columnIndex_.contains(part.text) &&
                    !variables_.contains(part.text))
                    throw TemplateError(
                        QStringLiteral("报表模板 %1 有误：%2[%3] 引用了未知的字段或变量 “[%4]”")
                            .arg(QDir::toNativeSeparators(tpl_.path), where)
                            .arg(i)
                            .arg(part.text));
            }
        }
    }

    // row < 0 means there is no row: columns give empty text.
    QString text(const TextItem& item, qsizetype row) const {
        if (item.hideWhenEmpty && allEmpty(item, row))
            return {};
        QString out;
        for (const TextPart& part : item.parts) {
            if (!part.isReference) {
                out += part.text;
            } else if (auto it = columnIndex_.constFind(part.text); it != columnIndex_.cend()) {
                if (row >= 0)
                    out += data_.rows.at(row).at(*it);
            } else {
                out += variables_.value(part.text);
            }
        }
        return out;
    }

private:
    QString value(const QString& name, qsizetype row) const {
        if (auto it = columnIndex_.constFind(name); it != columnIndex_.cend())
            return row >= 0 ? data_.rows.at(row).at(*it) : QString();
        return variables_.value(name);
    }

    // Whether no referenced value holds a letter or digit: blanks and the
    // separators of an untyped date count as empty.
    bool allEmpty(const TextItem& item, qsizetype row) const {
        for (const TextPart& part : item.parts) {
            if (!part.isReference)
                continue;
            const QString v = value(part.text, row);
            if (std::any_of(v.cbegin(), v.cend(), [](QChar c) { return c.isLetterOrNumber(); }))
                return false;
        }
        return true;
    }

    const Template& tpl_;
    const DataSet& data_;
    const Variables& variables_;
    QHash<QString, qsizetype> columnIndex_;
};

PlacedText place(const TextItem& item, const QString& text, const QPointF& shift) {
    PlacedText t;
    t.text = text;
    t.rect = item.rect.translated(shift);
    t.family = item.font.family;
    t.templateSize = item.font.size;
    t.fontSize = item.font.size;
    t.bold = item.font.bold;
    t.halign = item.halign;
    t.valign = item.valign;
    t.wrap = item.wrap;
    for (const TextPart& part : item.parts) {
        if (part.isReference) {
            t.field = part.text;
            break;
        }
    }
    if (item.cells.count > 0) {
        const CellText cells = cellText(item.cells, text);
        t.text = cells.chars;
        t.cellPitch = item.cells.pitch;
        t.cellCount = item.cells.count;
        t.firstCell = cells.firstCell;
        return t;
    }
    if (item.shrink)
        t.fontSize =
            fitFontSize(text, t.rect.size(), item.font, item.wrap, t.flags(), item.minSize);
    return t;
}

void placeGroup(Page& page, const ItemGroup& group, const Resolver& resolver, qsizetype row,
                const QPointF& shift) {
    for (const RectItem& r : group.rects)
        page.rects.append({r.rect.translated(shift), r.lineWidth});
    for (const LineItem& l : group.lines)
        page.lines.append({l.line.translated(shift), l.lineWidth});
    for (const TextItem& item : group.texts)
        page.texts.append(place(item, resolver.text(item, row), shift));
}

// A value whose box cannot be on the paper would be left out of the printout without a word:
// it is refused instead, naming the field.
void refuseUnplaceable(const PreparedReport& report, const QString& path) {
    const QRectF paper(QPointF(0, 0), report.pageSize());
    constexpr double kSlack = 0.01; // the 0.01 mm the template keeps
    for (const Page& page : report.pages)
        for (const PlacedText& t : page.texts) {
            if (t.text.trimmed().isEmpty())
                continue;
            QString why;
            if (t.rect.height() > paper.height() + kSlack)
                why = QStringLiteral("高 %1 mm，比纸张（高 %2 mm）还高")
                          .arg(t.rect.height())
                          .arg(paper.height());
            else if (t.rect.width() > paper.width() + kSlack)
                why = QStringLiteral("宽 %1 mm，比纸张（宽 %2 mm）还宽")
                          .arg(t.rect.width())
                          .arg(paper.width());
            else if (!paper.intersects(t.rect))
                why = QStringLiteral("（左 %1、上 %2 mm）整个在纸张之外")
                          .arg(t.rect.x())
                          .arg(t.rect.y());
            else
                continue;
            const QString name = t.field.isEmpty() ? QStringLiteral("文字“%1”").arg(t.text)
                                                   : QStringLiteral("[%1]").arg(t.field);
            throw UnplaceableError(
                t.field, name,
                QStringLiteral("的框%1，这一项印不到纸上。请在模板设计中改正（报表模板 %2）。")
                    .arg(why, QDir::toNativeSeparators(path)));
        }
}

} // namespace

int PlacedText::flags() const {
    return alignmentFlags(halign, valign, wrap);
}

QFont PlacedText::font() const {
    return makeFont(family, fontSize, bold);
}

QSizeF measureText(const QString& text, const QSizeF& boxMm, const QFont& font, int flags) {
    initFonts();
    const double pxPerMm = kMeasureDpi / kMmPerInch;
    const QFontMetricsF fm(font, &measureDevice());
    const QRectF box(0, 0, boxMm.width() * pxPerMm, boxMm.height() * pxPerMm);
    const QRectF needed = fm.boundingRect(box, flags, text);
    return needed.size() / pxPerMm;
}

CellText cellText(const Cells& cells, const QString& value) {
    // Blanks around a value are no characters of it; an amount prints without its point.
    CellText out;
    out.chars = value.trimmed();
    if (cells.fromRight)
        out.chars.remove(u'.');
    if (cells.fromRight && !out.chars.isEmpty() && out.chars.size() < cells.count)
        out.chars.prepend(cells.symbol);
    if (cells.fromRight)
        out.firstCell = std::max(0, cells.count - int(out.chars.size()));
    return out;
}

QRectF PlacedText::cellRect(int k) const {
    return QRectF(rect.x() + (firstCell + k) * cellPitch, rect.y(), cellPitch, rect.height());
}

bool textIsCut(const PlacedText& text) {
    if (text.cellCount > 0)
        return text.overflowsCells();
    constexpr double eps = 1e-6;
    const QSizeF need = measureText(text.text, text.rect.size(), text.font(), text.flags());
    return need.width() > text.rect.width() + eps || need.height() > text.rect.height() + eps;
}

double fitFontSize(const QString& text, const QSizeF& boxMm, const FontSpec& font, bool wrap,
                   int flags, double minSize) {
    if (wrap)
        flags |= Qt::TextWordWrap;
    // A hair of tolerance for floating point in the metrics.
    constexpr double eps = 1e-6;
    const auto fits = [&](double size) {
        const QSizeF need = measureText(text, boxMm, makeFont(font.family, size, font.bold), flags);
        return need.width() <= boxMm.width() + eps && need.height() <= boxMm.height() + eps;
    };
    // The candidates are font.size, font.size - 0.5, ... while above minSize. Smaller text never
    // needs more room, so the largest that fits is found by halving the range of steps.
    const auto candidate = [&](int step) { return font.size - 0.5 * step; };
    int steps = 0;
    while (candidate(steps) > minSize)
        ++steps;
    if (steps == 0 || fits(candidate(0)))
        return steps == 0 ? minSize : candidate(0);
    int tooLarge = 0;    // a step known not to fit
    int fitting = steps; // a step known to fit (steps itself stands for minSize)
    while (fitting - tooLarge > 1) {
        const int middle = (tooLarge + fitting) / 2;
        if (fits(candidate(middle)))
            fitting = middle;
        else
            tooLarge = middle;
    }
    return fitting == steps ? minSize : candidate(fitting);
}

QSizeF PreparedReport::pageSize() const {
    return orientation == QPageLayout::Landscape ? paperSize.transposed() : paperSize;
}

QPageLayout PreparedReport::pageLayout() const {
    const QPageSize size(paperSize, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    QPageLayout layout(size, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

PreparedReport layoutReport(const Template& tpl, const DataSet& data, const Variables& variables) {
    const Resolver resolver(tpl, data, variables);
    resolver.check(tpl.page, QStringLiteral("items"));
    if (tpl.band.present)
        resolver.check(tpl.band.items, QStringLiteral("band.items"));

    PreparedReport out;
    out.paperSize = tpl.paperSize;
    out.orientation = tpl.orientation;
    out.printerOffset = tpl.printerOffset;
    out.background =
        tpl.background.isNull() ? QImage() : tpl.background.convertToFormat(QImage::Format_ARGB32);
    out.backgroundRect = tpl.background.isNull() ? QRectF() : tpl.backgroundRect;
    out.backgroundRotation = tpl.background.isNull() ? 0.0 : tpl.backgroundRotation;

    const qsizetype rowCount = data.rows.size();
    const qsizetype perPage = tpl.band.rowsPerPage;
    const qsizetype pageCount =
        tpl.band.present && rowCount > 0 ? (rowCount + perPage - 1) / perPage : 1;
    const qsizetype headerRow = rowCount > 0 ? 0 : -1;

    for (qsizetype p = 0; p < pageCount; ++p) {
        Page page;
        placeGroup(page, tpl.page, resolver, headerRow, QPointF(0, 0));
        if (tpl.band.present) {
            const qsizetype first = p * perPage;
            const qsizetype last = std::min(rowCount, first + perPage);
            for (qsizetype r = first; r < last; ++r) {
                const double top = tpl.band.y + double(r - first) * tpl.band.pitch;
                placeGroup(page, tpl.band.items, resolver, r, QPointF(0, top));
            }
        }
        out.pages.append(page);
    }
    refuseUnplaceable(out, tpl.path);
    return out;
}

} // namespace zelk::report
