#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QTableWidget;

namespace zelk::settings {

// "设置 → 备份与恢复…": back up now into a chosen folder (a USB stick), the automatic backups
// listed with their time and counts, and restoring one (or any backup file) in place of the
// database. The program's own connection is released before a restore and opened again after,
// whether the restore worked or not.
class BackupDialog : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> release; // closes the program's connection to the file
        std::function<void()> reopen;  // opens it again (and refreshes the window)
    };
    // `serverInUse`: the desk keeps its receipts on a server, so the file holds only its settings.
    BackupDialog(const QString& databasePath, bool serverInUse, Hooks hooks,
                 QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    void refresh();
    void backUpTo(const QString& folder);
    void restoreFrom(const QString& backupPath);

private:
    void backUpNowClick();
    void restoreSelectedClick();
    void restoreFileClick();

    QString databasePath_;
    Hooks hooks_;
    QTableWidget* table_ = nullptr;
};

// The automatic backup when the program is left normally: at most once a day, into
// Data/backup/ beside the database. Runs on a worker thread while the window waits, showing a
// progress bar when it takes longer than half a second; a failure is said in a message box.
void backUpOnExit(QWidget* parent, const QString& databasePath);

} // namespace zelk::settings
