#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

// zelkctl backup [--to DIR] [--database PATH]: a checked copy of the database, into DIR or into
// the automatic backups' folder Data/backup/ (where the newest ten are kept); prints the file
// written.
int runBackupCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err);

// zelkctl restore BACKUP [--database PATH]: puts a backup in place of the database, the earlier
// file kept aside; refuses a file that is not one of our receipt databases.
int runRestoreCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err);

} // namespace zelk::tools
