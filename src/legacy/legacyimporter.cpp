#include "legacy/legacyimporter.h"

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "legacy/legacyerror.h"
#include "store/fileimport.h"
#include "store/fileschema.h"
#include "store/receiptcolumns.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

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

// What the entry form calls each column, so that the summary speaks the operator's words.
QString caption(const QString& column) {
    static const QHash<QString, QString> captions = {
        {QStringLiteral("kpid"), QStringLiteral("收据编号")},
        {QStringLiteral("fphm"), QStringLiteral("发票号码")},
        {QStringLiteral("kpdate"), QStringLiteral("开票日期")},
        {QStringLiteral("kpdate2"), QStringLiteral("开票日期（文字）")},
        {QStringLiteral("hyfl"), QStringLiteral("行业分类")},
        {QStringLiteral("jdhm"), QStringLiteral("机打号码")},
        {QStringLiteral("qssj"), QStringLiteral("起止时间")},
        {QStringLiteral("jcsj"), QStringLiteral("起止时间（至）")},
        {QStringLiteral("jym"), QStringLiteral("校验码")},
        {QStringLiteral("fkfmc"), QStringLiteral("付款方名称")},
        {QStringLiteral("jexx"), QStringLiteral("合计金额（小写）")},
        {QStringLiteral("jedx"), QStringLiteral("合计金额（大写）")},
        {QStringLiteral("skfmc"), QStringLiteral("收款方名称")},
        {QStringLiteral("kpr"), QStringLiteral("开票人")},
        {QStringLiteral("bz1"), QStringLiteral("收据备注")},
        {QStringLiteral("bz2"), QStringLiteral("备注")},
        {QStringLiteral("fpmxid"), QStringLiteral("明细编号")},
        {QStringLiteral("xm"), QStringLiteral("项目")},
        {QStringLiteral("kjll"), QStringLiteral("开具内容")},
        {QStringLiteral("dw"), QStringLiteral("单位")},
        {QStringLiteral("sl"), QStringLiteral("数量")},
        {QStringLiteral("dj"), QStringLiteral("单价")},
        {QStringLiteral("je"), QStringLiteral("金额")},
        {QStringLiteral("SetId"), QStringLiteral("设置项")},
        {QStringLiteral("SetValue"), QStringLiteral("内容")},
    };
    return captions.value(column, column);
}

// The basic information item a setting holds, as the basic information dialog calls it.
QString settingCaption(qint64 id) {
    switch (id) {
    case store::schema::payeeSetting:
        return QStringLiteral("基础信息「收款单位」");
    case store::schema::categorySetting:
        return QStringLiteral("基础信息「行业分类」");
    case store::schema::issuerSetting:
        return QStringLiteral("基础信息「开票人」");
    case store::schema::noticeSetting:
        return QStringLiteral("基础信息「收据备注」");
    default:
        return QStringLiteral("旧程序的其他设置");
    }
}

// Notes the NULLs of a row (stored as empty text) and values that cannot be stored exactly.
void noteValues(const QStringList& columns, const QList<LegacyValue>& row, const QString& rowName,
                QList<ImportNote>& notes) {
    QStringList nulls;
    QStringList broken;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (!row.at(i))
            nulls << caption(columns.at(i));
        else if (!QStringView(*row.at(i)).isValidUtf16())
            broken << caption(columns.at(i));
    }
    if (!nulls.isEmpty())
        notes.append({ImportNote::Kind::Changed, rowName,
                      QStringLiteral("旧文件中没有填写（空值）的%1已存为空白")
                          .arg(nulls.join(QStringLiteral("、")))});
    if (!broken.isEmpty())
        notes.append({ImportNote::Kind::Changed, rowName,
                      QStringLiteral("%1中有无法识别的字符，已换成替换符号“\uFFFD”")
                          .arg(broken.join(QStringLiteral("、")))});
}

// An amount text as a decimal ("1200" and "1200.00" alike), or the text itself when it is no
// number.
QString asDecimal(const QString& text) {
    return amount::isNumberText(text.trimmed()) ? amount::sumAmounts({text.trimmed()}) : text;
}

struct Line {
    qint64 id;
    const QList<LegacyValue>* row;
};

// How many receipts go to the file at a time; progress and cancel are looked at between them.
constexpr qsizetype batchSize = 200;

class Writer {
public:
    Writer(store::FileStore& store, const LegacyData& data, const Progress& progress, qint64 done,
           qint64 total)
        : store_(store), data_(data), progress_(progress), done_(done), total_(total) {}

    ImportSummary write(bool importSettings, bool again, const QString& source) {
        store::FileImport import(store_);
        const QString hash = sourceHash();
        const bool recorded = !data_.fpmain.rows.isEmpty();
        if (recorded && !again)
            refuseRepeat(import, hash);
        groupLines();
        summary_.renumbered = import.renumbers();
        QList<qint64> batch;
        for (auto it = receipts_.cbegin(); it != receipts_.cend(); ++it) {
            batch << it.key();
            if (batch.size() == batchSize || std::next(it) == receipts_.cend()) {
                writeBatch(import, batch);
                batch.clear();
            }
        }
        writeSettings(import, importSettings);
        if (recorded)
            import.record(hash, source);
        import.commit();
        return summary_;
    }

private:
    void step(qint64 rows) {
        done_ += rows;
        if (progress_ && !progress_(done_, total_))
            throw ImportCancelled();
    }

    // What the receipts and lines read hold, NULLs apart from empty texts.
    QString sourceHash() const {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const LegacyTable* table : {&data_.fpmain, &data_.fpdetail}) {
            for (const QList<LegacyValue>& row : table->rows) {
                for (const LegacyValue& value : row) {
                    hash.addData(value ? QByteArrayView("v") : QByteArrayView("n"));
                    if (value)
                        hash.addData(value->toUtf8());
                    hash.addData(QByteArrayView("\x1f", 1));
                }
                hash.addData(QByteArrayView("\x1e", 1));
            }
            hash.addData(QByteArrayView("\x1d", 1));
        }
        return QString::fromLatin1(hash.result().toHex());
    }

    void refuseRepeat(store::FileImport& import, const QString& hash) {
        const std::optional<store::ImportRecord> earlier = import.earlierImport(hash);
        if (!earlier)
            return;
        throw AlreadyImported(
            QStringLiteral("这些收据已在 %1 从“%2”导入过（%3 张收据）。再次导入会把每张收据再"
                           "添加一遍。")
                .arg(earlier->importedAt, earlier->sourceFile)
                .arg(earlier->receipts));
    }

    // Receipts in id order; lines by receipt in id order; orphans noted.
    void groupLines() {
        const LegacyTable& main = data_.fpmain;
        for (const QList<LegacyValue>& row : main.rows) {
            const auto id = wholeNumber(row.at(0));
            if (!id)
                throw LegacyError(QStringLiteral("旧数据文件中有一张收据没有编号，无法导入。"));
            if (receipts_.contains(*id))
                throw LegacyError(
                    QStringLiteral("旧数据文件中有两张收据的编号都是 %1，无法导入。").arg(*id));
            receipts_.insert(*id, &row);
        }
        for (const QList<LegacyValue>& row : data_.fpdetail.rows) {
            const auto id = wholeNumber(row.at(0));
            if (!id)
                throw LegacyError(QStringLiteral("旧数据文件中有一行明细没有编号，无法导入。"));
            const auto receipt = wholeNumber(row.at(1));
            const QStringList& columns = data_.fpdetail.columns;
            const QString name =
                QStringLiteral("一行明细（项目「%1」、开具内容「%2」、金额「%3」）")
                    .arg(valueText(row.at(columns.indexOf(QStringLiteral("xm")))),
                         valueText(row.at(columns.indexOf(QStringLiteral("kjll")))),
                         valueText(row.at(columns.indexOf(QStringLiteral("je")))));
            if (!receipt || !receipts_.contains(*receipt)) {
                summary_.notes.append(
                    {ImportNote::Kind::Skipped, name, QStringLiteral("旧文件中没有它所属的收据")});
                step(1);
            } else {
                lines_[*receipt].append({*id, &row});
            }
        }
        for (QList<Line>& lines : lines_)
            std::sort(lines.begin(), lines.end(),
                      [](const Line& a, const Line& b) { return a.id < b.id; });
    }

    // The values of `row` read from `table`, in the order of `columns` (ours).
    static QStringList valuesOf(const LegacyTable& table, const QList<LegacyValue>& row,
                                const QStringList& columns) {
        QStringList values;
        for (const QString& column : columns)
            values << valueText(row.value(table.columns.indexOf(column)));
        return values;
    }

    // Writes the receipts with these old ids and their lines, then notes what the summary
    // says of each.
    void writeBatch(store::FileImport& import, const QList<qint64>& oldIds) {
        QList<store::ImportedReceipt> receipts;
        for (const qint64 oldId : oldIds) {
            store::ImportedReceipt receipt;
            receipt.kpid = oldId;
            receipt.header =
                valuesOf(data_.fpmain, *receipts_.value(oldId), store::headerColumns());
            for (const Line& line : lines_.value(oldId))
                receipt.lines.append(
                    {line.id, valuesOf(data_.fpdetail, *line.row, store::lineColumns())});
            receipts << receipt;
        }
        const QList<qint64> newIds = import.addReceipts(receipts);
        for (qsizetype i = 0; i < oldIds.size(); ++i) {
            const qint64 oldId = oldIds.at(i);
            summary_.receiptIds.insert(oldId, newIds.at(i));
            const QString name = receiptName(*receipts_.value(oldId), newIds.at(i));
            noteReceipt(*receipts_.value(oldId), name, lines_.value(oldId));
            int position = 0;
            for (const Line& line : lines_.value(oldId)) {
                noteValues(data_.fpdetail.columns, *line.row,
                           QStringLiteral("%1的第 %2 行明细").arg(name).arg(++position),
                           summary_.notes);
                ++summary_.lines;
            }
            ++summary_.receipts;
        }
        qint64 rows = 0;
        for (const qint64 oldId : oldIds)
            rows += 1 + lines_.value(oldId).size();
        step(rows);
    }

    // A receipt as the operator finds it: its invoice number and date, and where the import
    // renumbered, the number it has now.
    QString receiptName(const QList<LegacyValue>& row, qint64 newId) const {
        const QStringList& columns = data_.fpmain.columns;
        const QString number = valueText(row.at(columns.indexOf(QStringLiteral("fphm"))));
        QString date = valueText(row.at(columns.indexOf(QStringLiteral("kpdate2"))));
        if (date.trimmed().isEmpty())
            date = valueText(row.at(columns.indexOf(QStringLiteral("kpdate"))));
        QString name = QStringLiteral("发票号码「%1」、开票日期「%2」的收据")
                           .arg(number.trimmed().isEmpty() ? QStringLiteral("（空）") : number,
                                date.trimmed().isEmpty() ? QStringLiteral("（空）") : date);
        if (summary_.renumbered)
            name += QStringLiteral("（导入后编号 %1）").arg(newId);
        return name;
    }

    void noteReceipt(const QList<LegacyValue>& row, const QString& name, const QList<Line>& lines) {
        const QStringList& columns = data_.fpmain.columns;
        const LegacyValue& kpdate = row.at(columns.indexOf(QStringLiteral("kpdate")));
        noteValues(columns, row, name, summary_.notes);
        static const QRegularExpression eightDigits(QStringLiteral("^\\d{8}$"));
        const QDate date = kpdate && eightDigits.match(*kpdate).hasMatch()
                               ? QDate::fromString(*kpdate, QStringLiteral("yyyyMMdd"))
                               : QDate();
        if (date.isValid()) {
            if (!summary_.firstDate.isValid() || date < summary_.firstDate)
                summary_.firstDate = date;
            if (!summary_.lastDate.isValid() || date > summary_.lastDate)
                summary_.lastDate = date;
        } else {
            summary_.unreadableDates = true;
        }
        if (kpdate && !date.isValid())
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral(
                     "开票日期「%1」不是有效的日期（应为 8 位数字，如 20130109），已按原样"
                     "导入；选中该收据后开票日期显示为“未知”，可在表单中改正")
                     .arg(*kpdate)});
        noteTotals(row, name, lines);
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
        // Amounts compare as decimals: "1200" and "1200.00" agree.
        if (asDecimal(jexx) != sum)
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("合计金额「%1」与各行金额之和「%2」不一致，已按原样导入；在本程序"
                                "中选中并保存时按各行金额重新计算")
                     .arg(jexx, sum)});
        else if (jedx.trimmed() != capitals)
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("合计金额（大写）「%1」与各行金额之和的大写「%2」不一致，已按原样"
                                "导入")
                     .arg(jedx, capitals)});
        if (lines.size() > 5)
            summary_.notes.append(
                {ImportNote::Kind::Kept, name,
                 QStringLiteral("有 %1 行明细，全部导入；表单中显示前五行，其余各行保存时原样保留；"
                                "预览和打印时印不下的行接着印在下一页")
                     .arg(lines.size())});
    }

    void writeSettings(store::FileImport& import, bool importSettings) {
        bool any = false;
        QList<QPair<int, QString>> values;
        for (const QList<LegacyValue>& row : data_.sysSet.rows) {
            const auto id = wholeNumber(row.at(0));
            const QString name = settingCaption(id.value_or(0));
            if (!id || *id < store::schema::payeeSetting || *id > store::schema::noticeSetting) {
                summary_.notes.append({ImportNote::Kind::Skipped,
                                       name + QStringLiteral("「%1」").arg(valueText(row.at(1))),
                                       QStringLiteral("本程序不使用这项设置")});
                continue;
            }
            if (!importSettings) {
                any = true;
                continue;
            }
            values.append({int(*id), valueText(row.at(1))});
            ++summary_.settings;
            noteValues(data_.sysSet.columns, row, name, summary_.notes);
        }
        import.setSettings(values);
        if (any)
            summary_.notes.append({ImportNote::Kind::Skipped, QStringLiteral("基础信息"),
                                   QStringLiteral("未选择导入基础信息，保留本程序中的设置")});
    }

    store::FileStore& store_;
    const LegacyData& data_;
    const Progress& progress_;
    qint64 done_;
    qint64 total_;
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
    Writer writer(store_, data, progress, rows, 2 * rows);
    return writer.write(importSettings_, again_, QDir::toNativeSeparators(path));
}

ImportSummary LegacyImporter::write(const LegacyData& data, const Progress& progress,
                                    const QString& source) {
    Writer writer(store_, data, progress, 0, rowCount(data));
    return writer.write(importSettings_, again_, source);
}

} // namespace zelk::legacy
