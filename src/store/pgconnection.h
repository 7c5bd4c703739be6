#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "data/databaseerror.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

namespace zelk::store {

// The connection broke while a statement was under way: the server ends the transaction it
// was in without committing it.
class ConnectionLost : public data::DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// The connection broke after COMMIT was sent and the server could not be asked since whether
// the transaction committed.
class OutcomeUnknown : public data::DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// The rows of one statement on the server, each value as text.
class PgResult {
public:
    explicit PgResult(pg_result* result);
    ~PgResult();
    PgResult(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int rows() const;
    int columns() const;
    QString columnName(int column) const;
    QString text(int row, int column) const;
    QByteArrayView utf8(int row, int column) const;
    qint64 integer(int row, int column) const;
    bool isNull(int row, int column) const;

private:
    pg_result* result_;
};

// One connection to a PostgreSQL server through libpq, made when first needed and made again
// at the next statement after the server was lost, so that the program keeps running and tries
// again at the operator's next command. Every value travels as a bound parameter ($1, $2...).
class PgConnection {
public:
    // `conninfo` is libpq's "key=value" string or a postgresql:// URL.
    explicit PgConnection(const QString& conninfo);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects when not connected; throws data::DatabaseError saying why it cannot.
    void connect();
    void disconnect();
    bool isConnected() const;

    // Runs one statement; a null QVariant is NULL, everything else goes as text. Throws
    // data::DatabaseError; after a lost connection the next call connects again.
    PgResult exec(const QString& sql, const QList<QVariant>& params = {});

    // The server's host or socket folder, port and database, for messages.
    QString where() const;

    // The server the connection reached (host or socket folder and port), for the status line.
    QString server() const;

    // The server's warnings since the last call.
    QStringList takeWarnings() { return std::exchange(warnings_, {}); }

    // Called once after each new connection (creates the tables, checks the database).
    void setOnConnect(std::function<void(PgConnection&)> hook) { onConnect_ = std::move(hook); }

private:
    [[noreturn]] void fail(const char* sqlstate);
    pg_result* run(const QByteArray& statement, const std::vector<const char*>& values);

    QString conninfo_;
    pg_conn* conn_ = nullptr;
    std::function<void(PgConnection&)> onConnect_;
    QStringList warnings_;
    // A statement still waiting after this long (a multiple of 500; 0: never) is cancelled.
    int cancelAfterMs_ = 0;
    friend class PgTransaction;
};

// A transaction on the server: BEGIN now, ROLLBACK when it leaves scope uncommitted. A save
// waits for no lock longer than a few seconds (then "另一台电脑正在保存，请稍后再试。").
class PgTransaction {
public:
    // Short: a save's; Unbounded: a copy's (no statement or idle timeout); Snapshot: reads
    // only, all from one state of the server.
    enum class Waits { Short, Unbounded, Snapshot };
    explicit PgTransaction(PgConnection& connection, Waits waits = Waits::Short);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    // Commits. When the answer to COMMIT is lost with the connection, asks the server on a
    // new connection whether the transaction committed: returns when it did, throws the lost
    // connection's error when it did not, and OutcomeUnknown with `unknown` as its sentence
    // when the server cannot tell (or cannot be reached).
    void commit(const QString& unknown = {});

    // How long a COMMIT may wait (for a synchronous standby) before it is cancelled.
    static constexpr int commitWaitMs = 15000;

private:
    PgConnection& connection_;
    QString txid_;
    bool done_ = false;
};

} // namespace zelk::store
