#pragma once

#include "store/store.h"

#include <memory>

namespace zelk::data {
class Connection;
}

namespace zelk::store {

// The encrypted local database file as a store, on the data layer. The file keeps the layout
// earlier versions wrote; what later versions added (the change counter, the earlier versions'
// tables) a file of an earlier version gains when a store opens it (see migrateFile).
class FileStore : public Store {
public:
    // Works on an open connection that the caller keeps open while the store lives (and
    // brings its file up to date).
    explicit FileStore(data::Connection& connection);
    // Opens the file at `path` with the program's key and keeps the connection.
    explicit FileStore(const QString& path);
    ~FileStore() override;

    data::Connection& connection() const { return connection_; }

    QString description() const override;
    bool isLocalFile() const override { return true; }
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

    // Whether fpmain has the change counter column.
    bool hasChangeCounter();

private:
    // Brings a file of an earlier version up to date (see migrateFile).
    void migrate();
    void insertLines(const StoredReceipt& receipt, qint64 kpid);
    void keepEarlierVersion(qint64 kpid);

    std::unique_ptr<data::Connection> owned_;
    data::Connection& connection_;
};

} // namespace zelk::store
