#include "receipt/receiptentry.h"

namespace zelk::receipt {

QString blankPeriod() {
    return QStringLiteral("    -  -  ");
}

QString searchableDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString displayedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace zelk::receipt
