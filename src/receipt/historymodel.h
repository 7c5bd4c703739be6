#pragma once

#include "receipt/historysearch.h"
#include "store/store.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <memory>
#include <vector>

namespace zelk::receipt {

// The history search result as a read-only table. Rows are read in batches as the grid asks
// for them (canFetchMore / fetchMore), so a search over a very large history neither loads
// everything at once nor freezes the window. Each batch is one short statement that continues
// after the last row read, so no read lock stays on the file between batches and another copy
// of the program can save meanwhile. Each row keeps its receipt id and the texts the grid
// shows, packed as UTF-8 into shared blocks; a reload reads the full record by id.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int batchSize = 256;

    explicit HistoryModel(store::Store& store, QObject* parent = nullptr);
    ~HistoryModel() override;

    // Runs a new search, replacing the previous result, and reads its first batch. Returns
    // whether it found any row; when it found none the result is closed and empty. Throws
    // data::DatabaseError, leaving the result closed and empty.
    bool search(const HistoryCriteria& criteria);
    // Drops the result.
    void clear();

    // Whether a search found rows (the result is open).
    bool hasResult() const { return !rows_.empty(); }
    qint64 receiptIdAt(int row) const;
    // The shown text of a cell (the same as data() with the display role).
    QString textAt(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    static QString columnTitle(int column);
    static int columnWidth(int column);

signals:
    // Reading further rows failed; the rows read so far stay listed.
    void fetchFailed(const QString& message);

private:
    struct Row {
        qint64 kpid;
        quint32 block;  // index into blocks_
        quint32 offset; // where the row's packed texts begin in that block
    };

    // Reads the next batch after the rows read so far into `into`.
    void readBatch(std::vector<Row>& into);
    void appendRow(std::vector<Row>& into, qint64 kpid, const QByteArrayView* texts);
    void drop();

    store::Store& store_;
    std::unique_ptr<store::HistoryReader> reader_;
    bool more_ = false; // whether rows may follow the last one read
    // Set while the model changes (a new search, a batch going in). A fetchMore that a view or
    // a checker calls from the model's own signals meanwhile does nothing, so a batch never
    // lands in the middle of another.
    bool changing_ = false;
    std::vector<Row> rows_;
    std::vector<QByteArray> blocks_;
};

} // namespace zelk::receipt
