#include "receipt/entrytotals.h"

#include "amount/amounttext.h"
#include "text/blanks.h"

namespace zelk::receipt {

EntryTotals computeTotals(const std::array<EntryLine, lineCount>& lines,
                          const QList<EntryLine>& extraLines) {
    QStringList amounts;
    for (const EntryLine& line : lines)
        amounts.append(line.amount);
    for (const EntryLine& line : extraLines)
        amounts.append(line.amount);
    EntryTotals totals;
    totals.figures = amount::sumAmounts(amounts);
    const amount::Capitals capitals = amount::toCapitals(totals.figures);
    totals.capitals = text::trimBlanks(capitals.text);
    totals.problem = capitals.problem;
    return totals;
}

} // namespace zelk::receipt
