#include "app/searchindexdialog.h"

#include "store/filestore.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace zelk::app {

void bringSearchIndexUpToDate(QWidget* parent, store::FileStore& file) {
    if (file.searchIndexState() == store::searchindex::State::Ready)
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
    file.updateSearchIndex([&](qint64 done, qint64 total) {
        dialog.setValue(total > 0 ? int(std::min(done, total) * steps / total) : 0);
        QCoreApplication::processEvents();
        return !dialog.wasCanceled();
    });
}

} // namespace zelk::app
