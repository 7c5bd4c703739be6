#pragma once

#include <QString>
#include <QStringList>

namespace zelk::store {

// The earlier versions' tables, in the dialect of the file (SQLite) or of the server
// (PostgreSQL); each statement may run again without harm.
QStringList historyTableStatements(bool server);

// When and where a correction replaces a version: the local time and the host name.
QString historyTimestamp();
QString historyDesk();

} // namespace zelk::store
