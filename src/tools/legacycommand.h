#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

// The import-legacy command: words are the arguments after "import-legacy"
// ("OLD.mdb [--database PATH] [--settings] [--again]"), applicationFilePath is zelkctl's own path
// (the database defaults to Data/zelk.mdb beside it). Prints the summary to out. Returns the exit
// status: 0 imported, 1 failed with the database unchanged, 2 wrong arguments.
int runImportLegacyCommand(const QStringList& words, const QString& applicationFilePath,
                           QTextStream& out, QTextStream& err);

} // namespace zelk::tools
