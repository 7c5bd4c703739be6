#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace zelk::data {
class Transaction;
}

namespace zelk::store {

class FileStore;

// A receipt brought in from another program's data, with the ids it had there.
struct ImportedReceipt {
    qint64 kpid = 0;
    QStringList header; // in headerColumns() order; kpdate as stored there
    struct Line {
        qint64 fpmxid = 0;
        QStringList values; // in lineColumns() order
    };
    QList<Line> lines; // in the order they get their ids
};

// An import recorded in the file: when, from which file and how many receipts.
struct ImportRecord {
    QString importedAt; // yyyy-MM-dd HH:mm:ss, local time
    QString sourceFile;
    qint64 receipts = 0;
};

// Writes receipts, lines and settings from another program's data into the local file, all in
// one transaction taken when the import is made: nothing reaches the file before commit(), and
// an import left uncommitted (a cancel, a failure) leaves the file as it was.
//
// Ids: into a file without receipts, lines and earlier versions of receipts, receipts and lines
// keep the ids they had (the counters then continue above the largest). Otherwise the receipts
// get new ids after every id the file has used, in the order they are added, and their lines
// new ids from the counter, in the order given.
//
// Imports are recorded in the table LegacyImport (made with the first one), by a hash of what
// was read, so that the same data imported again can be noticed. The search index's triggers
// queue the receipts written; the index takes them when it is next brought up to date.
class FileImport {
public:
    explicit FileImport(FileStore& store);
    ~FileImport();
    FileImport(const FileImport&) = delete;
    FileImport& operator=(const FileImport&) = delete;

    // Whether the receipts get new ids (the file held receipts when the import began).
    bool renumbers() const { return renumbers_; }

    // The latest recorded import of data with this hash, if any.
    std::optional<ImportRecord> earlierImport(const QString& hash);

    // Writes receipts and their lines; returns the id each receipt has now, in order. A kpdate
    // that reads as a whole number is stored as that number, any other value as its text.
    QList<qint64> addReceipts(const QList<ImportedReceipt>& receipts);

    // Replaces the settings with these numbers.
    void setSettings(const QList<QPair<int, QString>>& values);

    // Records the import of data with this hash from `source` (receipts added so far).
    void record(const QString& hash, const QString& source);

    void commit();

private:
    qint64 count(const QString& sql);

    FileStore& store_;
    std::unique_ptr<data::Transaction> transaction_;
    bool renumbers_ = false;
    qint64 nextId_ = 0; // the next new receipt id when renumbering
    qint64 added_ = 0;  // receipts written
};

} // namespace zelk::store
