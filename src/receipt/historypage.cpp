#include "receipt/historypage.h"

#include "books/summarydialog.h"
#include "data/databaseerror.h"
#include "receipt/historydatebox.h"
#include "receipt/historyexport.h"
#include "receipt/historymodel.h"
#include "receipt/receiptloader.h"
#include "receipt/versionsdialog.h"
#include "store/store.h"
#include "ui/fieldlength.h"
#include "ui/guard.h"
#include "ui/messagebox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace zelk::receipt {

namespace {
// How far ahead of today the history range reaches when the page is shown.
constexpr int defaultRangeDays = 30;
} // namespace

HistoryPage::HistoryPage(store::Store& store, QWidget* parent)
    : QWidget(parent), store_(store), model_(new HistoryModel(store, this)),
      startDate_(new HistoryDateBox(QStringLiteral("startDate"), this)),
      endDate_(new HistoryDateBox(QStringLiteral("endDate"), this)),
      searchText_(new QLineEdit(this)),
      searchButton_(new QPushButton(QStringLiteral("查询"), this)), grid_(new QTableView(this)),
      selectButton_(new QPushButton(QStringLiteral("选中"), this)),
      exportButton_(new QPushButton(QStringLiteral("导出…"), this)),
      summaryButton_(new QPushButton(QStringLiteral("统计…"), this)),
      versionsButton_(new QPushButton(QStringLiteral("修改记录"), this)) {
    setObjectName(QStringLiteral("historyPage"));
    createLayout();
    configureGrid();
    ui::removeLengthLimits(this);

    showDefaultRange();

    connect(searchButton_, &QPushButton::clicked, this, &HistoryPage::BitBtn10Click);
    connect(selectButton_, &QPushButton::clicked, this, &HistoryPage::reloadRequested);
    connect(exportButton_, &QPushButton::clicked, this, &HistoryPage::exportClick);
    connect(summaryButton_, &QPushButton::clicked, this, &HistoryPage::summaryClick);
    connect(versionsButton_, &QPushButton::clicked, this, &HistoryPage::versionsClick);
    connect(model_, &HistoryModel::fetchFailed, this,
            [this](const QString& message) { ui::MessageBox::error(this, message); });
}

void HistoryPage::showDefaultRange() {
    const QDate today = QDate::currentDate();
    setDateRange(today, today.addDays(defaultRangeDays));
}

void HistoryPage::createLayout() {
    searchText_->setObjectName(QStringLiteral("searchText"));
    searchButton_->setObjectName(QStringLiteral("searchButton"));
    selectButton_->setObjectName(QStringLiteral("selectButton"));
    exportButton_->setObjectName(QStringLiteral("exportButton"));
    summaryButton_->setObjectName(QStringLiteral("summaryButton"));
    versionsButton_->setObjectName(QStringLiteral("versionsButton"));
    grid_->setObjectName(QStringLiteral("historyGrid"));

    auto* topBar = new QHBoxLayout;
    auto* startLabel = new QLabel(QStringLiteral("起始开票日期"), this);
    startLabel->setObjectName(QStringLiteral("startDateLabel"));
    auto* endLabel = new QLabel(QStringLiteral("截止开票日期"), this);
    endLabel->setObjectName(QStringLiteral("endDateLabel"));
    auto* textLabel = new QLabel(QStringLiteral("票据信息"), this);
    textLabel->setObjectName(QStringLiteral("searchTextLabel"));
    textLabel->setBuddy(searchText_);
    topBar->addWidget(startLabel);
    topBar->addWidget(startDate_);
    topBar->addSpacing(12);
    topBar->addWidget(endLabel);
    topBar->addWidget(endDate_);
    topBar->addSpacing(12);
    topBar->addWidget(textLabel);
    topBar->addWidget(searchText_, 1);
    topBar->addWidget(searchButton_);

    auto* bottomBar = new QHBoxLayout;
    bottomBar->addWidget(exportButton_);
    bottomBar->addWidget(summaryButton_);
    bottomBar->addWidget(versionsButton_);
    bottomBar->addStretch(1);
    bottomBar->addWidget(selectButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(topBar);
    layout->addWidget(grid_, 1);
    layout->addLayout(bottomBar);

    QWidget::setTabOrder(startDate_->checkBox(), startDate_->dateEdit());
    QWidget::setTabOrder(startDate_->dateEdit(), endDate_->checkBox());
    QWidget::setTabOrder(endDate_->checkBox(), endDate_->dateEdit());
    QWidget::setTabOrder(endDate_->dateEdit(), searchText_);
    QWidget::setTabOrder(searchText_, searchButton_);
    QWidget::setTabOrder(searchButton_, selectButton_);
    QWidget::setTabOrder(selectButton_, grid_);
}

void HistoryPage::configureGrid() {
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setShowGrid(true);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setVisible(true);
    grid_->horizontalHeader()->setVisible(true);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < model_->columnCount(); ++column)
        grid_->setColumnWidth(column, HistoryModel::columnWidth(column));

    // A double-click anywhere on the grid reloads, the title row and row indicator included.
    grid_->viewport()->installEventFilter(this);
    grid_->horizontalHeader()->viewport()->installEventFilter(this);
    grid_->verticalHeader()->viewport()->installEventFilter(this);
    if (auto* corner = grid_->findChild<QAbstractButton*>())
        corner->installEventFilter(this);
}

bool HistoryPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick)
        emit reloadRequested();
    return QWidget::eventFilter(watched, event);
}

void HistoryPage::setDateRange(const QDate& from, const QDate& to) {
    startDate_->setDate(from);
    startDate_->setChecked(true);
    endDate_->setDate(to);
    endDate_->setChecked(true);
}

void HistoryPage::showImported(const QDate& from, const QDate& to, bool unreadableDates) {
    if (unreadableDates || !from.isValid() || !to.isValid()) {
        startDate_->setChecked(false);
        endDate_->setChecked(false);
    } else {
        setDateRange(from, to);
    }
    searchText_->clear();
    BitBtn10Click();
}

QList<QWidget*> HistoryPage::tabOrder() const {
    return {startDate_->dateEdit(), endDate_->dateEdit(), searchText_,
            searchButton_,          selectButton_,        grid_};
}

void HistoryPage::BitBtn10Click() {
    ui::runGuarded(this, [this] { search(); });
}

void HistoryPage::search() {
    HistoryCriteria criteria;
    criteria.text = searchText_->text();
    criteria.from = startDate_->bound();
    criteria.to = endDate_->bound();
    shownCriteria_ = criteria;
    if (!model_->search(criteria)) {
        ui::MessageBox::information(this, QStringLiteral("未找到记录！"));
        return;
    }
    grid_->setCurrentIndex(model_->index(0, 0));
    grid_->selectRow(0);
}

void HistoryPage::exportClick() {
    if (!shownCriteria_) {
        ui::MessageBox::information(this, QStringLiteral("请先查询，再导出查询结果。"));
        return;
    }
    exportSearchResult(this, store_, *shownCriteria_);
}

void HistoryPage::summaryClick() {
    books::SummaryDialog dialog(store_, this);
    dialog.setRange(startDate_->bound(), endDate_->bound());
    dialog.refresh();
    dialog.exec();
}

void HistoryPage::versionsClick() {
    ui::runGuarded(this, [this] {
        const QModelIndex current = grid_->currentIndex();
        if (!model_->hasResult() || !current.isValid())
            throw data::DatabaseError(QStringLiteral("没有选中的记录，请先查询。"));
        VersionsDialog dialog(store_, model_->receiptIdAt(current.row()), this, versionPreviewer_);
        dialog.exec();
    });
}

ReceiptEntry HistoryPage::loadCurrentReceipt() {
    const QModelIndex current = grid_->currentIndex();
    if (!model_->hasResult() || !current.isValid())
        throw data::DatabaseError(QStringLiteral("没有选中的记录，请先查询。"));
    return loadReceipt(store_, model_->receiptIdAt(current.row()));
}

} // namespace zelk::receipt
