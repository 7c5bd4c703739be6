#include "tools/searchcommand.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/schema.h"
#include "receipt/historymodel.h"
#include "store/filestore.h"
#include "store/storeconfig.h"

#include <QDate>
#include <QTextStream>

namespace zelk::tools {

namespace {

QString escaped(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return value;
}

struct SearchRequest {
    receipt::HistoryCriteria criteria;
    qint64 limit = -1;
    QString databasePath;
};

bool parse(const QStringList& words, const QString& programFolder, SearchRequest* request,
           QString* problem) {
    request->databasePath = programFolder + QStringLiteral("Data/zelk.mdb");
    bool haveText = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        const bool option = word == QLatin1String("--from") || word == QLatin1String("--to") ||
                            word == QLatin1String("--limit") || word == QLatin1String("--database");
        if (!option) {
            if (haveText) {
                *problem = QStringLiteral("只能给出一个查询文字");
                return false;
            }
            request->criteria.text = word;
            haveText = true;
            continue;
        }
        if (i + 1 >= words.size()) {
            *problem = QStringLiteral("%1 后缺少取值").arg(word);
            return false;
        }
        const QString value = words.at(++i);
        if (word == QLatin1String("--database")) {
            request->databasePath = value;
        } else if (word == QLatin1String("--limit")) {
            bool ok = false;
            request->limit = value.toLongLong(&ok);
            if (!ok || request->limit < 0) {
                *problem = QStringLiteral("--limit 需要非负整数：%1").arg(value);
                return false;
            }
        } else {
            const QDate date = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
            if (!date.isValid()) {
                *problem = QStringLiteral("日期无效（应为 yyyy-mm-dd）：%1").arg(value);
                return false;
            }
            (word == QLatin1String("--from") ? request->criteria.from : request->criteria.to) =
                date;
        }
    }
    if (!haveText) {
        *problem = QStringLiteral("缺少查询文字（查全部请给出空文字 \"\"）");
        return false;
    }
    return true;
}

} // namespace

int runSearchCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                     QTextStream& err) {
    SearchRequest request;
    QString problem;
    if (!parse(words, data::programFolder(applicationFilePath), &request, &problem)) {
        err << problem << '\n';
        return 2;
    }
    qint64 written = 0;
    try {
        // The store the file's settings choose, as the program does.
        store::FileStore localFile(request.databasePath);
        const std::unique_ptr<store::Store> store = store::openConfiguredStore(localFile);
        receipt::HistoryModel model(*store);
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
                out << '\t' << escaped(model.textAt(row, column));
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
