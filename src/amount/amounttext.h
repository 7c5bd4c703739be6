#pragma once

#include <QString>
#include <QStringList>

namespace zelk::amount {

// The texts an amount cell accepts: after trimming blanks and control characters, either
// empty, a lone "-", or a decimal number (optional sign, digits with an optional point and
// fraction digits, optional exponent) that fits a double.
bool isNumberText(const QString& text);
bool isAcceptedAmount(const QString& text);

// What is left of `text` when the characters that make it unacceptable are refused one at a
// time from its end: its longest acceptable beginning. "12a" gives "12", "3x5" gives "3".
QString acceptedAmountText(const QString& text);

// The exact sum of the amount texts, rounded to cents with halves away from zero, written as
// "0.00" (no grouping). Empty texts, blanks and a lone "-" count as 0.
QString sumAmounts(const QStringList& amounts);

} // namespace zelk::amount
