#pragma once

#include "report/preparedreport.h"

#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>

namespace zelk::report {

// The part of a page a printer can print: the page less the margins the printer cannot reach
// (mm). Text in those margins is lost at the edge, so the preview and the designer shade them
// and name every box that reaches into them.
class PrintableArea {
public:
    PrintableArea() = default; // everything printable
    PrintableArea(const QSizeF& pageMm, const QMarginsF& marginsMm);

    // The margins the named printer cannot print on paper of that layout, from the printer's
    // own page layout (its minimum margins). Everything printable when there is no such printer.
    static PrintableArea ofPrinter(const QString& printerName, const QPageLayout& layout);

    bool isEmpty() const { return margins_.isNull(); }
    QMarginsF margins() const { return margins_; }
    QRectF printableRect() const;
    // The strips along the edges the printer cannot print (mm), for shading.
    QList<QRectF> strips() const;
    // Whether a box (mm) reaches into a strip.
    bool reaches(const QRectF& boxMm) const;
    // The indexes of the page's texts that print something and reach into a strip.
    QList<int> textsReaching(const Page& page) const;

private:
    QSizeF page_;
    QMarginsF margins_;
};

} // namespace zelk::report
