#pragma once

#include <QtGlobal>

namespace zelk::store {

class FileStore;
class PgStore;

struct CopySummary {
    qint64 receipts = 0;
    qint64 lines = 0;
    qint64 settings = 0;
};

// Copies every receipt, line and setting row with its ids from one store into the other, in
// one transaction of the target: all of it or, on any failure, nothing. Refuses a target that
// already holds receipts (data::DatabaseError). The store-choice rows (the server's details
// and password) never leave the local file, and the target's own stay as they are.
CopySummary copyStore(FileStore& from, PgStore& to);
CopySummary copyStore(PgStore& from, FileStore& to);

} // namespace zelk::store
