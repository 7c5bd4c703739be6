#pragma once

// The receipts that the crash helper saves, derived from their tag alone, so that after a kill
// the test knows from the stored payer name what every other stored value must be.

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "receipt/receiptentry.h"

#include <QRegularExpression>
#include <optional>

namespace zelk::robust {

struct CrashTag {
    int run = 0;     // which start of the helper
    int number = 0;  // which receipt of that run
    int version = 1; // 1 when inserted, 2 after its rewrite
};

inline QString payerFor(const CrashTag& tag) {
    return QStringLiteral("crash %1-%2 v%3").arg(tag.run).arg(tag.number).arg(tag.version);
}

inline std::optional<CrashTag> tagFromPayer(const QString& payer) {
    static const QRegularExpression pattern(QStringLiteral("^crash (\\d+)-(\\d+) v([12])$"));
    const QRegularExpressionMatch m = pattern.match(payer);
    if (!m.hasMatch())
        return std::nullopt;
    return CrashTag{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
}

inline receipt::ReceiptEntry crashReceipt(const CrashTag& tag) {
    const int seed = tag.run * 1000 + tag.number * 3 + tag.version;
    receipt::ReceiptEntry e;
    e.invoiceNumber = QStringLiteral("N%1-%2").arg(tag.run).arg(tag.number);
    e.issueDate = QDate(2026, 1 + seed % 12, 1 + seed % 28);
    e.category = QStringLiteral("服务业");
    e.machineNumber = QStringLiteral("JD%1").arg(seed);
    e.periodStart = QStringLiteral("2026-11-01");
    e.periodEnd = QStringLiteral("2026-11-30");
    e.checkCode = QString::number(seed % 10000);
    e.payerName = payerFor(tag);
    // From one to five filled rows; the row after the last filled one has text but no amount,
    // so it must not be stored.
    const int filled = 1 + seed % receipt::lineCount;
    QStringList amounts;
    for (int k = 0; k < filled; ++k) {
        const QString amount = QStringLiteral("%1.%2")
                                   .arg((seed * 37 + k * 11) % 5000)
                                   .arg((seed + k * 7) % 100, 2, 10, QLatin1Char('0'));
        e.lines[size_t(k)] = {QStringLiteral("项目%1-%2").arg(seed).arg(k),
                              QStringLiteral("内容 %1 行 %2").arg(seed).arg(k),
                              QStringLiteral("个"),
                              QString::number(k + 1),
                              QStringLiteral("%1.5").arg(seed % 97),
                              amount};
        amounts.append(amount);
    }
    if (filled < receipt::lineCount)
        e.lines[size_t(filled)].item = QStringLiteral("没有金额");
    e.totalFigures = amount::sumAmounts(amounts);
    e.totalCapitals = amount::toCapitals(e.totalFigures).text;
    e.payeeName = QStringLiteral("收款单位");
    e.issuer = QStringLiteral("开票员");
    e.noticeLine = QStringLiteral("注：本收据为收款凭证");
    // Remarks of up to about 20 KB, so that one save writes several pages of the file and a
    // kill can land in the middle of them; no blanks at either end, so that a rewrite (which
    // trims the header values) stores the same.
    e.remarks = QStringLiteral("备注%1；").arg(seed).repeated(1 + (seed % 7) * 250);
    return e;
}

} // namespace zelk::robust
