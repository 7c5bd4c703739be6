#pragma once

#include "report/preparedreport.h"
#include "report/template.h"

#include <QList>
#include <QMap>
#include <QPointF>

namespace zelk::printing {

// The three crosshairs of the calibration sheet (mm from the paper's top-left edge, whole
// millimetres): near the top-left corner, in the middle and near the bottom-right corner.
QList<QPointF> calibrationMarks(const QSizeF& pageMm);

// The calibration sheet of a template: a millimetre ruler along the top and left edges (a
// number every 10 mm), the crosshairs with their coordinates, and the outline of every text box
// of the template (every band row included) with the Chinese name of its field; each
// crosshair's label sits beside it where it crosses no outline
// (fieldNames maps a column or variable to it; a box without references shows its text). Laid
// against the real form, it shows how far the printer feeds off. The sheet has the template's
// paper and no printer offset, so what is measured on it is the printer's whole offset.
// With sheets > 1 the sheet comes that many times, each numbered ("第 2 张，共 5 张"), for
// measuring how continuous paper creeps from sheet to sheet.
report::PreparedReport calibrationSheet(const report::Template& tpl,
                                        const QMap<QString, QString>& fieldNames, int sheets = 1);

} // namespace zelk::printing
