#pragma once

#include <QString>

namespace zelk::settings {

// help.chm beside the executable, whatever the executable's name; for an installed program the
// one in its installed folder (data/filelocations.h) when it is there.
QString helpFilePath(const QString& executablePath);

// Asks the desktop to open the help file with its associated viewer; the outcome is not looked
// at, so a missing file or a failing viewer produces nothing from the program. On Windows the
// viewer is asked to open maximised; elsewhere the desktop offers no such request and the
// viewer opens at its own size.
void openHelp(const QString& executablePath);

} // namespace zelk::settings
