#pragma once

#include "data/databaseerror.h"
#include "receipt/receiptentry.h"
#include "store/store.h"

#include <QString>
#include <memory>

namespace zelk::receipt {

// Why the entry page may not be saved as it stands.
enum class SaveRefusal { None, EmptyPayer, EmptyTotal };

// The payer name must not be exactly empty (a name of blanks passes) and the total in figures
// must not be empty once trimmed ("0.00" passes).
SaveRefusal checkBeforeSave(const ReceiptEntry& entry);

// The notice shown for a refusal; empty for SaveRefusal::None.
QString refusalMessage(SaveRefusal refusal);

// The stored receipt an entry rewrites is no longer stored (another copy of the program
// removed it). Saving the same entry with an empty receipt id stores it as a new receipt.
using store::ReceiptGone;
// The stored receipt was changed elsewhere since the entry loaded it: the entry can be stored
// as a new receipt, or the receipt reloaded.
using store::ReceiptChanged;

// Stores the receipt of the entry page with its filled line rows.
class ReceiptSaver {
public:
    explicit ReceiptSaver(store::Store& store);
    ~ReceiptSaver();

    // Stores the entry in one transaction; returns the receipt id (the new one on insert, else
    // entry.receiptId). Throws data::DatabaseError and stores nothing on failure.
    //
    // A new receipt (empty receiptId) stores every value as typed; a stored receipt is
    // rewritten in place with its header values trimmed, keeping its invoice number, and its
    // lines are replaced by the rows of the entry. Only rows whose trimmed amount is not empty
    // are stored, in row order, their cells as typed, followed by the entry's extraLines exactly
    // as they were loaded. An entry whose date is unknown (see ReceiptEntry::unknownDate)
    // writes the stored date texts back unchanged.
    //
    // A rewrite of an entry whose loadedChanges is not negative is refused (ReceiptChanged)
    // when the stored receipt was changed elsewhere since.
    QString save(const ReceiptEntry& entry);
    // Names the saves of one form (see store::StoredReceipt::token): the window keeps it until
    // a save of the form succeeds, so that a save repeated after an unknown outcome never
    // stores the receipt twice.
    void setToken(const QString& token) { token_ = token; }
    // The saved receipt's change counter after the last save.
    qint64 changes() const { return changes_; }

private:
    store::Store& store_;
    qint64 changes_ = 0;
    QString token_;
};

} // namespace zelk::receipt
