#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

struct sqlite3_stmt;

namespace zelk::data {

class Connection;

// A statement object: a list of text lines joined with line breaks, named parameters written
// ":name", then either open (a query, positioned on its first row) or execute (a change).
// Values always travel as bound parameters, never spliced into the text.
class Query {
public:
    explicit Query(Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Connection& connection() const { return connection_; }

    // Drops the prepared statement and any result; keeps lines and parameters.
    void close();
    // Forgets the lines and the bound parameters.
    void clear();
    void add(const QString& line);
    const QStringList& lines() const { return lines_; }
    QString text() const { return lines_.join(QLatin1Char('\n')); }

    // Binds ":name" as text (or as an integer). Binding a name the statement lacks is an error
    // when the statement runs, so a misspelt parameter never silently stores nothing.
    void bind(const QString& name, const QString& value);
    void bind(const QString& name, qint64 value);
    // Binds ":name" as NULL.
    void bindNull(const QString& name);

    // Runs a query and moves to its first row (end of data when there is none).
    void open();
    // Runs a statement that changes data, to completion.
    void execute();

    bool isOpen() const { return stmt_ != nullptr; }
    bool eof() const { return eof_; }
    // Runs the open query again from its first row.
    void first();
    void next();

    QStringList fieldNames() const;
    // The current row's value as text (NULL reads as empty text).
    QString fieldAsText(const QString& name) const;
    // The current row's value as an integer (NULL reads as 0).
    qint64 fieldAsInteger(const QString& name) const;
    bool fieldIsNull(const QString& name) const;

    // For loops over many rows: the column's position, looked up once, and the current row's
    // value at that position as UTF-8 bytes (valid until the next move) or as an integer.
    int fieldIndex(const QString& name) const;
    QByteArrayView fieldUtf8(int index) const;
    qint64 fieldAsInteger(int index) const;

private:
    void prepare();
    void step();
    int columnIndex(const QString& name) const;
    void requireRow(const QString& what) const;
    [[noreturn]] void fail(const QString& what) const;

    Connection& connection_;
    QStringList lines_;
    QList<QPair<QString, QVariant>> parameters_;
    sqlite3_stmt* stmt_ = nullptr;
    QHash<QString, int> columns_;
    bool eof_ = true;
};

} // namespace zelk::data
