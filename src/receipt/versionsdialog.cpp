#include "receipt/versionsdialog.h"

#include "receipt/receiptpreview.h"
#include "store/store.h"
#include "ui/guard.h"
#include "ui/messagebox.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zelk::receipt {

VersionsDialog::VersionsDialog(store::Store& store, qint64 kpid, QWidget* parent, Previewer preview)
    : QDialog(parent), table_(new QTableWidget(this)), earlier_(store.earlierVersions(kpid)),
      preview_(std::move(preview)) {
    setObjectName(QStringLiteral("versionsDialog"));
    setWindowTitle(QStringLiteral("修改记录 — 发票编号 %1").arg(kpid));
    const std::optional<store::StoredReceipt> current = store.loadReceipt(kpid);
    QList<std::pair<QString, store::StoredReceipt>> versions;
    QString savedAt = QStringLiteral("-");
    QStringList desks;
    for (const store::ReceiptVersion& version : std::as_const(earlier_)) {
        versions.append({savedAt, version.receipt});
        desks << version.desk;
        savedAt = version.replacedAt;
    }
    if (current) {
        versions.append({savedAt, *current});
        desks << QStringLiteral("（当前）");
    }

    const QMap<QString, QString> names = receiptFieldNames();
    QStringList captions = {QStringLiteral("保存时间"), QStringLiteral("被替换于")};
    for (const QString& column : store::headerColumns())
        captions << names.value(column, column);
    captions << QStringLiteral("明细");
    table_->setObjectName(QStringLiteral("versionsTable"));
    table_->setColumnCount(int(captions.size()));
    table_->setHorizontalHeaderLabels(captions);
    table_->setRowCount(int(versions.size()));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList previous;
    for (int row = 0; row < versions.size(); ++row) {
        const store::StoredReceipt& receipt = versions[row].second;
        QStringList lines;
        for (const QStringList& line : receipt.lines)
            lines << line.join(QLatin1Char('/'));
        QStringList cells = {versions[row].first, desks.value(row)};
        cells << receipt.header << lines.join(QStringLiteral(" | "));
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            // What this version changed against the one before it.
            if (row > 0 && column >= 2 && cells[column] != previous.value(column)) {
                item->setBackground(QColor(255, 236, 160));
                item->setData(Qt::UserRole, true);
            }
            table_->setItem(row, column, item);
        }
        previous = cells;
    }
    table_->resizeColumnsToContents();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("较早的版本在前，当前版本在最后；黄色为与前一"
                                                "版本不同之处。"),
                                 this));
    layout->addWidget(table_, 1);
    if (preview_) {
        auto* previewButton = new QPushButton(QStringLiteral("预览此版本(&V)…"), this);
        previewButton->setObjectName(QStringLiteral("versionPreviewButton"));
        connect(previewButton, &QPushButton::clicked, this, &VersionsDialog::previewSelected);
        layout->addWidget(previewButton, 0, Qt::AlignRight);
    }
    resize(1000, 400);
}

void VersionsDialog::previewSelected() {
    const int row = table_->currentRow();
    if (row < 0 || row >= earlier_.size()) {
        ui::MessageBox::information(this,
                                    QStringLiteral("请选中一个较早的版本；当前版本在录入页预览。"));
        return;
    }
    ui::runGuarded(this, [&] { preview_(earlier_[row]); });
}

} // namespace zelk::receipt
