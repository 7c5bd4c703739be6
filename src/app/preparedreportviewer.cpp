#include "app/preparedreportviewer.h"

#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "settings/help.h"
#include "ui/messagebox.h"

namespace zelk::app {

int showPreparedReportFile(const QString& path, const QString& executablePath) {
    report::PreparedReport prepared;
    try {
        prepared = report::loadPreparedReport(path);
    } catch (const report::ReportError& error) {
        ui::MessageBox::error(nullptr, error.message());
        return 1;
    }
    report::PreviewWindow window(prepared);
    window.setHelpHandler(
        [&window, executablePath] { settings::openHelp(&window, executablePath); });
    window.exec();
    return 0;
}

} // namespace zelk::app
