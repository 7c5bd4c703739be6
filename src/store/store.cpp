#include "store/store.h"

#include "data/connection.h"
#include "store/copyrows.h"

namespace zelk::store {

void setLockWaitHook(std::function<void()> hook) {
    data::Connection::setLockWaitHook(std::move(hook));
}

void checkRewrite(const StoredReceipt& receipt, std::optional<qint64> stored, bool localFile,
                  bool repeated) {
    // Without this a receipt removed by someone else would be "rewritten" as orphan lines.
    if (!stored)
        throw ReceiptGone(
            (localFile ? QStringLiteral("数据库中没有编号为 %1 的票据（可能已被另一个运行中的"
                                        "本程序删除），票据未保存。")
                       : QStringLiteral("数据存储中没有编号为 %1 的票据（可能已被别处删除），"
                                        "票据未保存。"))
                .arg(receipt.kpid));
    if (!repeated && receipt.changes >= 0 && *stored != receipt.changes)
        throw ReceiptChanged(QStringLiteral("编号为 %1 的票据在读取之后已被别处修改，本次保存没有"
                                            "写入，以免覆盖别人的修改。")
                                 .arg(receipt.kpid));
}

QString StoredReceipt::value(QLatin1String column) const {
    return header.value(headerColumns().indexOf(column));
}

void StoredReceipt::setValue(QLatin1String column, const QString& value) {
    const qsizetype at = headerColumns().indexOf(column);
    Q_ASSERT(at >= 0 && at < header.size());
    header[at] = value;
}

QString ActiveStore::description() const {
    return target_ ? target_->description() : QStringLiteral("未打开");
}

std::unique_ptr<CopySource> ActiveStore::copySource() {
    return get().copySource();
}

std::unique_ptr<CopyTarget> ActiveStore::copyTarget() {
    return get().copyTarget();
}

Store& ActiveStore::get() const {
    if (!target_)
        throw data::DatabaseError(QStringLiteral("数据存储尚未打开，请重新启动本程序。"));
    return *target_;
}

} // namespace zelk::store
