#pragma once

#include <QString>

namespace zelk::amount {

// Why an amount has no capital wording.
enum class CapitalsProblem {
    None,
    TooManyDecimals,      // more than two digits after the point
    TooManyIntegerDigits, // thirteen integer digits at most (up to 万亿)
    NotANumber,           // characters other than digits, one point and a leading minus
};

struct Capitals {
    QString text; // the wording, or empty
    CapitalsProblem problem = CapitalsProblem::None;
};

// The amount written in Chinese capital numerals, e.g. "1234.56" gives
// 壹仟贰佰叁拾肆元伍角陆分. Zero gives the empty text; a leading "-" gives the prefix 负数.
// No window is involved: a caller shows problemMessage(result.problem) when there is one.
Capitals toCapitals(const QString& amount);

// The message that tells the operator about a problem; empty for CapitalsProblem::None.
QString problemMessage(CapitalsProblem problem);

} // namespace zelk::amount
