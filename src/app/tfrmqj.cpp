#include "app/tfrmqj.h"

#include "app/enterkeynavigator.h"
#include "app/searchindexdialog.h"
#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "data/programfolder.h"
#include "designer/designerwindow.h"
#include "receipt/entrypage.h"
#include "receipt/formsaver.h"
#include "receipt/historymodel.h"
#include "receipt/historypage.h"
#include "receipt/receiptpreview.h"
#include "receipt/receiptsaver.h"
#include "report/previewwindow.h"
#include "settings/aboutdialog.h"
#include "settings/backupdialog.h"
#include "settings/basicsetdialog.h"
#include "settings/help.h"
#include "settings/legacyimport.h"
#include "settings/storedialog.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/storeconfig.h"
#include "ui/guard.h"
#include "ui/messagebox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QUuid>
#include <QVBoxLayout>
#include <stdexcept>

namespace zelk::app {

namespace {

// How far the history range reaches beyond today when the window opens.

QPushButton* barButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(true);
    return button;
}

} // namespace

Tfrmqj::Tfrmqj(const QString& executablePath, QWidget* parent)
    : QMainWindow(parent), executablePath_(executablePath),
      files_(data::locateFiles(executablePath)),
      databasePath_(data::databasePathFor(files_.dataFolder)) {
    setObjectName(QStringLiteral("Tfrmqj"));
    setWindowTitle(QStringLiteral("Velkor收据套打系统"));
    createMenus();
    createTopBar();
    createPages();
    applyTabOrder();
    enterKeys_ = new EnterKeyNavigator(this, [this] { moveFocusToNextControl(); });
    storeLabel_ = new QLabel(this);
    storeLabel_->setObjectName(QStringLiteral("storeLabel"));
    statusBar()->addPermanentWidget(storeLabel_);
}

Tfrmqj::~Tfrmqj() {
    report::PreviewWindow::setDesignHook({});
    // The history's reader works on the store, which goes before the pages.
    if (historyPage_)
        historyPage_->model()->clear();
}

void Tfrmqj::openDesigner(QWidget* parent) {
    designer::DesignerWindow::open(parent, receipt::receiptTemplatePath(executablePath_),
                                   [this](const QString& number) {
                                       if (!localFile_)
                                           return designer::sampleValues();
                                       // The receipts of the store in use, so a server desk shows
                                       // the server's.
                                       return designer::loadDesignValues(store_, number);
                                   });
}

void Tfrmqj::createMenus() {
    QMenu* settingsMenu = menuBar()->addMenu(QStringLiteral("设置"));
    settingsMenu->setObjectName(QStringLiteral("settingsMenu"));
    QAction* basicInfo = settingsMenu->addAction(QStringLiteral("基础信息"));
    basicInfo->setObjectName(QStringLiteral("basicInfoAction"));
    connect(basicInfo, &QAction::triggered, this, &Tfrmqj::N12Click);
    QAction* design = settingsMenu->addAction(QStringLiteral("票据模板设计"));
    design->setObjectName(QStringLiteral("templateDesignAction"));
    connect(design, &QAction::triggered, this, [this] { openDesigner(this); });
    // The preview window's "设计" button opens the same designer over the preview.
    report::PreviewWindow::setDesignHook([this](QWidget* preview) { openDesigner(preview); });
    QAction* storeAction = settingsMenu->addAction(QStringLiteral("数据存储…"));
    storeAction->setObjectName(QStringLiteral("storeAction"));
    connect(storeAction, &QAction::triggered, this, &Tfrmqj::storeClick);
    QAction* legacyImport = settingsMenu->addAction(QStringLiteral("导入旧数据…"));
    legacyImport->setObjectName(QStringLiteral("legacyImportAction"));
    connect(legacyImport, &QAction::triggered, this, &Tfrmqj::legacyImportClick);
    QAction* backupAction = settingsMenu->addAction(QStringLiteral("备份与恢复…"));
    backupAction->setObjectName(QStringLiteral("backupAction"));
    connect(backupAction, &QAction::triggered, this, &Tfrmqj::backupClick);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("帮助"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction* help = helpMenu->addAction(QStringLiteral("帮助"));
    help->setObjectName(QStringLiteral("helpAction"));
    connect(help, &QAction::triggered, this, &Tfrmqj::N9Click);
    QAction* about = helpMenu->addAction(QStringLiteral("关于"));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &Tfrmqj::N8Click);
}

void Tfrmqj::createTopBar() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);

    auto* topBar = new QWidget(central);
    topBar_ = topBar;
    topBar->setObjectName(QStringLiteral("topBar"));
    auto* barLayout = new QHBoxLayout(topBar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    newRecordButton_ =
        barButton(QStringLiteral("新增记录"), QStringLiteral("newRecordButton"), topBar);
    historyButton_ = barButton(QStringLiteral("历史记录"), QStringLiteral("historyButton"), topBar);
    exitButton_ = barButton(QStringLiteral("退出(&Q)"), QStringLiteral("exitButton"), topBar);
    barLayout->addWidget(newRecordButton_);
    barLayout->addWidget(historyButton_);
    barLayout->addWidget(exitButton_);
    barLayout->addStretch();
    layout->addWidget(topBar);

    connect(newRecordButton_, &QPushButton::clicked, this, &Tfrmqj::BitBtn16Click);
    connect(historyButton_, &QPushButton::clicked, this, &Tfrmqj::BitBtn8Click);
    connect(exitButton_, &QPushButton::clicked, this, &Tfrmqj::BitBtn2Click);
}

void Tfrmqj::createPages() {
    // A stacked widget has no page tabs: the pages change only through the buttons.
    pages_ = new QStackedWidget(centralWidget());
    pages_->setObjectName(QStringLiteral("pages"));
    centralWidget()->layout()->addWidget(pages_);

    entryPage_ = new receipt::ReceiptEntryPage(pages_);
    pages_->addWidget(entryPage_);
    // The current receipt id belongs to the entry page but sits, hidden, in the top bar.
    topBar_->layout()->addWidget(entryPage_->receiptIdField());

    connect(entryPage_->saveButton(), &QPushButton::clicked, this, &Tfrmqj::BitBtn19Click);
    connect(entryPage_->previewButton(), &QPushButton::clicked, this, &Tfrmqj::BitBtn4Click);

    historyPage_ = new receipt::HistoryPage(store_, pages_);
    historyPage_->setObjectName(QStringLiteral("historyPage"));
    pages_->addWidget(historyPage_);
    connect(historyPage_, &receipt::HistoryPage::reloadRequested, this, &Tfrmqj::BitBtn11Click);
    historyPage_->setVersionPreviewer([this](const store::ReceiptVersion& version) {
        ui::runGuarded(this, [this, &version] {
            receipt::previewEarlierVersion(this, version, localFile(), executablePath_,
                                           [this] { settings::openHelp(this, executablePath_); });
        });
    });
}

void Tfrmqj::setDatabasePath(const QString& path) {
    databasePath_ = path;
}

QList<QWidget*> Tfrmqj::tabOrder() const {
    QList<QWidget*> order = {historyButton_, exitButton_, newRecordButton_};
    order << entryPage_->tabOrder();
    if (historyPage_)
        order << historyPage_->tabOrder();
    return order;
}

void Tfrmqj::applyTabOrder() {
    const QList<QWidget*> order = tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void Tfrmqj::moveFocusToNextControl() {
    // Forward along the tab order to the next visible, enabled control, wrapping at the end.
    focusNextChild();
}

void Tfrmqj::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstShowDone_)
        return;
    firstShowDone_ = true;
    FormShow();
}

void Tfrmqj::FormShow() {
    // The pages of a stacked widget show no tabs, so there are none to hide.
    ui::runGuarded(this, [this] {
        // A failed open ends the set-up here; the window stays and later commands report
        // their own errors.
        openDatabase();
        historyPage_->showDefaultRange();
        entryPage_->setIssueDate(QDate::currentDate());
        // An unreachable server is reported here and stays the store; the form then takes
        // its defaults from the local file, so that no save goes without them.
        store::Store* defaultsFrom = &store_;
        if (auto* server = dynamic_cast<store::PgStore*>(store_.target()))
            if (!ui::runGuarded(this, [server] { server->check(); }))
                defaultsFrom = localFile_.get();
        const settings::BasicSettings defaults = settings::loadBasicSettings(*defaultsFrom);
        entryPage_->setPayeeName(defaults.payee);
        entryPage_->setCategory(defaults.category);
        entryPage_->setIssuer(defaults.issuer);
        entryPage_->setNoticeLine(defaults.notice);
        pages_->setCurrentWidget(entryPage_);
        entryPage_->setReceiptId(QString());
    });
    entryPage_->markUnchanged();
    // A file without its search index (or with one left stale by another program) still works
    // when this fails or is cancelled: searches then read the whole table.
    if (localFile_ && store_.isLocalFile())
        ui::runGuarded(this, [this] { bringSearchIndexUpToDate(this, localFile()); });
}

void Tfrmqj::openDatabase() {
    closeDatabase();
    // An installed program makes the user's own database and template on the first start.
    store::prepareUserFolder(files_);
    localFile_ = std::make_unique<store::FileStore>(databasePath_);
    store_.setTarget(*localFile_);
    // The store in use is chosen once, here. An unreachable server is reported and stays the
    // store: every later command tries it again, and nothing is kept in the local file
    // meanwhile, which would split the shop's receipts between two places.
    const store::StoreConfig config = store::loadStoreConfig(*localFile_);
    if (!config.server) {
        storeLabel_->setText(QStringLiteral("数据存储：本机文件"));
        return;
    }
    auto server = std::make_unique<store::PgStore>(store::serverConnInfo(config));
    // With a standby in the host list, the status line names the server actually in use.
    server->setOnConnected([this](const QString& where) {
        storeLabel_->setText(QStringLiteral("数据存储：") + where);
    });
    store_.setTarget(std::move(server));
    storeLabel_->setText(QStringLiteral("数据存储：数据库服务器 %1:%2/%3")
                             .arg(config.host, config.port, config.database));
}

store::FileStore& Tfrmqj::localFile() const {
    if (!localFile_)
        throw data::DatabaseError(QStringLiteral("数据库尚未打开，请重新启动本程序。"));
    return *localFile_;
}

void Tfrmqj::closeDatabase() {
    // The history's reader and the store in use go before the file they read.
    historyPage_->model()->clear();
    store_.clearTarget();
    localFile_.reset();
}

void Tfrmqj::N12Click() {
    settings::TfrmbasicSet dlg(store_, this);
    dlg.exec();
}

void Tfrmqj::storeClick() {
    if (!localFile_) {
        ui::MessageBox::information(this, QStringLiteral("数据库尚未打开，无法设置数据存储。"));
        return;
    }
    settings::StoreDialog dlg(*localFile_, this);
    dlg.exec();
}

void Tfrmqj::legacyImportClick() {
    if (!localFile_)
        return;
    // The import writes into the local file; with the server in use its receipts would land
    // where no desk reads them.
    if (!store_.isLocalFile()) {
        ui::MessageBox::information(
            this, QStringLiteral("本程序正在使用数据库服务器，旧数据只能导入本机文件。请先在只使用"
                                 "本机文件的电脑上导入，再用“设置 → 数据存储… → 复制本机票据到"
                                 "服务器”把票据复制到服务器。"));
        return;
    }
    QString path;
    bool settings = false;
    if (settings::askLegacyImport(this, &path, &settings))
        importLegacy(path, settings);
}

void Tfrmqj::importLegacy(const QString& path, bool settings) {
    if (!localFile_)
        return;
    const settings::LegacyImportResult result =
        settings::importLegacyFile(this, *localFile_, path, settings);
    if (!result.imported)
        return;
    // The imported basic information reaches the form at once.
    if (result.settings)
        ui::runGuarded(this, [this] {
            const bool unchanged = !entryPage_->hasUnsavedChanges();
            const settings::BasicSettings defaults = settings::loadBasicSettings(store_);
            entryPage_->setPayeeName(defaults.payee);
            entryPage_->setCategory(defaults.category);
            entryPage_->setIssuer(defaults.issuer);
            entryPage_->setNoticeLine(defaults.notice);
            if (unchanged)
                entryPage_->markUnchanged();
        });
    // The history lists what came over, whatever the dates.
    if (result.summary.receipts > 0) {
        pages_->setCurrentWidget(historyPage_);
        historyPage_->showImported(result.summary.firstDate, result.summary.lastDate,
                                   result.summary.unreadableDates);
    }
}

void Tfrmqj::backupClick() {
    if (!localFile_)
        return;
    // A restore replaces the file under the program's connection: it is closed first and the
    // window starts over on the restored file, as at start-up.
    settings::BackupDialog::Hooks hooks;
    hooks.release = [this] { closeDatabase(); };
    hooks.reopen = [this] {
        ui::runGuarded(this, [this] {
            openDatabase();
            BitBtn16Click();
        });
    };
    settings::BackupDialog dlg(databasePath_, !store_.isLocalFile(), hooks, this);
    dlg.exec();
}

void Tfrmqj::N9Click() {
    settings::openHelp(this, executablePath_);
}

void Tfrmqj::N8Click() {
    settings::TFrmAboutUs dlg(this);
    dlg.exec();
}

void Tfrmqj::BitBtn16Click() {
    saveToken_.clear();
    entryPage_->newRecord();
    pages_->setCurrentWidget(entryPage_);
}

void Tfrmqj::BitBtn8Click() {
    if (historyPage_)
        pages_->setCurrentWidget(historyPage_);
}

void Tfrmqj::BitBtn2Click() {
    if (close())
        closeDatabase();
}

void Tfrmqj::closeEvent(QCloseEvent* event) {
    if (!formMayBeReplaced()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool Tfrmqj::formMayBeReplaced() {
    if (!entryPage_->hasUnsavedChanges())
        return true;
    switch (ui::MessageBox::askToSave(this, QStringLiteral("当前收据尚未保存，是否保存？"))) {
    case ui::MessageBox::Answer::Yes:
        return saveEntry();
    case ui::MessageBox::Answer::No:
        return true;
    case ui::MessageBox::Answer::Cancel:
        break;
    }
    return false;
}

void Tfrmqj::BitBtn19Click() {
    saveEntry();
}

bool Tfrmqj::saveEntry() {
    const receipt::ReceiptEntry entry = entryPage_->entry();
    const receipt::SaveRefusal refusal = receipt::checkBeforeSave(entry);
    if (refusal != receipt::SaveRefusal::None) {
        ui::MessageBox::information(this, receipt::refusalMessage(refusal));
        if (refusal == receipt::SaveRefusal::EmptyPayer)
            entryPage_->payerField()->setFocus();
        else
            entryPage_->amountCell(0)->setFocus();
        return false;
    }
    bool saved = false;
    ui::runGuarded(this, [&] {
        receipt::FormSaver saver(store_, [this](const QString& question) {
            return ui::MessageBox::question(this, question);
        });
        if (saveToken_.isEmpty())
            saveToken_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
        saver.setToken(saveToken_);
        const receipt::FormSaveOutcome outcome = saver.save(entry);
        if (outcome.kind == receipt::FormSaveOutcome::Kind::Reloaded)
            entryPage_->showReceipt(outcome.reloaded);
        if (outcome.kind != receipt::FormSaveOutcome::Kind::Saved)
            return;
        saveToken_.clear();
        entryPage_->setReceiptId(outcome.receiptId);
        entryPage_->setLoadedChanges(outcome.changes);
        entryPage_->markUnchanged();
        saved = true;
        ui::MessageBox::information(this, QStringLiteral("保存成功！"));
    });
    return saved;
}

void Tfrmqj::BitBtn4Click() {
    ui::runGuarded(this, [this] {
        const receipt::ReceiptEntry entry = entryPage_->entry();
        receipt::previewReceipt(this, store_, localFile(), entry.receiptId, entry.remarks,
                                executablePath_,
                                [this] { settings::openHelp(this, executablePath_); });
    });
}

void Tfrmqj::BitBtn11Click() {
    // The chosen receipt replaces the form: what was typed there is saved or let go first.
    if (!formMayBeReplaced())
        return;
    saveToken_.clear();
    pages_->setCurrentWidget(entryPage_);
    ui::runGuarded(this, [this] { entryPage_->showReceipt(historyPage_->loadCurrentReceipt()); });
}

} // namespace zelk::app
