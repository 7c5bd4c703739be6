#include "legacy/legacyimporter.h"

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "data/connection.h"
#include "data/query.h"
#include "data/transaction.h"
#include "legacy/legacyerror.h"
#include "store/fileschema.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
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

class Writer {
public:
    Writer(data::Connection& connection, const LegacyData& data, const Progress& progress,
           qint64 done, qint64 total)
        : connection_(connection), data_(data), progress_(progress), done_(done), total_(total),
          query_(connection) {}

    ImportSummary write(bool importSettings, bool again, const QString& source) {
        data::Transaction transaction(connection_);
        const QString hash = sourceHash();
        const bool recorded = !data_.fpmain.rows.isEmpty();
        if (recorded) {
            exec(QStringLiteral("CREATE TABLE IF NOT EXISTS LegacyImport (SourceHash TEXT, "
                                "ImportedAt TEXT, SourceFile TEXT, Receipts INTEGER)"));
            if (!again)
                refuseRepeat(hash);
        }
        groupLines();
        summary_.renumbered = !isEmpty();
        qint64 nextId = summary_.renumbered ? largestReceiptId() + 1 : 0;
        for (auto it = receipts_.cbegin(); it != receipts_.cend(); ++it) {
            const qint64 oldId = it.key();
            const QList<LegacyValue>* row = it.value();
            const qint64 newId = summary_.renumbered ? nextId++ : oldId;
            summary_.receiptIds.insert(oldId, newId);
            writeReceipt(*row, oldId, newId);
            int position = 0;
            for (const Line& line : lines_.value(oldId))
                writeLine(
                    *line.row, line.id, newId,
                    QStringLiteral("%1的第 %2 行明细").arg(names_.value(oldId)).arg(++position));
            step(1 + lines_.value(oldId).size());
        }
        writeSettings(importSettings);
        if (recorded) {
            query_.close();
            query_.clear();
            query_.add(QStringLiteral("INSERT INTO LegacyImport (SourceHash, ImportedAt, "
                                      "SourceFile, Receipts) VALUES (:hash, :at, :file, :n)"));
            query_.bind(QStringLiteral("hash"), hash);
            query_.bind(QStringLiteral("at"), QDateTime::currentDateTime().toString(
                                                  QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            query_.bind(QStringLiteral("file"), source);
            query_.bind(QStringLiteral("n"), summary_.receipts);
            query_.execute();
            query_.close();
        }
        transaction.commit();
        return summary_;
    }

private:
    void step(qint64 rows) {
        done_ += rows;
        if (progress_ && !progress_(done_, total_))
            throw ImportCancelled();
    }

    void exec(const QString& sql) {
        query_.close();
        query_.clear();
        query_.add(sql);
        query_.execute();
        query_.close();
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

    void refuseRepeat(const QString& hash) {
        query_.close();
        query_.clear();
        query_.add(QStringLiteral("SELECT ImportedAt, SourceFile, Receipts FROM LegacyImport"));
        query_.add(QStringLiteral("WHERE SourceHash = :hash ORDER BY ImportedAt DESC"));
        query_.bind(QStringLiteral("hash"), hash);
        query_.open();
        if (query_.eof()) {
            query_.close();
            return;
        }
        const QString at = query_.fieldAsText(QStringLiteral("ImportedAt"));
        const QString file = query_.fieldAsText(QStringLiteral("SourceFile"));
        const qint64 receipts = query_.fieldAsInteger(QStringLiteral("Receipts"));
        query_.close();
        throw AlreadyImported(
            QStringLiteral("这些收据已在 %1 从“%2”导入过（%3 张收据）。再次导入会把每张收据再"
                           "添加一遍。")
                .arg(at, file)
                .arg(receipts));
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

    void writeReceipt(const QList<LegacyValue>& row, qint64 oldId, qint64 newId) {
        const QStringList& columns = data_.fpmain.columns;
        const QString name = receiptName(row, newId);
        names_.insert(oldId, name);
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

    void writeLine(const QList<LegacyValue>& row, qint64 oldId, qint64 receiptId,
                   const QString& name) {
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
        noteValues(columns, row, name, summary_.notes);
    }

    void writeSettings(bool importSettings) {
        bool any = false;
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
            summary_.notes.append({ImportNote::Kind::Skipped, QStringLiteral("基础信息"),
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
    QHash<qint64, QString> names_; // old receipt id to the receipt's name in the summary
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
    return writer.write(importSettings_, again_, QDir::toNativeSeparators(path));
}

ImportSummary LegacyImporter::write(const LegacyData& data, const Progress& progress,
                                    const QString& source) {
    Writer writer(connection_, data, progress, 0, rowCount(data));
    return writer.write(importSettings_, again_, source);
}

} // namespace zelk::legacy
