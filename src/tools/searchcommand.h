#pragma once

#include <QStringList>

class QTextStream;

namespace zelk::tools {

// The search command: words are the arguments after "search"
// (TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] [--limit N] [--database PATH]). Writes the rows
// the history page lists for that search, in its order, one line each as soon as its batch is
// read: kpid and the eight grid columns, tab-separated, with tab, line break, carriage return
// and backslash in a value written \t, \n, \r and \\. Uses the search index when it is ready
// and reads the whole table otherwise; never builds or changes anything.
// Returns the exit status: 0 rows written, 1 no row ("未找到记录！" on err) or a database
// error, 2 wrong arguments.
int runSearchCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err);

} // namespace zelk::tools
