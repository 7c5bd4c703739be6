#include "backup/filebackup.h"

#include "data/databaseerror.h"
#include "store/backupfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace zelk::backup {

namespace {

constexpr QFileDevice::Permissions ownerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions ownerFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// zelk-20261206-233000.mdb, with "-2", "-3" ... when a second backup falls in the same second.
const QRegularExpression& backupName() {
    static const QRegularExpression name(QStringLiteral("^zelk-(\\d{8}-\\d{6})(?:-\\d+)?\\.mdb$"));
    return name;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString freeName(const QString& folder, const QDateTime& now) {
    const QString stem = QStringLiteral("zelk-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem + QStringLiteral(".mdb");
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name)) ||
                    QFileInfo::exists(QDir(folder).filePath(name + QStringLiteral(".tmp")));
         ++n)
        name = stem + QStringLiteral("-%1.mdb").arg(n);
    return QDir(folder).filePath(name);
}

// The backup files of `folder`, newest first.
QList<QPair<QString, QDateTime>> backupFiles(const QString& folder) {
    QList<QPair<QString, QDateTime>> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("zelk-*.mdb")}, QDir::Files)) {
        const auto match = backupName().match(name);
        if (!match.hasMatch())
            continue;
        const QDateTime made =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (made.isValid())
            files.append({dir.filePath(name), made});
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first > b.first;
    });
    return files;
}

} // namespace

QString automaticFolder(const QString& databasePath) {
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backup"));
}

FileCheck checkDatabase(const QString& path) {
    return store::checkFile(path);
}

QString makeBackup(const QString& databasePath, const QString& folder, const QDateTime& now) {
    if (!QDir().mkpath(folder))
        throw data::DatabaseError(
            QStringLiteral("无法创建备份文件夹 %1。请确认该位置可以写入。").arg(shown(folder)));
    QFile::setPermissions(folder, ownerFolder);

    const QString target = freeName(folder, now);
    const QString temporary = target + QStringLiteral(".tmp");
    // The copy is made owner-only before a byte of the receipts is written into it.
    {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw data::DatabaseError(
                QStringLiteral("无法在 %1 中写入备份文件。请确认该位置可以写入且有空间。")
                    .arg(shown(folder)),
                file.errorString());
        file.setPermissions(ownerFile);
    }
    try {
        store::backupFile(databasePath, temporary, target);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    if (!QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        throw data::DatabaseError(QStringLiteral("无法把备份文件命名为 %1。").arg(shown(target)));
    }
    return target;
}

QList<BackupEntry> listBackups(const QString& folder) {
    QList<BackupEntry> entries;
    for (const auto& [path, made] : backupFiles(folder)) {
        BackupEntry entry{path, made, {}, {}};
        try {
            entry.check = checkDatabase(path);
        } catch (const data::DatabaseError& error) {
            entry.problem = error.message();
        }
        entries.append(entry);
    }
    return entries;
}

int pruneBackups(const QString& folder, int keep) {
    int removed = 0;
    const auto files = backupFiles(folder);
    for (qsizetype i = keep; i < files.size(); ++i)
        removed += QFile::remove(files[i].first) ? 1 : 0;
    return removed;
}

bool automaticBackupDue(const QString& folder, const QDateTime& now) {
    const auto files = backupFiles(folder);
    return files.isEmpty() || files.first().second.date() != now.date();
}

QString runAutomaticBackup(const QString& databasePath, const QDateTime& now) {
    const QString folder = automaticFolder(databasePath);
    if (!automaticBackupDue(folder, now))
        return {};
    const QString written = makeBackup(databasePath, folder, now);
    pruneBackups(folder);
    return written;
}

RestoreResult restoreBackup(const QString& backupPath, const QString& databasePath,
                            const QDateTime& now) {
    const QFileInfo backupInfo(backupPath);
    const QFileInfo databaseInfo(databasePath);
    if (backupInfo.exists() && databaseInfo.exists() &&
        backupInfo.canonicalFilePath() == databaseInfo.canonicalFilePath())
        throw data::DatabaseError(QStringLiteral("备份文件就是当前的数据库文件，无需恢复。"));
    checkDatabase(backupPath);

    const QString temporary = databasePath + QStringLiteral(".restoring");
    QFile::remove(temporary);
    if (!QFile::copy(backupPath, temporary))
        throw data::DatabaseError(
            QStringLiteral("无法把备份复制到 %1。请确认该位置可以写入且有空间。")
                .arg(shown(databaseInfo.absolutePath())));
    QFile::setPermissions(temporary, ownerFile);
    RestoreResult result;
    try {
        result.check = checkDatabase(temporary);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }

    const QString suffix =
        QStringLiteral(".before-restore-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString journal = databasePath + QStringLiteral("-journal");
    if (databaseInfo.exists()) {
        result.keptAside = databasePath + suffix;
        if (!QFile::rename(databasePath, result.keptAside)) {
            QFile::remove(temporary);
            throw data::DatabaseError(QStringLiteral("无法把当前数据库文件改名为 %1，未恢复。")
                                          .arg(shown(result.keptAside)));
        }
    }
    // A rollback journal left by the earlier file belongs to it, not to the restored one.
    if (QFileInfo::exists(journal))
        QFile::rename(journal,
                      (result.keptAside.isEmpty() ? databasePath + suffix : result.keptAside) +
                          QStringLiteral("-journal"));
    if (!QFile::rename(temporary, databasePath)) {
        QFile::remove(temporary);
        if (!result.keptAside.isEmpty())
            QFile::rename(result.keptAside, databasePath);
        throw data::DatabaseError(
            QStringLiteral("无法把备份放到 %1，当前数据库文件未变。").arg(shown(databasePath)));
    }
    return result;
}

} // namespace zelk::backup
