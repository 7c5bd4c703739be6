#pragma once

#include "receipt/receiptentry.h"

#include <QtGlobal>

namespace zelk::store {
class Store;
}

namespace zelk::receipt {

// Reads stored receipt `receiptId` back into the form it was typed in: the receipt's header
// values, the issue date from kpdate, and the first five of the receipt's lines in the order they
// were stored (further lines go, unchanged, into extraLines). Rows after the last stored line
// stay empty. Both totals are worked out again from all reloaded lines, which replace the
// stored ones.
// A stored issue date that is not eight digits forming a real date gives an invalid issueDate
// and the stored texts in unknownDate. Throws data::DatabaseError when the receipt is missing.
// The entry's loadedChanges is the receipt's change counter.
ReceiptEntry loadReceipt(store::Store& store, qint64 receiptId);

// The date that a stored kpdate text (yyyymmdd) stands for; an invalid date when the text is
// not exactly eight digits forming a real date.
QDate dateFromStoredKpdate(const QString& kpdate);

} // namespace zelk::receipt
