#include "designer/designvalues.h"

#include "designer/fieldcatalog.h"
#include "store/store.h"

namespace zelk::designer {

DesignValues sampleValues() {
    return {sampleDataSet(), sampleVariables(), QStringLiteral("示例数据")};
}

DesignValues loadDesignValues(store::Store& store, const QString& number) {
    const qint64 kpid =
        number.isEmpty() ? store.largestReceiptId() : store.latestReceiptNumbered(number);
    if (kpid <= 0)
        return sampleValues();
    const store::Table table = store.receiptRows(kpid);
    DesignValues values;
    values.data.columns = table.columns;
    values.data.rows = table.rows;
    if (table.rows.isEmpty()) {
        // A receipt without lines still shows its header.
        const std::optional<store::StoredReceipt> stored = store.loadReceipt(kpid);
        if (!stored)
            return sampleValues();
        values.data.columns = QStringList{QStringLiteral("kpid")} + store::headerColumns() +
                              QStringList{QStringLiteral("fpmxid")} + store::lineColumns();
        values.data.rows.append(QStringList{QString::number(kpid)} + stored->header +
                                QStringList(store::lineColumns().size() + 1));
    }
    values.variables = receiptVariables(values.data);
    const QString fphm =
        values.data.rows.first().value(int(values.data.columns.indexOf(QStringLiteral("fphm"))));
    values.source = QStringLiteral("发票号码 %1 的数据").arg(fphm);
    return values;
}

} // namespace zelk::designer
