#pragma once

#include "report/preparedreport.h"
#include "report/reporterror.h"

#include <QString>

class QPrinter;

namespace zelk::printing {

class PrinterProfiles;

// What one print job is asked to do.
struct PrintOptions {
    QString printerName; // a queue of the print service
    int copies = 1;
    int fromPage = 0, toPage = 0; // 1-based; 0 for all pages
    // Print a form whose paper the queue does not list on one of its standard sizes: only when
    // the operator chose it explicitly.
    bool allowOtherPaper = false;
    QString title; // the job's name, as the queue and the printer's panel show it
    // Continuous paper: count the sheets in the printer's profile and go on correcting from the
    // sheets printed before (off for the calibration sheets, which show the printer as it is).
    bool continuous = true;
};

// What the print service said when it took the job.
struct PrintResult {
    QString printerName;
    int jobId = 0;
    int sheets = 0; // sheets drawn (pages times copies)
};

// The queue a job goes to: the named one, else the remembered one, else the print service's
// default queue. Throws report::ReportError with a Chinese sentence when there is no print
// service, no such queue, or no queue at all.
QString choosePrinter(const QString& name, const QString& remembered = {});

// Asks the queue first and refuses, sending nothing, when it rejects jobs, is stopped or cannot
// take the report's paper (unless options.allowOtherPaper). Then draws the pages of the range,
// moved by the printer's own stored offset (the report's when it has none) and, sheet by sheet,
// by its page-length correction counted on from the sheets printed since the paper was aligned,
// sends them as one job whose page is exactly the report's paper, and follows the job for a few
// seconds: it returns only when the service accepted it, and throws report::ReportError (the
// queue named, in Chinese, the service's own text as a detail line) when the job was refused,
// held, stopped, cancelled or aborted. profiles may be null. Throws DatabaseError when reading
// or counting in the profile fails.
PrintResult printReport(const report::PreparedReport& report, const PrintOptions& options,
                        PrinterProfiles* profiles);

// Thrown when the queue cannot take the report's paper: the caller may ask the operator and try
// again with allowOtherPaper.
class PaperRefused : public report::ReportError {
public:
    using report::ReportError::ReportError;
};

// Prints to the file the printer is set to (PDF output the operator chose), through Qt, with
// the report's offset.
void printToFile(QPrinter& printer, const report::PreparedReport& report);

// Why nothing can be printed at all (no print service, no queue), or empty.
QString printUnavailable();

// "收据 <发票号码>", as the status line confirms a print.
QString receiptLabel(const report::PreparedReport& report);
// The job name of a receipt: "收据 <发票号码> <付款方名称>", read from the laid-out fields
// fphm and fkfmc; "收据" alone when the report has neither.
QString receiptJobTitle(const report::PreparedReport& report);

} // namespace zelk::printing
