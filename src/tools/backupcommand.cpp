#include "tools/backupcommand.h"

#include "backup/filebackup.h"
#include "data/databaseerror.h"
#include "tools/commandline.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace zelk::tools {

namespace {

void report(const data::DatabaseError& error, QTextStream& err) {
    err << error.message() << '\n';
    if (!error.detail().isEmpty())
        err << error.detail() << '\n';
}

} // namespace

int runBackupCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err) {
    CommandArguments arguments({"to", "database"});
    QString problem;
    if (!arguments.parse(words, 0, QStringLiteral("backup 不需要其他参数"), &problem)) {
        err << problem << '\n';
        return 2;
    }
    const QString database =
        arguments.value(QStringLiteral("database"), defaultFiles(applicationFilePath).database);
    const QString automatic = backup::automaticFolder(database);
    const QString folder = arguments.value(QStringLiteral("to"), automatic);
    try {
        const QString written = backup::makeBackup(database, folder, QDateTime::currentDateTime());
        // The automatic backups' folder keeps its newest ten, whoever wrote into it.
        if (QFileInfo(folder).absoluteFilePath() == QFileInfo(automatic).absoluteFilePath())
            backup::pruneBackups(folder);
        out << QDir::toNativeSeparators(written) << '\n';
    } catch (const data::DatabaseError& error) {
        report(error, err);
        return 1;
    }
    return 0;
}

int runRestoreCommand(const QStringList& words, const QString& applicationFilePath,
                      QTextStream& out, QTextStream& err) {
    CommandArguments arguments({"database"});
    QString problem;
    if (!arguments.parse(words, 1, QStringLiteral("需要一个备份文件路径"), &problem)) {
        err << problem << '\n';
        return 2;
    }
    const QString database =
        arguments.value(QStringLiteral("database"), defaultFiles(applicationFilePath).database);
    try {
        const backup::RestoreResult result = backup::restoreBackup(
            arguments.positional().first(), database, QDateTime::currentDateTime());
        if (!result.keptAside.isEmpty())
            out << QStringLiteral("原数据库文件已改名为：%1")
                       .arg(QDir::toNativeSeparators(result.keptAside))
                << '\n';
        out << QStringLiteral("已恢复：%1（收据 %2 张，明细 %3 行）")
                   .arg(QDir::toNativeSeparators(database))
                   .arg(result.check.receipts)
                   .arg(result.check.lines)
            << '\n';
    } catch (const data::DatabaseError& error) {
        report(error, err);
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
