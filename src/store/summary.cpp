#include "store/summary.h"

#include <QRegularExpression>

namespace zelk::store {

namespace {

QString withoutBlanksAround(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

amount::Decimal counted(const QString& storedTotal) {
    static const QRegularExpression plain(QString::fromLatin1(summaryAmountPattern));
    const QString text = withoutBlanksAround(storedTotal);
    if (!plain.match(text).hasMatch())
        return {};
    return amount::Decimal::parse(text).value_or(amount::Decimal());
}

// A total that matches summaryAmountPattern (blanks around allowed) with at most 18 digits
// and 18 decimal places, as a whole number of 10^-places; false for any other text, which
// counted() then reads.
bool readWhole(QByteArrayView text, qint64& units, int& places) {
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    qint64 value = 0;
    int digits = 0;    // significant digits read
    int anyDigits = 0; // digits of any kind
    places = 0;
    bool point = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        ++anyDigits;
        if (point)
            ++places;
        if (value != 0 || c != '0')
            ++digits;
        if (digits > 18 || places > 18)
            return false;
        value = value * 10 + (c - '0');
    }
    if (anyDigits == 0)
        return false;
    units = negative ? -value : value;
    return true;
}

amount::Decimal fromWhole(qint64 units, int places) {
    return amount::Decimal::parse(QStringLiteral("%1e-%2").arg(units).arg(places))
        .value_or(amount::Decimal());
}

} // namespace

std::optional<SummaryKey> summaryKeyFromName(const QString& name) {
    if (name == QLatin1String("day"))
        return SummaryKey::Day;
    if (name == QLatin1String("month"))
        return SummaryKey::Month;
    if (name == QLatin1String("category"))
        return SummaryKey::Category;
    if (name == QLatin1String("payer"))
        return SummaryKey::Payer;
    if (name == QLatin1String("issuer"))
        return SummaryKey::Issuer;
    return std::nullopt;
}

QString summaryColumn(SummaryKey key) {
    switch (key) {
    case SummaryKey::Category:
        return QStringLiteral("hyfl");
    case SummaryKey::Payer:
        return QStringLiteral("fkfmc");
    case SummaryKey::Issuer:
        return QStringLiteral("kpr");
    case SummaryKey::Day:
    case SummaryKey::Month:
        break;
    }
    return {};
}

QString SummaryTotals::shownKey(const QString& storedKey) const {
    // kpdate holds yyyymmdd; a value of another shape is shown as it is stored.
    static const QRegularExpression day(QStringLiteral("^\\d{8}$"));
    static const QRegularExpression month(QStringLiteral("^\\d{6}(\\d{2})?$"));
    if (key_ == SummaryKey::Day || key_ == SummaryKey::Month) {
        if (!(key_ == SummaryKey::Day ? day : month).match(storedKey).hasMatch())
            return storedKey;
        const QString month = storedKey.left(4) + u'-' + storedKey.mid(4, 2);
        return key_ == SummaryKey::Day ? QString(month + u'-' + storedKey.mid(6, 2)) : month;
    }
    return storedKey;
}

SummaryTotals::Group& SummaryTotals::group(QByteArrayView storedKey) {
    if (last_ && storedKey == QByteArrayView(lastKey_))
        return *last_;
    // Looked up in place; only a new key is copied.
    auto it = byStored_.constFind(QByteArray::fromRawData(storedKey.data(), storedKey.size()));
    if (it == byStored_.cend())
        it = byStored_.insert(storedKey.toByteArray(),
                              &groups_[shownKey(QString::fromUtf8(storedKey))]);
    lastKey_ = it.key(); // shared, not copied
    last_ = *it;
    return *last_;
}

void SummaryTotals::addReceipt(QByteArrayView storedKey, QByteArrayView storedTotal) {
    Group& g = group(storedKey);
    ++g.count;
    qint64 units = 0;
    int places = 0;
    if (!readWhole(storedTotal, units, places)) {
        g.total = g.total + counted(QString::fromUtf8(storedTotal));
        return;
    }
    qint64& sum = g.whole[size_t(places)];
    qint64 next = 0;
    if (__builtin_add_overflow(sum, units, &next)) {
        // The sum so far goes into the exact total and this total starts it again.
        g.total = g.total + fromWhole(sum, places);
        next = units;
    }
    sum = next;
}

void SummaryTotals::addGroup(const QString& storedKey, qint64 count, const QString& total) {
    Group& g = group(storedKey.toUtf8());
    g.count += count;
    g.total = g.total + amount::Decimal::parse(total).value_or(amount::Decimal());
}

QList<SummaryRow> SummaryTotals::rows() const {
    // std::map gives the groups in key order.
    QList<SummaryRow> rows;
    rows.reserve(qsizetype(groups_.size()));
    for (const auto& [key, g] : groups_) {
        amount::Decimal total = g.total;
        for (int places = 0; places < wholePlaces; ++places)
            if (g.whole[size_t(places)] != 0)
                total = total + fromWhole(g.whole[size_t(places)], places);
        rows.append({key, g.count, total.toFixed(2)});
    }
    return rows;
}

} // namespace zelk::store
