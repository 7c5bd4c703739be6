#pragma once

#include <QString>

namespace zelk::data {
class Connection;
}
namespace zelk::store {
class PgConnection;

// Each store keeps the version of its layout and brings an earlier one up to date when it
// opens, by the steps after the version it finds, in order, in one transaction. Every step only
// adds (tables, columns, indexes), so an earlier version of the program still opens a file or
// database that was brought up to date, and a step finds its work already done when a
// database was made by a version that added it without counting.

// The local file's version is `PRAGMA user_version`. A file that cannot be written (a
// read-only copy) is read as it is.
inline constexpr int fileSchemaVersion = 4;
void migrateFile(data::Connection& connection);
// Creates a new encrypted file at `path` (see store::schema::createDatabase) at the current
// version, so that opening it later writes nothing.
void createFile(const QString& path);
// The version `PRAGMA user_version` holds.
int fileVersion(data::Connection& connection);
// Whether the file's `table` (a name of ours) has `column` (compared without case).
bool fileHasColumn(data::Connection& connection, const QString& table, const QString& column);

// The server's version is the row of zelk_schema; the first desk to connect does the steps
// while the others wait.
inline constexpr int serverSchemaVersion = 4;
void migrateServer(PgConnection& connection);

} // namespace zelk::store
