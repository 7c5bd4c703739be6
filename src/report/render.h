#pragma once

#include "report/preparedreport.h"

#include <QList>

class QPainter;
class QPrinter;

namespace zelk::report {

// What a page is drawn for. The background image of the blank form shows in
// the preview only; the printer offset moves printed output only. PDF export
// is an archive copy: no background, no offset.
enum class RenderTarget { Preview, Print, Pdf };

// One step of drawing a page, in millimetres from the paper's top-left edge,
// with the printer offset already applied when the target is Print.
struct DrawOp {
    enum class Kind { Background, Rect, Line, Text };
    Kind kind = Kind::Text;
    QRectF rect;            // Background, Rect, Text
    QLineF line;            // Line
    double lineWidth = 0.0; // Rect, Line (mm)
    int textIndex = -1;     // Text: index into Page::texts
};

// The drawing steps for one page, in painting order (background, rectangles,
// lines, texts). sheet counts the sheets printed before this one in the same job (from 0): a
// printed page is moved up by sheet times the report's page-length correction.
QList<DrawOp> renderPlan(const PreparedReport& report, int page, RenderTarget target,
                         int sheet = 0);

// Draws one page on the painter's device at true physical size: millimetres
// are turned into device units with the device's logical DPI, relative to the
// painter's current origin. For a printer, use applyPageSetup first so that
// the origin is the paper's edge.
void renderPage(QPainter& painter, const PreparedReport& report, int page, RenderTarget target,
                int sheet = 0);

// The page as an image at the given resolution (white paper).
QImage renderPageImage(const PreparedReport& report, int page, int dpi, RenderTarget target);

// Gives the printer the report's paper size and orientation (a custom size in
// mm), full-page mode and zero margins, keeping everything else the operator
// chose (printer, copies, tray). Throws ReportError when the printer ends up
// with another paper size than the report's.
void applyPageSetup(QPrinter& printer, const PreparedReport& report);

// Applies the page set-up and prints the pages the printer's page range asks
// for (all pages when it names none) with the printer offset and, sheet by sheet, the
// page-length correction (copies are then drawn one after the other). Throws
// ReportError when the paper is not taken, the range holds no page, or the
// printer cannot be started or does not take the job.
void printReport(QPrinter& printer, const PreparedReport& report);

// Writes every page to a PDF file (1200 dpi, the report's paper size, no
// background, no offset). Throws ReportError when the file cannot be written.
void exportPdf(const PreparedReport& report, const QString& path);

} // namespace zelk::report
