#include "legacy/legacyfile.h"

#include "legacy/jettext.h"
#include "legacy/legacyerror.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <mdbtools.h>

namespace zelk::legacy {

QStringList receiptColumns() {
    return {QStringLiteral("kpid"),    QStringLiteral("fphm"), QStringLiteral("kpdate"),
            QStringLiteral("kpdate2"), QStringLiteral("hyfl"), QStringLiteral("jdhm"),
            QStringLiteral("qssj"),    QStringLiteral("jcsj"), QStringLiteral("jym"),
            QStringLiteral("fkfmc"),   QStringLiteral("jexx"), QStringLiteral("jedx"),
            QStringLiteral("skfmc"),   QStringLiteral("kpr"),  QStringLiteral("bz1"),
            QStringLiteral("bz2")};
}

QStringList lineColumns() {
    return {QStringLiteral("fpmxid"), QStringLiteral("kpid"), QStringLiteral("xm"),
            QStringLiteral("kjll"),   QStringLiteral("dw"),   QStringLiteral("sl"),
            QStringLiteral("dj"),     QStringLiteral("je")};
}

QStringList settingColumns() {
    return {QStringLiteral("SetId"), QStringLiteral("SetValue")};
}

namespace {

// Room for one bound value. Jet 4 Text and Memo values are decoded from their stored bytes, so
// this only bounds numbers and Jet 3 text (which libmdb converts from the file's code page).
constexpr size_t bindSize = 1 << 18;
// Flag bits of a row's offset in a data page's row table.
constexpr int rowOffsetMask = 0x1fff;

struct CloseHandle {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct FreeTable {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TablePtr = std::unique_ptr<MdbTableDef, FreeTable>;

MdbColumn* columnAt(MdbTableDef* table, unsigned int i) {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

TablePtr openTable(MdbHandle* mdb, const char* name) {
    TablePtr table(mdb_read_table_by_name(mdb, const_cast<gchar*>(name), MDB_TABLE));
    if (!table)
        throw LegacyError(QStringLiteral("旧数据文件中没有表 %1。").arg(QLatin1String(name)));
    if (!mdb_read_columns(table.get()))
        throw LegacyError(
            QStringLiteral("旧数据文件中表 %1 的结构无法读取。").arg(QLatin1String(name)));
    return table;
}

// The stored bytes of a Memo value, whose row field holds only the 12-byte reference to them:
// mdb_ole_read_full follows it (inline, one long-value page or a chain of them). It reads the
// reference from the column's bound buffer and returns the chunks through it, so a scratch
// buffer stands in for the bound one meanwhile.
QByteArray memoBytes(MdbHandle* mdb, MdbColumn* column, const MdbField& field) {
    if (field.siz < MDB_MEMO_OVERHEAD)
        return {};
    QByteArray scratch(qMax<qsizetype>(bindSize, mdb->fmt->pg_size), '\0');
    std::memcpy(scratch.data(), mdb->pg_buf + field.start, MDB_MEMO_OVERHEAD);
    void* bound = column->bind_ptr;
    column->bind_ptr = scratch.data();
    size_t size = 0;
    void* data = mdb_ole_read_full(mdb, column, &size);
    column->bind_ptr = bound;
    QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(size));
    std::free(data);
    return bytes;
}

class TableReader {
public:
    TableReader(MdbHandle* mdb, const char* name, const QStringList& wanted)
        : mdb_(mdb), name_(QLatin1String(name)), table_(openTable(mdb, name)) {
        result_.columns = wanted;
        for (const QString& w : wanted) {
            int found = -1;
            for (unsigned int i = 0; i < table_->num_cols; ++i) {
                if (QString::fromUtf8(columnAt(table_.get(), i)->name)
                        .compare(w, Qt::CaseInsensitive) == 0)
                    found = static_cast<int>(i);
            }
            if (found < 0)
                throw LegacyError(QStringLiteral("旧数据文件的表 %1 中没有列 %2。").arg(name_, w));
            wantedColumn_.push_back(found);
        }
        bound_.resize(table_->num_cols);
        for (unsigned int i = 0; i < table_->num_cols; ++i) {
            bound_[i].resize(bindSize);
            mdb_bind_column(table_.get(), static_cast<int>(i) + 1, bound_[i].data(), nullptr);
        }
    }

    // Reads every live row; `step` is called once per row and may throw to stop.
    LegacyTable read(const std::function<void()>& step) {
        const bool unicode = mdb_->f->jet_version != MDB_VER_JET3;
        std::vector<MdbField> fields(table_->num_cols);
        mdb_rewind_table(table_.get());
        while (mdb_fetch_row(table_.get())) {
            // mdb_fetch_row leaves the row's page in pg_buf and cur_row just past the row.
            int start = 0;
            size_t length = 0;
            if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &length) != 0)
                throw unreadable();
            const int count =
                mdb_crack_row(table_.get(), start & rowOffsetMask, length, fields.data());
            if (count < 0)
                throw unreadable();
            std::vector<const MdbField*> byColumn(table_->num_cols, nullptr);
            for (int f = 0; f < count; ++f) {
                const int c = fields[static_cast<size_t>(f)].colnum;
                if (c >= 0 && static_cast<unsigned int>(c) < table_->num_cols)
                    byColumn[static_cast<size_t>(c)] = &fields[static_cast<size_t>(f)];
            }
            QList<LegacyValue> row;
            row.reserve(static_cast<qsizetype>(wantedColumn_.size()));
            for (int c : wantedColumn_)
                row.append(value(columnAt(table_.get(), static_cast<unsigned int>(c)),
                                 byColumn[static_cast<size_t>(c)], bound_[c], unicode));
            result_.rows.append(row);
            step();
        }
        return std::move(result_);
    }

private:
    LegacyValue value(MdbColumn* column, const MdbField* field, const QByteArray& bound,
                      bool unicode) const {
        if (!field || field->is_null)
            return std::nullopt;
        if (unicode && column->col_type == MDB_TEXT)
            return decodeJet4Text(QByteArrayView(
                reinterpret_cast<const char*>(mdb_->pg_buf) + field->start, field->siz));
        if (unicode && column->col_type == MDB_MEMO)
            return decodeJet4Text(memoBytes(mdb_, column, *field));
        return QString::fromUtf8(bound.constData());
    }

    LegacyError unreadable() const {
        return LegacyError(
            QStringLiteral("旧数据文件中表 %1 的数据页已损坏，无法读取。").arg(name_));
    }

    MdbHandle* mdb_;
    QString name_;
    TablePtr table_;
    std::vector<int> wantedColumn_;
    std::vector<QByteArray> bound_;
    LegacyTable result_;
};

} // namespace

LegacyData readLegacyFile(const QString& path, const Progress& progress) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw LegacyError(QStringLiteral("找不到旧数据文件：%1").arg(path));
    if (!info.isReadable())
        throw LegacyError(QStringLiteral("旧数据文件无法读取：%1").arg(path));
    std::unique_ptr<MdbHandle, CloseHandle> mdb(
        mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE))
        throw LegacyError(
            QStringLiteral("这不是旧程序的 Access 数据文件，或文件已损坏：%1").arg(path));
    mdb_set_bind_size(mdb.get(), bindSize);

    // libmdb reads one table at a time well: a table is opened just before its rows are read.
    qint64 total = 0;
    for (const char* name : {"fpmain", "fpdetail", "SysSet"})
        total += openTable(mdb.get(), name)->num_rows;
    qint64 done = 0;
    const auto step = [&] {
        ++done;
        if (progress && (done % 64 == 0 || done == total) && !progress(done, total))
            throw ImportCancelled();
    };
    LegacyData data;
    data.fpmain = TableReader(mdb.get(), "fpmain", receiptColumns()).read(step);
    data.fpdetail = TableReader(mdb.get(), "fpdetail", lineColumns()).read(step);
    data.sysSet = TableReader(mdb.get(), "SysSet", settingColumns()).read(step);
    return data;
}

} // namespace zelk::legacy
