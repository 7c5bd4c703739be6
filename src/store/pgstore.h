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
    // Told the server (host:port/database) at every new connection, for the status line.
    void setOnConnected(std::function<void(const QString&)> hook) {
        onConnected_ = std::move(hook);
    }

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
    std::unique_ptr<CopySource> copySource() override;
    std::unique_ptr<CopyTarget> copyTarget() override;

    // Every save takes this transaction-level advisory lock first, so that receipt ids are
    // handed out in commit order.
    static constexpr qint64 saveLockKey = 0x7a656c6b;

    // kpdate's value as given, for a statement: the number column takes it when it is a plain
    // integer, the text column (kpdatetext) keeps it otherwise ('2005-3-1', '').
    static QString kpdateNumber(const QString& param);
    static QString kpdateText(const QString& param);

private:
    void prepareDatabase(PgConnection& connection);
    void insertLines(const StoredReceipt& receipt, qint64 kpid);
    void updateHeader(const StoredReceipt& receipt, qint64 kpid, bool countChange);
    void keepToken(const StoredReceipt& receipt, qint64 kpid, qint64 changes);
    void keepEarlierVersion(qint64 kpid);

    PgConnection connection_;
    QString where_;
    std::function<void(const QString&)> onConnected_;
};

} // namespace zelk::store
