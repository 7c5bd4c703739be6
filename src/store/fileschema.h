#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace zelk::store {

// The tables, indexes and default settings of a new receipt file, in one place.
namespace schema {

// Statements that create an empty database, in order.
QStringList createStatements();

// Setting numbers the program reads and the settings dialog edits.
inline constexpr int payeeSetting = 27;
inline constexpr int categorySetting = 28;
inline constexpr int issuerSetting = 29;
inline constexpr int noticeSetting = 30;

// Throws DatabaseError naming `path` unless `db` holds fpmain, fpdetail and SysSet with every
// column the program uses (further tables and columns are allowed). Only reads.
void requireReceiptTables(sqlite3* db, const QString& path);

// The text a new database holds for a setting number (empty for numbers we do not ship).
QString defaultSetting(int setId);

// Creates a new encrypted database file at `path` with the first layout and default settings
// (store::createFile then brings it to the current version). Refuses (DatabaseError) when the
// file exists; on any failure no file is left behind.
void createDatabase(const QString& path);

} // namespace schema

} // namespace zelk::store
