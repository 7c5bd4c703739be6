#pragma once

#include "store/backupfile.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace zelk::backup {

// What a database file holds, read after an integrity check (receipts, lines, ...).
using FileCheck = store::FileContents;

// One backup file found in a folder, with what it holds (or why it cannot be read).
struct BackupEntry {
    QString path;
    QDateTime made; // from the file name
    FileCheck check;
    QString problem; // empty when the file opened and passed its check
};

// Automatic backups go into <database folder>/backup/ and the newest this many are kept.
inline constexpr int keptBackups = 10;

// The folder of the automatic backups of the database at `databasePath` (Data/backup/).
QString automaticFolder(const QString& databasePath);

// Opens `path` with the program's key, runs the integrity check, requires the receipt tables
// and counts what it holds (store::checkFile). Throws DatabaseError with a Chinese reason when the
// file is not one of our receipt databases or is damaged. Reads only.
FileCheck checkDatabase(const QString& path);

// Copies the database at `databasePath` into `folder` (made, owner-only, when missing) with
// SQLite's online backup between two connections keyed alike, so a running program's file is
// copied consistently. The copy is written under a temporary name, opened and checked (integrity
// check, the same row counts as the source) and only then given its name zelk-<date>-<time>.mdb
// (owner-only). Returns the path written; throws DatabaseError and leaves nothing behind on any
// failure.
QString makeBackup(const QString& databasePath, const QString& folder, const QDateTime& now);

// The backups in `folder`, newest first (files named as makeBackup names them), each opened and
// checked.
QList<BackupEntry> listBackups(const QString& folder);

// Removes all but the newest `keep` backup files of `folder`. Returns how many were removed.
int pruneBackups(const QString& folder, int keep = keptBackups);

// True when `folder` holds no backup made on the day of `now` (automatic backups run at most
// once a day).
bool automaticBackupDue(const QString& folder, const QDateTime& now);

// The automatic backup when leaving the program: when due, makes a backup into
// automaticFolder(databasePath), then removes the oldest beyond keptBackups. Returns the path
// written, or an empty text when none was due. Throws DatabaseError on failure.
QString runAutomaticBackup(const QString& databasePath, const QDateTime& now);

// What restoring did.
struct RestoreResult {
    QString keptAside; // the earlier file's new name, empty when there was none
    FileCheck check;   // what the restored file holds
};

// Puts the backup at `backupPath` in place of the database at `databasePath`. The backup is
// checked first and refused (DatabaseError, nothing changed) unless it is one of our receipt
// databases and whole. The current file is never opened, so a damaged one is no obstacle: it
// is renamed to <name>.before-restore-<yyyyMMdd-HHmmss> (with a rollback journal beside it,
// which must not be applied to the restored file), then the backup is copied in under a
// temporary name, checked and renamed into place. The program must not hold the file open.
RestoreResult restoreBackup(const QString& backupPath, const QString& databasePath,
                            const QDateTime& now);

} // namespace zelk::backup
