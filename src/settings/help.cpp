#include "settings/help.h"

#include "data/filelocations.h"
#include "data/programfolder.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace zelk::settings {

namespace {

#ifdef Q_OS_WIN
bool startViewer(const QString& path) {
    // The shell's "open" verb is the one way to ask the viewer for a maximised window.
    const auto result = reinterpret_cast<quintptr>(ShellExecuteW(
        nullptr, L"open", reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()),
        nullptr, nullptr, SW_SHOWMAXIMIZED));
    return result > 32;
}
#else
// Whether the desktop names an application for the file's type. xdg-open itself cannot tell
// us: it is started in the background and fails there, after we have let go of it.
bool desktopHasViewer(const QString& path) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    const QString type =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

bool startViewer(const QString& path) {
    // Neither window-state request exists here: the viewer opens at its own size.
    if (desktopHasViewer(path) && QProcess::startDetached(QStringLiteral("xdg-open"), {path}))
        return true;
    return QProcess::startDetached(QStringLiteral("xchm"), {path});
}
#endif

} // namespace

QString helpFilePath(const QString& executablePath) {
    const QString located = data::locateFiles(executablePath).helpFile;
    if (QFileInfo::exists(located))
        return located;
    return data::programFolder(executablePath) + QStringLiteral("help.chm");
}

void openHelp(QWidget* parent, const QString& executablePath) {
    const QString path = helpFilePath(executablePath);
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo(path).isFile()) {
        ui::MessageBox::error(parent, QStringLiteral("找不到帮助文件 %1。请把 help.chm 放回程序"
                                                     "所在的文件夹。")
                                          .arg(shown));
        return;
    }
    if (!startViewer(path))
        ui::MessageBox::error(parent, QStringLiteral("无法打开帮助文件 %1：本机没有能打开 CHM "
                                                     "文件的查看程序。请安装 xchm 后再试。")
                                          .arg(shown));
}

} // namespace zelk::settings
