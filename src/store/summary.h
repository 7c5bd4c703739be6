#pragma once

#include "amount/decimal.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace zelk::store {

// What receipts are grouped by in a summary.
enum class SummaryKey { Day, Month, Category, Payer, Issuer };

// "day", "month", "category", "payer", "issuer"; nothing for any other word.
std::optional<SummaryKey> summaryKeyFromName(const QString& name);

// The stored column a text key reads (hyfl, fkfmc, kpr); empty for the date keys.
QString summaryColumn(SummaryKey key);

// One group: its key (yyyy-mm-dd, yyyy-mm, or the stored text), the number of receipts and
// their exact total formatted 0.00.
struct SummaryRow {
    QString key;
    qint64 count = 0;
    QString total;
    bool operator==(const SummaryRow&) const = default;
};

// The pattern a stored total must match to count in a summary (after blanks around are
// removed): a plain decimal with an optional sign. Anything else (empty, "-", words) counts 0.
// The server store uses the same pattern in its SQL.
inline constexpr const char* summaryAmountPattern = "^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$";

// Adds up groups in exact decimals and gives them in key order. Date keys are given as the
// stored kpdate digits (yyyymmdd, or yyyymm for months) and shown as yyyy-mm-dd / yyyy-mm.
class SummaryTotals {
public:
    explicit SummaryTotals(SummaryKey key) : key_(key) {}
    // One receipt with its stored total.
    void addReceipt(const QString& storedKey, const QString& storedTotal);
    // A group already counted and summed elsewhere (the server), `total` a decimal text.
    void addGroup(const QString& storedKey, qint64 count, const QString& total);
    QList<SummaryRow> rows() const;

private:
    struct Group {
        qint64 count = 0;
        amount::Decimal total;
    };
    QString shownKey(const QString& storedKey) const;
    SummaryKey key_;
    QHash<QString, Group> groups_; // by shown key
};

} // namespace zelk::store
