#include "tools/legacycommand.h"

#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "legacy/legacyerror.h"
#include "legacy/legacyimporter.h"
#include "store/filestore.h"
#include "tools/commandline.h"

#include <QTextStream>

namespace zelk::tools {

int runImportLegacyCommand(const QStringList& words, const QString& applicationFilePath,
                           QTextStream& out, QTextStream& err) {
    CommandArguments arguments({"database"}, {"settings", "again"});
    QString problem;
    if (!arguments.parse(words, 1, QStringLiteral("需要一个旧程序的数据文件（zelk.mdb）路径"),
                         &problem)) {
        err << problem << '\n';
        return 2;
    }
    const DefaultFiles defaults = defaultFiles(applicationFilePath);
    const QString databasePath = arguments.value(QStringLiteral("database"), defaults.database);
    try {
        // Installed, the user's own database, made as the program's first start makes it.
        if (!arguments.isSet(QStringLiteral("database")) && !defaults.userFolder.isEmpty())
            store::prepareUserFolder(data::locateFiles(applicationFilePath));
        // Refuses a file that is not a receipt database before anything is written into it.
        store::FileStore file(databasePath);
        legacy::LegacyImporter importer(file);
        importer.setImportSettings(arguments.isSet(QStringLiteral("settings")));
        importer.setAgain(arguments.isSet(QStringLiteral("again")));
        out << importer.run(arguments.positional().first()).text() << '\n';
    } catch (const data::DatabaseError& error) {
        err << "导入失败，数据库未作任何改动：" << error.message() << '\n';
        return 1;
    } catch (const legacy::AlreadyImported& error) {
        err << "导入失败，数据库未作任何改动：" << error.message()
            << "如确需再次导入，请加上 --again。\n";
        return 1;
    } catch (const legacy::LegacyError& error) {
        err << "导入失败，数据库未作任何改动：" << error.message() << '\n';
        // libmdb's own text, as a detail line.
        if (!error.detail().isEmpty())
            err << "详细信息：" << QString(error.detail()).replace(u'\n', u' ') << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
