#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace zelk::tools {

struct DefaultFiles;

// What "zelkctl print" is asked to do.
struct PrintRequest {
    QString receiptId;
    QString printerName; // empty: the system's default printer
    int copies = 1;
    QString databasePath;
    QString templatePath;
};

// Reads "KPID [--printer NAME] [--copies N] [--database PATH] [--template PATH]" (the words
// after "print"). Missing paths take the default files. Returns false with a reason when the
// words do not fit.
bool parsePrintArguments(const QStringList& words, const DefaultFiles& defaults,
                         PrintRequest* request, QString* problem);

// The print command: prints the stored receipt through the same path as the preview window's
// print button (the printer's stored offset included). Returns the exit status (0 sent to the
// printer, 1 failed and nothing printed, 2 wrong arguments).
int runPrintCommand(const QStringList& words, const QString& applicationFilePath, QTextStream& out,
                    QTextStream& err);

} // namespace zelk::tools
