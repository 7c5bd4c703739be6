#pragma once

#include "receipt/receiptentry.h"

#include <QtGlobal>

namespace zelk::data {
class Connection;
}
namespace zelk::store {
class Store;
}

namespace zelk::receipt {

// Reads stored receipt `receiptId` back into the form it was typed in: the header values of
// fpmain, the issue date from kpdate, and the first five lines of fpdetail in the order they
// were stored (further lines are read past). Rows after the last stored line stay empty. Both
// totals are worked out again from the reloaded lines, which replace the stored ones.
// Throws data::DatabaseError when the receipt is missing or its stored issue date is not eight
// digits forming a real date.
// The entry's loadedChanges is the receipt's change counter.
ReceiptEntry loadReceipt(store::Store& store, qint64 receiptId);
// The same from the open receipt file.
ReceiptEntry loadReceipt(data::Connection& connection, qint64 receiptId);

// The date that a stored kpdate text (yyyymmdd) stands for; an invalid date when the text is
// not exactly eight digits forming a real date.
QDate dateFromStoredKpdate(const QString& kpdate);

} // namespace zelk::receipt
