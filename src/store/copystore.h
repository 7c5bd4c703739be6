#pragma once

#include <QtGlobal>

#include <functional>

namespace zelk::store {

class Store;

struct CopySummary {
    qint64 receipts = 0;
    qint64 lines = 0;
    qint64 settings = 0;
};

// Told the rows copied so far and the rows to copy (receipts and lines together).
using CopyProgress = std::function<void(qint64 done, qint64 total)>;

// Copies every receipt, line, earlier version and setting row with its ids from one store into
// the other, in one transaction of the target: all of it or, on any failure, nothing. Every
// value keeps what it is: a text stays that text (kpdate '2005-3-1' too), an empty text stays
// empty and a NULL stays NULL. The rows go in batches, so that memory stays bounded however
// many there are. Refuses a target that already holds receipts (data::DatabaseError), and names
// the receipts the target would not take. The store-choice rows (the server's details and
// password) never leave the local file, and the target's own stay as they are.
CopySummary copyStore(Store& from, Store& to, const CopyProgress& progress = {});

} // namespace zelk::store
