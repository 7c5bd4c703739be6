#pragma once

// Sample data shared by the tests: a typed receipt, and the rows the receipt preview hands to
// the shipped template (header values repeated on each line row). Header-only, so that only
// the tests that use them link the receipt and report libraries.

#include "amount/amounttext.h"
#include "amount/capitals.h"
#include "receipt/receiptentry.h"

#include <QStringList>

namespace zelk::test {

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
        const QString price = QStringLiteral("%1.10").arg(k + 1);
        e.lines[size_t(k)] = {QStringLiteral("项目%1").arg(k),
                              QStringLiteral("内容%1").arg(k),
                              QStringLiteral("次"),
                              QStringLiteral("1"),
                              price,
                              price};
        amounts.append(price);
    }
    e.totalFigures = amount::sumAmounts(amounts);
    e.totalCapitals = amount::toCapitals(e.totalFigures).text;
    e.payeeName = QStringLiteral("西湖茶楼");
    e.issuer = QStringLiteral("张三");
    e.noticeLine = QStringLiteral("手写无效");
    e.remarks = QStringLiteral("备").repeated(remarksSize);
    return e;
}

// The columns of the preview's rows, in its order.
inline QStringList fp3Columns() {
    return QStringLiteral("kpid fphm kpdate kpdate2 hyfl jdhm qssj jcsj jym fkfmc jexx jedx skfmc "
                          "kpr bz1 bz2 fpmxid xm kjll dw sl dj je")
        .split(u' ');
}

// A receipt with the given number of lines, as rows of fp3Columns().
inline QList<QStringList> fp3Rows(int lines,
                                  const QString& payer = QStringLiteral("杭州西湖食品有限公司")) {
    QList<QStringList> rows;
    for (int i = 0; i < lines; ++i)
        rows.append(QStringLiteral("7|00012345|20261206|2026-12-06|餐饮业|JD0001|2026-11-01|"
                                   "2026-11-30|8841|%1|123.00|壹佰贰拾叁元整|西湖茶楼|张三|"
                                   "手写无效||%2|餐费%3|午餐|份|%3|10.00|%4.00")
                        .arg(payer, QString::number(100 + i), QString::number(i + 1),
                             QString::number(10 * (i + 1)))
                        .split(u'|'));
    return rows;
}

} // namespace zelk::test
