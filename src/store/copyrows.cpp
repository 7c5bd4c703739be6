#include "store/copyrows.h"

#include "store/receiptcolumns.h"

namespace zelk::store {

QStringList copyColumns(CopyTable table) {
    switch (table) {
    case CopyTable::Receipts:
        return QStringList{QStringLiteral("kpid")} + headerColumns() +
               QStringList{QStringLiteral("changecount")};
    case CopyTable::Lines:
        return QStringList{QStringLiteral("fpmxid"), QStringLiteral("kpid")} + lineColumns();
    case CopyTable::Versions:
        return QStringList{QStringLiteral("histid"), QStringLiteral("kpid"),
                           QStringLiteral("replacedat"), QStringLiteral("desk"),
                           QStringLiteral("changecount")} +
               headerColumns();
    case CopyTable::VersionLines:
        return QStringList{QStringLiteral("histid"), QStringLiteral("fpmxid")} + lineColumns();
    case CopyTable::Settings:
        return QStringList{QStringLiteral("SetId"), QStringLiteral("SetValue")};
    }
    return {};
}

QString copyTableName(CopyTable table) {
    switch (table) {
    case CopyTable::Receipts:
        return QStringLiteral("fpmain");
    case CopyTable::Lines:
        return QStringLiteral("fpdetail");
    case CopyTable::Versions:
        return QStringLiteral("fpmain_history");
    case CopyTable::VersionLines:
        return QStringLiteral("fpdetail_history");
    case CopyTable::Settings:
        return QStringLiteral("SysSet");
    }
    return {};
}

} // namespace zelk::store
