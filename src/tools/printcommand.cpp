#include "tools/printcommand.h"

#include "data/databaseerror.h"
#include "printing/printerprofiles.h"
#include "printing/printjob.h"
#include "report/preparedreport.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/commandline.h"
#include "tools/pdfcommand.h"

#include <QFileInfo>
#include <QTextStream>

namespace zelk::tools {

bool parsePrintArguments(const QStringList& words, const DefaultFiles& defaults,
                         PrintRequest* request, QString* problem) {
    CommandArguments arguments({"printer", "copies", "pages", "database", "template"},
                               {"allow-other-paper"});
    if (!arguments.parse(words, 1, QStringLiteral("需要一个发票编号"), problem))
        return false;
    PrintRequest result;
    result.receiptId = arguments.positional().first();
    result.printerName = arguments.value(QStringLiteral("printer"));
    result.databasePath = arguments.value(QStringLiteral("database"), defaults.database);
    result.templatePath = arguments.value(QStringLiteral("template"), defaults.templateFile);
    result.allowOtherPaper = arguments.isSet(QStringLiteral("allow-other-paper"));
    if (arguments.isSet(QStringLiteral("copies"))) {
        const QString copies = arguments.value(QStringLiteral("copies"));
        bool ok = false;
        result.copies = copies.toInt(&ok);
        if (!ok || result.copies < 1 || result.copies > 99) {
            *problem = QStringLiteral("份数必须是 1 到 99 的整数：%1").arg(copies);
            return false;
        }
    }
    if (arguments.isSet(QStringLiteral("pages"))) {
        const QString pages = arguments.value(QStringLiteral("pages"));
        const QStringList ends = pages.split(u'-');
        bool okFrom = false, okTo = false;
        result.fromPage = ends.value(0).toInt(&okFrom);
        result.toPage = ends.size() == 1 ? result.fromPage : ends.value(1).toInt(&okTo);
        if (ends.size() > 2 || !okFrom || (ends.size() == 2 && !okTo) || result.fromPage < 1 ||
            result.toPage < result.fromPage) {
            *problem = QStringLiteral("页码范围必须写成 A-B（1 ≤ A ≤ B）：%1").arg(pages);
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
        const store::DeskStores desk(request.databasePath);
        const report::PreparedReport prepared =
            prepareStoredReceipt(*desk.store, request.receiptId, request.templatePath);
        printing::PrinterProfiles profiles(*desk.localFile);
        printing::PrintOptions options;
        options.printerName = printing::choosePrinter(
            request.printerName,
            profiles.rememberedPrinter(QFileInfo(request.templatePath).fileName()));
        options.copies = request.copies;
        options.fromPage = request.fromPage;
        options.toPage = request.toPage;
        options.allowOtherPaper = request.allowOtherPaper;
        options.title = printing::receiptJobTitle(prepared);
        const printing::PrintResult sent = printing::printReport(prepared, options, &profiles);
        out << "已发送到打印机 " << sent.printerName << "：" << printing::receiptLabel(prepared)
            << "（作业 " << sent.jobId << "），" << request.copies << " 份\n";
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
