#pragma once

#include <QString>

class QWidget;

namespace zelk::settings {

// help.chm beside the executable, whatever the executable's name; for an installed program the
// one in its installed folder (data/filelocations.h) when it is there.
QString helpFilePath(const QString& executablePath);

// Opens the help file in a viewer. On Windows the shell opens it maximised. Elsewhere the
// desktop's viewer for the file's type is used when the desktop names one (xdg-mime, xdg-open);
// otherwise the CHM viewer xchm is started directly with the file. When the file is missing or
// no viewer can be started, an error box under `parent` names the file.
void openHelp(QWidget* parent, const QString& executablePath);

} // namespace zelk::settings
