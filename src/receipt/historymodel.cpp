#include "receipt/historymodel.h"

#include "data/databaseerror.h"
#include "store/receiptcolumns.h"

#include <QScopedValueRollback>

namespace zelk::receipt {

namespace {

// Packed texts live in blocks of this size, so that a large result grows without copying what
// it already holds; a row larger than a block gets a block of its own.
constexpr qsizetype blockSize = 1 << 20;

void appendLength(QByteArray& out, quint32 n) {
    // Seven bits per byte, high bit set while more bytes follow.
    while (n >= 0x80) {
        out.append(char((n & 0x7f) | 0x80));
        n >>= 7;
    }
    out.append(char(n));
}

quint32 readLength(const char*& p) {
    quint32 n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = quint8(*p++);
        n |= quint32(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return n;
    }
}

} // namespace

HistoryModel::HistoryModel(store::Store& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {}

HistoryModel::~HistoryModel() = default;

bool HistoryModel::search(const HistoryCriteria& criteria) {
    const QScopedValueRollback<bool> changing(changing_, true);
    beginResetModel();
    drop();
    try {
        reader_ = store_.searchHistory(criteria);
        readBatch(rows_);
    } catch (...) {
        drop();
        endResetModel();
        throw;
    }
    endResetModel();
    return !rows_.empty();
}

void HistoryModel::clear() {
    const QScopedValueRollback<bool> changing(changing_, true);
    beginResetModel();
    drop();
    endResetModel();
}

void HistoryModel::drop() {
    reader_.reset();
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    more_ = false;
}

void HistoryModel::appendRow(std::vector<Row>& into, qint64 kpid, const QByteArrayView* texts) {
    // The texts go from the statement's UTF-8 straight into the block, with no QString between.
    qsizetype needed = 0;
    for (int c = 0; c < historyColumnCount; ++c)
        needed += texts[c].size() + 5; // a length takes at most five bytes
    if (blocks_.empty() || blocks_.back().size() + needed > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(blockSize, needed));
    }
    QByteArray& block = blocks_.back();
    into.push_back({kpid, quint32(blocks_.size() - 1), quint32(block.size())});
    for (int c = 0; c < historyColumnCount; ++c) {
        appendLength(block, quint32(texts[c].size()));
        block.append(texts[c]);
    }
}

void HistoryModel::readBatch(std::vector<Row>& into) {
    more_ = reader_->readBatch(
        batchSize, [&](qint64 kpid, const QByteArrayView* texts) { appendRow(into, kpid, texts); });
}

qint64 HistoryModel::receiptIdAt(int row) const {
    if (row < 0 || std::size_t(row) >= rows_.size())
        throw data::DatabaseError(QStringLiteral("查询结果中没有第 %1 行。").arg(row + 1));
    return rows_[std::size_t(row)].kpid;
}

QString HistoryModel::textAt(int row, int column) const {
    if (row < 0 || std::size_t(row) >= rows_.size() || column < 0 || column >= historyColumnCount)
        return QString();
    const Row& r = rows_[std::size_t(row)];
    const char* p = blocks_[r.block].constData() + r.offset;
    for (int c = 0;; ++c) {
        const quint32 length = readLength(p);
        if (c == column)
            return QString::fromUtf8(p, qsizetype(length));
        p += length;
    }
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : historyColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return textAt(index.row(), index.column());
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return columnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags HistoryModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && more_ && !changing_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const QScopedValueRollback<bool> changing(changing_, true);
    std::vector<Row> batch;
    batch.reserve(batchSize);
    try {
        readBatch(batch);
    } catch (const data::DatabaseError& error) {
        // The rows listed so far stay; no further batch is tried.
        reader_.reset();
        more_ = false;
        emit fetchFailed(error.message());
        return;
    }
    if (!batch.empty()) {
        const int first = int(rows_.size());
        beginInsertRows(QModelIndex(), first, first + int(batch.size()) - 1);
        rows_.insert(rows_.end(), batch.begin(), batch.end());
        endInsertRows();
    }
}

QString HistoryModel::columnTitle(int column) {
    if (column < 0 || column >= historyColumnCount)
        return QString();
    return QString::fromUtf8(store::gridColumn(column).gridTitle);
}

int HistoryModel::columnWidth(int column) {
    if (column < 0 || column >= historyColumnCount)
        return 0;
    return store::gridColumn(column).gridWidth;
}

} // namespace zelk::receipt
