#include "tools/pdfcommand.h"

#include "data/databaseerror.h"
#include "receipt/receiptpreview.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"

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
    return stored->value(QLatin1String("bz2"));
}

} // namespace

bool parsePdfArguments(const QStringList& words, const DefaultFiles& defaults, PdfRequest* request,
                       QString* problem) {
    CommandArguments arguments({"database", "template"});
    if (!arguments.parse(words, 2, QStringLiteral("需要发票编号和 PDF 文件路径"), problem))
        return false;
    request->receiptId = arguments.positional().at(0);
    request->outputPath = arguments.positional().at(1);
    request->databasePath = arguments.value(QStringLiteral("database"), defaults.database);
    request->templatePath = arguments.value(QStringLiteral("template"), defaults.templateFile);
    return true;
}

report::PreparedReport prepareStoredReceipt(store::Store& store, const QString& receiptId,
                                            const QString& templatePath) {
    const QString remarks = storedRemarks(store, receiptId);
    return receipt::prepareReceiptReport(store, receiptId, remarks, templatePath);
}

void writeReceiptPdf(const PdfRequest& request) {
    const store::DeskStores desk(request.databasePath);
    report::exportPdf(prepareStoredReceipt(*desk.store, request.receiptId, request.templatePath),
                      request.outputPath);
}

int runPdfCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                  QTextStream& err) {
    PdfRequest request;
    QString problem;
    if (!parsePdfArguments(words, defaultFiles(applicationFilePath), &request, &problem)) {
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
