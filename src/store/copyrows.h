#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <set>

namespace zelk::store {

// The tables a copy between stores moves, in the order it moves them.
enum class CopyTable { Receipts, Lines, Versions, VersionLines, Settings };

// A copied table's columns as a copy reads and writes them. The first is the key its rows come
// in order of; the versions' lines are keyed by histid and come by histid, then fpmxid.
//   Receipts: kpid, the header columns, changecount        (fpmain)
//   Lines: fpmxid, kpid, the line columns                  (fpdetail)
//   Versions: histid, kpid, replacedat, desk, changecount and the header columns (fpmain_history)
//   VersionLines: histid, fpmxid, the line columns         (fpdetail_history)
//   Settings: SetId, SetValue                              (SysSet)
QStringList copyColumns(CopyTable table);
// The table's name in both stores.
QString copyTableName(CopyTable table);

// One row, each value as text, or an invalid QVariant for NULL.
using CopyRow = QList<QVariant>;

// Rows per statement of a copy: few enough to keep memory small, enough that a large shop's
// copy does not take one round trip to the server per row.
inline constexpr int copyBatchRows = 500;

// Reads a store's rows for a copy, all from one state of the store (a transaction that ends
// when the source goes).
class CopySource {
public:
    virtual ~CopySource() = default;
    // How many receipts and lines there are together.
    virtual qint64 receiptsAndLines() = 0;
    // The rows of `table` in copyColumns order whose key lies after `after` and at most at
    // `upto`, in key order, at most `limit` of them when positive. Every value keeps what it
    // is: a text stays that text (kpdate '2005-3-1' too), an empty text stays empty, a NULL
    // stays NULL. A table the store does not have (yet) has no rows.
    virtual QList<CopyRow> readRows(CopyTable table, qint64 after, qint64 upto, int limit) = 0;
};

// Writes a copy into a store with the rows' own ids, in one transaction that takes every other
// writer's turn: nothing of it lands unless commit() is reached.
class CopyTarget {
public:
    virtual ~CopyTarget() = default;
    // How many receipts the store holds, inside the copy's transaction.
    virtual qint64 receiptCount() = 0;
    // Writes rows in copyColumns order; a setting row replaces the row with its SetId. A
    // target may refuse a receipt's rows and go on, so that every such receipt can be named.
    virtual void writeRows(CopyTable table, const QList<CopyRow>& rows) = 0;
    // The kpids of the rows refused so far, and the engine's words on the first refusal.
    virtual std::set<qint64> refusedReceipts() const { return {}; }
    virtual QString refusalDetail() const { return {}; }
    // Makes the copy last (new ids go on after the copied ones).
    virtual void commit() = 0;
};

} // namespace zelk::store
