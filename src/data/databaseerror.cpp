#include "data/databaseerror.h"

#include <QDir>

#include <sqlite3.h>

namespace zelk::data {

QString failureSentence(int code, const QString& path) {
    const QString file = path.isEmpty()
                             ? QStringLiteral("数据库文件")
                             : QStringLiteral("数据库文件 %1").arg(QDir::toNativeSeparators(path));
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("%1正被另一个运行中的本程序使用，等待后仍未空出，本次操作没有完成。"
                              "请等另一处的操作结束或关闭另一个程序后再试一次。")
            .arg(file);
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，本次操作没有完成，%1没有改动。请腾出磁盘空间后再试一次。")
            .arg(file);
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("%1只能读取、不能写入，本次操作没有完成。"
                              "请检查该文件及其文件夹的写入权限后再试一次。")
            .arg(file);
    case SQLITE_CORRUPT:
        return QStringLiteral("%1已损坏，本次操作没有完成。请关闭程序，用备份的数据库文件替换它。")
            .arg(file);
    case SQLITE_NOTADB:
        return QStringLiteral("%1不是本程序的票据数据库，或密码不对。"
                              "请换用本程序的数据库文件（Data/zelk.mdb）。")
            .arg(file);
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开%1。请确认文件存在，并且程序有权读写它和它所在的文件夹。")
            .arg(file);
    case SQLITE_IOERR:
        return QStringLiteral("读写%1时出错，本次操作没有完成。请检查磁盘后再试一次。").arg(file);
    default:
        return QStringLiteral("%1操作失败，本次操作没有完成。"
                              "请再试一次；仍然失败时，请把详细信息告诉技术支持人员。")
            .arg(file);
    }
}

DatabaseError engineError(sqlite3* db, int rc, const QString& path) {
    const char* name = db && path.isEmpty() ? sqlite3_db_filename(db, "main") : nullptr;
    const QString file = name ? QString::fromUtf8(name) : path;
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    return DatabaseError(failureSentence(rc, file), detail, rc & 0xff);
}

} // namespace zelk::data
