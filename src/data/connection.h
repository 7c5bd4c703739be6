#pragma once

#include <QString>
#include <functional>

struct sqlite3;

namespace zelk::data {

// The key every receipt database of this program is encrypted with.
inline constexpr const char* databaseKey = "mvrpbk4709125";

// One encrypted database file, opened from a connection string of "name=value;" pairs:
//   Data Source=<path>;Password=<key>
// Opening never creates the file; a missing file or a wrong key is a DatabaseError whose message
// names the path. Whether the file holds a receipt database is the store's to check.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& connectionString);
    const QString& connectionString() const { return connectionString_; }

    // Closes a connection that is open, then opens the file the connection string names.
    void open();
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // The path and key the connection string names (empty when it names none).
    QString path() const;
    QString key() const;

    // Runs a statement without parameters or results (BEGIN, COMMIT, PRAGMA ...).
    void executeDirect(const QString& sql);

    // The engine handle; throws when the connection is not open.
    sqlite3* handle() const;

    // Milliseconds a statement waits for another program's write lock before it fails.
    static constexpr int busyTimeoutMs = 5000;
    // After this long waiting for a lock, the lock-wait hook is called (once per wait).
    static constexpr int lockWaitNoticeMs = 300;
    // Called on the waiting thread when a statement has waited lockWaitNoticeMs for another
    // program's lock; the window uses it to show a busy cursor. Empty by default.
    static void setLockWaitHook(std::function<void()> hook);
    // Calls the lock-wait hook, for other waits of the same kind (a database server's answer).
    static void noticeLockWait();

private:
    QString connectionString_;
    sqlite3* db_ = nullptr;
};

// Reads one value of a "name=value;name=value" connection string; names compare without case.
QString connectionStringValue(const QString& connectionString, const QString& name);

// Opens `path` with `key` and the cipher settings every program of ours uses. With
// `create` false the file must already exist. Throws DatabaseError; never leaves a handle open
// on failure. Shared by Connection and by the tool that creates new database files.
sqlite3* openEncrypted(const QString& path, const QString& key, bool create);

// The engine's last message for `db`, as text.
QString engineMessage(sqlite3* db);

} // namespace zelk::data
