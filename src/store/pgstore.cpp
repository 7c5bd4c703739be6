#include "store/pgstore.h"

#include "data/databaseerror.h"
#include "store/fileschema.h"
#include "store/historyreader.h"
#include "store/receipthistory.h"
#include "store/schemaversion.h"

#include <algorithm>

namespace zelk::store {

namespace {

QString placeholders(int first, qsizetype count) {
    QStringList out;
    for (qsizetype i = 0; i < count; ++i)
        out << QStringLiteral("$%1").arg(first + i);
    return out.join(QLatin1Char(','));
}

QList<QVariant> texts(const QStringList& values, qsizetype count) {
    QList<QVariant> out;
    for (qsizetype i = 0; i < count; ++i)
        out << QVariant(values.value(i, QStringLiteral("")));
    return out;
}

// The server's history statements. A text of three characters or more can be looked up in the
// trigram index, which finds a rare text at once; but each batch through the index collects
// every receipt holding the text before it sorts them, so a common text reads faster in kpid
// order (the shared reader decides which, batch by batch).
class PgHistorySource : public HistorySource {
public:
    PgHistorySource(PgConnection& connection, const HistoryCriteria& criteria)
        : connection_(connection), criteria_(criteria), dateOrder_(historyUsesDateOrder(criteria)),
          needle_(historyNeedle(criteria.text)) {}

    bool indexable() const override {
        return !needle_.isEmpty() && !dateOrder_ && needle_.toUcs4().size() >= 3;
    }

    qint64 lowestReceiptId() override {
        return connection_.exec(QStringLiteral("select coalesce(min(kpid),0) from fpmain"))
            .integer(0, 0);
    }

    int read(const HistoryBatch& batch, const HistoryReader::RowSink& row,
             HistoryPosition& last) override {
        QString sql = QStringLiteral(
                          "select kpid,coalesce(kpdate,0),coalesce(fphm,''),coalesce(kpdate2,''),"
                          "coalesce(jdhm,''),coalesce(jym,''),coalesce(fkfmc,''),coalesce(jexx,''),"
                          "coalesce(kpr,''),substr(coalesce(bz2,''),1,%1) from fpmain where true")
                          .arg(historyRemarksPreview);
        QList<QVariant> params;
        auto param = [&](const QVariant& value) {
            params << value;
            return QStringLiteral("$%1").arg(params.size());
        };
        // LIKE can use the trigram index; strpos, the same test, cannot, so the table is read
        // in kpid order.
        if (!needle_.isEmpty())
            sql += batch.indexed
                       ? QStringLiteral(" and search like ") + param(historyLikePattern(needle_))
                       : QStringLiteral(" and strpos(search,%1)>0").arg(param(needle_));
        if (criteria_.from.isValid())
            sql += QStringLiteral(" and kpdate>=") + param(searchableDate(criteria_.from));
        if (criteria_.to.isValid())
            sql += QStringLiteral(" and kpdate<=") + param(searchableDate(criteria_.to));
        if (batch.after) {
            if (dateOrder_) {
                const QString date = param(batch.after->kpdate);
                const QString id = param(QString::number(batch.after->kpid));
                sql += QStringLiteral(" and (kpdate,kpid)>(%1::bigint,%2::bigint)").arg(date, id);
            } else
                sql += QStringLiteral(" and kpid>") + param(QString::number(batch.after->kpid));
        }
        if (batch.upto > 0)
            sql += QStringLiteral(" and kpid<=") + param(QString::number(batch.upto));
        sql +=
            dateOrder_ ? QStringLiteral(" order by kpdate,kpid") : QStringLiteral(" order by kpid");
        sql += QStringLiteral(" limit ") + param(QString::number(batch.limit + 1));
        const PgResult result = connection_.exec(sql, params);
        const int count = std::min(result.rows(), batch.limit);
        QByteArrayView shown[historyColumnCount];
        for (int r = 0; r < count; ++r) {
            for (int c = 0; c < historyColumnCount; ++c)
                shown[c] = result.utf8(r, c + 2);
            row(result.integer(r, 0), shown);
        }
        if (count == batch.limit && count > 0) {
            last.kpid = result.integer(count - 1, 0);
            last.kpdate = QString::number(result.integer(count - 1, 1));
            last.kpdateType = QStringLiteral("integer");
        }
        return result.rows();
    }

private:
    PgConnection& connection_;
    HistoryCriteria criteria_;
    bool dateOrder_;
    QString needle_;
};

// The header columns as the queries read them: kpdate as the text it was given.
QString headerSelect(const QString& prefix = {}) {
    QStringList out;
    for (const QString& column : headerColumns())
        out << (column == QLatin1String("kpdate")
                    ? QStringLiteral("coalesce(%1kpdatetext,%1kpdate::text) as kpdate").arg(prefix)
                    : QString(prefix + column));
    return out.join(QLatin1Char(','));
}

const QString integerPattern = QStringLiteral("'^-?[1-9][0-9]{0,17}$|^0$'");

QString unknownSave(qint64 kpid) {
    return QStringLiteral(
               "无法确定这张收据是否已保存（编号 %1）：与数据存储服务器的连接在提交时断开。"
               "请在服务器恢复后再点一次“保存”：如果它已经保存，再次保存只会更正它，"
               "不会多出一张收据。")
        .arg(kpid);
}

} // namespace

QString PgStore::kpdateNumber(const QString& param) {
    return QStringLiteral("case when %1::text ~ %2 then %1::text::bigint end")
        .arg(param, integerPattern);
}

QString PgStore::kpdateText(const QString& param) {
    return QStringLiteral("case when %1::text ~ %2 then null else %1::text end")
        .arg(param, integerPattern);
}

PgStore::PgStore(const QString& conninfo) : connection_(conninfo) {
    connection_.setOnConnect([this](PgConnection& c) { prepareDatabase(c); });
}

void PgStore::check() {
    connection_.connect();
}

QString PgStore::description() const {
    return where_.isEmpty() ? QStringLiteral("数据存储服务器") : where_;
}

void PgStore::prepareDatabase(PgConnection& c) {
    where_ = c.where();
    if (onConnected_)
        onConnected_(where_);
    const PgResult db = c.exec(
        QStringLiteral("select pg_encoding_to_char(encoding),datctype from pg_database where "
                       "datname=current_database()"));
    const QString encoding = db.text(0, 0);
    const QString ctype = db.text(0, 1);
    if (encoding != QLatin1String("UTF8") || ctype == QLatin1String("C") ||
        ctype == QLatin1String("POSIX"))
        throw data::DatabaseError(
            QStringLiteral("%1 的数据库编码为 %2、字符分类（ctype）为 %3：在这种设置下，"
                           "PostgreSQL 的三字索引（pg_trgm）从中文里取不出字，查询票据只能逐行"
                           "查找整个表，票据越多越慢，所以本程序不使用这个数据库。请让管理员用 "
                           "UTF8 编码和 UTF-8 的字符分类（如 C.UTF-8）新建数据库，例如：createdb "
                           "-E UTF8 --locale=C.UTF-8 -T template0 zelk")
                .arg(where_, encoding, ctype));
    migrateServer(c);
    // A token only matters until its form is saved again, within the day as a rule.
    c.exec(QStringLiteral("delete from zelk_savetoken where saved < now() - interval '30 days'"));
}

void PgStore::insertLines(const StoredReceipt& receipt, qint64 kpid) {
    const QString sql =
        QStringLiteral("insert into fpdetail (kpid,%1) values ($1,%2)")
            .arg(lineColumns().join(QLatin1Char(',')), placeholders(2, lineColumns().size()));
    for (const QStringList& line : receipt.lines)
        connection_.exec(sql, QList<QVariant>{QString::number(kpid)} +
                                  texts(line, lineColumns().size()));
}

void PgStore::updateHeader(const StoredReceipt& receipt, qint64 kpid, bool countChange) {
    QStringList sets;
    QList<QVariant> params;
    for (qsizetype i = 0; i < headerColumns().size(); ++i) {
        const QString& column = headerColumns().at(i);
        if (column == QLatin1String("fphm")) // the invoice number keeps its first value
            continue;
        params << QVariant(receipt.header.value(i, QStringLiteral("")));
        const QString param = QStringLiteral("$%1").arg(params.size());
        sets << (column == QLatin1String("kpdate")
                     ? QStringLiteral("kpdate=%1,kpdatetext=%2")
                           .arg(kpdateNumber(param), kpdateText(param))
                     : QStringLiteral("%1=%2").arg(column, param));
    }
    if (countChange)
        sets << QStringLiteral("changecount=changecount+1");
    params << QString::number(kpid);
    connection_.exec(QStringLiteral("update fpmain set %1 where kpid=$%2")
                         .arg(sets.join(QLatin1Char(',')))
                         .arg(params.size()),
                     params);
    connection_.exec(QStringLiteral("delete from fpdetail where kpid=$1"), {QString::number(kpid)});
    insertLines(receipt, kpid);
}

void PgStore::keepToken(const StoredReceipt& receipt, qint64 kpid, qint64 changes) {
    if (receipt.token.isEmpty())
        return;
    connection_.exec(QStringLiteral("insert into zelk_savetoken (token,kpid,changecount) values "
                                    "($1,$2,$3) on conflict (token) do update set "
                                    "kpid=excluded.kpid,changecount=excluded.changecount"),
                     {receipt.token, QString::number(kpid), QString::number(changes)});
}

qint64 PgStore::insertReceipt(const StoredReceipt& receipt) {
    PgTransaction transaction(connection_);
    connection_.exec(QStringLiteral("select pg_advisory_xact_lock($1)"),
                     {QString::number(saveLockKey)});
    if (!receipt.token.isEmpty()) {
        // A save repeated after an unknown outcome that had in fact stored the receipt: the
        // form, as it is now, corrects that receipt.
        const PgResult earlier = connection_.exec(
            QStringLiteral("select t.kpid from zelk_savetoken t join fpmain f on f.kpid=t.kpid "
                           "where t.token=$1"),
            {receipt.token});
        if (earlier.rows() > 0) {
            const qint64 kpid = earlier.integer(0, 0);
            updateHeader(receipt, kpid, false);
            transaction.commit(unknownSave(kpid));
            return kpid;
        }
    }
    QStringList values;
    for (qsizetype i = 0; i < headerColumns().size(); ++i) {
        const QString param = QStringLiteral("$%1").arg(i + 1);
        values << (headerColumns().at(i) == QLatin1String("kpdate") ? kpdateNumber(param) : param);
    }
    values << kpdateText(QStringLiteral("$%1").arg(headerColumns().indexOf(u"kpdate") + 1));
    // The new id comes back from the insert itself.
    const PgResult inserted = connection_.exec(
        QStringLiteral("insert into fpmain (%1,kpdatetext) values (%2) returning kpid")
            .arg(headerColumns().join(QLatin1Char(',')), values.join(QLatin1Char(','))),
        texts(receipt.header, headerColumns().size()));
    const qint64 kpid = inserted.integer(0, 0);
    insertLines(receipt, kpid);
    keepToken(receipt, kpid, 0);
    transaction.commit(unknownSave(kpid));
    return kpid;
}

qint64 PgStore::rewriteReceipt(const StoredReceipt& receipt) {
    PgTransaction transaction(connection_);
    connection_.exec(QStringLiteral("select pg_advisory_xact_lock($1)"),
                     {QString::number(saveLockKey)});
    const PgResult current =
        connection_.exec(QStringLiteral("select changecount from fpmain where kpid=$1 for update"),
                         {QString::number(receipt.kpid)});
    const bool present = current.rows() > 0;
    const qint64 stored = present ? current.integer(0, 0) : 0;
    // The counter this form's own earlier save (outcome unknown, in fact stored) left.
    bool repeated = false;
    if (present && !receipt.token.isEmpty())
        repeated =
            connection_
                .exec(QStringLiteral("select 1 from zelk_savetoken where token=$1 and "
                                     "kpid=$2 and changecount=$3"),
                      {receipt.token, QString::number(receipt.kpid), QString::number(stored)})
                .rows() > 0;
    checkRewrite(receipt, present ? std::optional<qint64>(stored) : std::nullopt, false, repeated);
    // A repeat of a save whose answer was lost already kept the earlier version.
    if (!repeated)
        keepEarlierVersion(receipt.kpid);
    updateHeader(receipt, receipt.kpid, !repeated);
    const qint64 changes = repeated ? stored : stored + 1;
    keepToken(receipt, receipt.kpid, changes);
    transaction.commit(QStringLiteral("无法确定对编号 %1 的票据的更正是否已保存：与数据存储服务器的"
                                      "连接在提交时断开。请在服务器恢复后再点一次“保存”，"
                                      "再次保存不会造成重复或冲突。")
                           .arg(receipt.kpid));
    return changes;
}

void PgStore::keepEarlierVersion(qint64 kpid) {
    const QString columns = headerColumns().join(QLatin1Char(','));
    const QString id = QString::number(kpid);
    const PgResult kept = connection_.exec(
        QStringLiteral("insert into fpmain_history (kpid,replacedat,desk,changecount,%1) "
                       "select kpid,$1,$2,changecount,%2 from fpmain where kpid=$3 "
                       "returning histid")
            .arg(columns, headerSelect()),
        {historyTimestamp(), historyDesk(), id});
    const QString lines = lineColumns().join(QLatin1Char(','));
    connection_.exec(QStringLiteral("insert into fpdetail_history (histid,fpmxid,%1) "
                                    "select $1,fpmxid,%1 from fpdetail where kpid=$2")
                         .arg(lines),
                     {kept.text(0, 0), id});
}

QList<ReceiptVersion> PgStore::earlierVersions(qint64 kpid) {
    const QString id = QString::number(kpid);
    const PgResult header = connection_.exec(
        QStringLiteral("select histid,replacedat,desk,changecount,%1 from fpmain_history "
                       "where kpid=$1 order by histid")
            .arg(headerColumns().join(QLatin1Char(','))),
        {id});
    QList<ReceiptVersion> versions;
    for (int r = 0; r < header.rows(); ++r) {
        ReceiptVersion version;
        version.replacedAt = header.text(r, 1);
        version.desk = header.text(r, 2);
        version.receipt.kpid = kpid;
        version.receipt.changes = header.integer(r, 3);
        for (int c = 0; c < headerColumns().size(); ++c)
            version.receipt.header << header.text(r, 4 + c);
        const PgResult lines = connection_.exec(
            QStringLiteral("select %1 from fpdetail_history where histid=$1 order by fpmxid")
                .arg(lineColumns().join(QLatin1Char(','))),
            {header.text(r, 0)});
        for (int l = 0; l < lines.rows(); ++l) {
            QStringList line;
            for (int c = 0; c < lines.columns(); ++c)
                line << lines.text(l, c);
            version.receipt.lines << line;
        }
        versions << version;
    }
    return versions;
}

std::optional<StoredReceipt> PgStore::loadReceipt(qint64 kpid) {
    const QString id = QString::number(kpid);
    const PgResult header = connection_.exec(
        QStringLiteral("select %1,changecount from fpmain where kpid=$1").arg(headerSelect()),
        {id});
    if (header.rows() == 0)
        return std::nullopt;
    StoredReceipt receipt;
    receipt.kpid = kpid;
    for (int c = 0; c < headerColumns().size(); ++c)
        receipt.header << header.text(0, c);
    receipt.changes = header.integer(0, int(headerColumns().size()));
    const PgResult lines =
        connection_.exec(QStringLiteral("select %1 from fpdetail where kpid=$1 order by fpmxid")
                             .arg(lineColumns().join(QLatin1Char(','))),
                         {id});
    for (int r = 0; r < lines.rows(); ++r) {
        QStringList line;
        for (int c = 0; c < lines.columns(); ++c)
            line << lines.text(r, c);
        receipt.lines << line;
    }
    return receipt;
}

Table PgStore::receiptRows(qint64 kpid) {
    QStringList lineSelect;
    for (const QString& column : lineColumns())
        lineSelect << QStringLiteral("b.") + column;
    const PgResult result = connection_.exec(
        QStringLiteral("select a.kpid,%1,b.fpmxid,%2 from fpmain a join fpdetail b on "
                       "a.kpid=b.kpid where a.kpid=$1 order by b.fpmxid")
            .arg(headerSelect(QStringLiteral("a.")), lineSelect.join(QLatin1Char(','))),
        {QString::number(kpid)});
    Table table;
    for (int c = 0; c < result.columns(); ++c)
        table.columns << result.columnName(c);
    for (int r = 0; r < result.rows(); ++r) {
        QStringList row;
        for (int c = 0; c < result.columns(); ++c)
            row << result.text(r, c);
        table.rows << row;
    }
    return table;
}

qint64 PgStore::largestReceiptId() {
    return connection_.exec(QStringLiteral("select coalesce(max(kpid),0) from fpmain"))
        .integer(0, 0);
}

qint64 PgStore::latestReceiptNumbered(const QString& fphm) {
    return connection_
        .exec(QStringLiteral("select coalesce(max(kpid),0) from fpmain where fphm=$1"), {fphm})
        .integer(0, 0);
}

std::unique_ptr<HistoryReader> PgStore::searchHistory(const HistoryCriteria& criteria) {
    return readHistory(std::make_unique<PgHistorySource>(connection_, criteria));
}

QList<SummaryRow> PgStore::summarize(SummaryKey by, const QDate& from, const QDate& to) {
    // The server groups and adds up in exact numerics; only the groups travel.
    const QString column = summaryColumn(by);
    const QString key = by == SummaryKey::Day ? QStringLiteral("coalesce(kpdate::text,'')")
                        : by == SummaryKey::Month
                            ? QStringLiteral("coalesce((kpdate/100)::text,'')")
                            : QStringLiteral("coalesce(%1,'')").arg(column);
    // summaryamount is the total as the summaries count it, worked out when a row is written.
    QString sql = QStringLiteral("select %1 as k, count(*), coalesce(sum(summaryamount),0)::text "
                                 "from fpmain where true")
                      .arg(key);
    QList<QVariant> params;
    if (from.isValid()) {
        params << searchableDate(from);
        sql += QStringLiteral(" and kpdate >= $%1::bigint").arg(params.size());
    }
    if (to.isValid()) {
        params << searchableDate(to);
        sql += QStringLiteral(" and kpdate <= $%1::bigint").arg(params.size());
    }
    sql += QStringLiteral(" group by 1");
    const PgResult result = connection_.exec(sql, params);
    SummaryTotals totals(by);
    for (int row = 0; row < result.rows(); ++row)
        totals.addGroup(result.text(row, 0), result.integer(row, 1), result.text(row, 2));
    return totals.rows();
}

QString PgStore::setting(int setId) {
    const PgResult result = connection_.exec(
        QStringLiteral("select SetValue from SysSet where SetId=$1"), {QString::number(setId)});
    return result.rows() ? result.text(0, 0) : QString();
}

void PgStore::setSettings(const QList<QPair<int, QString>>& values) {
    PgTransaction transaction(connection_);
    for (const auto& [setId, value] : values)
        connection_.exec(
            QStringLiteral("insert into SysSet (SetId,SetValue) values ($1,$2) on "
                           "conflict (SetId) do update set SetValue=excluded.SetValue"),
            {QString::number(setId), value});
    transaction.commit();
}

} // namespace zelk::store
