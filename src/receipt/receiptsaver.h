#pragma once

#include "data/databaseerror.h"
#include "receipt/receiptentry.h"

#include <QString>

namespace zelk::data {
class Tdmtd;
}

namespace zelk::receipt {

// Why the entry page may not be saved as it stands.
enum class SaveRefusal { None, EmptyPayer, EmptyTotal };

// The payer name must not be exactly empty (a name of blanks passes) and the total in figures
// must not be empty once trimmed ("0.00" passes).
SaveRefusal checkBeforeSave(const ReceiptEntry& entry);

// The notice shown for a refusal; empty for SaveRefusal::None.
QString refusalMessage(SaveRefusal refusal);

// The stored receipt an entry rewrites is no longer in fpmain (another copy of the program
// removed it). Saving the same entry with an empty receipt id stores it as a new receipt.
class ReceiptGone : public data::DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// Stores the receipt of the entry page in fpmain and its filled line rows in fpdetail.
class ReceiptSaver {
public:
    explicit ReceiptSaver(data::Tdmtd& dm);

    // Stores the entry in one transaction; returns the receipt id (the new one on insert, else
    // entry.receiptId). Throws data::DatabaseError and stores nothing on failure.
    //
    // A new receipt (empty receiptId) stores every value as typed; a stored receipt is
    // rewritten in place with its header values trimmed, keeping its invoice number, and its
    // lines are replaced by the rows of the entry. Only rows whose trimmed amount is not empty
    // are stored, in row order, their cells as typed.
    QString save(const ReceiptEntry& entry);

private:
    void insertHeader(const ReceiptEntry& entry);
    void rewriteHeader(const ReceiptEntry& entry, qint64 receiptId);
    void requireReceipt(qint64 receiptId);
    void deleteLines(qint64 receiptId);
    void insertLines(const ReceiptEntry& entry, qint64 receiptId);

    data::Tdmtd& dm_;
};

} // namespace zelk::receipt
