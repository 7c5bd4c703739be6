#pragma once

#include <QDate>
#include <QString>

namespace zelk::data {
class Query;
}

namespace zelk::store {

// What the operator asks the history for. An invalid date means "no bound on that side".
struct HistoryCriteria {
    QString text; // matched literally anywhere in fphm, jdhm, fkfmc, kpr and bz2 joined
    QDate from;   // inclusive, compared with kpdate
    QDate to;     // inclusive
};

// The date as the stores compare it with kpdate: its eight digits, yyyyMMdd.
QString searchableDate(const QDate& date);

// The LIKE pattern for `text`: '%' + the trimmed text with '\', '%' and '_' escaped by '\' +
// '%', used with ESCAPE '\' so that the operator's text matches character for character.
QString historyLikePattern(const QString& text);

// The grid's columns, in order, as they appear in the result of the search statement.
inline constexpr int historyColumnCount = 8;
// Their names: fphm, kpdate2, jdhm, jym, fkfmc, jexx, kpr, bz2.
extern const char* const historyFields[historyColumnCount];

// The trimmed text with ASCII letters lower-cased: what the server store looks for in its
// search column, which holds the five searched columns joined the same way.
QString historyNeedle(const QString& text);
// How many characters of the remarks the search result carries; the grid shows one line.
inline constexpr int historyRemarksPreview = 100;

// The last row of a batch already read, so that the next batch continues right after it.
struct HistoryPosition {
    qint64 kpid = 0;
    QString kpdate;     // the stored value as text
    QString kpdateType; // its storage class: "integer", "real", "text" or "null"
};

// Whether the search reads its rows in issue-date order (through the kpdate index) rather than
// in receipt-id order: so when a date bound is set.
bool historyUsesDateOrder(const HistoryCriteria& criteria);

// The search index's MATCH expression for the criteria, or empty when the index cannot narrow
// them: an empty text, a text without a token (one ASCII character), or a date bound (those
// searches read through the kpdate index as before).
QByteArray historyIndexMatch(const HistoryCriteria& criteria);

// Closes and clears `query`, then fills in the search statement for one batch of at most
// `limit` rows, after `after` when given, and binds its values. Rows come in the order the
// database reads them anyway: by kpid, or with a date bound by kpdate and then kpid, so that
// batch after batch continues where the last one ended and no statement stays open between
// them. The result has the columns kpid, kpdatetext (kpdate as text), kptype (its storage class),
// and fphm, kpdate2, jdhm, jym, fkfmc, jexx, kpr and bz2 (its first historyRemarksPreview
// characters) as text without NULLs.
//
// With `indexMatch` (from historyIndexMatch, and only while the index is ready) the receipts
// come from the search index's candidates, in kpid order, and the same LIKE decides: the rows
// and their order are those of the statement without it. A positive `uptoKpid` (only without
// a date bound) ends the rows at that receipt id.
void prepareHistorySearch(data::Query& query, const HistoryCriteria& criteria,
                          const HistoryPosition* after, int limit,
                          const QByteArray& indexMatch = {}, qint64 uptoKpid = 0);

} // namespace zelk::store
