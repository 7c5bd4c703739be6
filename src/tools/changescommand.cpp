#include "tools/changescommand.h"

#include "data/databaseerror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"

#include <QTextStream>

namespace zelk::tools {

namespace {

QString versionLine(const QString& savedAt, const store::StoredReceipt& receipt) {
    QStringList fields = {savedAt};
    for (const QString& value : receipt.header)
        fields << escapedField(value);
    QStringList lines;
    for (const QStringList& line : receipt.lines)
        lines << escapedField(line.join(QLatin1Char('/')));
    fields << lines.join(QStringLiteral(" | "));
    return fields.join(QLatin1Char('\t'));
}

} // namespace

int runChangesCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err) {
    CommandArguments arguments({"database"});
    QString problem;
    if (!arguments.parse(words, 1, QStringLiteral("需要一个发票编号（kpid）"), &problem)) {
        err << problem << '\n';
        return 2;
    }
    bool ok = false;
    const qint64 kpid = arguments.positional().first().toLongLong(&ok);
    if (!ok || kpid <= 0) {
        err << QStringLiteral("发票编号应为正整数：%1").arg(arguments.positional().first()) << '\n';
        return 2;
    }
    const QString database =
        arguments.value(QStringLiteral("database"), defaultFiles(applicationFilePath).database);
    try {
        const store::DeskStores desk(database);
        const std::optional<store::StoredReceipt> current = desk.store->loadReceipt(kpid);
        if (!current) {
            err << QStringLiteral("没有编号为 %1 的票据。").arg(kpid) << '\n';
            return 1;
        }
        // A history row holds when its version was replaced: the next version's save time.
        QString savedAt = QStringLiteral("-");
        for (const store::ReceiptVersion& version : desk.store->earlierVersions(kpid)) {
            out << versionLine(savedAt, version.receipt) << '\n';
            savedAt = version.replacedAt;
        }
        out << versionLine(savedAt, *current) << '\n';
    } catch (const data::DatabaseError& error) {
        err << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
