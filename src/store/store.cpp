#include "store/store.h"

#include "data/connection.h"

namespace zelk::store {

void setLockWaitHook(std::function<void()> hook) {
    data::Connection::setLockWaitHook(std::move(hook));
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
