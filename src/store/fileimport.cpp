#include "store/fileimport.h"

#include "data/connection.h"
#include "data/query.h"
#include "data/transaction.h"
#include "store/filestore.h"
#include "store/receiptcolumns.h"
#include "store/schemaversion.h"

#include <QDateTime>

namespace zelk::store {

namespace {

// The first file version that keeps earlier versions of receipts (fpmain_history).
constexpr int historyVersion = 2;

void execute(data::Connection& connection, const QString& sql) {
    data::Query q(connection);
    q.add(sql);
    q.execute();
}

void createRecordTable(data::Connection& connection) {
    execute(connection, QStringLiteral("CREATE TABLE IF NOT EXISTS LegacyImport (SourceHash TEXT, "
                                       "ImportedAt TEXT, SourceFile TEXT, Receipts INTEGER)"));
}

} // namespace

FileImport::FileImport(FileStore& store)
    : store_(store), transaction_(std::make_unique<data::Transaction>(store.connection())) {
    // A file that kept earlier versions of receipts no longer stored is not empty either: a
    // kept id could otherwise take over another receipt's history.
    const bool history = fileVersion(store_.connection()) >= historyVersion;
    renumbers_ =
        count(QStringLiteral("SELECT (SELECT count(*) FROM fpmain) + (SELECT count(*) FROM "
                             "fpdetail) AS n")) > 0 ||
        (history && count(QStringLiteral("SELECT count(*) AS n FROM fpmain_history")) > 0);
    if (renumbers_)
        // Above every id ever used, as an AUTOINCREMENT insert would go on.
        nextId_ =
            1 + count(QStringLiteral(
                          "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = "
                          "'fpmain'), 0), coalesce((SELECT max(kpid) FROM fpmain), 0)%1) AS n")
                          .arg(history ? QStringLiteral(", coalesce((SELECT max(kpid) FROM "
                                                        "fpmain_history), 0)")
                                       : QString()));
}

FileImport::~FileImport() = default;

qint64 FileImport::count(const QString& sql) {
    data::Query q(store_.connection());
    q.add(sql);
    q.open();
    return q.fieldAsInteger(QStringLiteral("n"));
}

std::optional<ImportRecord> FileImport::earlierImport(const QString& hash) {
    createRecordTable(store_.connection());
    data::Query q(store_.connection());
    q.add(QStringLiteral("SELECT ImportedAt, SourceFile, Receipts FROM LegacyImport"));
    q.add(QStringLiteral("WHERE SourceHash = :hash ORDER BY ImportedAt DESC"));
    q.bind(QStringLiteral("hash"), hash);
    q.open();
    if (q.eof())
        return std::nullopt;
    return ImportRecord{q.fieldAsText(QStringLiteral("ImportedAt")),
                        q.fieldAsText(QStringLiteral("SourceFile")),
                        q.fieldAsInteger(QStringLiteral("Receipts"))};
}

QList<qint64> FileImport::addReceipts(const QList<ImportedReceipt>& receipts) {
    data::Connection& connection = store_.connection();
    const QStringList& header = headerColumns();
    const QStringList& line = lineColumns();
    const QString receiptSql =
        QStringLiteral("INSERT INTO fpmain (kpid, %1) VALUES (:kpid, :%2)")
            .arg(header.join(QStringLiteral(", ")), header.join(QStringLiteral(", :")));
    // Kept ids write fpmxid; new ids leave it to the counter, in the order given.
    const QString lineSql =
        QStringLiteral("INSERT INTO fpdetail (%1kpid, %2) VALUES (%3:kpid, :%4)")
            .arg(renumbers_ ? QString() : QStringLiteral("fpmxid, "),
                 line.join(QStringLiteral(", ")),
                 renumbers_ ? QString() : QStringLiteral(":fpmxid, "),
                 line.join(QStringLiteral(", :")));
    QList<qint64> ids;
    ids.reserve(receipts.size());
    for (const ImportedReceipt& receipt : receipts) {
        const qint64 kpid = renumbers_ ? nextId_++ : receipt.kpid;
        {
            data::Query q(connection);
            q.add(receiptSql);
            q.bind(QStringLiteral("kpid"), kpid);
            for (qsizetype i = 0; i < header.size(); ++i) {
                const QString value = receipt.header.value(i);
                bool number = false;
                const qint64 n = value.toLongLong(&number);
                if (number && header.at(i) == QLatin1String("kpdate"))
                    q.bind(header.at(i), n);
                else
                    q.bind(header.at(i), value);
            }
            q.execute();
        }
        for (const ImportedReceipt::Line& l : receipt.lines) {
            data::Query q(connection);
            q.add(lineSql);
            if (!renumbers_)
                q.bind(QStringLiteral("fpmxid"), l.fpmxid);
            q.bind(QStringLiteral("kpid"), kpid);
            for (qsizetype i = 0; i < line.size(); ++i)
                q.bind(line.at(i), l.values.value(i));
            q.execute();
        }
        ids << kpid;
        ++added_;
    }
    return ids;
}

void FileImport::setSettings(const QList<QPair<int, QString>>& values) {
    for (const auto& [setId, value] : values) {
        data::Query q(store_.connection());
        q.add(
            QStringLiteral("INSERT OR REPLACE INTO SysSet (SetId, SetValue) VALUES (:id, :value)"));
        q.bind(QStringLiteral("id"), qint64(setId));
        q.bind(QStringLiteral("value"), value);
        q.execute();
    }
}

void FileImport::record(const QString& hash, const QString& source) {
    createRecordTable(store_.connection());
    data::Query q(store_.connection());
    q.add(QStringLiteral("INSERT INTO LegacyImport (SourceHash, ImportedAt, SourceFile, Receipts) "
                         "VALUES (:hash, :at, :file, :n)"));
    q.bind(QStringLiteral("hash"), hash);
    q.bind(QStringLiteral("at"),
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    q.bind(QStringLiteral("file"), source);
    q.bind(QStringLiteral("n"), added_);
    q.execute();
}

void FileImport::commit() {
    transaction_->commit();
}

} // namespace zelk::store
