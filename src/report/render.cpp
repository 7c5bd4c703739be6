#include "report/render.h"

#include "report/fonts.h"
#include "report/reporterror.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cmath>

namespace zelk::report {

namespace {

constexpr double kMmPerInch = 25.4;

// Millimetres to device units for one device.
struct Scale {
    double x;
    double y;
    QPointF point(const QPointF& mm) const { return {mm.x() * x, mm.y() * y}; }
    QRectF rect(const QRectF& mm) const { return {point(mm.topLeft()), point(mm.bottomRight())}; }
};

} // namespace

QList<DrawOp> renderPlan(const PreparedReport& report, int page, RenderTarget target, int sheet) {
    QList<DrawOp> ops;
    if (page < 0 || page >= report.pages.size())
        return ops;
    const Page& p = report.pages.at(page);
    const QPointF shift = target == RenderTarget::Print
                              ? report.printerOffset - QPointF(0, sheet * report.feedCorrection)
                              : QPointF(0, 0);
    if (target == RenderTarget::Preview && !report.background.isNull()) {
        DrawOp op;
        op.kind = DrawOp::Kind::Background;
        op.rect = report.backgroundRect;
        ops.append(op);
    }
    for (const PlacedRect& r : p.rects) {
        DrawOp op;
        op.kind = DrawOp::Kind::Rect;
        op.rect = r.rect.translated(shift);
        op.lineWidth = r.lineWidth;
        ops.append(op);
    }
    for (const PlacedLine& l : p.lines) {
        DrawOp op;
        op.kind = DrawOp::Kind::Line;
        op.line = l.line.translated(shift);
        op.lineWidth = l.lineWidth;
        ops.append(op);
    }
    for (qsizetype i = 0; i < p.texts.size(); ++i) {
        DrawOp op;
        op.kind = DrawOp::Kind::Text;
        op.rect = p.texts.at(i).rect.translated(shift);
        op.textIndex = int(i);
        ops.append(op);
    }
    return ops;
}

void renderPage(QPainter& painter, const PreparedReport& report, int page, RenderTarget target,
                int sheet) {
    initFonts();
    const QPaintDevice* device = painter.device();
    const Scale s{device->logicalDpiX() / kMmPerInch, device->logicalDpiY() / kMmPerInch};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const DrawOp& op : renderPlan(report, page, target, sheet)) {
        switch (op.kind) {
        case DrawOp::Kind::Background: {
            // Turned about its centre as placed in the template.
            const QRectF box = s.rect(op.rect);
            painter.save();
            painter.translate(box.center());
            painter.rotate(report.backgroundRotation);
            painter.drawImage(box.translated(-box.center()), report.background);
            painter.restore();
            break;
        }
        case DrawOp::Kind::Rect:
            painter.setPen(
                QPen(Qt::black, op.lineWidth * s.x, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(s.rect(op.rect));
            break;
        case DrawOp::Kind::Line:
            painter.setPen(QPen(Qt::black, op.lineWidth * s.x, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QLineF(s.point(op.line.p1()), s.point(op.line.p2())));
            break;
        case DrawOp::Kind::Text: {
            const PlacedText& t = report.pages.at(page).texts.at(op.textIndex);
            painter.setPen(Qt::black);
            painter.setFont(t.font());
            if (t.cellCount > 0) {
                // One character centred in each cell; too many characters print none.
                if (t.overflowsCells())
                    break;
                const QPointF moved = op.rect.topLeft() - t.rect.topLeft();
                for (int k = 0; k < t.text.size(); ++k)
                    painter.drawText(s.rect(t.cellRect(k).translated(moved)), Qt::AlignCenter,
                                     t.text.at(k));
                break;
            }
            // Text that does not fit even at its smallest size is cut at its
            // box's edge: on a pre-printed form, ink outside the box lands on
            // another box.
            painter.drawText(s.rect(op.rect), t.flags(), t.text);
            break;
        }
        }
    }
    painter.restore();
}

QImage renderPageImage(const PreparedReport& report, int page, int dpi, RenderTarget target) {
    const QSizeF mm = report.pageSize();
    const QSize px(std::max(1, int(std::lround(mm.width() * dpi / kMmPerInch))),
                   std::max(1, int(std::lround(mm.height() * dpi / kMmPerInch))));
    QImage image(px, QImage::Format_ARGB32_Premultiplied);
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderPage(painter, report, page, target);
    painter.end();
    return image;
}

void applyPageSetup(QPrinter& printer, const PreparedReport& report) {
    const QPageLayout layout = report.pageLayout();
    if (!printer.setPageLayout(layout)) {
        // Some drivers refuse a whole layout but take its parts.
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    // Last, because setting a layout also sets its mode: the painter's origin
    // must be the paper's edge, not the printable area's.
    printer.setFullPage(true);
    // A printer that kept another paper would print the form shrunk, turned
    // or moved: refuse rather than print it wrong.
    const QSizeF wanted = report.pageSize();
    const QSizeF got = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    if (std::abs(got.width() - wanted.width()) > 0.5 ||
        std::abs(got.height() - wanted.height()) > 0.5)
        throw ReportError(QStringLiteral("打印机 “%1” 不接受 %2 × %3 毫米的纸张（得到 %4 × %5 "
                                         "毫米），未打印。")
                              .arg(printer.printerName())
                              .arg(wanted.width(), 0, 'f', 1)
                              .arg(wanted.height(), 0, 'f', 1)
                              .arg(got.width(), 0, 'f', 1)
                              .arg(got.height(), 0, 'f', 1));
}

void printReport(QPrinter& printer, const PreparedReport& report) {
    applyPageSetup(printer, report);
    int first = 0;
    int last = int(report.pages.size()) - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(first, printer.fromPage() - 1);
        last = std::min(last, std::max(printer.toPage(), printer.fromPage()) - 1);
    }
    if (first > last)
        throw ReportError(QStringLiteral("所选页码范围内没有可打印的页，未打印。"));
    // With a page-length correction every sheet of the job is drawn for its own place on the
    // paper, so copies are drawn here one after the other instead of repeated by the spooler.
    struct CopiesKept { // the operator's printer keeps its copy count
        QPrinter& printer;
        int count;
        ~CopiesKept() { printer.setCopyCount(count); }
    } kept{printer, printer.copyCount()};
    const int copies = report.feedCorrection != 0.0 ? std::max(1, kept.count) : 1;
    if (copies > 1)
        printer.setCopyCount(1);
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(
            QStringLiteral("无法开始打印：打印机 “%1” 不可用").arg(printer.printerName()));
    int sheet = 0;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = first; i <= last; ++i, ++sheet) {
            if (sheet > 0)
                printer.newPage();
            renderPage(painter, report, i, RenderTarget::Print, sheet);
        }
    }
    if (!painter.end())
        throw ReportError(
            QStringLiteral("打印机 “%1” 没有接受打印任务").arg(printer.printerName()));
}

void exportPdf(const PreparedReport& report, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("zelk"));
    writer.setPageLayout(report.pageLayout());
    QPainter painter;
    if (!painter.begin(&writer))
        throw ReportError(QStringLiteral("PDF 文件 %1 无法写入").arg(shown));
    for (int i = 0; i < report.pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        renderPage(painter, report, i, RenderTarget::Pdf);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("PDF 文件 %1 无法写入").arg(shown));
}

} // namespace zelk::report
