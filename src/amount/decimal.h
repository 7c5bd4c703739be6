#pragma once

#include <QString>
#include <optional>
#include <string>

namespace zelk::amount {

// An exact decimal number of any size, for adding money amounts without the errors of binary
// floating point (0.1 + 0.2 is 0.3 here). Digits beyond `maxScale` decimal places are rounded
// away when a number is read, which bounds the work for absurd inputs such as 1e-999999.
class Decimal {
public:
    static constexpr int maxScale = 2000;

    Decimal() = default;

    // Reads an optional sign, digits with an optional point, and an optional exponent, with
    // blanks around it; nothing else. Returns nothing for any other text.
    static std::optional<Decimal> parse(const QString& text);

    Decimal operator+(const Decimal& other) const;

    // Rounded to `places` decimals, halves away from zero (1.005 gives 1.01).
    Decimal rounded(int places) const;

    // Fixed notation with exactly `places` decimals after rounding, no grouping, at least one
    // digit before the point and a "-" only for a value that is not zero: "1234.50", "0.00".
    QString toFixed(int places) const;

    bool isZero() const { return digits_.find_first_not_of('0') == std::string::npos; }

private:
    // value = (negative ? -1 : 1) * digits_ * 10^-scale_, digits_ most significant first.
    bool negative_ = false;
    std::string digits_ = "0";
    int scale_ = 0;

    void normalize();
    Decimal withScale(int scale) const;
};

} // namespace zelk::amount
