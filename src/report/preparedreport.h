#pragma once

#include "report/template.h"

#include <QFont>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QString>

// The laid-out pages of a report: every text with its final place and size in
// millimetres from the paper's top-left edge. Rendering, printing, PDF export
// and the prepared report file all work from this, never from the template.
namespace zelk::report {

struct PlacedText {
    QString text; // final text, values already substituted
    QRectF rect;  // mm
    QString family;
    double templateSize = 10.0; // points, as the template asks
    double fontSize = 10.0;     // points, after shrinking to fit
    bool bold = false;
    HAlign halign = HAlign::Left;
    VAlign valign = VAlign::Top;
    bool wrap = false;
    // The column or variable the text shows (its first reference), to name the box in
    // messages; empty for literal text.
    QString field;
    // Boxed characters: when cellCount > 0, character k of text is centred in cell firstCell + k
    // of a row of cellCount cells, cellPitch mm apart from the box's left edge. Text with more
    // characters than cells prints nothing: a cut amount would be a wrong amount.
    double cellPitch = 0.0;
    int cellCount = 0;
    int firstCell = 0;

    // Whether the text has more characters than its cells.
    bool overflowsCells() const { return cellCount > 0 && text.size() > cellCount; }
    // The cell of character k (mm), before any printer offset.
    QRectF cellRect(int k) const;

    // Qt alignment and wrapping flags for QPainter::drawText.
    int flags() const;
    // The font at its final size. Hinting is off so that glyph advances are
    // the same on every device and text lands where the layout measured it.
    QFont font() const;
    bool operator==(const PlacedText&) const = default;
};

struct PlacedLine {
    QLineF line;            // mm
    double lineWidth = 0.2; // mm
    bool operator==(const PlacedLine&) const = default;
};

struct PlacedRect {
    QRectF rect;            // mm
    double lineWidth = 0.2; // mm
    bool operator==(const PlacedRect&) const = default;
};

struct Page {
    QList<PlacedText> texts;
    QList<PlacedLine> lines;
    QList<PlacedRect> rects;
    bool operator==(const Page&) const = default;
};

struct PreparedReport {
    QSizeF paperSize; // the sheet, mm
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPointF printerOffset; // mm, applied to printed output only
    // Page-length correction of continuous paper (mm per sheet, printed output only): the
    // printer's feed creeps by this much per sheet, so sheet k of a job is drawn (k - 1) times
    // this much higher. Belongs to the printer, so it is not kept in the prepared report file.
    double feedCorrection = 0.0;
    QImage background;               // shown in the preview only; ARGB32 or null
    QRectF backgroundRect;           // mm
    double backgroundRotation = 0.0; // degrees, clockwise about backgroundRect's centre
    QList<Page> pages;

    // The page as drawn: the sheet turned by the orientation.
    QSizeF pageSize() const;
    // Paper size, orientation and zero margins, for QPrinter and QPdfWriter.
    QPageLayout pageLayout() const;
    bool operator==(const PreparedReport&) const = default;
};

// The prepared report file ("zelk prepared report", JSON, version 1): the pages
// plus the background image as base64 PNG, so it opens without the database or
// the template. Both throw PreparedFileError naming the file and the problem.
void savePreparedReport(const PreparedReport& report, const QString& path);
PreparedReport loadPreparedReport(const QString& path);

QByteArray preparedReportToJson(const PreparedReport& report);
// path only names the source in error messages.
PreparedReport preparedReportFromJson(const QByteArray& content, const QString& path);

} // namespace zelk::report
