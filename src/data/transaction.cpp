#include "data/transaction.h"

#include "data/connection.h"
#include "data/databaseerror.h"

#include <sqlite3.h>

namespace zelk::data {

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.executeDirect(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (!done_ && connection_.isOpen()) {
        // No exception may leave a destructor; a failed rollback leaves the engine to roll
        // back on its own when the connection closes.
        sqlite3_exec(connection_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit() {
    connection_.executeDirect(QStringLiteral("COMMIT"));
    done_ = true;
}

} // namespace zelk::data
