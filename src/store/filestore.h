#pragma once

#include "store/filesearchindex.h"
#include "store/store.h"

#include <functional>
#include <memory>

namespace zelk::data {
class Connection;
class Tdmtd;
struct FileLocations;
} // namespace zelk::data

namespace zelk::store {

// The encrypted local database file as a store, on the data layer. The file keeps the layout
// earlier versions wrote; what later versions added (the change counter, the earlier versions'
// tables) a file of an earlier version gains when a store opens it (see migrateFile).
class FileStore : public Store {
public:
    // Works on an open connection that the caller keeps open while the store lives (and
    // brings its file up to date). Throws DatabaseError, and closes the connection, when the
    // file does not hold the receipt tables with their columns; such a file is not changed. Other
    // errors (a damaged or locked file) leave the connection open.
    explicit FileStore(data::Connection& connection);
    // Opens the file at `path` with the program's key and keeps the connection; the same check.
    explicit FileStore(const QString& path);
    ~FileStore() override;

    // Creates a new encrypted file at `path` with the program's key, the default settings and
    // the current layout, private to its owner (0600). Refuses (DatabaseError) when the file
    // exists; on any failure no file is left behind.
    static void create(const QString& path);

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

    // The state of the file's search index (see store/filesearchindex.h).
    searchindex::State searchIndexState();
    // Brings the search index up to date, reporting progress (work done, work in all) between
    // steps; false when `progress` refused to go on (the index stays unusable until a later
    // call completes it).
    bool updateSearchIndex(const std::function<bool(qint64, qint64)>& progress = {});

private:
    // Brings a file of an earlier version up to date (see migrateFile).
    void migrate();
    void insertLines(const StoredReceipt& receipt, qint64 kpid);
    void keepEarlierVersion(qint64 kpid);

    // The data module a store opened from a path owns: its connection Database3_ado is the one
    // every statement of the store runs on.
    std::unique_ptr<data::Tdmtd> dataModule_;
    data::Connection& connection_;
};

// For an installed program, makes what the user's folder lacks (see data::prepareUserFolder),
// a missing database by FileStore::create.
void prepareUserFolder(const data::FileLocations& files);

} // namespace zelk::store
