#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

// zelkctl summary --by day|month|category|payer|issuer [--from yyyy-mm-dd] [--to yyyy-mm-dd]
// [--database PATH]: one line per group in key order, the key, the count and the exact total
// (0.00) separated by tabs, from the store the file's settings choose.
int runSummaryCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err);

} // namespace zelk::tools
