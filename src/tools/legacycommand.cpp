#include "tools/legacycommand.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/schema.h"
#include "legacy/legacyerror.h"
#include "legacy/legacyimporter.h"

#include <QTextStream>

namespace zelk::tools {

int runImportLegacyCommand(const QStringList& words, const QString& applicationFilePath,
                           QTextStream& out, QTextStream& err) {
    QString databasePath =
        data::programFolder(applicationFilePath) + QStringLiteral("Data/zelk.mdb");
    bool settings = false;
    bool again = false;
    QStringList positional;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (word == QLatin1String("--settings")) {
            settings = true;
        } else if (word == QLatin1String("--again")) {
            again = true;
        } else if (word == QLatin1String("--database")) {
            if (i + 1 >= words.size() || words.at(i + 1).isEmpty()) {
                err << "选项 --database 后缺少路径\n";
                return 2;
            }
            databasePath = words.at(++i);
        } else if (word.startsWith(QLatin1String("--"))) {
            err << "未知选项 " << word << '\n';
            return 2;
        } else {
            positional.append(word);
        }
    }
    if (positional.size() != 1) {
        err << "需要一个旧程序的数据文件（zelk.mdb）路径\n";
        return 2;
    }
    try {
        data::Connection connection;
        connection.setConnectionString(QStringLiteral("Data Source=") + databasePath +
                                       QStringLiteral(";Password=") +
                                       QString::fromLatin1(data::databaseKey));
        connection.open();
        legacy::LegacyImporter importer(connection);
        importer.setImportSettings(settings);
        importer.setAgain(again);
        out << importer.run(positional.first()).text() << '\n';
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
