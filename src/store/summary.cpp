#include "store/summary.h"

#include <QRegularExpression>

#include <algorithm>

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

void SummaryTotals::addReceipt(const QString& storedKey, const QString& storedTotal) {
    Group& group = groups_[shownKey(storedKey)];
    ++group.count;
    group.total = group.total + counted(storedTotal);
}

void SummaryTotals::addGroup(const QString& storedKey, qint64 count, const QString& total) {
    Group& group = groups_[shownKey(storedKey)];
    group.count += count;
    group.total = group.total + amount::Decimal::parse(total).value_or(amount::Decimal());
}

QList<SummaryRow> SummaryTotals::rows() const {
    QList<SummaryRow> rows;
    rows.reserve(groups_.size());
    for (auto it = groups_.cbegin(); it != groups_.cend(); ++it)
        rows.append({it.key(), it->count, it->total.toFixed(2)});
    std::sort(rows.begin(), rows.end(),
              [](const SummaryRow& a, const SummaryRow& b) { return a.key < b.key; });
    return rows;
}

} // namespace zelk::store
