#include "store/receiptcolumns.h"

namespace zelk::store {

const QList<ReceiptColumn>& storedColumns() {
    static const QList<ReceiptColumn> columns = {
        {"fphm", "发票号码", false, true, "发票号码", 108},
        {"kpdate", "开票日期(数字)", false, false, nullptr, 0},
        {"kpdate2", "开票日期", false, false, "开票日期", 96},
        {"hyfl", "行业分类", false, false, nullptr, 0},
        {"jdhm", "机打号码", false, true, "机打号码", 117},
        {"qssj", "起始时间", false, false, nullptr, 0},
        {"jcsj", "截止时间", false, false, nullptr, 0},
        {"jym", "校验码", false, false, "检验码", 111},
        {"fkfmc", "付款方名称", false, true, "付款方名称", 269},
        {"jexx", "合计金额(小写)", false, false, "金额", 91},
        {"jedx", "合计金额(大写)", false, false, nullptr, 0},
        {"skfmc", "收款方名称", false, false, nullptr, 0},
        {"kpr", "开票人", false, true, "开票人", 79},
        {"bz1", "提示行", false, false, nullptr, 0},
        {"bz2", "备注", false, true, "备注", 439},
        {"xm", "项目", true, false, nullptr, 0},
        {"kjll", "开具内容", true, false, nullptr, 0},
        {"dw", "单位", true, false, nullptr, 0},
        {"sl", "数量", true, false, nullptr, 0},
        {"dj", "单价", true, false, nullptr, 0},
        {"je", "金额", true, false, nullptr, 0},
    };
    return columns;
}

namespace {

QStringList namesOf(bool line) {
    QStringList names;
    for (const ReceiptColumn& column : storedColumns())
        if (column.line == line)
            names << QString::fromLatin1(column.name);
    return names;
}

} // namespace

const QStringList& headerColumns() {
    static const QStringList columns = namesOf(false);
    return columns;
}

const QStringList& lineColumns() {
    static const QStringList columns = namesOf(true);
    return columns;
}

const ReceiptColumn& gridColumn(int n) {
    static const QList<const ReceiptColumn*> grid = [] {
        QList<const ReceiptColumn*> out;
        for (const ReceiptColumn& column : storedColumns())
            if (column.gridTitle)
                out << &column;
        return out;
    }();
    return *grid.at(n);
}

QString columnCaption(const QString& name) {
    for (const ReceiptColumn& column : storedColumns())
        if (name == QLatin1String(column.name))
            return QString::fromUtf8(column.caption);
    return name;
}

QString searchedColumnsJoined() {
    QStringList joined;
    for (const ReceiptColumn& column : storedColumns())
        if (column.searched)
            joined << QStringLiteral("coalesce(%1,'')").arg(QLatin1String(column.name));
    return joined.join(QStringLiteral("||"));
}

} // namespace zelk::store
