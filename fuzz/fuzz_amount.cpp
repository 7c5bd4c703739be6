// Fuzz target for the amount cells: the acceptance rule, the exact sum and the capital numerals.
//
// The input's first byte chooses how the rest becomes text (UTF-8, or raw UTF-16 so that lone
// surrogates and every code unit are reached); '|' separates the amount cells.
#include "fuzzcheck.h"

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "text/blanks.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <optional>

using zelk::fuzz::check;
using zelk::fuzz::fail;
using namespace zelk::amount;

namespace {

QString decode(const uint8_t* data, size_t size) {
    if (size == 0)
        return {};
    const auto* rest = reinterpret_cast<const char*>(data + 1);
    const qsizetype n = qsizetype(size - 1);
    if (data[0] % 2 == 0)
        return QString::fromUtf8(rest, n);
    QString text;
    for (qsizetype i = 0; i + 1 < n; i += 2)
        text.append(QChar(char16_t(uint8_t(rest[i]) | (uint8_t(rest[i + 1]) << 8))));
    return text;
}

// Reads capital-numeral wording back into cents, independently of how it was produced.
// Returns nothing when the wording holds anything else than the capital numerals in an order
// that reads as a number.
std::optional<long long> readCapitals(QString text) {
    bool negative = false;
    if (text.startsWith(QStringLiteral("负数"))) {
        negative = true;
        text = text.mid(2);
    }
    static const QString digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    long long total = 0;   // whole 亿 groups
    long long section = 0; // the value below the last 亿, in yuan
    long long number = 0;  // the last digit read, not yet given a unit
    long long yuan = 0, jiao = 0, fen = 0;
    bool yuanSeen = false, ended = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (ended)
            return std::nullopt; // nothing may follow 整 or 分
        if (const qsizetype d = digits.indexOf(c); d >= 0) {
            number = d;
        } else if (c == u'拾' || c == u'佰' || c == u'仟') {
            const long long unit = c == u'拾' ? 10 : c == u'佰' ? 100 : 1000;
            section += number * unit;
            number = 0;
        } else if (c == u'万') {
            section = (section + number) * 10000;
            number = 0;
        } else if (c == u'亿') {
            total = (total + section + number) * 100000000LL;
            section = number = 0;
        } else if (c == u'元') {
            if (yuanSeen)
                return std::nullopt;
            yuanSeen = true;
            yuan = total + section + number;
            total = section = number = 0;
        } else if (c == u'角') {
            jiao = number;
            number = 0;
        } else if (c == u'分') {
            fen = number;
            number = 0;
            ended = true;
        } else if (c == u'整') {
            ended = true;
        } else {
            return std::nullopt;
        }
    }
    if (!ended || total != 0 || section != 0 || number != 0)
        return std::nullopt;
    const long long cents = yuan * 100 + jiao * 10 + fen;
    return negative ? -cents : cents;
}

void checkCapitalCharacters(const Capitals& capitals, const QString& from) {
    if (capitals.problem != CapitalsProblem::None) {
        check(capitals.text.isEmpty(), "a problem comes with no wording", from);
        check(!problemMessage(capitals.problem).isEmpty(), "every problem has a message", from);
        return;
    }
    static const QString allowed = QStringLiteral("零壹贰叁肆伍陆柒捌玖拾佰仟万亿元角分整负数");
    for (QChar c : capitals.text)
        check(allowed.contains(c), "capital wording holds only capital characters",
              from + QStringLiteral(" -> ") + capitals.text);
}

// A well-formed sum "-?\d+\.\d\d" in its capital wording: read back, it gives the same cents.
void checkSumWording(const QString& sum) {
    const Capitals capitals = toCapitals(sum);
    checkCapitalCharacters(capitals, sum);
    const QString magnitude = sum.startsWith(u'-') ? sum.mid(1) : sum;
    const qsizetype integerDigits = magnitude.indexOf(u'.');
    if (integerDigits > 13) {
        check(capitals.problem == CapitalsProblem::TooManyIntegerDigits,
              "more than thirteen integer digits is refused", sum);
        return;
    }
    check(capitals.problem == CapitalsProblem::None, "a sum of thirteen digits has wording", sum);
    if (sum == QStringLiteral("0.00")) {
        check(capitals.text.isEmpty(), "zero has empty wording", capitals.text);
        return;
    }
    const std::optional<long long> cents = readCapitals(capitals.text);
    if (!cents)
        fail("capital wording reads as a number", sum + QStringLiteral(" -> ") + capitals.text);
    QString digitsOnly = sum;
    digitsOnly.remove(u'.');
    check(*cents == digitsOnly.toLongLong(), "capital wording reads back as the sum",
          sum + QStringLiteral(" -> ") + capitals.text);
}

void checkCell(const QString& cell) {
    const QString accepted = acceptedAmountText(cell);
    check(cell.startsWith(accepted), "the accepted text is a beginning of the typed text", cell);
    check(isAcceptedAmount(accepted), "the accepted text is accepted", accepted);
    check(acceptedAmountText(accepted) == accepted, "accepting twice changes nothing", accepted);
    check(isAcceptedAmount(cell) == (accepted == cell), "accepted exactly when nothing is cut",
          cell);
    // The longest acceptable beginning: no longer beginning is acceptable either.
    if (cell.size() <= 48)
        for (qsizetype k = accepted.size() + 1; k <= cell.size(); ++k)
            check(!isAcceptedAmount(cell.left(k)), "no longer beginning is acceptable",
                  cell.left(k));

    const QString core = zelk::text::trimBlanks(accepted);
    check(isNumberText(accepted) == !core.isEmpty(),
          "an accepted text is a number text unless it is blank", accepted);
    if (isNumberText(cell))
        check(isAcceptedAmount(cell), "a number text is accepted", cell);

    checkCapitalCharacters(toCapitals(cell), cell);
    checkCapitalCharacters(toCapitals(accepted), accepted);

    // The exact sum of one accepted number agrees with the double it fits in, where a double
    // holds cents exactly enough to tell.
    const QString sum = sumAmounts({accepted});
    if (!core.isEmpty() && core != QStringLiteral("-")) {
        const QByteArray latin = core.toLatin1();
        const double value = std::strtod(latin.constData(), nullptr);
        check(std::isfinite(value), "an accepted number fits a double", core);
        if (std::fabs(value) < 1e12) {
            const double summed = sum.toDouble();
            check(std::fabs(summed - value) <= 0.0050001 + std::fabs(value) * 1e-15,
                  "the exact sum is the number rounded to cents",
                  core + QStringLiteral(" -> ") + sum);
        }
    } else {
        check(sum == QStringLiteral("0.00"), "a blank cell or a lone minus counts 0",
              accepted + QStringLiteral(" -> ") + sum);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0; // longer inputs find nothing new here and only slow the search down
    const QString text = decode(data, size);
    QStringList cells = text.split(u'|');
    while (cells.size() > 8)
        cells.removeLast();

    static const QRegularExpression wellFormed(QStringLiteral("^-?[0-9]+\\.[0-9][0-9]$"));
    QStringList accepted;
    for (const QString& cell : cells) {
        checkCell(cell);
        accepted.append(acceptedAmountText(cell));
    }
    for (const QStringList& list : {cells, accepted}) {
        const QString sum = sumAmounts(list);
        check(wellFormed.match(sum).hasMatch(), "a sum is -?digits.dd", sum);
        check(sum != QStringLiteral("-0.00"), "zero has no sign", sum);
        check(sum.size() == 4 || !sum.startsWith(QStringLiteral("0")) ||
                  sum.startsWith(QStringLiteral("0.")),
              "no leading zeros", sum);
        QStringList reversed(list.rbegin(), list.rend());
        check(sumAmounts(reversed) == sum, "the order of the cells does not change the sum", sum);
        check(sumAmounts({sum}) == sum, "a sum read again is the same sum", sum);
        checkSumWording(sum);
    }
    return 0;
}
