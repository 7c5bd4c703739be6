#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

// zelkctl changes KPID [--database PATH]: one line per version of the receipt, oldest first and
// the current one last: the time it was saved ("-" when not recorded: a receipt's first version,
// saved before it was ever corrected), the header's values and then its lines (项目/内容/单位/
// 数量/单价/金额, joined by " | "), tab-separated with search's escaping.
int runChangesCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err);

} // namespace zelk::tools
