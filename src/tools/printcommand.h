#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

struct DefaultFiles;

// What "zelkctl print" is asked to do.
struct PrintRequest {
    QString receiptId;
    QString printerName; // empty: the printer last used with the template, else the default
    int copies = 1;
    int fromPage = 0, toPage = 0; // --pages A-B (1-based); 0: all pages
    bool allowOtherPaper = false;
    QString databasePath;
    QString templatePath;
};

// Reads "KPID [--printer NAME] [--pages A-B] [--copies N] [--allow-other-paper]
// [--database PATH] [--template PATH]" (the words after "print"). Missing paths take the default
// files. Returns false with a reason when the words do not fit.
bool parsePrintArguments(const QStringList& words, const DefaultFiles& defaults,
                         PrintRequest* request, QString* problem);

// The print command: prints the stored receipt through the same path as the preview window's
// print button (the queue asked first, the printer's stored offset and sheet count included, the
// job followed). Returns the exit status (0 the print service accepted the job, 1 failed and
// nothing printed, 2 wrong arguments).
int runPrintCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                    QTextStream& err);

} // namespace zelk::tools
