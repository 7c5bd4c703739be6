#pragma once

#include <QString>

namespace zelk::store {

// What a receipt file holds, counted after its integrity check.
struct FileContents {
    qint64 receipts = 0;        // receipts (their headers)
    qint64 lines = 0;           // their lines
    qint64 settings = 0;        // setting rows
    qint64 earlierVersions = 0; // kept earlier versions of corrected receipts
    bool operator==(const FileContents&) const = default;
};

// Opens the file at `path` with the program's key, runs the integrity check, requires the
// receipt tables and counts what it holds. Throws DatabaseError with a Chinese reason when the
// file is not one of our receipt files or is damaged. Reads only.
FileContents checkFile(const QString& path);

// Copies the receipt file at `source` into the existing empty file `target` with SQLite's
// online backup between two connections keyed alike, in one read transaction of the source, so
// a file another program is writing is copied consistently. The copy counts only once it opens
// with the key, passes the check and holds as many rows in every table as the source did.
// Returns what the copy holds; throws DatabaseError (the target is then the caller's to remove).
// `shownAs` is the name messages give the copy (the one it is to have), the target's when empty.
FileContents backupFile(const QString& source, const QString& target, const QString& shownAs = {});

} // namespace zelk::store
