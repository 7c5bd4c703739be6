#pragma once

#include "receipt/receiptentry.h"

#include <QString>
#include <functional>

namespace zelk::store {
class Store;
}

namespace zelk::receipt {

// What came of one save of the entry form.
struct FormSaveOutcome {
    enum class Kind {
        Saved,    // stored: receiptId and changes are the stored receipt's
        Reloaded, // the operator took the other change: reloaded is the stored receipt
        Kept,     // nothing stored, the form stays as it is
    };
    Kind kind = Kind::Kept;
    QString receiptId;
    qint64 changes = 0;
    ReceiptEntry reloaded;
};

// Saves the entry form through the store and, when the store refuses a rewrite because the
// receipt is gone or was changed elsewhere, asks the operator how to go on: store the form as a
// new receipt (nothing typed is lost), or, for a changed receipt, read the other change back.
// `ask` puts a yes/no question and says whether the answer was yes; the window passes one that
// shows a message box. Store errors (data::DatabaseError) pass through.
class FormSaver {
public:
    using Ask = std::function<bool(const QString& question)>;
    FormSaver(store::Store& store, Ask ask);

    // Names the saves of one form (see ReceiptSaver::setToken).
    void setToken(const QString& token) { token_ = token; }
    // Saves `entry`, which must pass checkBeforeSave.
    FormSaveOutcome save(const ReceiptEntry& entry);

private:
    store::Store& store_;
    Ask ask_;
    QString token_;
};

} // namespace zelk::receipt
