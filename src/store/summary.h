#pragma once

#include "amount/decimal.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <map>
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
    // One receipt with its stored key and total as the file's UTF-8 bytes. Receipts that come
    // in key order (as an index gives them) find their group without a look-up.
    void addReceipt(QByteArrayView storedKey, QByteArrayView storedTotal);
    // A group already counted and summed elsewhere (the server), `total` a decimal text.
    void addGroup(const QString& storedKey, qint64 count, const QString& total);
    QList<SummaryRow> rows() const;

private:
    // Plain totals of at most 18 digits are added as whole numbers of 10^-places, one sum per
    // number of decimal places, and made exact decimals at the end; any other total is read by
    // Decimal at once.
    static constexpr int wholePlaces = 19; // 0 to 18 decimal places
    struct Group {
        qint64 count = 0;
        amount::Decimal total;
        std::array<qint64, wholePlaces> whole{};
    };
    Group& group(QByteArrayView storedKey);
    QString shownKey(const QString& storedKey) const;
    SummaryKey key_;
    std::map<QString, Group> groups_;    // by shown key; a group stays where it is made
    QHash<QByteArray, Group*> byStored_; // by the stored key's bytes
    QByteArray lastKey_;
    Group* last_ = nullptr;
};

} // namespace zelk::store
