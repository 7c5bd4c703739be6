#include "receipt/receiptsaver.h"

#include "data/databaseerror.h"
#include "text/blanks.h"

namespace zelk::receipt {

using text::trimBlanks;

namespace {

// The header values as the form holds them, in headerColumns() order.
QStringList headerValues(const ReceiptEntry& entry) {
    const QList<QPair<const char*, QString>> byName = {
        {"fphm", entry.invoiceNumber},
        {"kpdate", searchableDate(entry.issueDate)},
        {"kpdate2", displayedDate(entry.issueDate)},
        {"hyfl", entry.category},
        {"jdhm", entry.machineNumber},
        {"qssj", entry.periodStart},
        {"jcsj", entry.periodEnd},
        {"jym", entry.checkCode},
        {"fkfmc", entry.payerName},
        {"jexx", entry.totalFigures},
        {"jedx", entry.totalCapitals},
        {"skfmc", entry.payeeName},
        {"kpr", entry.issuer},
        {"bz1", entry.noticeLine},
        {"bz2", entry.remarks},
    };
    QStringList values(store::headerColumns().size());
    for (const auto& [name, value] : byName)
        values[store::headerColumns().indexOf(QLatin1String(name))] = value;
    return values;
}

} // namespace

SaveRefusal checkBeforeSave(const ReceiptEntry& entry) {
    if (entry.payerName.isEmpty())
        return SaveRefusal::EmptyPayer;
    if (trimBlanks(entry.totalFigures).isEmpty())
        return SaveRefusal::EmptyTotal;
    return SaveRefusal::None;
}

QString refusalMessage(SaveRefusal refusal) {
    switch (refusal) {
    case SaveRefusal::EmptyPayer:
        return QStringLiteral("付款方名称不能为空！");
    case SaveRefusal::EmptyTotal:
        return QStringLiteral("金额不能为空！");
    case SaveRefusal::None:
        break;
    }
    return QString();
}

ReceiptSaver::ReceiptSaver(store::Store& store) : store_(store) {}

ReceiptSaver::~ReceiptSaver() = default;

QString ReceiptSaver::save(const ReceiptEntry& entry) {
    // The entry page refuses these with a notice first; refusing here as well keeps a receipt
    // without payer or total out of the tables whoever calls.
    const SaveRefusal refusal = checkBeforeSave(entry);
    if (refusal != SaveRefusal::None)
        throw data::DatabaseError(refusalMessage(refusal));
    if (!entry.issueDate.isValid() && !entry.unknownDate)
        throw data::DatabaseError(QStringLiteral("开票日期无效，票据未保存。"));

    store::StoredReceipt receipt;
    receipt.token = token_;
    const bool rewrite = !entry.receiptId.isEmpty();
    if (rewrite) {
        bool ok = false;
        receipt.kpid = entry.receiptId.toLongLong(&ok);
        if (!ok || receipt.kpid <= 0)
            throw data::DatabaseError(
                QStringLiteral("票据编号“%1”无效，票据未保存。").arg(entry.receiptId));
    }
    // A new receipt stores every value as typed; a rewrite trims the header values (the store
    // keeps the invoice number of the first save).
    for (const QString& value : headerValues(entry))
        receipt.header << (rewrite ? trimBlanks(value) : value);
    // A date the form could not show goes back exactly as it was stored, unless the operator
    // has set one.
    if (!entry.issueDate.isValid()) {
        receipt.setValue(QLatin1String("kpdate"), entry.unknownDate->kpdate);
        receipt.setValue(QLatin1String("kpdate2"), entry.unknownDate->kpdate2);
    }
    for (const EntryLine& line : entry.lines)
        if (!trimBlanks(line.amount).isEmpty())
            receipt.lines << QStringList{line.item,     line.content,   line.unit,
                                         line.quantity, line.unitPrice, line.amount};
    // Lines the form does not show go back as they were stored, after the five rows.
    for (const EntryLine& line : entry.extraLines)
        receipt.lines << QStringList{line.item,     line.content,   line.unit,
                                     line.quantity, line.unitPrice, line.amount};
    // Header, line deletion and line inserts land together or not at all.
    if (rewrite) {
        receipt.changes = entry.loadedChanges;
        changes_ = store_.rewriteReceipt(receipt);
        return entry.receiptId;
    }
    const qint64 id = store_.insertReceipt(receipt);
    changes_ = 0;
    return QString::number(id);
}

} // namespace zelk::receipt
