#include "printing/printjob.h"

#include "printing/printerprofiles.h"
#include "report/render.h"
#include "report/reporterror.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace zelk::printing {

QString choosePrinter(const QString& name) {
    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (name.isEmpty()) {
        const QString chosen = QPrinterInfo::defaultPrinterName();
        if (chosen.isEmpty())
            throw report::ReportError(
                names.isEmpty() ? QStringLiteral("系统中没有可用的打印机，未打印。")
                                : QStringLiteral("系统没有默认打印机，请指定打印机。未打印。"));
        return chosen;
    }
    if (!names.contains(name))
        throw report::ReportError(QStringLiteral("找不到打印机“%1”，未打印。").arg(name));
    return name;
}

void printReport(QPrinter& printer, report::PreparedReport report,
                 const PrinterProfiles* profiles) {
    if (profiles) {
        if (const std::optional<QPointF> own = profiles->offset(printer.printerName()))
            report.printerOffset = *own;
        report.feedCorrection = profiles->feedCorrection(printer.printerName());
    }
    report::printReport(printer, report);
}

void printReport(const QString& printerName, int copies, const report::PreparedReport& report,
                 const PrinterProfiles* profiles) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(choosePrinter(printerName));
    printer.setCopyCount(copies);
    printReport(printer, report, profiles);
}

} // namespace zelk::printing
