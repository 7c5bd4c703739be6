#include "receipt/historymodel.h"

#include "data/databaseerror.h"
#include "data/searchindex.h"

namespace zelk::receipt {

namespace {

// The result's columns as the grid shows them, with their titles and widths in pixels.
struct Column {
    const char* field;
    const char* title;
    int width;
};

const Column columns[historyColumnCount] = {
    {"fphm", "发票号码", 108}, {"kpdate2", "开票日期", 96},  {"jdhm", "机打号码", 117},
    {"jym", "检验码", 111},    {"fkfmc", "付款方名称", 269}, {"jexx", "金额", 91},
    {"kpr", "开票人", 79},     {"bz2", "备注", 439},
};

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

HistoryModel::HistoryModel(data::Connection& connection, QObject* parent)
    : QAbstractTableModel(parent), query_(connection) {}

bool HistoryModel::search(const HistoryCriteria& criteria) {
    beginResetModel();
    drop();
    criteria_ = criteria;
    try {
        indexMatch_ = historyIndexMatch(criteria_);
        if (!indexMatch_.isEmpty() && !data::searchindex::isReady(query_.connection()))
            indexMatch_.clear();
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
    beginResetModel();
    drop();
    endResetModel();
}

void HistoryModel::drop() {
    query_.close();
    indexMatch_.clear();
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    last_ = HistoryPosition();
    more_ = false;
}

void HistoryModel::appendCurrentRow(std::vector<Row>& into, const Fields& fields) {
    // The texts go from the statement's UTF-8 straight into the block, with no QString between.
    QByteArrayView texts[historyColumnCount];
    qsizetype needed = 0;
    for (int c = 0; c < historyColumnCount; ++c) {
        texts[c] = query_.fieldUtf8(fields.shown[c]);
        needed += texts[c].size() + 5; // a length takes at most five bytes
    }
    if (blocks_.empty() || blocks_.back().size() + needed > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(blockSize, needed));
    }
    QByteArray& block = blocks_.back();
    into.push_back(
        {query_.fieldAsInteger(fields.kpid), quint32(blocks_.size() - 1), quint32(block.size())});
    for (const QByteArrayView& text : texts) {
        appendLength(block, quint32(text.size()));
        block.append(text);
    }
}

int HistoryModel::readRows(std::vector<Row>& into, const HistoryPosition* after, int limit,
                           const QByteArray& indexMatch, qint64 upto, bool* more) {
    // One row more than asked for tells whether more follow.
    prepareHistorySearch(query_, criteria_, after, limit + 1, indexMatch, upto);
    query_.open();
    Fields fields;
    for (int c = 0; c < historyColumnCount; ++c)
        fields.shown[c] = query_.fieldIndex(QString::fromLatin1(columns[c].field));
    fields.kpid = query_.fieldIndex(QStringLiteral("kpid"));
    fields.kpdateText = query_.fieldIndex(QStringLiteral("kpdatetext"));
    fields.kpdateType = query_.fieldIndex(QStringLiteral("kptype"));
    int count = 0;
    for (; count < limit && !query_.eof(); ++count) {
        appendCurrentRow(into, fields);
        // Only a full batch is followed by another, which continues after its last row.
        if (count + 1 == limit) {
            last_.kpid = into.back().kpid;
            last_.kpdate = QString::fromUtf8(query_.fieldUtf8(fields.kpdateText));
            last_.kpdateType = QString::fromUtf8(query_.fieldUtf8(fields.kpdateType));
        }
        query_.next();
    }
    *more = !query_.eof();
    query_.close();
    return count;
}

void HistoryModel::readBatch(std::vector<Row>& into) {
    const bool first = rows_.empty() && into.empty();
    if (!first || indexMatch_.isEmpty()) {
        const qint64 before = last_.kpid;
        readRows(into, first ? nullptr : &last_, batchSize, indexMatch_, 0, &more_);
        // Each batch through the index reads the candidates from the start again, which costs
        // little for a rare text; for a text found densely the plain scan reaches the next
        // batch sooner. Both give the same rows in the same order, so the rest scans.
        constexpr qint64 denseReceiptsPerRow = 32;
        if (more_ && !indexMatch_.isEmpty() &&
            last_.kpid - before < batchSize * denseReceiptsPerRow)
            indexMatch_.clear();
        return;
    }
    // The first batch of an indexed search first scans the oldest receipts: a text found in
    // many receipts fills the batch from them at once (the index would read long lists of
    // candidates for it) and the search goes on scanning; otherwise the index finds the rest
    // after them.
    constexpr qint64 probedReceipts = 2048;
    data::Query bound(query_.connection());
    bound.add(QStringLiteral("select coalesce(min(kpid),0) as lowest from fpmain"));
    bound.open();
    const qint64 upto = bound.fieldAsInteger(QStringLiteral("lowest")) + probedReceipts - 1;
    bound.close();
    bool more = false;
    const int probed = readRows(into, nullptr, batchSize, {}, upto, &more);
    if (probed == batchSize) {
        more_ = true;
        indexMatch_.clear();
        return;
    }
    HistoryPosition after;
    after.kpid = upto;
    readRows(into, &after, batchSize - probed, indexMatch_, 0, &more_);
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
    return !parent.isValid() && more_;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    std::vector<Row> batch;
    batch.reserve(batchSize);
    try {
        readBatch(batch);
    } catch (const data::DatabaseError& error) {
        // The rows listed so far stay; no further batch is tried.
        query_.close();
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
    return QString::fromUtf8(columns[column].title);
}

int HistoryModel::columnWidth(int column) {
    if (column < 0 || column >= historyColumnCount)
        return 0;
    return columns[column].width;
}

} // namespace zelk::receipt
