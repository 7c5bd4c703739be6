#include "store/historyreader.h"

#include <algorithm>

namespace zelk::store {

namespace {

// How many of the oldest receipts the first batch of an indexed search scans first.
constexpr qint64 probedReceipts = 2048;
// A batch through the index that found its rows within this many receipts per row shows the
// text dense: the following batches scan.
constexpr qint64 denseReceiptsPerRow = 32;

class SharedHistoryReader : public HistoryReader {
public:
    explicit SharedHistoryReader(std::unique_ptr<HistorySource> source)
        : source_(std::move(source)), indexed_(source_->indexable()) {}

    bool readBatch(int limit, const RowSink& row) override {
        if (!started_ && indexed_) {
            started_ = true;
            const qint64 upto = source_->lowestReceiptId() + probedReceipts - 1;
            const int probed = std::min(read(false, nullptr, upto, limit, row), limit);
            if (probed == limit) {
                indexed_ = false;
                return true; // more may follow; a last empty batch says so otherwise
            }
            HistoryPosition after;
            after.kpid = upto;
            return read(true, &after, 0, limit - probed, row) > limit - probed;
        }
        const bool first = !started_;
        started_ = true;
        const qint64 before = last_.kpid;
        const bool more = read(indexed_, first ? nullptr : &last_, 0, limit, row) > limit;
        if (more && indexed_ && last_.kpid - before < limit * denseReceiptsPerRow)
            indexed_ = false;
        return more;
    }

private:
    int read(bool indexed, const HistoryPosition* after, qint64 upto, int limit,
             const RowSink& row) {
        HistoryBatch batch;
        batch.indexed = indexed;
        batch.after = after;
        batch.upto = upto;
        batch.limit = limit;
        // The position of the row after which the next batch goes on: `after` may be last_.
        HistoryPosition last = last_;
        const int found = source_->read(batch, row, last);
        last_ = last;
        return found;
    }

    std::unique_ptr<HistorySource> source_;
    bool indexed_; // whether the next batch reads through the index
    bool started_ = false;
    HistoryPosition last_; // the last row of the last full batch
};

} // namespace

std::unique_ptr<HistoryReader> readHistory(std::unique_ptr<HistorySource> source) {
    return std::make_unique<SharedHistoryReader>(std::move(source));
}

} // namespace zelk::store
