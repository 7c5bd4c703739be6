#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace zelk::legacy {

// One stored value of the old file; no value stands for NULL.
using LegacyValue = std::optional<QString>;

// One table of the old file, with the columns asked for, in that order, and its live rows in
// storage order (deleted rows are skipped).
struct LegacyTable {
    QStringList columns;
    QList<QList<LegacyValue>> rows;
};

// The three tables of an old program's Data\zelk.mdb, read whole.
struct LegacyData {
    LegacyTable fpmain;
    LegacyTable fpdetail;
    LegacyTable sysSet;
};

// The columns we take from each table, in the order of our own schema.
QStringList receiptColumns(); // fpmain: kpid first
QStringList lineColumns();    // fpdetail: fpmxid, kpid, then the line cells
QStringList settingColumns(); // SysSet: SetId, SetValue

// Called now and then while rows are read; returning false cancels (ImportCancelled).
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Reads the tables through mdbtools' libmdb (Jet 3 and Jet 4; a database password does not
// encode the data pages, so it is not needed). libmdb's interface gives every value as text
// and cannot tell NULL from empty text nor keep characters outside the Basic Multilingual
// Plane; so the row's null mask and the stored bytes of Text and Memo values are taken from
// libmdb as well (mdb_crack_row, mdb_ole_read_full) and Jet 4 text is decoded from its stored
// UTF-16 here. Throws LegacyError for a missing or unreadable file, a file that is not an Access
// database, or a missing table or column.
LegacyData readLegacyFile(const QString& path, const Progress& progress = {});

} // namespace zelk::legacy
