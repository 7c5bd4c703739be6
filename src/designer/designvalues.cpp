#include "designer/designvalues.h"

#include "data/query.h"
#include "designer/fieldcatalog.h"

namespace zelk::designer {

DesignValues sampleValues() {
    return {sampleDataSet(), sampleVariables(), QStringLiteral("示例数据")};
}

DesignValues loadDesignValues(data::Connection& connection, const QString& number) {
    data::Query query(connection);
    // A receipt without lines still shows its header: the lines are joined
    // from the left.
    query.add(QStringLiteral("select a.*,b.fpmxid,b.xm,b.kjll,b.dw,b.sl,b.dj,b.je from fpmain a"
                             " left join fpdetail b on b.kpid=a.kpid"));
    if (number.isEmpty()) {
        query.add(QStringLiteral(" where a.kpid=(select max(kpid) from fpmain)"));
    } else {
        query.add(QStringLiteral(" where a.kpid=(select max(kpid) from fpmain where fphm=:fphm)"));
        query.bind(QStringLiteral("fphm"), number);
    }
    query.add(QStringLiteral(" order by b.fpmxid"));
    query.open();
    if (query.eof())
        return sampleValues();
    DesignValues values;
    values.data.columns = query.fieldNames();
    for (; !query.eof(); query.next()) {
        QStringList row;
        for (const QString& column : std::as_const(values.data.columns))
            row.append(query.fieldAsText(column));
        values.data.rows.append(row);
    }
    values.variables = receiptVariables(values.data);
    const QString fphm =
        values.data.rows.first().value(int(values.data.columns.indexOf(QStringLiteral("fphm"))));
    values.source = QStringLiteral("发票号码 %1 的数据").arg(fphm);
    return values;
}

} // namespace zelk::designer
