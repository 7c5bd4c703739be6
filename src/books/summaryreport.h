#pragma once

#include "report/preparedreport.h"
#include "store/summary.h"

#include <QList>
#include <QString>

namespace zelk::books {

// The caption of a summary's group column: 日期, 月份, 行业分类, 付款方, 开票人.
QString summaryKeyCaption(store::SummaryKey key);

// A summary as a plain table on A4 for the preview window and the printer: the title, then the
// columns (group, 张数, 金额合计) and one line per group, continued on further pages as needed,
// and the page number at the foot of each page. An empty key is shown as （空）.
report::PreparedReport summaryReport(const QString& title, store::SummaryKey key,
                                     const QList<store::SummaryRow>& rows);

} // namespace zelk::books
