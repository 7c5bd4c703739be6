#include "store/backupfile.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "store/fileschema.h"

#include <QDir>
#include <QMap>
#include <QStringList>

#include <sqlite3.h>

namespace zelk::store {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Closes the handle when it leaves the scope.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() {
        if (db)
            sqlite3_close_v2(db);
    }
};

void exec(sqlite3* db, const char* sql, const QString& path) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw data::engineError(db, rc, path);
}

// Every table's row count, on the connection's current snapshot.
QMap<QString, qint64> countRows(sqlite3* db, const QString& path) {
    QStringList tables;
    {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(
            db, "select name from sqlite_master where type = 'table' order by name", -1, &st,
            nullptr);
        while (rc == SQLITE_OK || rc == SQLITE_ROW) {
            if ((rc = sqlite3_step(st)) != SQLITE_ROW)
                break;
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw data::engineError(db, rc, path);
    }
    QMap<QString, qint64> counts;
    for (const QString& table : tables) {
        // A table name cannot be a bound parameter; it comes from the file's own catalogue and
        // is quoted as an identifier.
        QString quoted = table;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        const QByteArray sql = ("select count(*) from \"" + quoted + "\"").toUtf8();
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW)
            counts.insert(table, sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW)
            throw data::engineError(db, rc, path);
    }
    return counts;
}

// The integrity check and the receipt tables; every table's row count.
QMap<QString, qint64> checkOpen(sqlite3* db, const QString& path) {
    schema::requireReceiptTables(db, path);
    sqlite3_stmt* st = nullptr;
    QStringList problems;
    int rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = sqlite3_step(st)) != SQLITE_ROW)
            break;
        problems << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw data::engineError(db, rc, path);
    if (problems != QStringList{QStringLiteral("ok")})
        throw data::DatabaseError(
            QStringLiteral("数据库文件 %1 已损坏（完整性检查未通过）。").arg(shown(path)),
            problems.mid(0, 5).join(QLatin1Char('\n')));
    return countRows(db, path);
}

FileContents contentsOf(const QMap<QString, qint64>& counts) {
    FileContents contents;
    contents.receipts = counts.value(QStringLiteral("fpmain"));
    contents.lines = counts.value(QStringLiteral("fpdetail"));
    contents.settings = counts.value(QStringLiteral("SysSet"));
    contents.earlierVersions = counts.value(QStringLiteral("fpmain_history"));
    return contents;
}

// Opens and checks `path`; every table's row count.
QMap<QString, qint64> checkedCounts(const QString& path) {
    Handle h;
    try {
        h.db = data::openEncrypted(path, QString::fromLatin1(data::databaseKey), false);
    } catch (const data::DatabaseError& error) {
        throw data::DatabaseError(
            QStringLiteral("%1 不是本程序的收据数据库，或已损坏。").arg(shown(path)),
            error.detail().isEmpty() ? error.message() : error.detail(), error.code());
    }
    return checkOpen(h.db, path);
}

} // namespace

FileContents checkFile(const QString& path) {
    return contentsOf(checkedCounts(path));
}

FileContents backupFile(const QString& databasePath, const QString& temporary,
                        const QString& shownAs) {
    const QString key = QString::fromLatin1(data::databaseKey);
    QMap<QString, qint64> counts;
    {
        Handle source;
        source.db = data::openEncrypted(databasePath, key, false);
        schema::requireReceiptTables(source.db, databasePath);
        Handle copy;
        copy.db = data::openEncrypted(temporary, key, false);

        // One read transaction on the source: the counts and the copied pages are the same
        // snapshot, and a writer in another program waits until the copy is done.
        exec(source.db, "BEGIN", databasePath);
        counts = countRows(source.db, databasePath);
        sqlite3_backup* job = sqlite3_backup_init(copy.db, "main", source.db, "main");
        if (!job)
            throw data::engineError(copy.db, sqlite3_errcode(copy.db), temporary);
        const int stepped = sqlite3_backup_step(job, -1);
        const int finished = sqlite3_backup_finish(job);
        sqlite3_exec(source.db, "COMMIT", nullptr, nullptr, nullptr);
        if (stepped != SQLITE_DONE)
            throw data::DatabaseError(
                QStringLiteral("备份数据库 %1 失败。").arg(shown(databasePath)),
                QString::fromUtf8(sqlite3_errstr(stepped)), stepped);
        if (finished != SQLITE_OK)
            throw data::engineError(copy.db, finished, temporary);
    }
    // The copy counts only once it opens with the key, passes the check and holds what the
    // source held.
    if (checkedCounts(temporary) != counts)
        throw data::DatabaseError(QStringLiteral("备份文件 %1 与数据库的行数不一致，备份无效。")
                                      .arg(shown(shownAs.isEmpty() ? temporary : shownAs)));
    return contentsOf(counts);
}

} // namespace zelk::store
