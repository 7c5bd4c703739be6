#include "data/connection.h"

#include "data/databaseerror.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace zelk::data {

namespace {

// SQLCipher 3 keeps no cipher settings in the file, so every open must set the same ones.
constexpr const char* cipherSettings = "PRAGMA cipher_page_size = 4096;";

} // namespace

QString engineMessage(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("数据库未打开");
}

QString connectionStringValue(const QString& connectionString, const QString& name) {
    const auto pairs = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& pair : pairs) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (pair.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return pair.mid(eq + 1);
    }
    return {};
}

sqlite3* openEncrypted(const QString& path, const QString& key, bool create) {
    if (path.isEmpty())
        throw DatabaseError(QStringLiteral("连接字符串中没有数据库文件路径"));
    const QFileInfo info(path);
    if (!create && !info.exists())
        throw DatabaseError(QStringLiteral("数据库文件不存在：%1").arg(path));
    if (!create && !info.isFile())
        throw DatabaseError(QStringLiteral("数据库路径不是文件：%1").arg(path));

    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const QByteArray nativePath = path.toUtf8();
    int rc = sqlite3_open_v2(nativePath.constData(), &db, flags, nullptr);
    auto fail = [&](const QString& what) {
        const QString message = QStringLiteral("无法打开数据库 %1：%2").arg(path, what);
        sqlite3_close(db);
        throw DatabaseError(message);
    };
    if (rc != SQLITE_OK)
        fail(engineMessage(db));

    const QByteArray keyBytes = key.toUtf8();
    if (sqlite3_key(db, keyBytes.constData(), int(keyBytes.size())) != SQLITE_OK)
        fail(engineMessage(db));
    if (sqlite3_exec(db, cipherSettings, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(engineMessage(db));
    sqlite3_busy_timeout(db, Connection::busyTimeoutMs);

    // A wrong key only shows on the first read, so read once now.
    rc = sqlite3_exec(db, "select count(*) from sqlite_master;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_NOTADB)
        fail(QStringLiteral("密码错误，或文件不是本程序的数据库"));
    if (rc != SQLITE_OK)
        fail(engineMessage(db));

    // Rollback journal with full syncs: a committed save survives a crash or power loss, and
    // the database stays a single file between runs.
    if (sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL;", nullptr,
                     nullptr, nullptr) != SQLITE_OK)
        fail(engineMessage(db));
    return db;
}

Connection::~Connection() {
    close();
}

void Connection::setConnectionString(const QString& connectionString) {
    connectionString_ = connectionString;
}

QString Connection::path() const {
    return connectionStringValue(connectionString_, QStringLiteral("Data Source"));
}

QString Connection::key() const {
    return connectionStringValue(connectionString_, QStringLiteral("Password"));
}

void Connection::open() {
    close();
    db_ = openEncrypted(path(), key(), false);
}

void Connection::close() {
    if (db_) {
        // sqlite3_close_v2 defers the close until unfinalized statements are gone, so a
        // statement object that outlives the close never touches a freed handle.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Connection::executeDirect(const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : engineMessage(db_);
        sqlite3_free(error);
        throw DatabaseError(message);
    }
}

sqlite3* Connection::handle() const {
    if (!db_)
        throw DatabaseError(QStringLiteral("数据库未打开"));
    return db_;
}

} // namespace zelk::data
