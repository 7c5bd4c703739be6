#include "report/printablearea.h"

#include <QPrinter>

namespace zelk::report {

PrintableArea::PrintableArea(const QSizeF& pageMm, const QMarginsF& marginsMm)
    : page_(pageMm), margins_(marginsMm) {}

PrintableArea PrintableArea::ofPrinter(const QString& printerName, const QPageLayout& layout) {
    if (printerName.isEmpty())
        return {};
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(printerName);
    if (printer.printerName() != printerName || printer.outputFormat() != QPrinter::NativeFormat)
        return {};
    if (!printer.setPageLayout(layout)) {
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
    }
    QPageLayout got = printer.pageLayout();
    got.setUnits(QPageLayout::Millimeter);
    return PrintableArea(layout.fullRect(QPageLayout::Millimeter).size(), got.minimumMargins());
}

QRectF PrintableArea::printableRect() const {
    return QRectF(QPointF(0, 0), page_).marginsRemoved(margins_);
}

QList<QRectF> PrintableArea::strips() const {
    QList<QRectF> out;
    const double w = page_.width(), h = page_.height();
    if (margins_.top() > 0)
        out.append(QRectF(0, 0, w, margins_.top()));
    if (margins_.bottom() > 0)
        out.append(QRectF(0, h - margins_.bottom(), w, margins_.bottom()));
    if (margins_.left() > 0)
        out.append(QRectF(0, 0, margins_.left(), h));
    if (margins_.right() > 0)
        out.append(QRectF(w - margins_.right(), 0, margins_.right(), h));
    return out;
}

bool PrintableArea::reaches(const QRectF& boxMm) const {
    // A hair of tolerance: a box that ends exactly on the edge of the printable area is in it.
    constexpr double eps = 1e-6;
    return !isEmpty() &&
           !printableRect().adjusted(-eps, -eps, eps, eps).contains(boxMm.normalized());
}

QList<int> PrintableArea::textsReaching(const Page& page) const {
    QList<int> out;
    for (int i = 0; i < page.texts.size(); ++i)
        if (!page.texts.at(i).text.trimmed().isEmpty() && reaches(page.texts.at(i).rect))
            out.append(i);
    return out;
}

} // namespace zelk::report
