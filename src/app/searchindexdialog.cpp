#include "app/searchindexdialog.h"

#include "data/searchindex.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace zelk::app {

void bringSearchIndexUpToDate(QWidget* parent, data::Connection& connection) {
    if (data::searchindex::state(connection) == data::searchindex::State::Ready)
        return;
    constexpr int steps = 1000;
    QProgressDialog dialog(QStringLiteral("正在建立票据查询索引，请稍候……"), QStringLiteral("取消"),
                           0, steps, parent);
    dialog.setObjectName(QStringLiteral("searchIndexProgress"));
    dialog.setWindowTitle(QStringLiteral("查询索引"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    data::searchindex::update(connection, [&](qint64 done, qint64 total) {
        dialog.setValue(total > 0 ? int(std::min(done, total) * steps / total) : 0);
        QCoreApplication::processEvents();
        return !dialog.wasCanceled();
    });
}

} // namespace zelk::app
