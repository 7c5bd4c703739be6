#pragma once

#include "data/databaseerror.h"
#include "store/historysearch.h"
#include "store/receiptcolumns.h"
#include "store/summary.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace zelk::store {

class CopySource;
class CopyTarget;

// One receipt as the tables hold it: every value as text (kpdate as its eight digits).
struct StoredReceipt {
    qint64 kpid = 0;
    // The receipt's change counter: raised by every rewrite. A rewrite names the value it was
    // loaded with; a negative value rewrites without checking.
    qint64 changes = -1;
    QStringList header;       // in headerColumns() order
    QList<QStringList> lines; // in fpmxid order, each in lineColumns() order
    // Names one save of a form (empty: none). A server stores it with the receipt, so that
    // a save repeated after an unknown outcome finds the receipt the first one stored and
    // corrects it instead of storing it twice.
    QString token;

    // The header's value of `column`, a name of headerColumns(); empty for a value not held.
    QString value(QLatin1String column) const;
    // Sets the header's value of `column`, a name of headerColumns(); the header must hold all.
    void setValue(QLatin1String column, const QString& value);

    bool operator==(const StoredReceipt&) const = default;
};

// An earlier version of a receipt, kept when a correction replaced it: the stored header and
// lines as they were, with when and on which desk the correction replaced them.
struct ReceiptVersion {
    QString replacedAt; // yyyy-MM-dd HH:mm:ss, local time
    QString desk;       // the correcting computer's host name
    StoredReceipt receipt;
};

// The tables that keep earlier versions: fpmain_history (histid, kpid, replacedat, desk,
// changecount and the header columns) and fpdetail_history (histid, fpmxid and the line columns).
// Additive; a file gains them with its first correction.

// Rows of a statement, each value as text.
struct Table {
    QStringList columns;
    QList<QStringList> rows;
};

// The receipt a rewrite names is no longer stored (another desk or program removed it).
class ReceiptGone : public data::DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// The receipt a rewrite names was changed elsewhere since it was loaded.
class ReceiptChanged : public data::DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// What a rewrite of `receipt` found stored: nothing, or the stored change counter. Throws
// ReceiptGone when nothing is stored (`localFile` picks the wording), and ReceiptChanged when
// receipt.changes is not negative and differs from the stored counter, unless the rewrite
// repeats this form's own earlier save that did store it (`repeated`).
void checkRewrite(const StoredReceipt& receipt, std::optional<qint64> stored, bool localFile,
                  bool repeated = false);

// Reads a history search batch after batch; each batch is one short statement that continues
// after the last row read, so nothing stays open between batches.
class HistoryReader {
public:
    virtual ~HistoryReader() = default;
    // Calls `row` for at most `limit` further rows, with the receipt id and the grid's texts
    // (historyFields() order, UTF-8, valid during the call). Returns whether rows may follow.
    using RowSink = std::function<void(qint64 kpid, const QByteArrayView* texts)>;
    virtual bool readBatch(int limit, const RowSink& row) = 0;
};

// What the program does with receipts and settings, whichever store keeps them. Every
// operation throws data::DatabaseError with a Chinese sentence for the operator; a failed
// change leaves the store as it was.
class Store {
public:
    virtual ~Store() = default;

    // A short Chinese name of the store for the window's status line.
    virtual QString description() const = 0;
    // Whether this is the desk's own local file (which keeps the search index and takes the
    // legacy import) rather than the shop's server.
    virtual bool isLocalFile() const { return false; }

    // Stores a new receipt with its lines in one transaction; returns its new kpid. Ids are
    // handed out in commit order: the newest receipt has the largest number.
    virtual qint64 insertReceipt(const StoredReceipt& receipt) = 0;
    // Rewrites receipt.kpid's header and replaces its lines in one transaction; returns its
    // new change counter. Throws ReceiptGone, or ReceiptChanged when receipt.changes is not
    // negative and differs from the stored counter.
    virtual qint64 rewriteReceipt(const StoredReceipt& receipt) = 0;
    // The receipt's earlier versions, oldest first; every rewrite keeps the version it replaces
    // in the same transaction.
    virtual QList<ReceiptVersion> earlierVersions(qint64 kpid) = 0;
    // The stored receipt with all its lines; nothing when there is none.
    virtual std::optional<StoredReceipt> loadReceipt(qint64 kpid) = 0;
    // The receipt's header joined with each of its lines, as the receipt report reads them:
    // kpid, the header columns, fpmxid and the line columns; no row for a receipt without lines.
    virtual Table receiptRows(qint64 kpid) = 0;
    // The largest receipt id; 0 when there is none.
    virtual qint64 largestReceiptId() = 0;
    // The id of the latest receipt numbered `fphm`; 0 when there is none.
    virtual qint64 latestReceiptNumbered(const QString& fphm) = 0;

    virtual std::unique_ptr<HistoryReader> searchHistory(const HistoryCriteria& criteria) = 0;
    // Counts and exact totals (jexx) of the receipts issued from `from` to `to` (inclusive; an
    // invalid date is no bound), one row per group in key order. The server adds them up itself.
    virtual QList<SummaryRow> summarize(SummaryKey by, const QDate& from, const QDate& to) = 0;

    // A setting row's value as stored; empty when the row is missing.
    virtual QString setting(int setId) = 0;
    // Stores the values (a missing row is added) in one transaction, in the order given.
    virtual void setSettings(const QList<QPair<int, QString>>& values) = 0;

    // What a copy between stores (copyStore) reads of this store: every row of its tables
    // with its ids, from one state of the store while the source lives.
    virtual std::unique_ptr<CopySource> copySource() = 0;
    // What a copy writes into this store: one transaction, committed only at its end.
    virtual std::unique_ptr<CopyTarget> copyTarget() = 0;
};

// Called when a command has waited a moment for another program's lock on the local file, or
// for the server's answer; the window shows a busy cursor. Empty by default.
void setLockWaitHook(std::function<void()> hook);

// A store that forwards to the one chosen at start-up, so that windows built before the choice
// keep one reference. Until a store is set every operation fails with a message.
class ActiveStore : public Store {
public:
    // Forwards to `target`, which this store then owns.
    void setTarget(std::unique_ptr<Store> target) {
        owned_ = std::move(target);
        target_ = owned_.get();
    }
    // Forwards to `target`, which the caller keeps alive until the target changes or is cleared.
    void setTarget(Store& target) {
        owned_.reset();
        target_ = &target;
    }
    // Forwards nowhere again: every operation fails with a message.
    void clearTarget() {
        target_ = nullptr;
        owned_.reset();
    }
    Store* target() const { return target_; }

    QString description() const override;
    bool isLocalFile() const override { return target_ && target_->isLocalFile(); }
    qint64 insertReceipt(const StoredReceipt& receipt) override {
        return get().insertReceipt(receipt);
    }
    qint64 rewriteReceipt(const StoredReceipt& receipt) override {
        return get().rewriteReceipt(receipt);
    }
    std::optional<StoredReceipt> loadReceipt(qint64 kpid) override {
        return get().loadReceipt(kpid);
    }
    Table receiptRows(qint64 kpid) override { return get().receiptRows(kpid); }
    QList<ReceiptVersion> earlierVersions(qint64 kpid) override {
        return get().earlierVersions(kpid);
    }
    qint64 largestReceiptId() override { return get().largestReceiptId(); }
    qint64 latestReceiptNumbered(const QString& fphm) override {
        return get().latestReceiptNumbered(fphm);
    }
    std::unique_ptr<HistoryReader> searchHistory(const HistoryCriteria& criteria) override {
        return get().searchHistory(criteria);
    }
    QList<SummaryRow> summarize(SummaryKey by, const QDate& from, const QDate& to) override {
        return get().summarize(by, from, to);
    }
    QString setting(int setId) override { return get().setting(setId); }
    void setSettings(const QList<QPair<int, QString>>& values) override {
        get().setSettings(values);
    }
    std::unique_ptr<CopySource> copySource() override;
    std::unique_ptr<CopyTarget> copyTarget() override;

private:
    Store& get() const;
    std::unique_ptr<Store> owned_;
    Store* target_ = nullptr;
};

} // namespace zelk::store
