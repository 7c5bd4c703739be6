#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// The bare SQLCipher C API, with nothing of the program around it: the floor the program's
// own code paths are compared with, and the tool for bulk loading and prototypes.
namespace bench::raw {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Opens an encrypted receipt database with the settings every program of ours uses: the key,
// cipher_page_size (default 4096), one read to check the key, full synchronous writes.
sqlite3* open(const QString& path, bool create = false, int pageSize = 4096);
void close(sqlite3* db);
void exec(sqlite3* db, const char* sql);
qint64 scalar(sqlite3* db, const char* sql);

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const QByteArray& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    void bind(int index, const QByteArray& utf8);
    void bind(int index, qint64 value);
    void bind(const char* name, const QByteArray& utf8);
    void bind(const char* name, qint64 value);
    // Steps once; true while a row is ready.
    bool step();
    void reset();
    int columns() const;
    // Touches a column the way a reader must: the UTF-8 bytes, returned as their length.
    int readText(int column) const;
    qint64 integer(int column) const;
    QString text(int column) const;
    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs a statement without parameters to the end; throws on error.
void run(sqlite3* db, const QByteArray& sql);

} // namespace bench::raw
