#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;

namespace zelk::store {

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

    // Called once after each new connection (creates the tables, checks the database).
    void setOnConnect(std::function<void(PgConnection&)> hook) { onConnect_ = std::move(hook); }

private:
    [[noreturn]] void fail(const QString& sentence);

    QString conninfo_;
    pg_conn* conn_ = nullptr;
    std::function<void(PgConnection&)> onConnect_;
};

// A transaction on the server: BEGIN now, ROLLBACK when it leaves scope uncommitted.
class PgTransaction {
public:
    explicit PgTransaction(PgConnection& connection);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;
    void commit();

private:
    PgConnection& connection_;
    bool done_ = false;
};

} // namespace zelk::store
