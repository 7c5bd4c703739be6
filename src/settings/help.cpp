#include "help.h"

#include "data/programfolder.h"

#include <QDesktopServices>
#include <QUrl>

namespace zelk::settings {

QString helpFilePath(const QString& executablePath) {
    return data::programFolder(executablePath) + QStringLiteral("help.chm");
}

void openHelp(const QString& executablePath) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpFilePath(executablePath)));
}

} // namespace zelk::settings
