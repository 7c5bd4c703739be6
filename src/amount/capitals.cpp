#include "amount/capitals.h"

#include "text/blanks.h"

namespace zelk::amount {

namespace {

const QChar digitWords[] = {u'零', u'壹', u'贰', u'叁', u'肆', u'伍', u'陆', u'柒', u'捌', u'玖'};
// Unit of each position of the low group (the last eight digits), counted from 1 at the right.
const QChar lowUnits[] = {u' ', u'元', u'拾', u'佰', u'仟', u'万', u'拾', u'佰', u'仟'};
// Unit of each position of the high group (the digits before the last eight).
const QChar highUnits[] = {u' ', u'亿', u'拾', u'佰', u'仟', u'万'};
constexpr QChar zero = u'零';

QChar digitWord(QChar digit) {
    return digitWords[digit.unicode() - u'0'];
}

bool allDigits(const QString& text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

void dropTrailingZeros(QString& text) {
    while (text.endsWith(zero))
        text.chop(1);
}

// The 亿 group: every non-zero digit with its unit, runs of zeros read once, "亿" at the end.
QString highText(const QString& high) {
    QString text;
    for (qsizetype pos = high.size(); pos >= 1; --pos) {
        const QChar digit = high.at(high.size() - pos);
        if (digit != u'0') {
            text += digitWord(digit);
            text += highUnits[pos];
        } else {
            if (!text.endsWith(zero))
                text += zero;
            if (pos == 1) {
                dropTrailingZeros(text);
                text += u'亿';
            }
        }
    }
    return text;
}

// The 元 group. A group of value 0 has no digit words and reads as its units alone ("元").
QString lowText(const QString& low, bool hasDigitWords) {
    QString text;
    for (qsizetype pos = low.size(); pos >= 1; --pos) {
        const QChar digit = low.at(low.size() - pos);
        if (digit != u'0' || !hasDigitWords) {
            if (hasDigitWords)
                text += digitWord(digit);
            text += lowUnits[pos];
        } else {
            if (!text.endsWith(zero))
                text += zero;
            if (pos == 5) {
                dropTrailingZeros(text);
                text += u'万';
            } else if (pos == 1) {
                dropTrailingZeros(text);
                text += u'元';
            }
        }
    }
    return text;
}

QString fractionText(const QString& fraction, int value) {
    if (value >= 10 && value % 10 != 0)
        return QString(digitWord(fraction.at(0))) + u'角' + digitWord(fraction.at(1)) + u'分';
    if (value >= 10)
        return QString(digitWord(fraction.at(0))) + QStringLiteral("角整");
    if (value >= 1)
        return QString(zero) + digitWord(fraction.at(1)) + u'分';
    return QStringLiteral("整");
}

} // namespace

QString problemMessage(CapitalsProblem problem) {
    switch (problem) {
    case CapitalsProblem::TooManyDecimals:
        return QStringLiteral("小数位超过两位,请更正！");
    case CapitalsProblem::TooManyIntegerDigits:
        return QStringLiteral("整数位超过万亿位,请更正！");
    case CapitalsProblem::NotANumber:
        return QStringLiteral("金额不是数字,请更正！");
    case CapitalsProblem::None:
        break;
    }
    return {};
}

Capitals toCapitals(const QString& amount) {
    const QString s = text::trimBlanks(amount);

    QString prefix;
    QString m = s;
    if (s.startsWith(u'-')) {
        prefix = QStringLiteral("负数");
        m = s.mid(1);
        if (text::trimBlanks(m).isEmpty())
            return {prefix, CapitalsProblem::None};
    }

    QString integer = m;
    QString fraction = QStringLiteral("00");
    const qsizetype point = m.indexOf(u'.');
    if (point >= 0) {
        integer = m.left(point);
        fraction = m.mid(point + 1);
        if (fraction.size() > 2)
            return {{}, CapitalsProblem::TooManyDecimals};
        if (fraction.size() < 2)
            fraction += u'0';
    }
    if (text::trimBlanks(integer).isEmpty())
        return {};
    if (integer.size() > 13)
        return {{}, CapitalsProblem::TooManyIntegerDigits};
    if (!allDigits(integer) || !allDigits(fraction))
        return {{}, CapitalsProblem::NotANumber};

    QString high;
    QString low = integer;
    if (integer.size() > 8) {
        high = integer.left(integer.size() - 8);
        low = QString::number(integer.right(8).toInt());
    }
    const int lowValue = low.toInt();
    const int highValue = high.isEmpty() ? 0 : high.toInt();
    const int fractionValue = fraction.toInt();

    const QString ht = high.isEmpty() ? QString() : highText(high);
    QString lt = lowText(low, lowValue > 0) + fractionText(fraction, fractionValue);
    // A gap of zeros between the 亿 group and the rest is read once: 壹亿零伍元整.
    if (!high.isEmpty() && low.size() < 8 && lowValue > 0)
        lt.prepend(zero);
    const QString t = ht + lt;

    QString body;
    if (high.isEmpty() && lowValue == 0 && fractionValue != 0)
        body = t.mid(fractionValue >= 10 ? 1 : 2); // below one yuan: no "元" (and no "零")
    else if (lowValue > 0 || highValue > 0)
        body = t;
    return {prefix + body, CapitalsProblem::None};
}

} // namespace zelk::amount
