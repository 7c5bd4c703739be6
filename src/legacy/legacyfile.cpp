#include "legacy/legacyfile.h"

#include "legacy/jettext.h"
#include "legacy/legacyerror.h"
#include "legacy/stderrcapture.h"

#include <QByteArray>
#include <QDir>
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
// A read failure: the file is damaged. `why` says where, in the operator's words.
struct Damage {
    QString why;
};
// A value whose stored bytes could not all be read.
struct CutValue {};

QByteArray memoBytes(MdbHandle* mdb, MdbColumn* column, const MdbField& field) {
    if (field.siz < MDB_MEMO_OVERHEAD)
        return {};
    // The reference starts with the value's length in bytes (the top two bits are flags).
    const unsigned char* ref = mdb->pg_buf + field.start;
    const quint32 stated =
        (quint32(ref[0]) | quint32(ref[1]) << 8 | quint32(ref[2]) << 16 | quint32(ref[3]) << 24) &
        0x3fffffffu;
    QByteArray scratch(qMax<qsizetype>(bindSize, mdb->fmt->pg_size), '\0');
    std::memcpy(scratch.data(), mdb->pg_buf + field.start, MDB_MEMO_OVERHEAD);
    void* bound = column->bind_ptr;
    column->bind_ptr = scratch.data();
    size_t size = 0;
    void* data = mdb_ole_read_full(mdb, column, &size);
    column->bind_ptr = bound;
    QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(size));
    std::free(data);
    // A page of the chain beyond the end of the file (or not a long-value page) ends the read
    // early: fewer bytes than the reference states.
    if (size != stated)
        throw CutValue();
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
        const qint64 stated = table_->num_rows;
        while (mdb_fetch_row(table_.get())) {
            // mdb_fetch_row leaves the row's page in pg_buf and cur_row just past the row.
            int start = 0;
            size_t length = 0;
            if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &length) != 0)
                throw unreadable();
            const int rowStart = start & rowOffsetMask;
            const int count = mdb_crack_row(table_.get(), rowStart, length, fields.data());
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
            for (int c : wantedColumn_) {
                MdbColumn* column = columnAt(table_.get(), static_cast<unsigned int>(c));
                const MdbField* field = byColumn[static_cast<size_t>(c)];
                // A text value reaching past its row lies partly outside the page read.
                if (field && !field->is_null && field->siz > 0 &&
                    (field->start < rowStart || field->start + field->siz > rowStart + int(length)))
                    throw unreadable();
                try {
                    row.append(value(column, field, bound_[c], unicode));
                } catch (const CutValue&) {
                    throw Damage{QStringLiteral("表 %1 中有值只读到一部分（%2）。")
                                     .arg(name_, QString::fromUtf8(column->name))};
                }
            }
            result_.rows.append(row);
            step();
        }
        // Pages that could not be read end the table early: fewer rows than it states.
        if (result_.rows.size() < stated)
            throw Damage{QStringLiteral("表 %1 应有 %2 行，只读到 %3 行。")
                             .arg(name_)
                             .arg(stated)
                             .arg(result_.rows.size())};
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

    Damage unreadable() const {
        return Damage{QStringLiteral("表 %1 的数据页已损坏。").arg(name_)};
    }

    MdbHandle* mdb_;
    QString name_;
    TablePtr table_;
    std::vector<int> wantedColumn_;
    std::vector<QByteArray> bound_;
    LegacyTable result_;
};

} // namespace

namespace {

LegacyError damaged(const QString& path, const QString& why, const QString& warnings) {
    // libmdb repeats itself for every row it tries; each warning once is enough.
    QStringList lines = warnings.split(u'\n', Qt::SkipEmptyParts);
    lines.removeDuplicates();
    const QString detail = lines.mid(0, 20).join(u'\n');
    return LegacyError(QStringLiteral("旧数据文件已损坏，不能导入：%1\n%2")
                           .arg(QDir::toNativeSeparators(path), why),
                       detail);
}

LegacyData readTables(MdbHandle* mdb, qint64 fileSize, const Progress& progress) {
    // A Jet file is a whole number of pages; a file cut short mostly ends inside one.
    if (mdb->fmt->pg_size > 0 && fileSize % mdb->fmt->pg_size != 0)
        throw Damage{QStringLiteral("文件长度 %1 字节不是整页（每页 %2 字节），文件不完整。")
                         .arg(fileSize)
                         .arg(mdb->fmt->pg_size)};
    mdb_set_bind_size(mdb, bindSize);
    // The catalog itself, read to its end: a file cut inside it lists fewer tables, which
    // would otherwise look like a file of another program.
    // Every Access file lists its own catalog table there.
    try {
        TableReader(mdb, "MSysObjects", {QStringLiteral("Name")}).read([] {});
    } catch (const LegacyError&) {
        throw Damage{QStringLiteral("文件的目录（表的清单）不完整。")};
    }

    // libmdb reads one table at a time well: a table is opened just before its rows are read.
    qint64 total = 0;
    for (const char* name : {"fpmain", "fpdetail", "SysSet"})
        total += openTable(mdb, name)->num_rows;
    qint64 done = 0;
    const auto step = [&] {
        ++done;
        if (progress && (done % 64 == 0 || done == total) && !progress(done, total))
            throw ImportCancelled();
    };
    LegacyData data;
    data.fpmain = TableReader(mdb, "fpmain", receiptColumns()).read(step);
    data.fpdetail = TableReader(mdb, "fpdetail", lineColumns()).read(step);
    data.sysSet = TableReader(mdb, "SysSet", settingColumns()).read(step);
    return data;
}

} // namespace

LegacyData readLegacyFile(const QString& path, const Progress& progress) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw LegacyError(QStringLiteral("找不到旧数据文件：%1").arg(path));
    if (!info.isReadable())
        throw LegacyError(QStringLiteral("旧数据文件无法读取：%1").arg(path));
    // Every read failure of libmdb (a page beyond the end, a bad page, a value cut short)
    // refuses the whole file; libmdb's own warnings become the detail of the message.
    StderrCapture warnings;
    LegacyData data;
    try {
        std::unique_ptr<MdbHandle, CloseHandle> mdb(
            mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
        if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) {
            if (!warnings.text().isEmpty())
                throw Damage{QStringLiteral("文件的目录无法读取。")};
            throw LegacyError(
                QStringLiteral("这不是旧程序的 Access 数据文件，或文件已损坏：%1").arg(path));
        }
        data = readTables(mdb.get(), info.size(), progress);
    } catch (const Damage& damage) {
        throw damaged(path, damage.why, warnings.text());
    } catch (const LegacyError& error) {
        // A table or column missing while libmdb reported read failures: the file is damaged
        // rather than of another program.
        const QString detail = warnings.text();
        if (detail.isEmpty())
            throw;
        throw damaged(path, error.message(), detail);
    }
    const QString detail = warnings.text();
    if (!detail.isEmpty())
        throw damaged(path, QStringLiteral("读取时出现错误。"), detail);
    return data;
}

} // namespace zelk::legacy
