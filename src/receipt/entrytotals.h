#pragma once

#include "receipt/receiptentry.h"

#include "amount/capitals.h"

namespace zelk::receipt {

// Both totals of the entry form, worked out from the five amount cells and the amounts of the
// stored lines after the fifth.
struct EntryTotals {
    QString figures;  // exact sum, "0.00"
    QString capitals; // its capital-numeral wording
    amount::CapitalsProblem problem = amount::CapitalsProblem::None;
};

EntryTotals computeTotals(const std::array<EntryLine, lineCount>& lines,
                          const QList<EntryLine>& extraLines = {});

} // namespace zelk::receipt
