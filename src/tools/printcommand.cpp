#include "tools/printcommand.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "printing/printerprofiles.h"
#include "printing/printjob.h"
#include "report/preparedreport.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"
#include "tools/pdfcommand.h"

#include <QTextStream>

namespace zelk::tools {

bool parsePrintArguments(const QStringList& words, const DefaultFiles& defaults,
                         PrintRequest* request, QString* problem) {
    CommandArguments arguments({"printer", "copies", "database", "template"});
    if (!arguments.parse(words, 1, QStringLiteral("需要一个发票编号"), problem))
        return false;
    PrintRequest result;
    result.receiptId = arguments.positional().first();
    result.printerName = arguments.value(QStringLiteral("printer"));
    result.databasePath = arguments.value(QStringLiteral("database"), defaults.database);
    result.templatePath = arguments.value(QStringLiteral("template"), defaults.templateFile);
    if (arguments.isSet(QStringLiteral("copies"))) {
        const QString copies = arguments.value(QStringLiteral("copies"));
        bool ok = false;
        result.copies = copies.toInt(&ok);
        if (!ok || result.copies < 1 || result.copies > 99) {
            *problem = QStringLiteral("份数必须是 1 到 99 的整数：%1").arg(copies);
            return false;
        }
    }
    *request = result;
    return true;
}

int runPrintCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                    QTextStream& err) {
    PrintRequest request;
    QString problem;
    if (!parsePrintArguments(words, defaultFiles(applicationFilePath), &request, &problem)) {
        err << problem << '\n';
        return 2;
    }
    try {
        // The receipt from the store the file's settings choose; the printer's offset from the
        // file itself, since it belongs to this desk's printer.
        store::FileStore localFile(request.databasePath);
        data::Connection& connection = localFile.connection();
        const std::unique_ptr<store::Store> store = store::openConfiguredStore(localFile);
        const report::PreparedReport prepared =
            prepareStoredReceipt(*store, request.receiptId, request.templatePath);
        const QString printer = printing::choosePrinter(request.printerName);
        const printing::PrinterProfiles profiles(connection);
        printing::printReport(printer, request.copies, prepared, &profiles);
        out << "已发送到打印机 " << printer << "：发票 " << request.receiptId << "，"
            << request.copies << " 份\n";
    } catch (const data::DatabaseError& error) {
        err << error.message() << '\n';
        return 1;
    } catch (const report::ReportError& error) {
        err << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
