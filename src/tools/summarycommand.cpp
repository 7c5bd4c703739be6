#include "tools/summarycommand.h"

#include "data/databaseerror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"

#include <QDate>
#include <QTextStream>

namespace zelk::tools {

int runSummaryCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err) {
    CommandArguments arguments({"by", "from", "to", "database"});
    QString problem;
    if (!arguments.parse(words, 0, QStringLiteral("summary 只接受选项"), &problem)) {
        err << problem << '\n';
        return 2;
    }
    const auto by = store::summaryKeyFromName(arguments.value(QStringLiteral("by")));
    if (!by) {
        err << QStringLiteral("需要 --by day、month、category、payer 或 issuer") << '\n';
        return 2;
    }
    QDate bounds[2];
    if (!dateRange(arguments, &bounds[0], &bounds[1], &problem)) {
        err << problem << '\n';
        return 2;
    }
    const QString database =
        arguments.value(QStringLiteral("database"), defaultFiles(applicationFilePath).database);
    try {
        const store::DeskStores desk(database);
        for (const store::SummaryRow& row : desk.store->summarize(*by, bounds[0], bounds[1])) {
            out << escapedField(row.key) << '\t' << row.count << '\t' << row.total << '\n';
        }
    } catch (const data::DatabaseError& error) {
        err << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
