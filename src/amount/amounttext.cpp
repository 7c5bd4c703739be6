#include "amount/amounttext.h"

#include "amount/decimal.h"
#include "text/blanks.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace zelk::amount {

namespace {

bool isBlank(QChar c) {
    return text::isBlank(c.unicode());
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Decimal order of a number's first significant digit (1 for 1..9, 0 for 0.1..0.9), tracked
// while scanning so that overflow is known without converting the text.
struct Magnitude {
    long long integerDigits = 0; // significant digits before the point
    long long fractionZeros = 0; // zeros after the point before the first significant digit
    bool significant = false;    // a non-zero digit has been seen
    long long exponent = 0;
    bool negativeExponent = false;

    long long order() const {
        const long long e = negativeExponent ? -exponent : exponent;
        return (integerDigits > 0 ? integerDigits : -fractionZeros) + e;
    }
};

// Whether a grammatical number text converts to a finite double.
bool fitsDouble(QStringView number, const Magnitude& m) {
    if (!m.significant)
        return true;
    const long long order = m.order();
    if (order <= 308)
        return true;
    if (order >= 310)
        return false;
    const QByteArray bytes = number.toLatin1();
    return std::isfinite(std::strtod(bytes.constData(), nullptr));
}

enum class State { Start, Sign, Integer, PointAfterDigits, LonePoint, Fraction, E, ESign, EDigits };

bool accepting(State s, bool minusSign) {
    switch (s) {
    case State::Integer:
    case State::PointAfterDigits:
    case State::Fraction:
    case State::EDigits:
        return true;
    case State::Sign:
        return minusSign;
    default:
        return false;
    }
}

// Scans `text` once and returns the longest beginning that is acceptable.
qsizetype longestAcceptedPrefix(const QString& text) {
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n && isBlank(text.at(pos)))
        ++pos;
    const qsizetype numberStart = pos;

    struct Candidate {
        qsizetype end;
        Magnitude magnitude;
        bool loneMinus;
    };
    std::vector<Candidate> candidates; // grammatical prefixes, shortest first
    State state = State::Start;
    bool minusSign = false;
    Magnitude m;
    for (; pos < n; ++pos) {
        const QChar c = text.at(pos);
        State next;
        if (isDigit(c)) {
            switch (state) {
            case State::Start:
            case State::Sign:
            case State::Integer:
                next = State::Integer;
                if (c != u'0' || m.integerDigits > 0) {
                    ++m.integerDigits;
                    m.significant = m.significant || c != u'0';
                }
                break;
            case State::PointAfterDigits:
            case State::LonePoint:
            case State::Fraction:
                next = State::Fraction;
                if (c != u'0')
                    m.significant = true;
                else if (!m.significant)
                    ++m.fractionZeros;
                break;
            case State::E:
            case State::ESign:
            case State::EDigits:
                next = State::EDigits;
                m.exponent = std::min<long long>(m.exponent * 10 + (c.unicode() - u'0'), 1LL << 40);
                break;
            }
        } else if ((c == u'-' || c == u'+') && state == State::Start) {
            next = State::Sign;
            minusSign = c == u'-';
        } else if ((c == u'-' || c == u'+') && state == State::E) {
            next = State::ESign;
            m.negativeExponent = c == u'-';
        } else if (c == u'.' && state == State::Integer) {
            next = State::PointAfterDigits;
        } else if (c == u'.' && (state == State::Start || state == State::Sign)) {
            next = State::LonePoint;
        } else if ((c == u'e' || c == u'E') &&
                   (state == State::Integer || state == State::PointAfterDigits ||
                    state == State::Fraction)) {
            next = State::E;
        } else {
            break;
        }
        state = next;
        if (accepting(state, minusSign))
            candidates.push_back({pos + 1, m, state == State::Sign});
    }

    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const QStringView number = QStringView(text).mid(numberStart, it->end - numberStart);
        if (it->loneMinus || fitsDouble(number, it->magnitude)) {
            qsizetype end = it->end;
            // Blanks after the number are trimmed away, so they are acceptable too.
            while (end < n && isBlank(text.at(end)))
                ++end;
            return end;
        }
    }
    return numberStart; // nothing but blanks is acceptable
}

} // namespace

bool isAcceptedAmount(const QString& text) {
    return longestAcceptedPrefix(text) == text.size();
}

bool isNumberText(const QString& text) {
    if (!isAcceptedAmount(text))
        return false;
    for (QChar c : text)
        if (!isBlank(c))
            return true;
    return false;
}

QString acceptedAmountText(const QString& text) {
    return text.left(longestAcceptedPrefix(text));
}

QString sumAmounts(const QStringList& amounts) {
    Decimal sum;
    for (const QString& amount : amounts) {
        if (const auto value = Decimal::parse(amount))
            sum = sum + *value;
    }
    return sum.toFixed(2);
}

} // namespace zelk::amount
