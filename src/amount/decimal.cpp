#include "amount/decimal.h"

#include "text/blanks.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace zelk::amount {

namespace {

// Magnitudes compared by value; either may carry leading zeros.
int compareMagnitude(const std::string& a, const std::string& b) {
    const auto significant = [](const std::string& s) {
        const size_t first = s.find_first_not_of('0');
        return first == std::string::npos ? std::string_view() : std::string_view(s).substr(first);
    };
    const std::string_view x = significant(a), y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string addMagnitudes(const std::string& a, const std::string& b) {
    std::string sum;
    sum.reserve(std::max(a.size(), b.size()) + 1);
    int carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        int d = carry;
        if (i < a.size())
            d += a[a.size() - 1 - i] - '0';
        if (i < b.size())
            d += b[b.size() - 1 - i] - '0';
        sum.push_back(char('0' + d % 10));
        carry = d / 10;
    }
    std::reverse(sum.begin(), sum.end());
    return sum;
}

// a - b for a >= b.
std::string subtractMagnitudes(const std::string& a, const std::string& b) {
    std::string diff;
    diff.reserve(a.size());
    int borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d = (a[a.size() - 1 - i] - '0') - borrow;
        if (i < b.size())
            d -= b[b.size() - 1 - i] - '0';
        borrow = d < 0;
        diff.push_back(char('0' + (d + 10) % 10));
    }
    std::reverse(diff.begin(), diff.end());
    return diff;
}

std::string incrementMagnitude(const std::string& a) {
    return addMagnitudes(a, "1");
}

} // namespace

void Decimal::normalize() {
    const size_t first = digits_.find_first_not_of('0');
    digits_ = first == std::string::npos ? std::string("0") : digits_.substr(first);
    if (digits_ == "0")
        negative_ = false;
}

Decimal Decimal::withScale(int scale) const {
    Decimal d = *this;
    if (scale > scale_) {
        d.digits_.append(size_t(scale - scale_), '0');
        d.scale_ = scale;
    }
    return d;
}

std::optional<Decimal> Decimal::parse(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    qsizetype i = 0, end = bytes.size();
    while (i < end && text::isBlank(static_cast<unsigned char>(bytes[i])))
        ++i;
    while (end > i && text::isBlank(static_cast<unsigned char>(bytes[end - 1])))
        --end;
    // toLatin1 turns characters it cannot represent into '?', which the grammar refuses.

    Decimal d;
    if (i < end && (bytes[i] == '-' || bytes[i] == '+'))
        d.negative_ = bytes[i++] == '-';
    std::string mantissa;
    int fractionDigits = 0;
    bool point = false, anyDigit = false;
    for (; i < end; ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9') {
            mantissa.push_back(c);
            anyDigit = true;
            fractionDigits += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;

    long long exponent = 0;
    if (i < end && (bytes[i] == 'e' || bytes[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (bytes[i] == '-' || bytes[i] == '+'))
            negativeExponent = bytes[i++] == '-';
        bool exponentDigit = false;
        for (; i < end && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
            exponentDigit = true;
            exponent = std::min<long long>(exponent * 10 + (bytes[i] - '0'), INT_MAX / 4);
        }
        if (!exponentDigit)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != end)
        return std::nullopt;

    d.digits_ = mantissa;
    d.normalize();
    if (d.isZero())
        return Decimal();
    const long long scale = fractionDigits - exponent;
    if (scale < 0) {
        // A positive exponent appends zeros. Values that large are not money; the cap only
        // keeps the work bounded (a double cannot hold more than 309 integer digits anyway).
        d.digits_.append(size_t(std::min<long long>(-scale, 100000)), '0');
        d.scale_ = 0;
    } else if (scale > maxScale) {
        const long long drop = scale - maxScale;
        if (drop >= static_cast<long long>(d.digits_.size())) {
            // Everything lies beyond maxScale places: only a rounding digit could survive.
            const bool roundsUp =
                drop == static_cast<long long>(d.digits_.size()) && d.digits_.front() >= '5';
            d.digits_ = roundsUp ? "1" : "0";
        } else {
            const bool roundsUp = d.digits_[d.digits_.size() - size_t(drop)] >= '5';
            d.digits_.resize(d.digits_.size() - size_t(drop));
            if (roundsUp)
                d.digits_ = incrementMagnitude(d.digits_);
        }
        d.scale_ = maxScale;
        d.normalize();
    } else {
        d.scale_ = int(scale);
    }
    return d;
}

Decimal Decimal::operator+(const Decimal& other) const {
    const int scale = std::max(scale_, other.scale_);
    const Decimal a = withScale(scale);
    const Decimal b = other.withScale(scale);
    Decimal sum;
    sum.scale_ = scale;
    if (a.negative_ == b.negative_) {
        sum.digits_ = addMagnitudes(a.digits_, b.digits_);
        sum.negative_ = a.negative_;
    } else if (compareMagnitude(a.digits_, b.digits_) >= 0) {
        sum.digits_ = subtractMagnitudes(a.digits_, b.digits_);
        sum.negative_ = a.negative_;
    } else {
        sum.digits_ = subtractMagnitudes(b.digits_, a.digits_);
        sum.negative_ = b.negative_;
    }
    sum.normalize();
    return sum;
}

Decimal Decimal::rounded(int places) const {
    if (scale_ <= places)
        return withScale(places);
    const size_t drop = size_t(scale_ - places);
    Decimal d = *this;
    std::string padded = digits_;
    if (padded.size() <= drop)
        padded.insert(0, drop + 1 - padded.size(), '0');
    const bool roundsUp = padded[padded.size() - drop] >= '5';
    d.digits_ = padded.substr(0, padded.size() - drop);
    if (roundsUp)
        d.digits_ = incrementMagnitude(d.digits_);
    d.scale_ = places;
    d.normalize();
    return d;
}

QString Decimal::toFixed(int places) const {
    const Decimal d = rounded(places);
    std::string digits = d.digits_;
    if (digits.size() <= size_t(places))
        digits.insert(0, size_t(places) + 1 - digits.size(), '0');
    const size_t integerDigits = digits.size() - size_t(places);
    QString text;
    text.reserve(qsizetype(digits.size()) + 2);
    if (d.negative_)
        text += u'-';
    text += QLatin1StringView(digits.data(), qsizetype(integerDigits));
    if (places > 0) {
        text += u'.';
        text += QLatin1StringView(digits.data() + integerDigits, places);
    }
    return text;
}

} // namespace zelk::amount
