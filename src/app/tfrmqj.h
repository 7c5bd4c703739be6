#pragma once

#include "data/filelocations.h"
#include "store/store.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace zelk::store {
class FileStore;
}

namespace zelk::receipt {
class HistoryPage;
class ReceiptEntryPage;
} // namespace zelk::receipt

namespace zelk::app {

class EnterKeyNavigator;

// The main window "Velkor收据套打系统": the menus, the top bar ("新增记录", "历史记录",
// "退出(&Q)" and the hidden current receipt id), and the page area with the receipt entry
// page and the history page.
//
// Building the window touches no database; the first time the window is shown it opens the
// database and fills in the entry page's defaults.
class Tfrmqj : public QMainWindow {
    Q_OBJECT
public:
    // `executablePath` is the running program's full path: the database, the template and the
    // help file are found from it.
    explicit Tfrmqj(const QString& executablePath, QWidget* parent = nullptr);
    ~Tfrmqj() override;

    // The database file opened at the first show; by default the one in the data folder of
    // data/filelocations.h (beside the executable, or the user's own folder when installed).
    QString databasePath() const { return databasePath_; }
    void setDatabasePath(const QString& path);
    // Whether the local database is open (from the first show until 退出(&Q) or a restore).
    bool isDatabaseOpen() const { return localFile_ != nullptr; }
    // Closes the local database; the window's commands then report that it is not open.
    void closeDatabase();

    QString executablePath() const { return executablePath_; }
    // The store the receipts are kept in, chosen at the first show from the local file's
    // settings: the local file, or the server (never the file instead of an unreachable
    // server).
    store::Store& activeStore() { return store_; }
    receipt::ReceiptEntryPage* entryPage() const { return entryPage_; }
    receipt::HistoryPage* historyPage() const { return historyPage_; }
    QStackedWidget* pages() const { return pages_; }

    // The import of an old program's file once the file and the settings question are
    // answered (设置 → 导入旧数据…): imported basic information goes into the form at once,
    // and the history lists the imported receipts.
    void importLegacy(const QString& path, bool settings);

    // The window's tab order: the top bar, the entry page, the history page.
    QList<QWidget*> tabOrder() const;

protected:
    void showEvent(QShowEvent* event) override;
    // Asks "当前收据尚未保存，是否保存？" when the form holds unsaved changes; 取消, or a save
    // that did not go through, keeps the window open.
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createTopBar();
    void createPages();
    void applyTabOrder();

    // Set-up on the first show: open the database, set the dates and the defaults.
    void FormShow();
    void openDatabase();
    // The open local file; throws data::DatabaseError when it is not open.
    store::FileStore& localFile() const;
    void moveFocusToNextControl();

    // Menu commands.
    void N12Click();   // 设置 → 基础信息
    void storeClick(); // 设置 → 数据存储…
    // 设置 → 票据模板设计, and the preview window's "设计" button.
    void openDesigner(QWidget* parent);
    void legacyImportClick(); // 设置 → 导入旧数据…
    void backupClick();       // 设置 → 备份与恢复…
    void N9Click();           // 帮助 → 帮助
    void N8Click();           // 帮助 → 关于
    // Top bar.
    void BitBtn16Click(); // 新增记录
    void BitBtn8Click();  // 历史记录
    void BitBtn2Click();  // 退出(&Q)
    // Entry page.
    void BitBtn19Click(); // 保存(&S)
    bool saveEntry();     // the save itself; whether the form's receipt is now stored
    // Asks "当前收据尚未保存，是否保存？" when the form holds unsaved changes and saves on 保存;
    // whether the form may now be closed or replaced (not after 取消 or a failed save).
    bool formMayBeReplaced();
    void BitBtn4Click(); // 预览(&V)
    // History page: 选中 and a double-click on the grid.
    void BitBtn11Click();

    // The local encrypted file (settings of this desk, the store choice) and the active store.
    std::unique_ptr<store::FileStore> localFile_;
    store::ActiveStore store_;
    QLabel* storeLabel_ = nullptr;
    QString executablePath_;
    data::FileLocations files_;
    QString databasePath_;
    bool firstShowDone_ = false;
    // Names the saves of the form on the entry page until one succeeds (see ReceiptSaver).
    QString saveToken_;

    QWidget* topBar_ = nullptr;
    QPushButton* newRecordButton_ = nullptr;
    QPushButton* historyButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    receipt::ReceiptEntryPage* entryPage_ = nullptr;
    receipt::HistoryPage* historyPage_ = nullptr;
    EnterKeyNavigator* enterKeys_ = nullptr;
};

} // namespace zelk::app
