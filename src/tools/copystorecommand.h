#pragma once

#include <QStringList>

class QTextStream;

namespace zelk::tools {

// "zelkctl copy-store --from SOURCE --to TARGET": copies every receipt, line and setting with
// its ids from a receipt file to a PostgreSQL server or back. A server is named by a
// postgresql:// URL or libpq's "key=value" string, a file by its path (a missing target file
// is created). One transaction on the target; a target that already holds receipts is
// refused. Returns 0 done, 1 failed (nothing copied), 2 wrong arguments.
int runCopyStoreCommand(const QStringList& words, QTextStream& out, QTextStream& err);

} // namespace zelk::tools
