#include "settings/help.h"

#include "data/filelocations.h"
#include "data/programfolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace zelk::settings {

QString helpFilePath(const QString& executablePath) {
    const QString located = data::locateFiles(executablePath).helpFile;
    if (QFileInfo::exists(located))
        return located;
    return data::programFolder(executablePath) + QStringLiteral("help.chm");
}

void openHelp(const QString& executablePath) {
    const QString path = helpFilePath(executablePath);
#ifdef Q_OS_WIN
    // The shell's "open" verb is the one way to ask the viewer for a maximised window.
    ShellExecuteW(nullptr, L"open",
                  reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), nullptr,
                  nullptr, SW_SHOWMAXIMIZED);
#else
    // openUrl has no window-state request: the viewer (e.g. xCHM) opens at its own size.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

} // namespace zelk::settings
