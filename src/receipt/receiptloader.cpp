#include "receipt/receiptloader.h"

#include "data/databaseerror.h"
#include "data/query.h"
#include "receipt/entrytotals.h"

namespace zelk::receipt {

QDate dateFromStoredKpdate(const QString& kpdate) {
    if (kpdate.size() != 8)
        return QDate();
    for (const QChar c : kpdate)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QDate();
    // Year from characters 1-4, month from 5-6, day from 7-8.
    return QDate(kpdate.left(4).toInt(), kpdate.mid(4, 2).toInt(), kpdate.mid(6, 2).toInt());
}

namespace {

QString text(const data::Query& q, const char* name) {
    return q.fieldAsText(QString::fromLatin1(name));
}

} // namespace

ReceiptEntry loadReceipt(data::Connection& connection, qint64 receiptId) {
    ReceiptEntry entry;
    {
        data::Query q(connection);
        q.add(QStringLiteral("select * from fpmain "));
        q.add(QStringLiteral(" where kpid=:kpid"));
        q.bind(QStringLiteral("kpid"), receiptId);
        q.open();
        if (q.eof())
            throw data::DatabaseError(
                QStringLiteral("数据库中没有编号为 %1 的票据，无法读取。").arg(receiptId));

        // In the order the entry form is filled.
        entry.invoiceNumber = text(q, "fphm");
        const QString kpdate = text(q, "kpdate");
        entry.issueDate = dateFromStoredKpdate(kpdate);
        if (!entry.issueDate.isValid())
            throw data::DatabaseError(
                QStringLiteral("编号为 %1 的票据的开票日期“%2”不是有效的日期（应为8位数字 "
                               "yyyymmdd），无法读取。")
                    .arg(receiptId)
                    .arg(kpdate));
        entry.category = text(q, "hyfl");
        entry.machineNumber = text(q, "jdhm");
        entry.periodStart = text(q, "qssj");
        entry.periodEnd = text(q, "jcsj");
        entry.checkCode = text(q, "jym");
        entry.payerName = text(q, "fkfmc");
        entry.totalCapitals = text(q, "jedx");
        entry.totalFigures = text(q, "jexx");
        entry.payeeName = text(q, "skfmc");
        entry.issuer = text(q, "kpr");
        entry.noticeLine = text(q, "bz1");
        entry.remarks = text(q, "bz2");
        entry.receiptId = text(q, "kpid");
    }

    data::Query lines(connection);
    lines.add(QStringLiteral("select * from fpdetail "));
    lines.add(QStringLiteral(" where kpid=:kpid"));
    lines.add(QStringLiteral(" order by fpmxid"));
    lines.bind(QStringLiteral("kpid"), receiptId);
    lines.open();
    // The form has five rows; stored lines after the fifth are read past.
    for (int n = 0; !lines.eof() && n < lineCount; ++n, lines.next()) {
        EntryLine& line = entry.lines[std::size_t(n)];
        line.item = text(lines, "xm");
        line.content = text(lines, "kjll");
        line.unit = text(lines, "dw");
        line.quantity = text(lines, "sl");
        line.unitPrice = text(lines, "dj");
        line.amount = text(lines, "je");
    }
    lines.close();

    // The form works its totals out from the reloaded amounts; they replace the stored ones.
    const EntryTotals totals = computeTotals(entry.lines);
    entry.totalFigures = totals.figures;
    entry.totalCapitals = totals.capitals;
    return entry;
}

} // namespace zelk::receipt
