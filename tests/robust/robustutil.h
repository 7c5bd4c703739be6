#pragma once

// Helpers of the robustness tests: a sample receipt and a full picture of what a database holds.

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "receipt/receiptentry.h"
#include "testsupport.h"

#include <QStringList>

namespace zelk::robust {

inline receipt::ReceiptEntry sampleReceipt(const QString& payer, int lines = 3,
                                           qsizetype remarksSize = 20) {
    receipt::ReceiptEntry e;
    e.invoiceNumber = QStringLiteral("00012345");
    e.issueDate = QDate(2026, 12, 6);
    e.category = QStringLiteral("服务业");
    e.machineNumber = QStringLiteral("JD0001");
    e.periodStart = QStringLiteral("2026-11-01");
    e.periodEnd = QStringLiteral("2026-11-30");
    e.checkCode = QStringLiteral("8841");
    e.payerName = payer;
    QStringList amounts;
    for (int k = 0; k < lines; ++k) {
        receipt::EntryLine& l = e.lines[size_t(k)];
        l.item = QStringLiteral("项目%1").arg(k);
        l.content = QStringLiteral("内容%1").arg(k);
        l.unit = QStringLiteral("次");
        l.quantity = QStringLiteral("1");
        l.unitPrice = QStringLiteral("%1.10").arg(k + 1);
        l.amount = l.unitPrice;
        amounts.append(l.amount);
    }
    e.totalFigures = amount::sumAmounts(amounts);
    e.totalCapitals = amount::toCapitals(e.totalFigures).text;
    e.payeeName = QStringLiteral("西湖茶楼");
    e.issuer = QStringLiteral("张三");
    e.noticeLine = QStringLiteral("手写无效");
    e.remarks = QStringLiteral("备").repeated(remarksSize);
    return e;
}

// Every row of the receipt tables, the settings and the id counters, each value quoted the way
// SQLite quotes literals (so NULL, numbers and texts stay distinct).
inline QStringList snapshot(const test::TempDatabase& db) {
    QStringList rows;
    rows += db.column(QStringLiteral(
        "select 'fpmain '||quote(kpid)||quote(fphm)||quote(kpdate)||quote(kpdate2)||quote(hyfl)||"
        "quote(jdhm)||quote(qssj)||quote(jcsj)||quote(jym)||quote(fkfmc)||quote(jexx)||"
        "quote(jedx)||quote(skfmc)||quote(kpr)||quote(bz1)||quote(bz2) from fpmain order by kpid"));
    rows += db.column(QStringLiteral(
        "select 'fpdetail '||quote(fpmxid)||quote(kpid)||quote(xm)||quote(kjll)||quote(dw)||"
        "quote(sl)||quote(dj)||quote(je) from fpdetail order by fpmxid"));
    rows += db.column(QStringLiteral(
        "select 'SysSet '||quote(SetId)||quote(SetValue) from SysSet order by SetId"));
    rows += db.column(
        QStringLiteral("select 'seq '||name||'='||seq from sqlite_sequence order by name"));
    return rows;
}

} // namespace zelk::robust
