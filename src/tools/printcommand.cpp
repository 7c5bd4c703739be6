#include "tools/printcommand.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "printing/printerprofiles.h"
#include "printing/printjob.h"
#include "report/preparedreport.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "store/storeconfig.h"
#include "tools/pdfcommand.h"

#include <QFileInfo>
#include <QTextStream>

namespace zelk::tools {

bool parsePrintArguments(const QStringList& words, const QString& programFolder,
                         PrintRequest* request, QString* problem) {
    PrintRequest result;
    result.databasePath = programFolder + QStringLiteral("Data/zelk.mdb");
    result.templatePath = programFolder + QStringLiteral("report/fp3.frf");
    QStringList positional;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (!word.startsWith(QLatin1String("--"))) {
            positional.append(word);
            continue;
        }
        if (word == QLatin1String("--allow-other-paper")) {
            result.allowOtherPaper = true;
            continue;
        }
        QString* target = nullptr;
        QString copies, pages;
        if (word == QLatin1String("--printer"))
            target = &result.printerName;
        else if (word == QLatin1String("--copies"))
            target = &copies;
        else if (word == QLatin1String("--pages"))
            target = &pages;
        else if (word == QLatin1String("--database"))
            target = &result.databasePath;
        else if (word == QLatin1String("--template"))
            target = &result.templatePath;
        if (!target) {
            *problem = QStringLiteral("未知选项 %1").arg(word);
            return false;
        }
        if (i + 1 >= words.size() || words.at(i + 1).isEmpty()) {
            *problem = QStringLiteral("选项 %1 后缺少值").arg(word);
            return false;
        }
        *target = words.at(++i);
        if (target == &copies) {
            bool ok = false;
            result.copies = copies.toInt(&ok);
            if (!ok || result.copies < 1 || result.copies > 99) {
                *problem = QStringLiteral("份数必须是 1 到 99 的整数：%1").arg(copies);
                return false;
            }
        }
        if (target == &pages) {
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
    }
    if (positional.size() != 1) {
        *problem = QStringLiteral("需要一个发票编号");
        return false;
    }
    result.receiptId = positional.at(0);
    *request = result;
    return true;
}

int runPrintCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                    QTextStream& err) {
    PrintRequest request;
    QString problem;
    if (!parsePrintArguments(words, data::programFolder(applicationFilePath), &request, &problem)) {
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
        printing::PrinterProfiles profiles(connection);
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
