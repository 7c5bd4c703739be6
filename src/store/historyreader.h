#pragma once

#include "store/historysearch.h"
#include "store/store.h"

#include <memory>

namespace zelk::store {

// One statement of a history search, as the reader asks a store for it.
struct HistoryBatch {
    bool indexed = false;                   // through the store's text index
    const HistoryPosition* after = nullptr; // continue right after this row; null: from the start
    qint64 upto = 0;                        // positive: end at this receipt id
    int limit = 0;                          // rows to hand on
};

// What a store gives the shared history reader: its own statements, nothing of the reading
// rules. Rows come by kpid, or with a date bound by kpdate and then kpid, whichever statement
// runs, so that the reader may switch between the index and the plain scan between batches.
class HistorySource {
public:
    virtual ~HistorySource() = default;
    // Whether the store's text index can narrow this search at all.
    virtual bool indexable() const = 0;
    // The smallest receipt id; 0 when there is none.
    virtual qint64 lowestReceiptId() = 0;
    // Runs the statement for `batch` asking for one row more than batch.limit, hands at most
    // batch.limit rows to `row` and returns how many rows the statement found (batch.limit + 1
    // says more follow). When batch.limit rows were handed on, `last` holds the last one's
    // position.
    virtual int read(const HistoryBatch& batch, const HistoryReader::RowSink& row,
                     HistoryPosition& last) = 0;
};

// The one history reader of both stores. Without the index every batch continues the plain
// scan after the last row read. With it, the first batch first scans the oldest receipts: when
// they fill it, the text is common and the rest is scanned too (the index would collect long
// lists of candidates for it); otherwise the index finds the rest after them, until a batch
// shows the text dense (fewer than 32 receipts per row found), when the scan reaches the next
// batch sooner. Both ways give the same rows in the same order.
std::unique_ptr<HistoryReader> readHistory(std::unique_ptr<HistorySource> source);

} // namespace zelk::store
