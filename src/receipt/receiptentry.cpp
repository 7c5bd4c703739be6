#include "receipt/receiptentry.h"

namespace zelk::receipt {

QString blankPeriod() {
    return QStringLiteral("    -  -  ");
}

bool ReceiptEntry::operator==(const ReceiptEntry& other) const {
    return invoiceNumber == other.invoiceNumber && issueDate == other.issueDate &&
           unknownDate == other.unknownDate && category == other.category &&
           machineNumber == other.machineNumber && periodStart == other.periodStart &&
           periodEnd == other.periodEnd && checkCode == other.checkCode &&
           payerName == other.payerName && lines == other.lines && extraLines == other.extraLines &&
           remarks == other.remarks && totalFigures == other.totalFigures &&
           totalCapitals == other.totalCapitals && payeeName == other.payeeName &&
           issuer == other.issuer && noticeLine == other.noticeLine && receiptId == other.receiptId;
}

QString searchableDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString displayedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace zelk::receipt
