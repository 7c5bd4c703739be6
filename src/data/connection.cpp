#include "data/connection.h"

#include "data/databaseerror.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace zelk::data {

namespace {

// SQLCipher 3 keeps no cipher settings in the file, so every open must set the same ones.
constexpr const char* cipherSettings = "PRAGMA cipher_page_size = 4096;";

std::function<void()>& lockWaitHook() {
    static std::function<void()> hook;
    return hook;
}

// Waits for another program's lock in short steps, up to the busy timeout. Once the wait has
// lasted a moment the hook is told, so that the window can show that it is waiting.
int waitForLock(void*, int count) {
    constexpr int stepMs = 20;
    if (count * stepMs >= Connection::busyTimeoutMs)
        return 0;
    if (count == Connection::lockWaitNoticeMs / stepMs && lockWaitHook())
        lockWaitHook()();
    sqlite3_sleep(stepMs);
    return 1;
}

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
    const QString shown = QDir::toNativeSeparators(path);
    if (!create && !info.exists())
        throw DatabaseError(QStringLiteral("找不到数据库文件 %1。请确认该位置有 zelk.mdb，"
                                           "或从备份中放回该文件。")
                                .arg(shown));
    if (!create && !info.isFile())
        throw DatabaseError(
            QStringLiteral("%1 不是文件，无法作为数据库打开。请放回数据库文件 zelk.mdb。")
                .arg(shown));

    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const QByteArray nativePath = path.toUtf8();
    auto check = [&](int rc) {
        if (rc == SQLITE_OK)
            return;
        DatabaseError error = engineError(db, rc, path);
        sqlite3_close(db);
        throw error;
    };
    check(sqlite3_open_v2(nativePath.constData(), &db, flags, nullptr));

    const QByteArray keyBytes = key.toUtf8();
    check(sqlite3_key(db, keyBytes.constData(), int(keyBytes.size())));
    check(sqlite3_exec(db, cipherSettings, nullptr, nullptr, nullptr));
    sqlite3_busy_handler(db, waitForLock, nullptr);

    // A wrong key only shows on the first read, so read once now.
    check(sqlite3_exec(db, "select count(*) from sqlite_master;", nullptr, nullptr, nullptr));

    // Rollback journal with full syncs: a committed save survives a crash or power loss, and
    // the database stays a single file between runs.
    check(sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL;", nullptr,
                       nullptr, nullptr));
    return db;
}

void Connection::setLockWaitHook(std::function<void()> hook) {
    lockWaitHook() = std::move(hook);
}

void Connection::noticeLockWait() {
    if (lockWaitHook())
        lockWaitHook()();
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
    const int rc = sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throw engineError(db_, rc);
}

sqlite3* Connection::handle() const {
    if (!db_)
        throw DatabaseError(QStringLiteral("数据库未打开"));
    return db_;
}

} // namespace zelk::data
