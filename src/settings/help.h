#pragma once

#include <QString>

namespace zelk::settings {

// help.chm beside the executable, whatever the executable's name.
QString helpFilePath(const QString& executablePath);

// Asks the desktop to open the help file; the outcome is not looked at.
void openHelp(const QString& executablePath);

} // namespace zelk::settings
