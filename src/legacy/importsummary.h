#pragma once

#include <QDate>
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
    // Which row, in the operator's words: the receipt's invoice number and date, its line's
    // place, the basic information item.
    QString row;
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
    // The range of the imported receipts' issue dates (invalid when none has a readable one),
    // and whether some receipt's date cannot be read.
    QDate firstDate;
    QDate lastDate;
    bool unreadableDates = false;

    // The summary as the operator reads it: counts, the id rule used, then every note.
    QString text() const;
};

} // namespace zelk::legacy
