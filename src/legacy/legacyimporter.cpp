#include "legacy/legacyimporter.h"

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "data/connection.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/transaction.h"
#include "legacy/legacyerror.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>

namespace zelk::legacy {

namespace {

QString valueText(const LegacyValue& value) {
    return value.value_or(QString());
}

// A whole number as stored by a Long Integer column, or nothing.
std::optional<qint64> wholeNumber(const LegacyValue& value) {
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 n = value->toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// Notes the NULLs of a row (stored as empty text) and values that cannot be stored exactly.
void noteValues(const QStringList& columns, const QList<LegacyValue>& row, const QString& rowName,
                QList<ImportNote>& notes) {
    QStringList nulls;
    QStringList broken;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (!row.at(i))
            nulls << columns.at(i);
        else if (!QStringView(*row.at(i)).isValidUtf16())
            broken << columns.at(i);
    }
    if (!nulls.isEmpty())
        notes.append({ImportNote::Kind::Changed, rowName,
                      QStringLiteral("旧文件中为空值（NULL）的 %1 已存为空文本")
                          .arg(nulls.join(QStringLiteral("、")))});
    if (!broken.isEmpty())
        notes.append({ImportNote::Kind::Changed, rowName,
                      QStringLiteral("%1 含有无法识别的字符（不成对的 UTF-16 代理项），"
                                     "已换成替换字符 U+FFFD")
                          .arg(broken.join(QStringLiteral("、")))});
}

struct Line {
    qint64 id;
    const QList<LegacyValue>* row;
};

class Writer {
public:
    Writer(data::Connection& connection, const LegacyData& data, const Progress& progress,
           qint64 done, qint64 total)
        : connection_(connection), data_(data), progress_(progress), done_(done), total_(total),
          query_(connection) {}

    ImportSummary write(bool importSettings) {
        data::Transaction transaction(connection_);
        groupLines();
        summary_.renumbered = !isEmpty();
        qint64 nextId = summary_.renumbered ? largestReceiptId() + 1 : 0;
        for (auto it = receipts_.cbegin(); it != receipts_.cend(); ++it) {
            const qint64 oldId = it.key();
            const QList<LegacyValue>* row = it.value();
            const qint64 newId = summary_.renumbered ? nextId++ : oldId;
            summary_.receiptIds.insert(oldId, newId);
            writeReceipt(*row, oldId, newId);
            for (const Line& line : lines_.value(oldId))
                writeLine(*line.row, line.id, newId);
            step(1 + lines_.value(oldId).size());
        }
        writeSettings(importSettings);
        transaction.commit();
        return summary_;
    }

private:
    void step(qint64 rows) {
        done_ += rows;
        if (progress_ && !progress_(done_, total_))
            throw ImportCancelled();
    }

    bool isEmpty() {
        return count(QStringLiteral("SELECT count(*) AS n FROM fpmain")) == 0 &&
               count(QStringLiteral("SELECT count(*) AS n FROM fpdetail")) == 0;
    }

    // The id an AUTOINCREMENT insert would give, less one: above every id ever used.
    qint64 largestReceiptId() {
        return count(QStringLiteral(
            "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'fpmain'), 0), "
            "coalesce((SELECT max(kpid) FROM fpmain), 0)) AS n"));
    }

    qint64 count(const QString& sql) {
        query_.close();
        query_.clear();
        query_.add(sql);
        query_.open();
        const qint64 n = query_.fieldAsInteger(QStringLiteral("n"));
        query_.close();
        return n;
    }

    // Receipts in id order; lines by receipt in id order; orphans noted.
    void groupLines() {
        const LegacyTable& main = data_.fpmain;
        for (const QList<LegacyValue>& row : main.rows) {
            const auto id = wholeNumber(row.at(0));
            if (!id)
                throw LegacyError(
                    QStringLiteral("旧数据文件 fpmain 中有一行没有收据编号（kpid）。"));
            if (receipts_.contains(*id))
                throw LegacyError(
                    QStringLiteral("旧数据文件 fpmain 中收据编号 %1 重复。").arg(*id));
            receipts_.insert(*id, &row);
        }
        for (const QList<LegacyValue>& row : data_.fpdetail.rows) {
            const auto id = wholeNumber(row.at(0));
            if (!id)
                throw LegacyError(
                    QStringLiteral("旧数据文件 fpdetail 中有一行没有明细编号（fpmxid）。"));
            const auto receipt = wholeNumber(row.at(1));
            const QString name = QStringLiteral("明细 %1").arg(*id);
            if (!receipt) {
                summary_.notes.append({ImportNote::Kind::Skipped, name,
                                       QStringLiteral("没有所属收据编号（kpid 为空）")});
                step(1);
            } else if (!receipts_.contains(*receipt)) {
                summary_.notes.append({ImportNote::Kind::Skipped, name,
                                       QStringLiteral("所属收据 %1 不存在").arg(*receipt)});
                step(1);
            } else {
                lines_[*receipt].append({*id, &row});
            }
        }
        for (QList<Line>& lines : lines_)
            std::sort(lines.begin(), lines.end(),
                      [](const Line& a, const Line& b) { return a.id < b.id; });
    }

    void writeReceipt(const QList<LegacyValue>& row, qint64 oldId, qint64 newId) {
        const QStringList& columns = data_.fpmain.columns;
        const QString name = QStringLiteral("收据 %1").arg(oldId);
        query_.close();
        query_.clear();
        query_.add(
            QStringLiteral("INSERT INTO fpmain (%1)").arg(columns.join(QStringLiteral(", "))));
        query_.add(QStringLiteral("VALUES (:%1)").arg(columns.join(QStringLiteral(", :"))));
        query_.bind(QStringLiteral("kpid"), newId);
        const LegacyValue& kpdate = row.at(columns.indexOf(QStringLiteral("kpdate")));
        for (qsizetype i = 1; i < columns.size(); ++i) {
            const auto number = wholeNumber(row.at(i));
            if (columns.at(i) == QLatin1String("kpdate") && number)
                query_.bind(QStringLiteral("kpdate"), *number);
            else
                query_.bind(columns.at(i), valueText(row.at(i)));
        }
        query_.execute();
        ++summary_.receipts;

        noteValues(columns, row, name, summary_.notes);
        static const QRegularExpression eightDigits(QStringLiteral("^\\d{8}$"));
        if (kpdate && !eightDigits.match(*kpdate).hasMatch())
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("开票日期 kpdate「%1」不是八位数字，按原样导入").arg(*kpdate)});
        noteTotals(row, name, lines_.value(oldId));
    }

    void noteTotals(const QList<LegacyValue>& row, const QString& name, const QList<Line>& lines) {
        const QStringList& columns = data_.fpmain.columns;
        QStringList amounts;
        for (const Line& line : lines)
            amounts << valueText(
                line.row->at(data_.fpdetail.columns.indexOf(QStringLiteral("je"))));
        const QString sum = amount::sumAmounts(amounts);
        const QString capitals = amount::toCapitals(sum).text;
        const QString jexx = valueText(row.at(columns.indexOf(QStringLiteral("jexx"))));
        const QString jedx = valueText(row.at(columns.indexOf(QStringLiteral("jedx"))));
        if (jexx != sum || jedx != capitals)
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("合计「%1」「%2」与明细之和「%3」「%4」不一致，按原样导入")
                     .arg(jexx, jedx, sum, capitals)});
        if (lines.size() > 5)
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("有 %1 行明细，全部导入；收据上只印前五行").arg(lines.size())});
    }

    void writeLine(const QList<LegacyValue>& row, qint64 oldId, qint64 receiptId) {
        const QStringList& columns = data_.fpdetail.columns;
        // Keeping ids writes fpmxid; renumbering leaves it to the counter, in line order.
        const qsizetype first = summary_.renumbered ? 1 : 0;
        const QStringList written = columns.mid(first);
        query_.close();
        query_.clear();
        query_.add(
            QStringLiteral("INSERT INTO fpdetail (%1)").arg(written.join(QStringLiteral(", "))));
        query_.add(QStringLiteral("VALUES (:%1)").arg(written.join(QStringLiteral(", :"))));
        if (!summary_.renumbered)
            query_.bind(QStringLiteral("fpmxid"), oldId);
        query_.bind(QStringLiteral("kpid"), receiptId);
        for (qsizetype i = 2; i < columns.size(); ++i)
            query_.bind(columns.at(i), valueText(row.at(i)));
        query_.execute();
        ++summary_.lines;
        noteValues(columns, row, QStringLiteral("明细 %1").arg(oldId), summary_.notes);
    }

    void writeSettings(bool importSettings) {
        bool any = false;
        for (const QList<LegacyValue>& row : data_.sysSet.rows) {
            const auto id = wholeNumber(row.at(0));
            const QString name = QStringLiteral("设置 %1").arg(valueText(row.at(0)));
            if (!id || *id < data::schema::payeeSetting || *id > data::schema::noticeSetting) {
                summary_.notes.append({ImportNote::Kind::Skipped, name,
                                       QStringLiteral("不是本程序使用的设置（只导入 27–30）")});
                continue;
            }
            if (!importSettings) {
                any = true;
                continue;
            }
            query_.close();
            query_.clear();
            query_.add(QStringLiteral("INSERT OR REPLACE INTO SysSet (SetId, SetValue)"));
            query_.add(QStringLiteral("VALUES (:id, :value)"));
            query_.bind(QStringLiteral("id"), *id);
            query_.bind(QStringLiteral("value"), valueText(row.at(1)));
            query_.execute();
            ++summary_.settings;
            noteValues(data_.sysSet.columns, row, name, summary_.notes);
        }
        if (any)
            summary_.notes.append({ImportNote::Kind::Skipped, QStringLiteral("设置 27–30"),
                                   QStringLiteral("未选择导入基础信息，保留本程序中的设置")});
    }

    data::Connection& connection_;
    const LegacyData& data_;
    const Progress& progress_;
    qint64 done_;
    qint64 total_;
    data::Query query_;
    ImportSummary summary_;
    QMap<qint64, const QList<LegacyValue>*> receipts_;
    QHash<qint64, QList<Line>> lines_;
};

qint64 rowCount(const LegacyData& data) {
    return data.fpmain.rows.size() + data.fpdetail.rows.size();
}

} // namespace

ImportSummary LegacyImporter::run(const QString& path, const Progress& progress) {
    // Reading and writing each take half of the progress range.
    const auto reading = [&](qint64 done, qint64 total) {
        return !progress || progress(done, 2 * total);
    };
    const LegacyData data = readLegacyFile(path, reading);
    const qint64 rows = rowCount(data);
    Writer writer(connection_, data, progress, rows, 2 * rows);
    return writer.write(importSettings_);
}

ImportSummary LegacyImporter::write(const LegacyData& data, const Progress& progress) {
    Writer writer(connection_, data, progress, 0, rowCount(data));
    return writer.write(importSettings_);
}

} // namespace zelk::legacy
