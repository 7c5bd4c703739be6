#pragma once

#include "receipt/receiptentry.h"

#include <QDate>
#include <QStringList>

// Realistic receipts of a small Chinese business: company and personal payer names drawn from a
// pool of repeat customers, remarks (often empty, sometimes several lines), the shipped default
// notice line, one to five line items, issue dates spread over ten years up to `today`.
namespace bench {

// Text that occurs in exactly ten receipts of every generated database (in the payer name).
QString rareText();
// Text that occurs in about half of the receipts (company payer names).
QString commonText();

// The fifteen fpmain values of a receipt as the program's insert stores them, in the order of
// its column list (fphm, kpdate, kpdate2, hyfl, ..., bz1, bz2).
QStringList headerValues(const zelk::receipt::ReceiptEntry& e);

class ReceiptGenerator {
public:
    ReceiptGenerator(qint64 total, const QDate& today);

    // Receipt number `index` (0-based) in insertion order; the same index always gives the
    // same receipt. Dates grow with the index (receipts are typed in day by day). The totals
    // are worked out with the program's own computeTotals, as the entry page does.
    zelk::receipt::ReceiptEntry receipt(qint64 index) const;

    // A fresh receipt with five filled lines, for timing saves.
    zelk::receipt::ReceiptEntry fiveLineReceipt(qint64 seed) const;

    QDate today() const { return today_; }
    static constexpr int days = 3653; // ten years

private:
    qint64 total_;
    QDate today_;
};

} // namespace bench
