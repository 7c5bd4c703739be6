#include "settings/backupdialog.h"

#include "backup/filebackup.h"
#include "data/databaseerror.h"
#include "ui/messagebox.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <future>

namespace zelk::settings {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

BackupDialog::BackupDialog(const QString& databasePath, bool serverInUse, Hooks hooks,
                           QWidget* parent)
    : QDialog(parent), databasePath_(databasePath), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("backupDialog"));
    setWindowTitle(QStringLiteral("备份与恢复"));
    auto* layout = new QVBoxLayout(this);
    QString intro =
        QStringLiteral("每天第一次正常退出程序时，数据库自动备份到 %1，保留最新的十份。")
            .arg(shown(backup::automaticFolder(databasePath)));
    if (serverInUse)
        intro +=
            QStringLiteral("\n本程序正在使用数据库服务器：这里的备份只包括本机文件中的设置和"
                           "打印机设置。服务器上的票据请在服务器上用 pg_dump 备份（见帮助）。");
    auto* label = new QLabel(intro, this);
    label->setWordWrap(true);
    layout->addWidget(label);

    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("backupTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("备份时间"), QStringLiteral("收据"),
                                       QStringLiteral("明细"), QStringLiteral("文件")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto add = [&](const QString& text, const char* name, void (BackupDialog::*slot)()) {
        QPushButton* button = buttons->addButton(text, QDialogButtonBox::ActionRole);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
    };
    add(QStringLiteral("立即备份到…"), "backupNowButton", &BackupDialog::backUpNowClick);
    add(QStringLiteral("恢复所选备份"), "restoreSelectedButton",
        &BackupDialog::restoreSelectedClick);
    add(QStringLiteral("从其他备份文件恢复…"), "restoreFileButton",
        &BackupDialog::restoreFileClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 420);
    refresh();
}

void BackupDialog::refresh() {
    const QList<backup::BackupEntry> entries =
        backup::listBackups(backup::automaticFolder(databasePath_));
    table_->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const backup::BackupEntry& entry = entries[row];
        const bool ok = entry.problem.isEmpty();
        const QStringList cells = {entry.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                   ok ? QString::number(entry.check.receipts) : QStringLiteral("—"),
                                   ok ? QString::number(entry.check.lines) : QStringLiteral("—"),
                                   ok ? shown(entry.path)
                                      : QStringLiteral("已损坏，不能恢复：") + shown(entry.path)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, entry.path);
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
}

void BackupDialog::backUpTo(const QString& folder) {
    try {
        const QString written =
            backup::makeBackup(databasePath_, folder, QDateTime::currentDateTime());
        ui::MessageBox::information(this, QStringLiteral("已备份到 %1。").arg(shown(written)));
    } catch (const data::DatabaseError& error) {
        ui::MessageBox::error(this, QStringLiteral("备份失败：") + error.message(), error.detail());
    }
    refresh();
}

void BackupDialog::restoreFrom(const QString& backupPath) {
    backup::FileCheck check;
    try {
        check = backup::checkDatabase(backupPath);
    } catch (const data::DatabaseError& error) {
        ui::MessageBox::error(this, QStringLiteral("不能恢复：") + error.message(), error.detail());
        return;
    }
    if (!ui::MessageBox::question(
            this, QStringLiteral("用备份 %1（收据 %2 张，明细 %3 行）替换当前的数据库吗？"
                                 "当前的数据库文件将改名为 %4.before-restore-<时间> 保留。")
                      .arg(shown(backupPath))
                      .arg(check.receipts)
                      .arg(check.lines)
                      .arg(QFileInfo(databasePath_).fileName())))
        return;
    if (hooks_.release)
        hooks_.release();
    QString said;
    try {
        const backup::RestoreResult result =
            backup::restoreBackup(backupPath, databasePath_, QDateTime::currentDateTime());
        said = QStringLiteral("已恢复备份（收据 %1 张，明细 %2 行）。")
                   .arg(result.check.receipts)
                   .arg(result.check.lines);
        if (!result.keptAside.isEmpty())
            said += QStringLiteral("原数据库文件已改名为 %1。").arg(shown(result.keptAside));
    } catch (const data::DatabaseError& error) {
        ui::MessageBox::error(this, QStringLiteral("恢复失败：") + error.message(), error.detail());
    }
    if (hooks_.reopen)
        hooks_.reopen();
    if (!said.isEmpty())
        ui::MessageBox::information(this, said);
    refresh();
}

void BackupDialog::backUpNowClick() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("选择备份文件夹（如 U 盘）"));
    if (!folder.isEmpty())
        backUpTo(folder);
}

void BackupDialog::restoreSelectedClick() {
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty()) {
        ui::MessageBox::information(this, QStringLiteral("请先选择要恢复的备份。"));
        return;
    }
    restoreFrom(selected.first()->data(Qt::UserRole).toString());
}

void BackupDialog::restoreFileClick() {
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择备份文件"), {},
                                     QStringLiteral("收据数据库 (*.mdb);;所有文件 (*)"));
    if (!file.isEmpty())
        restoreFrom(file);
}

void backUpOnExit(QWidget* parent, const QString& databasePath) {
    if (databasePath.isEmpty() || !QFileInfo::exists(databasePath))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (!backup::automaticBackupDue(backup::automaticFolder(databasePath), now))
        return;
    // Each connection is made and used on the worker thread only.
    std::future<QString> work = std::async(std::launch::async, [databasePath, now] {
        return backup::runAutomaticBackup(databasePath, now);
    });
    QProgressDialog progress(QStringLiteral("正在备份数据库…"), QString(), 0, 0, parent);
    progress.setObjectName(QStringLiteral("exitBackupProgress"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    progress.setValue(0);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (work.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            loop.quit();
    });
    poll.start(20);
    if (work.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        loop.exec();
    progress.reset();
    try {
        work.get();
    } catch (const data::DatabaseError& error) {
        ui::MessageBox::error(parent, QStringLiteral("自动备份失败：") + error.message(),
                              error.detail());
    } catch (const std::exception& error) {
        ui::MessageBox::error(parent, QStringLiteral("自动备份失败。"),
                              QString::fromUtf8(error.what()));
    }
}

} // namespace zelk::settings
