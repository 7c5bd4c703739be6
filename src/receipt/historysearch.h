#pragma once

#include <QDate>
#include <QString>

namespace zelk::data {
class Query;
}

namespace zelk::receipt {

// What the operator asks the history for. An invalid date means "no bound on that side".
struct HistoryCriteria {
    QString text; // matched literally anywhere in fphm, jdhm, fkfmc, kpr and bz2 joined
    QDate from;   // inclusive, compared with kpdate
    QDate to;     // inclusive
};

// The LIKE pattern for `text`: '%' + the trimmed text with '\', '%' and '_' escaped by '\' +
// '%', used with ESCAPE '\' so that the operator's text matches character for character.
QString historyLikePattern(const QString& text);

// The grid's columns, in order, as they appear in the result of the search statement.
inline constexpr int historyColumnCount = 8;
// How many characters of the remarks the search result carries; the grid shows one line.
inline constexpr int historyRemarksPreview = 100;

// Closes and clears `query`, then fills in the search statement and binds its values. The
// result has the columns kpid, fphm, kpdate2, jdhm, jym, fkfmc, jexx, kpr and bz2 (its first
// historyRemarksPreview characters), each as text, no NULLs, in the database's own row order.
void prepareHistorySearch(data::Query& query, const HistoryCriteria& criteria);

} // namespace zelk::receipt
