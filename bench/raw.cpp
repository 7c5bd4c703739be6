#include "raw.h"

#include "data/connection.h"
#include "store/fileschema.h"

#include <sqlite3.h>

namespace bench::raw {

namespace {

[[noreturn]] void fail(sqlite3* db, const char* what) {
    throw Error(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no handle"));
}

} // namespace

sqlite3* open(const QString& path, bool create, int pageSize) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw Error("open " + path.toStdString() + ": " + message);
    }
    const char* key = zelk::data::databaseKey;
    if (sqlite3_key(db, key, int(qstrlen(key))) != SQLITE_OK)
        fail(db, "key");
    exec(db, QByteArray("PRAGMA cipher_page_size = " + QByteArray::number(pageSize)).constData());
    sqlite3_busy_timeout(db, 5000);
    exec(db, "select count(*) from sqlite_master");
    exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL;");
    return db;
}

void close(sqlite3* db) {
    sqlite3_close_v2(db);
}

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw Error(std::string(sql) + ": " + text);
    }
}

qint64 scalar(sqlite3* db, const char* sql) {
    Stmt s(db, sql);
    return s.step() ? s.integer(0) : 0;
}

void run(sqlite3* db, const QByteArray& sql) {
    Stmt s(db, sql);
    while (s.step()) {
    }
}

Stmt::Stmt(sqlite3* db, const QByteArray& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        throw Error("prepare " + sql.toStdString() + ": " + sqlite3_errmsg(db));
}

Stmt::~Stmt() {
    sqlite3_finalize(stmt_);
}

void Stmt::bind(int index, const QByteArray& utf8) {
    if (sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail(db_, "bind");
}

void Stmt::bind(int index, qint64 value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        fail(db_, "bind");
}

void Stmt::bind(const char* name, const QByteArray& utf8) {
    const int index = sqlite3_bind_parameter_index(stmt_, name);
    if (index == 0)
        throw Error(std::string("no parameter ") + name);
    bind(index, utf8);
}

void Stmt::bind(const char* name, qint64 value) {
    const int index = sqlite3_bind_parameter_index(stmt_, name);
    if (index == 0)
        throw Error(std::string("no parameter ") + name);
    bind(index, value);
}

bool Stmt::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, "step");
}

void Stmt::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Stmt::columns() const {
    return sqlite3_column_count(stmt_);
}

int Stmt::readText(int column) const {
    const unsigned char* p = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? n : 0;
}

qint64 Stmt::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QString Stmt::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column)) : QString();
}

} // namespace bench::raw
