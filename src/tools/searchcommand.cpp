#include "tools/searchcommand.h"

#include "data/databaseerror.h"
#include "receipt/historymodel.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"

#include <QDate>
#include <QTextStream>

namespace zelk::tools {

namespace {

struct SearchRequest {
    receipt::HistoryCriteria criteria;
    qint64 limit = -1;
    QString databasePath;
};

bool parse(const QStringList& words, const QString& defaultDatabase, SearchRequest* request,
           QString* problem) {
    CommandArguments arguments({"from", "to", "limit", "database"});
    if (!arguments.parse(words, -1, {}, problem))
        return false;
    const QStringList texts = arguments.positional();
    if (texts.size() != 1) {
        *problem = texts.isEmpty() ? QStringLiteral("缺少查询文字（查全部请给出空文字 \"\"）")
                                   : QStringLiteral("只能给出一个查询文字");
        return false;
    }
    request->criteria.text = texts.first();
    request->databasePath = arguments.value(QStringLiteral("database"), defaultDatabase);
    if (arguments.isSet(QStringLiteral("limit"))) {
        const QString value = arguments.value(QStringLiteral("limit"));
        bool ok = false;
        request->limit = value.toLongLong(&ok);
        if (!ok || request->limit < 0) {
            *problem = QStringLiteral("--limit 需要非负整数：%1").arg(value);
            return false;
        }
    }
    if (!dateRange(arguments, &request->criteria.from, &request->criteria.to, problem))
        return false;
    return true;
}

} // namespace

int runSearchCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err) {
    SearchRequest request;
    QString problem;
    if (!parse(words, defaultFiles(applicationFilePath).database, &request, &problem)) {
        err << problem << '\n';
        return 2;
    }
    qint64 written = 0;
    try {
        // The store the file's settings choose, as the program does.
        const store::DeskStores desk(request.databasePath);
        receipt::HistoryModel model(*desk.store);
        QString failure;
        QObject::connect(&model, &receipt::HistoryModel::fetchFailed,
                         [&](const QString& message) { failure = message; });
        model.search(request.criteria);
        for (int row = 0; request.limit < 0 || written < request.limit;) {
            if (row == model.rowCount()) {
                if (!model.canFetchMore({}))
                    break;
                model.fetchMore({});
                if (!failure.isEmpty())
                    throw data::DatabaseError(failure);
                continue;
            }
            out << model.receiptIdAt(row);
            for (int column = 0; column < receipt::historyColumnCount; ++column)
                out << '\t' << escapedField(model.textAt(row, column));
            out << '\n';
            ++written;
            if (++row == model.rowCount())
                out.flush();
        }
    } catch (const data::DatabaseError& error) {
        out.flush();
        // The sentence and, on its own line, the engine's text.
        err << QString::fromUtf8(error.what()) << '\n';
        return 1;
    }
    if (!written) {
        err << QStringLiteral("未找到记录！") << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
