#pragma once

#include "printing/printerprofiles.h"
#include "printing/printjob.h"

#include <QMap>
#include <QObject>
#include <QString>

class QPrinter;

namespace zelk::report {
class PreviewWindow;
struct PreparedReport;
} // namespace zelk::report

namespace zelk::printing {

// Joins a preview window with the printer profiles stored in the database:
// - the window's printer starts as the printer last used with this template, else the system's
//   default printer, and the status line says when the remembered printer is gone;
// - printing asks the queue first, applies the chosen printer's own offset (the template's when
//   it has none) and its page-length correction counted on across jobs, follows the job, says
//   in the status line that it was sent, and remembers the printer for the template;
// - "打印校准页" prints the template's calibration sheet on the chosen printer;
// - "打印机偏移…" edits the chosen printer's offset and page-length correction.
// Lives as long as the window (it is the window's child).
class PreviewPrinting : public QObject {
    Q_OBJECT

public:
    PreviewPrinting(report::PreviewWindow& window, store::FileStore& localFile,
                    const QString& templatePath, QMap<QString, QString> fieldNames);

    // The commands behind the two actions, without dialogs for printing. Errors go to the
    // error box; the return value says whether it worked.
    // sheets > 1 prints the sheet that many times in one job, for the page-length correction.
    bool printCalibrationSheet(int sheets = 1);
    void editOffset();

private:
    // The window's print button: to the file the operator chose, or as a job followed through
    // the print service; the status line confirms it and the printer is remembered.
    void print(QPrinter& printer, const report::PreparedReport& report);
    // Prints; when the queue takes only standard paper, asks the operator first and prints
    // on it only with a yes (the refusal is thrown on a no).
    PrintResult sendAsking(const report::PreparedReport& report, PrintOptions options,
                           PrinterProfiles* profiles);
    void preselectPrinter();
    QString templateKey() const;

    report::PreviewWindow& window_;
    PrinterProfiles profiles_;
    QString templatePath_;
    QMap<QString, QString> fieldNames_;
};

} // namespace zelk::printing
