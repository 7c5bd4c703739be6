#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace zelk::legacy {

// One row the import skipped, changed or wants the operator to look at.
struct ImportNote {
    enum class Kind {
        Skipped, // not imported
        Changed, // imported, but not exactly as stored
        Kept,    // imported exactly as stored, though unusual
    };
    Kind kind;
    QString row; // which row, in the operator's words: "收据 9", "明细 12", "设置 26"
    QString why;
};

// What an import did, for the closing summary and for zelkctl's output.
struct ImportSummary {
    qint64 receipts = 0;
    qint64 lines = 0;
    qint64 settings = 0;
    // The database held receipts already, so the imported ones got new ids after them.
    bool renumbered = false;
    // Old receipt id to the id it has now (equal ids when not renumbered).
    QHash<qint64, qint64> receiptIds;
    QList<ImportNote> notes;

    // The summary as the operator reads it: counts, the id rule used, then every note.
    QString text() const;
};

} // namespace zelk::legacy
