#pragma once

#include <QImage>
#include <QLineF>
#include <QList>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// A report template: where each value goes on the paper, in millimetres from
// the paper's top-left edge. See docs/report-templates.md for the file format.
namespace zelk::report {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

struct FontSpec {
    QString family = QStringLiteral("SimSun");
    double size = 10.0; // points
    bool bold = false;
    bool operator==(const FontSpec&) const = default;
};

// One piece of an item's text: either literal text or the name of a dataset
// column or variable whose value is put in its place.
struct TextPart {
    bool isReference = false;
    QString text; // the literal text, or the referenced name
    bool operator==(const TextPart&) const = default;
};

// The most cells a boxed text item may have.
constexpr int kMaxCells = 200;

// "One character per cell": the text is printed one character to a cell, for forms that print
// an amount or a code in a row of boxes. The cells lie side by side from the box's left edge.
struct Cells {
    double pitch = 0.0; // mm from one cell's left edge to the next
    int count = 0;      // 0: the item is not boxed
    // From the right (amounts): the last character lands in the last cell, the decimal point is
    // dropped and the symbol goes into the cell before the first character when one is free.
    // From the left (codes): the first character lands in the first cell.
    bool fromRight = true;
    QString symbol;
    bool operator==(const Cells&) const = default;
};

struct TextItem {
    QRectF rect;    // mm
    QString source; // the text as written in the template
    QList<TextPart> parts;
    FontSpec font;
    HAlign halign = HAlign::Left;
    VAlign valign = VAlign::Top;
    bool wrap = false;
    bool shrink = false;
    double minSize = 6.0; // points; the smallest size shrinking may reach
    // Prints nothing when every value it refers to is empty (holds no letter or digit), so a
    // blank period prints no lone separators and an empty total no lone "￥".
    bool hideWhenEmpty = false;
    Cells cells;
};

struct LineItem {
    QLineF line;            // mm
    double lineWidth = 0.2; // mm
};

struct RectItem {
    QRectF rect;            // mm
    double lineWidth = 0.2; // mm
};

struct ItemGroup {
    QList<TextItem> texts;
    QList<LineItem> lines;
    QList<RectItem> rects;
};

// Items repeated once per dataset row. Row i on a page has its top at
// y + i * pitch; band item positions are relative to that top.
struct Band {
    bool present = false;
    double y = 0.0;
    double pitch = 5.0;
    int rowsPerPage = 1;
    ItemGroup items;
};

// The paper sizes a template or prepared report may have, per side (mm).
constexpr double kMinPaperMm = 10.0;
constexpr double kMaxPaperMm = 2000.0;

struct Template {
    QString path;
    QSizeF paperSize; // the sheet, mm, as QPageSize takes it
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPointF printerOffset;           // mm, added to printed output only
    QImage background;               // null when the template has none
    QRectF backgroundRect;           // mm
    double backgroundRotation = 0.0; // degrees, clockwise about backgroundRect's centre
    ItemGroup page;                  // items printed once per page, from the first dataset row
    Band band;

    // The page as the items see it: the sheet turned by the orientation.
    QSizeF pageSize() const;
};

// Reads and checks a template file. Throws TemplateError naming the file and
// the problem.
Template loadTemplate(const QString& path);

// Same, from the file's content; path names the file in messages and is the
// folder the background image is looked up in.
Template parseTemplate(const QByteArray& content, const QString& path);

// Splits item text into literal parts and [name] references; "[[" is a
// literal "[". Returns false (and a reason) for an unclosed or empty "[".
bool parseItemText(const QString& text, QList<TextPart>* parts, QString* error);

} // namespace zelk::report
