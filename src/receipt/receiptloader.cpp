#include "receipt/receiptloader.h"

#include "data/databaseerror.h"
#include "receipt/entrytotals.h"
#include "store/filestore.h"

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

ReceiptEntry loadReceipt(store::Store& store, qint64 receiptId) {
    const std::optional<store::StoredReceipt> stored = store.loadReceipt(receiptId);
    if (!stored)
        throw data::DatabaseError(
            QStringLiteral("数据库中没有编号为 %1 的票据，无法读取。").arg(receiptId));
    auto text = [&](const char* name) { return stored->value(QLatin1String(name)); };
    ReceiptEntry entry;
    // In the order the entry form is filled.
    entry.invoiceNumber = text("fphm");
    const QString kpdate = text("kpdate");
    entry.issueDate = dateFromStoredKpdate(kpdate);
    // Older files hold dates the form cannot show ("", "2013109", "2005-3-1"): the receipt
    // still loads, its date marked unknown and kept as stored.
    if (!entry.issueDate.isValid())
        entry.unknownDate = UnknownDate{kpdate, text("kpdate2")};
    entry.category = text("hyfl");
    entry.machineNumber = text("jdhm");
    entry.periodStart = text("qssj");
    entry.periodEnd = text("jcsj");
    entry.checkCode = text("jym");
    entry.payerName = text("fkfmc");
    entry.totalCapitals = text("jedx");
    entry.totalFigures = text("jexx");
    entry.payeeName = text("skfmc");
    entry.issuer = text("kpr");
    entry.noticeLine = text("bz1");
    entry.remarks = text("bz2");
    entry.receiptId = QString::number(receiptId);
    entry.loadedChanges = stored->changes;

    // The form has five rows; stored lines after the fifth are kept aside, unchanged.
    for (qsizetype n = 0; n < stored->lines.size(); ++n) {
        const QStringList& values = stored->lines.at(n);
        const EntryLine line{values.value(0), values.value(1), values.value(2),
                             values.value(3), values.value(4), values.value(5)};
        if (n < lineCount)
            entry.lines[std::size_t(n)] = line;
        else
            entry.extraLines.append(line);
    }

    // The form works its totals out from the reloaded amounts; they replace the stored ones.
    const EntryTotals totals = computeTotals(entry.lines, entry.extraLines);
    entry.totalFigures = totals.figures;
    entry.totalCapitals = totals.capitals;
    return entry;
}

} // namespace zelk::receipt
