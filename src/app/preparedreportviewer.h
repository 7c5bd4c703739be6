#pragma once

#include <QString>

namespace zelk::app {

// `zelk FILE.zrp` (a prepared report opened from the file manager): shows the saved pages in the
// modal preview window, without the main window or the database, and returns the exit status
// when the window closes. A file that cannot be read gives the error box with the reason and
// status 1.
int showPreparedReportFile(const QString& path, const QString& executablePath);

} // namespace zelk::app
