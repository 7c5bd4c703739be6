#include "tools/exportcommand.h"

#include "books/receiptexport.h"
#include "data/databaseerror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"

#include <QDate>
#include <QDir>
#include <QTextStream>

namespace zelk::tools {

int runExportCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err) {
    CommandArguments arguments({"from", "to", "output", "database"});
    QString problem;
    if (!arguments.parse(words, 1, QStringLiteral("需要一个查询文字（导出全部请给出空文字 \"\"）"),
                         &problem)) {
        err << problem << '\n';
        return 2;
    }
    store::HistoryCriteria criteria;
    criteria.text = arguments.positional().first();
    if (!dateRange(arguments, &criteria.from, &criteria.to, &problem)) {
        err << problem << '\n';
        return 2;
    }
    const QString output = arguments.value(QStringLiteral("output"));
    if (output.isEmpty() || !books::exportFormatFor(output)) {
        err << QStringLiteral("需要 --output 导出文件，文件名以 .xlsx 或 .csv 结尾") << '\n';
        return 2;
    }
    const QString database =
        arguments.value(QStringLiteral("database"), defaultFiles(applicationFilePath).database);
    try {
        // The store the file's settings choose, as search and the program do.
        const store::DeskStores desk(database);
        const QList<qint64> ids = books::searchResultIds(*desk.store, criteria);
        const books::ExportResult result = books::exportReceipts(*desk.store, ids, output);
        out << QStringLiteral("已导出 %1 张收据、%2 行明细到 %3")
                   .arg(result.receipts)
                   .arg(result.lines)
                   .arg(QDir::toNativeSeparators(output))
            << '\n';
        if (result.cutTexts)
            err << QStringLiteral("有 %1 个文字超过表格单元格的 32767 个字符，已截断。")
                       .arg(result.cutTexts)
                << '\n';
    } catch (const data::DatabaseError& error) {
        err << error.message() << '\n';
        if (!error.detail().isEmpty())
            err << error.detail() << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
