#include "receipt/historyexport.h"

#include "books/receiptexport.h"
#include "data/databaseerror.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>

namespace zelk::receipt {

void exportSearchResult(QWidget* parent, store::Store& store,
                        const store::HistoryCriteria& criteria) {
    QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("导出查询结果"), QStringLiteral("收据.xlsx"),
        QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (!books::exportFormatFor(path))
        path += QStringLiteral(".xlsx");
    exportSearchResultTo(parent, store, criteria, path);
}

bool exportSearchResultTo(QWidget* parent, store::Store& store,
                          const store::HistoryCriteria& criteria, const QString& path) {
    try {
        const QList<qint64> ids = books::searchResultIds(store, criteria);
        if (ids.isEmpty()) {
            ui::MessageBox::information(parent, QStringLiteral("未找到记录！"));
            return false;
        }
        QProgressDialog progress(QStringLiteral("正在导出…"), QStringLiteral("取消"), 0,
                                 int(ids.size()), parent);
        progress.setObjectName(QStringLiteral("exportProgress"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        const books::ExportResult result =
            books::exportReceipts(store, ids, path, [&](qint64 done, qint64) {
                progress.setValue(int(done));
                return !progress.wasCanceled();
            });
        progress.reset();
        if (result.cancelled) {
            ui::MessageBox::information(parent, QStringLiteral("已取消导出，未写入文件。"));
            return false;
        }
        QString said = QStringLiteral("已导出 %1 张收据、%2 行明细到 %3。")
                           .arg(result.receipts)
                           .arg(result.lines)
                           .arg(QDir::toNativeSeparators(path));
        if (result.cutTexts)
            said += QStringLiteral("有 %1 个文字超过表格单元格的 32767 个字符，已截断。")
                        .arg(result.cutTexts);
        ui::MessageBox::information(parent, said);
        return true;
    } catch (const data::DatabaseError& error) {
        ui::MessageBox::error(parent, QStringLiteral("导出失败：") + error.message(),
                              error.detail());
        return false;
    }
}

} // namespace zelk::receipt
