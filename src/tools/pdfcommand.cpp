#include "tools/pdfcommand.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "data/programfolder.h"
#include "data/schema.h"
#include "receipt/receiptpreview.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"

#include <QTextStream>

namespace zelk::tools {

namespace {

// The stored remarks of the receipt; throws when there is no such receipt, so that no PDF is
// written for an id that names nothing.
QString storedRemarks(store::Store& store, const QString& receiptId) {
    const std::optional<store::StoredReceipt> stored =
        store.loadReceipt(receipt::receiptIdNumber(receiptId));
    if (!stored)
        throw data::DatabaseError(QStringLiteral("数据库中没有编号为 %1 的发票。").arg(receiptId));
    return stored->header.value(store::headerColumns().indexOf(QStringLiteral("bz2")));
}

} // namespace

bool parsePdfArguments(const QStringList& words, const QString& programFolder, PdfRequest* request,
                       QString* problem) {
    PdfRequest result;
    result.databasePath = programFolder + QStringLiteral("Data/zelk.mdb");
    result.templatePath = programFolder + QStringLiteral("report/fp3.frf");
    QStringList positional;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        const bool isDatabase = word == QLatin1String("--database");
        const bool isTemplate = word == QLatin1String("--template");
        if (isDatabase || isTemplate) {
            if (i + 1 >= words.size() || words.at(i + 1).isEmpty()) {
                *problem = QStringLiteral("选项 %1 后缺少路径").arg(word);
                return false;
            }
            (isDatabase ? result.databasePath : result.templatePath) = words.at(++i);
        } else if (word.startsWith(QLatin1String("--"))) {
            *problem = QStringLiteral("未知选项 %1").arg(word);
            return false;
        } else {
            positional.append(word);
        }
    }
    if (positional.size() != 2) {
        *problem = QStringLiteral("需要发票编号和 PDF 文件路径");
        return false;
    }
    result.receiptId = positional.at(0);
    result.outputPath = positional.at(1);
    *request = result;
    return true;
}

void openReceiptDatabase(data::Connection& connection, const QString& path) {
    connection.setConnectionString(QStringLiteral("Data Source=") + path +
                                   QStringLiteral(";Password=") +
                                   QString::fromLatin1(data::databaseKey));
    connection.open();
}

report::PreparedReport prepareStoredReceipt(store::Store& store, const QString& receiptId,
                                            const QString& templatePath) {
    const QString remarks = storedRemarks(store, receiptId);
    return receipt::prepareReceiptReport(store, receiptId, remarks, templatePath);
}

void writeReceiptPdf(const PdfRequest& request) {
    store::FileStore localFile(request.databasePath);
    const std::unique_ptr<store::Store> store = store::openConfiguredStore(localFile);
    report::exportPdf(prepareStoredReceipt(*store, request.receiptId, request.templatePath),
                      request.outputPath);
}

int runPdfCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                  QTextStream& err) {
    PdfRequest request;
    QString problem;
    // Installed, zelkctl reads the user's own database and template, as the program does.
    const data::FileLocations files = data::locateFiles(applicationFilePath);
    const QString folder =
        files.userFolder.isEmpty() ? data::programFolder(applicationFilePath) : files.userFolder;
    if (!parsePdfArguments(words, folder, &request, &problem)) {
        err << problem << '\n';
        return 2;
    }
    try {
        writeReceiptPdf(request);
    } catch (const data::DatabaseError& error) {
        // The sentence and, on its own line, the engine's text.
        err << QString::fromUtf8(error.what()) << '\n';
        return 1;
    } catch (const report::ReportError& error) {
        err << error.message() << '\n';
        return 1;
    }
    out << "已写入 PDF：" << request.outputPath << '\n';
    return 0;
}

} // namespace zelk::tools
