#pragma once

#include "store/pgconnection.h"
#include "store/store.h"

namespace zelk::store {

// Receipts and settings on a PostgreSQL server that several desks share. The tables are those
// of the receipt file (fpmain, fpdetail, SysSet with the same columns), with kpid and fpmxid as
// identity columns, the change counter, and a stored search column (the five searched columns
// joined, ASCII letters lower-cased) under a pg_trgm index. An empty database gets the tables
// at the first connection.
class PgStore : public Store {
public:
    // `conninfo`: libpq's "key=value" string or a postgresql:// URL. Connects at the first
    // operation (or check()), and again at the next operation after the server was lost.
    explicit PgStore(const QString& conninfo);

    // Connects now; throws data::DatabaseError saying why it cannot.
    void check();
    PgConnection& connection() { return connection_; }

    QString description() const override;
    qint64 insertReceipt(const StoredReceipt& receipt) override;
    qint64 rewriteReceipt(const StoredReceipt& receipt) override;
    std::optional<StoredReceipt> loadReceipt(qint64 kpid) override;
    Table receiptRows(qint64 kpid) override;
    qint64 largestReceiptId() override;
    qint64 latestReceiptNumbered(const QString& fphm) override;
    std::unique_ptr<HistoryReader> searchHistory(const HistoryCriteria& criteria) override;
    QList<SummaryRow> summarize(SummaryKey by, const QDate& from, const QDate& to) override;
    QList<ReceiptVersion> earlierVersions(qint64 kpid) override;
    QString setting(int setId) override;
    void setSettings(const QList<QPair<int, QString>>& values) override;

    // Every save takes this transaction-level advisory lock first, so that receipt ids are
    // handed out in commit order.
    static constexpr qint64 saveLockKey = 0x7a656c6b;

private:
    void prepareDatabase(PgConnection& connection);
    void insertLines(const StoredReceipt& receipt, qint64 kpid);
    void keepEarlierVersion(qint64 kpid);

    PgConnection connection_;
    QString where_;
};

} // namespace zelk::store
