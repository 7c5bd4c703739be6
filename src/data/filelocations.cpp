#include "data/filelocations.h"

#include "data/databaseerror.h"
#include "data/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace zelk::data {

namespace {

const QString databaseFile = QStringLiteral("Data/zelk.mdb");
const QString reportFolder = QStringLiteral("report/");

QString withSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

[[noreturn]] void cannotMake(const QString& folder, const QString& detail) {
    throw DatabaseError(
        QStringLiteral("无法创建数据文件夹 %1，请检查该文件夹的权限和磁盘空间！（%2）")
            .arg(QDir::toNativeSeparators(folder), detail));
}

const QFileDevice::Permissions ownerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Makes the folder (and its parents) and leaves it open to its owner only, also when an earlier
// version made it readable by every account.
void makePrivateFolder(const QString& folder) {
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        cannotMake(folder, QStringLiteral("文件夹不存在且无法创建，或不可写入"));
    QFile::setPermissions(folder, ownerOnly);
}

} // namespace

FileLocations locateFiles(const QString& executablePath, const QString& userDataHome) {
    const QString own = programFolder(executablePath);
    const QFileInfo ownFolder(own.isEmpty() ? QStringLiteral(".") : own);
    FileLocations files;
    if (QFileInfo::exists(own + databaseFile) || ownFolder.isWritable()) {
        files.dataFolder = executableFolder(executablePath);
        files.templateFolder = own;
        files.helpFile = own + QStringLiteral("help.chm");
        return files;
    }
    files.userFolder = withSeparator(userDataHome) + QStringLiteral("zelk/");
    files.installedFolder =
        QDir::cleanPath(ownFolder.absoluteFilePath() + QStringLiteral("/../share/zelk")) +
        QLatin1Char('/');
    files.dataFolder = files.userFolder;
    files.templateFolder = files.userFolder;
    files.helpFile = files.installedFolder + QStringLiteral("help.chm");
    return files;
}

FileLocations locateFiles(const QString& executablePath) {
    return locateFiles(executablePath,
                       QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

void prepareUserFolder(const FileLocations& files,
                       const std::function<void(const QString&)>& createDatabase) {
    if (files.userFolder.isEmpty())
        return;
    makePrivateFolder(files.userFolder);
    makePrivateFolder(files.userFolder + QStringLiteral("Data"));
    makePrivateFolder(files.userFolder + reportFolder);
    const QString database = files.userFolder + databaseFile;
    if (!QFileInfo::exists(database))
        createDatabase(database);
    else // an earlier version made it readable by every account
        QFile::setPermissions(database, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QDir shipped(files.installedFolder + reportFolder);
    for (const QString& name : shipped.entryList(QDir::Files)) {
        const QString target = files.userFolder + reportFolder + name;
        if (QFileInfo::exists(target))
            continue;
        if (!QFile::copy(shipped.filePath(name), target))
            cannotMake(files.userFolder + reportFolder,
                       QStringLiteral("无法复制 %1").arg(QDir::toNativeSeparators(target)));
        // The installed copy is read-only for the user; the user's own copy is theirs to edit.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
}

} // namespace zelk::data
