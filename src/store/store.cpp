#include "store/store.h"

namespace zelk::store {

const QStringList& headerColumns() {
    static const QStringList columns = {
        QStringLiteral("fphm"), QStringLiteral("kpdate"), QStringLiteral("kpdate2"),
        QStringLiteral("hyfl"), QStringLiteral("jdhm"),   QStringLiteral("qssj"),
        QStringLiteral("jcsj"), QStringLiteral("jym"),    QStringLiteral("fkfmc"),
        QStringLiteral("jexx"), QStringLiteral("jedx"),   QStringLiteral("skfmc"),
        QStringLiteral("kpr"),  QStringLiteral("bz1"),    QStringLiteral("bz2"),
    };
    return columns;
}

const QStringList& lineColumns() {
    static const QStringList columns = {QStringLiteral("xm"), QStringLiteral("kjll"),
                                        QStringLiteral("dw"), QStringLiteral("sl"),
                                        QStringLiteral("dj"), QStringLiteral("je")};
    return columns;
}

QString ActiveStore::description() const {
    return target_ ? target_->description() : QStringLiteral("未打开");
}

Store& ActiveStore::get() const {
    if (!target_)
        throw data::DatabaseError(QStringLiteral("数据存储尚未打开，请重新启动本程序。"));
    return *target_;
}

} // namespace zelk::store
