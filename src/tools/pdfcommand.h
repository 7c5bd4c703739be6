#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::store {
class Store;
} // namespace zelk::store

namespace zelk::report {
struct PreparedReport;
} // namespace zelk::report

namespace zelk::tools {

struct DefaultFiles;

// The stored receipt laid out through the template, with its stored remarks (bz2) as V0: the
// same pages the preview shows. A receipt id that no stored receipt has is a DatabaseError.
// Throws DatabaseError and report::ReportError.
report::PreparedReport prepareStoredReceipt(store::Store& store, const QString& receiptId,
                                            const QString& templatePath);

// What "zelkctl pdf" is asked to do.
struct PdfRequest {
    QString receiptId;
    QString outputPath;
    QString databasePath; // the receipt database file
    QString templatePath; // the report template
};

// Reads "KPID FILE.pdf [--database PATH] [--template PATH]" (the words after "pdf"). Missing
// options take the default files. Returns false with a reason when the words do not fit.
bool parsePdfArguments(const QStringList& words, const DefaultFiles& defaults, PdfRequest* request,
                       QString* problem);

// Renders the stored receipt through the template into the PDF file: the same pages the
// preview shows, with the receipt's stored remarks (bz2) as V0. A receipt id that no stored
// receipt has is a DatabaseError and nothing is written. Throws DatabaseError and
// report::ReportError.
void writeReceiptPdf(const PdfRequest& request);

// The pdf command: words are the arguments after "pdf", applicationFilePath is zelkctl's own
// path. Returns the exit status (0 done, 1 failed, 2 wrong arguments); messages go to out and
// err.
int runPdfCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                  QTextStream& err);

} // namespace zelk::tools
