#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

// zelkctl export TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] --output FILE.xlsx|FILE.csv
// [--database PATH]: the receipts `zelkctl search` lists for the same arguments, into a
// spreadsheet or CSV file; prints how many receipts and lines it wrote.
int runExportCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err);

} // namespace zelk::tools
