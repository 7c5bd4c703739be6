#include "store/filestore.h"

#include "data/connection.h"
#include "data/filelocations.h"
#include "data/query.h"
#include "data/tdmtd.h"
#include "data/transaction.h"
#include "store/fileschema.h"
#include "store/historyreader.h"
#include "store/receipthistory.h"
#include "store/schemaversion.h"

#include <QDir>

namespace zelk::store {

namespace {

// The file's history statements: through its search index where that helps.
class FileHistorySource : public HistorySource {
public:
    FileHistorySource(data::Connection& connection, const HistoryCriteria& criteria)
        : query_(connection), criteria_(criteria) {
        indexMatch_ = historyIndexMatch(criteria_);
        if (!indexMatch_.isEmpty() && !store::searchindex::isReady(connection))
            indexMatch_.clear();
    }

    bool indexable() const override { return !indexMatch_.isEmpty(); }

    qint64 lowestReceiptId() override {
        data::Query q(query_.connection());
        q.add(QStringLiteral("select coalesce(min(kpid),0) as lowest from fpmain"));
        q.open();
        return q.fieldAsInteger(QStringLiteral("lowest"));
    }

    int read(const HistoryBatch& batch, const HistoryReader::RowSink& row,
             HistoryPosition& last) override {
        // One row more than asked for tells whether more follow.
        prepareHistorySearch(query_, criteria_, batch.after, batch.limit + 1,
                             batch.indexed ? indexMatch_ : QByteArray(), batch.upto);
        query_.open();
        int shown[historyColumnCount];
        for (int c = 0; c < historyColumnCount; ++c)
            shown[c] = query_.fieldIndex(QString::fromLatin1(historyFields[c]));
        const int kpidField = query_.fieldIndex(QStringLiteral("kpid"));
        const int dateField = query_.fieldIndex(QStringLiteral("kpdatetext"));
        const int typeField = query_.fieldIndex(QStringLiteral("kptype"));
        int count = 0;
        QByteArrayView texts[historyColumnCount];
        for (; count < batch.limit && !query_.eof(); ++count) {
            for (int c = 0; c < historyColumnCount; ++c)
                texts[c] = query_.fieldUtf8(shown[c]);
            const qint64 kpid = query_.fieldAsInteger(kpidField);
            row(kpid, texts);
            // Only a full batch is followed by another, which continues after its last row.
            if (count + 1 == batch.limit) {
                last.kpid = kpid;
                last.kpdate = QString::fromUtf8(query_.fieldUtf8(dateField));
                last.kpdateType = QString::fromUtf8(query_.fieldUtf8(typeField));
            }
            query_.next();
        }
        if (!query_.eof())
            ++count;
        query_.close();
        return count;
    }

private:
    data::Query query_;
    HistoryCriteria criteria_;
    // The search index's MATCH expression; empty when the index cannot narrow the search.
    QByteArray indexMatch_;
};

QString columnList(const QStringList& columns, const QString& prefix = {}) {
    QStringList out;
    for (const QString& column : columns)
        out << prefix + column;
    return out.join(QLatin1Char(','));
}

} // namespace

FileStore::FileStore(data::Connection& connection) : connection_(connection) {
    if (connection_.isOpen())
        migrate();
}

FileStore::FileStore(const QString& path)
    : dataModule_(std::make_unique<data::Tdmtd>()), connection_(dataModule_->Database3_ado) {
    connection_.setConnectionString(QStringLiteral("Data Source=%1;Password=%2")
                                        .arg(path, QString::fromLatin1(data::databaseKey)));
    connection_.open();
    migrate();
}

void FileStore::create(const QString& path) {
    createFile(path);
}

void FileStore::migrate() {
    // A file that is not a receipt database is refused before anything is written into it,
    // and its connection closed as if it had never opened. An engine failure (a damaged or
    // locked file) leaves the caller's connection as it is. The check reads three table
    // layouts, so every store made on a connection does it.
    try {
        schema::requireReceiptTables(connection_.handle(), connection_.path());
    } catch (const data::DatabaseError& error) {
        if (error.code() == 0)
            connection_.close();
        throw;
    }
    migrateFile(connection_);
}

searchindex::State FileStore::searchIndexState() {
    return searchindex::state(connection_);
}

bool FileStore::updateSearchIndex(const std::function<bool(qint64, qint64)>& progress) {
    return searchindex::update(connection_, progress);
}

void prepareUserFolder(const data::FileLocations& files) {
    data::prepareUserFolder(files, &FileStore::create);
}

FileStore::~FileStore() = default;

QString FileStore::description() const {
    return QStringLiteral("本机文件 %1").arg(QDir::toNativeSeparators(connection_.path()));
}

bool FileStore::hasChangeCounter() {
    return fileHasColumn(connection_, QStringLiteral("fpmain"), QStringLiteral("changecount"));
}

void FileStore::insertLines(const StoredReceipt& receipt, qint64 kpid) {
    for (const QStringList& line : receipt.lines) {
        data::Query q(connection_);
        q.add(QStringLiteral("insert into fpdetail (kpid,%1) values(:kpid,:%2)")
                  .arg(columnList(lineColumns()), lineColumns().join(QStringLiteral(",:"))));
        q.bind(QStringLiteral("kpid"), kpid);
        for (qsizetype i = 0; i < lineColumns().size(); ++i)
            q.bind(lineColumns().at(i), line.value(i));
        q.execute();
    }
}

qint64 FileStore::insertReceipt(const StoredReceipt& receipt) {
    // Header and lines land together or not at all; inside the write lock the largest kpid is
    // the receipt just inserted, whoever else writes to the file.
    data::Transaction transaction(connection_);
    {
        data::Query q(connection_);
        q.add(QStringLiteral("insert into fpmain (%1) values(:%2)")
                  .arg(columnList(headerColumns()), headerColumns().join(QStringLiteral(",:"))));
        // Every value goes as text; kpdate's INTEGER column turns the eight digits into a number.
        for (qsizetype i = 0; i < headerColumns().size(); ++i)
            q.bind(headerColumns().at(i), receipt.header.value(i));
        q.execute();
    }
    const qint64 kpid = largestReceiptId();
    insertLines(receipt, kpid);
    // The search index takes the receipt (queued by fpmain's triggers) in the same transaction.
    store::searchindex::applyQueued(connection_);
    transaction.commit();
    return kpid;
}

qint64 FileStore::rewriteReceipt(const StoredReceipt& receipt) {
    data::Transaction transaction(connection_);
    std::optional<qint64> found;
    {
        data::Query q(connection_);
        q.add(QStringLiteral("select coalesce(changecount,0) as n from fpmain where kpid=:kpid"));
        q.bind(QStringLiteral("kpid"), receipt.kpid);
        q.open();
        if (!q.eof())
            found = q.fieldAsInteger(QStringLiteral("n"));
    }
    checkRewrite(receipt, found, true);
    const qint64 stored = *found;
    keepEarlierVersion(receipt.kpid);
    {
        data::Query q(connection_);
        QStringList sets;
        for (const QString& column : headerColumns())
            if (column != QLatin1String("fphm")) // the invoice number keeps its first value
                sets << column + QStringLiteral("=:") + column;
        q.add(QStringLiteral("update fpmain set %1,changecount=:changes where kpid=:kpid")
                  .arg(sets.join(QLatin1Char(','))));
        for (qsizetype i = 0; i < headerColumns().size(); ++i)
            if (headerColumns().at(i) != QLatin1String("fphm"))
                q.bind(headerColumns().at(i), receipt.header.value(i));
        q.bind(QStringLiteral("changes"), stored + 1);
        q.bind(QStringLiteral("kpid"), receipt.kpid);
        q.execute();
    }
    {
        data::Query q(connection_);
        q.add(QStringLiteral("delete from fpdetail where kpid=:kpid"));
        q.bind(QStringLiteral("kpid"), receipt.kpid);
        q.execute();
    }
    insertLines(receipt, receipt.kpid);
    store::searchindex::applyQueued(connection_);
    transaction.commit();
    return stored + 1;
}

void FileStore::keepEarlierVersion(qint64 kpid) {
    const QString columns = headerColumns().join(QLatin1Char(','));
    {
        data::Query q(connection_);
        q.add(QStringLiteral("insert into fpmain_history (kpid,replacedat,desk,changecount,%1) "
                             "select kpid,:at,:desk,coalesce(changecount,0),%1 from fpmain "
                             "where kpid=:kpid")
                  .arg(columns));
        q.bind(QStringLiteral("at"), historyTimestamp());
        q.bind(QStringLiteral("desk"), historyDesk());
        q.bind(QStringLiteral("kpid"), kpid);
        q.execute();
    }
    const QString lines = lineColumns().join(QLatin1Char(','));
    data::Query q(connection_);
    q.add(QStringLiteral("insert into fpdetail_history (histid,fpmxid,%1) "
                         "select (select max(histid) from fpmain_history where kpid=:kpid),"
                         "fpmxid,%1 from fpdetail where kpid=:kpid order by fpmxid")
              .arg(lines));
    q.bind(QStringLiteral("kpid"), kpid);
    q.execute();
}

QList<ReceiptVersion> FileStore::earlierVersions(qint64 kpid) {
    QList<ReceiptVersion> versions;
    // Asked of the file each time: the connection may have been opened, or opened again on
    // another file, after this store was made.
    if (fileVersion(connection_) < 2) // a read-only file of an earlier version
        return versions;
    QList<qint64> ids;
    {
        data::Query q(connection_);
        q.add(QStringLiteral("select * from fpmain_history where kpid=:kpid order by histid"));
        q.bind(QStringLiteral("kpid"), kpid);
        for (q.open(); !q.eof(); q.next()) {
            ReceiptVersion version;
            version.replacedAt = q.fieldAsText(QStringLiteral("replacedat"));
            version.desk = q.fieldAsText(QStringLiteral("desk"));
            version.receipt.kpid = kpid;
            version.receipt.changes = q.fieldAsInteger(QStringLiteral("changecount"));
            for (const QString& column : headerColumns())
                version.receipt.header << q.fieldAsText(column);
            versions << version;
            ids << q.fieldAsInteger(QStringLiteral("histid"));
        }
    }
    for (qsizetype i = 0; i < versions.size(); ++i) {
        data::Query q(connection_);
        q.add(QStringLiteral("select %1 from fpdetail_history where histid=:histid order by fpmxid")
                  .arg(lineColumns().join(QLatin1Char(','))));
        q.bind(QStringLiteral("histid"), ids[i]);
        for (q.open(); !q.eof(); q.next()) {
            QStringList line;
            for (const QString& column : lineColumns())
                line << q.fieldAsText(column);
            versions[i].receipt.lines << line;
        }
    }
    return versions;
}

std::optional<StoredReceipt> FileStore::loadReceipt(qint64 kpid) {
    StoredReceipt receipt;
    receipt.kpid = kpid;
    {
        data::Query q(connection_);
        q.add(QStringLiteral("select * from fpmain where kpid=:kpid"));
        q.bind(QStringLiteral("kpid"), kpid);
        q.open();
        if (q.eof())
            return std::nullopt;
        for (const QString& column : headerColumns())
            receipt.header << q.fieldAsText(column);
        receipt.changes = q.fieldNames().contains(QStringLiteral("changecount"))
                              ? q.fieldAsInteger(QStringLiteral("changecount"))
                              : 0;
    }
    data::Query lines(connection_);
    lines.add(QStringLiteral("select %1 from fpdetail where kpid=:kpid order by fpmxid")
                  .arg(columnList(lineColumns())));
    lines.bind(QStringLiteral("kpid"), kpid);
    for (lines.open(); !lines.eof(); lines.next()) {
        QStringList line;
        for (const QString& column : lineColumns())
            line << lines.fieldAsText(column);
        receipt.lines << line;
    }
    return receipt;
}

Table FileStore::receiptRows(qint64 kpid) {
    data::Query query(connection_);
    query.add(QStringLiteral("select a.kpid,%1,b.fpmxid,%2 from fpmain a,fpdetail b")
                  .arg(columnList(headerColumns(), QStringLiteral("a.")),
                       columnList(lineColumns(), QStringLiteral("b."))));
    // Lines print in the order they were entered on the form.
    query.add(QStringLiteral(" where a.kpid=b.kpid and a.kpid=:kpid order by b.fpmxid"));
    query.bind(QStringLiteral("kpid"), kpid);
    query.open();
    Table table;
    table.columns = query.fieldNames();
    for (; !query.eof(); query.next()) {
        QStringList row;
        row.reserve(table.columns.size());
        for (const QString& column : std::as_const(table.columns))
            row.append(query.fieldAsText(column));
        table.rows.append(row);
    }
    return table;
}

qint64 FileStore::largestReceiptId() {
    data::Query q(connection_);
    q.add(QStringLiteral("select max(kpid) as maxid from fpmain"));
    q.open();
    return q.eof() ? 0 : q.fieldAsInteger(QStringLiteral("maxid"));
}

qint64 FileStore::latestReceiptNumbered(const QString& fphm) {
    data::Query q(connection_);
    q.add(QStringLiteral("select max(kpid) as maxid from fpmain where fphm=:fphm"));
    q.bind(QStringLiteral("fphm"), fphm);
    q.open();
    return q.eof() ? 0 : q.fieldAsInteger(QStringLiteral("maxid"));
}

std::unique_ptr<HistoryReader> FileStore::searchHistory(const HistoryCriteria& criteria) {
    return readHistory(std::make_unique<FileHistorySource>(connection_, criteria));
}

QList<SummaryRow> FileStore::summarize(SummaryKey by, const QDate& from, const QDate& to) {
    // SQLite has no exact decimals: the rows' keys and totals are read and added up here. By
    // day and month SQLite reads the summary index (fpmain_summary) instead of the table, in
    // date order; a NULL reads as an empty text.
    const QString column = summaryColumn(by);
    data::Query q(connection_);
    q.add(QStringLiteral("select %1 as k, jexx as total from fpmain where 1=1")
              .arg(column.isEmpty() ? QStringLiteral("kpdate") : column));
    if (from.isValid()) {
        q.add(QStringLiteral("and kpdate >= :from"));
        q.bind(QStringLiteral("from"), searchableDate(from).toLongLong());
    }
    if (to.isValid()) {
        q.add(QStringLiteral("and kpdate <= :to"));
        q.bind(QStringLiteral("to"), searchableDate(to).toLongLong());
    }
    q.open();
    const int key = q.fieldIndex(QStringLiteral("k"));
    const int total = q.fieldIndex(QStringLiteral("total"));
    SummaryTotals totals(by);
    for (; !q.eof(); q.next())
        totals.addReceipt(q.fieldUtf8(key), q.fieldUtf8(total));
    return totals.rows();
}

QString FileStore::setting(int setId) {
    data::Query q(connection_);
    q.add(QStringLiteral("select SetValue from SysSet where SetId=:SetId"));
    q.bind(QStringLiteral("SetId"), qint64(setId));
    q.open();
    return q.eof() ? QString() : q.fieldAsText(QStringLiteral("SetValue"));
}

void FileStore::setSettings(const QList<QPair<int, QString>>& values) {
    // All or none: the transaction rolls back when a statement throws.
    data::Transaction transaction(connection_);
    for (const auto& [setId, value] : values) {
        data::Query update(connection_);
        update.add(QStringLiteral("update SysSet set SetValue=:SetValue where SetId=:SetId"));
        update.bind(QStringLiteral("SetValue"), value);
        update.bind(QStringLiteral("SetId"), qint64(setId));
        update.execute();
        data::Query insert(connection_);
        insert.add(QStringLiteral("insert into SysSet (SetId,SetValue) select :SetId,:SetValue"
                                  " where not exists (select 1 from SysSet where SetId=:SetId)"));
        insert.bind(QStringLiteral("SetValue"), value);
        insert.bind(QStringLiteral("SetId"), qint64(setId));
        insert.execute();
    }
    transaction.commit();
}

} // namespace zelk::store
