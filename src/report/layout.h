#pragma once

#include "report/preparedreport.h"
#include "report/template.h"

#include <QMap>
#include <QStringList>

namespace zelk::report {

// The data a report prints: named columns and rows of text values. Every row
// has one value per column.
struct DataSet {
    QStringList columns;
    QList<QStringList> rows;
};

using Variables = QMap<QString, QString>;

// Lays out a template over a dataset and variables.
//
// Page items take their values from the first row (empty values when there is
// no row); band items repeat once per row, rowsPerPage rows to a page, and a
// full band starts a new page (page items appear on every page). A [name]
// reference is looked up among the dataset columns first, then the variables;
// a name that is neither raises TemplateError, even when there are no rows, so
// a misspelt name shows at once instead of printing an empty box. Substituted
// values are plain strings and are never scanned for references again.
PreparedReport layoutReport(const Template& tpl, const DataSet& data, const Variables& variables);

// The largest size from font.size down to minSize (in half-point steps) at
// which text fits inside rect (mm); minSize when nothing fits.
double fitFontSize(const QString& text, const QSizeF& boxMm, const FontSpec& font, bool wrap,
                   int flags, double minSize);

// What a boxed text prints: the characters, one to a cell, and the cell of the first. The value
// is trimmed; filled from the right it loses its decimal point and gets the symbol in front when
// a cell is left for it. firstCell is 0 when the characters do not fit.
struct CellText {
    QString chars;
    int firstCell = 0;
};
CellText cellText(const Cells& cells, const QString& value);

// Whether the text needs more room than its box at its final size: it is
// then printed cut at the box's edge.
bool textIsCut(const PlacedText& text);

// The size (mm) the text takes when drawn with the font and flags into a box
// of boxMm.
QSizeF measureText(const QString& text, const QSizeF& boxMm, const QFont& font, int flags);

} // namespace zelk::report
