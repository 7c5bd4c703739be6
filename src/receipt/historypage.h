#pragma once

#include "receipt/receiptentry.h"

#include "store/historysearch.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QTableView;

namespace zelk::store {
class Store;
struct ReceiptVersion;
} // namespace zelk::store

namespace zelk::receipt {

class HistoryDateBox;
class HistoryModel;

// The history page: a date range and a search text on top, the result grid, and "选中" below.
class HistoryPage : public QWidget {
    Q_OBJECT
public:
    explicit HistoryPage(store::Store& store, QWidget* parent = nullptr);

    void setDateRange(const QDate& from, const QDate& to); // both boxes checked
    void showDefaultRange(); // today to 30 days ahead, both boxes checked
    // Lists receipts just imported: the range from..to, or no range at all when some imported
    // date cannot be read (or none can); the search text emptied; then searched.
    void showImported(const QDate& from, const QDate& to, bool unreadableDates);
    // The stored receipt of the grid's current row, read in full from the database.
    ReceiptEntry loadCurrentReceipt(); // throws data::DatabaseError when there is no result row
    QList<QWidget*> tabOrder() const;  // start date, end date, search text, 查询, 选中, grid

    HistoryModel* model() const { return model_; }
    // What "修改记录"'s "预览此版本…" does with an earlier version; without it the button is
    // absent.
    void setVersionPreviewer(std::function<void(const store::ReceiptVersion&)> previewer) {
        versionPreviewer_ = std::move(previewer);
    }

public slots:
    // "查询": runs the search; shows "未找到记录！" when it finds nothing and errors in the
    // error box.
    void BitBtn10Click();
    // "导出…": the last search's receipts into a .xlsx or .csv file.
    void exportClick();
    // "统计…": counts and totals by day, month, category, payer or issuer.
    void summaryClick();
    // "修改记录": the selected receipt's versions.
    void versionsClick();

signals:
    void reloadRequested(); // "选中" clicked, or a double-click anywhere on the grid (title row
                            // included)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLayout();
    void configureGrid();
    void search();

    store::Store& store_;
    HistoryModel* model_;
    HistoryDateBox* startDate_;
    HistoryDateBox* endDate_;
    QLineEdit* searchText_;
    QPushButton* searchButton_;
    QTableView* grid_;
    QPushButton* selectButton_;
    QPushButton* exportButton_;
    QPushButton* summaryButton_;
    QPushButton* versionsButton_;
    std::optional<store::HistoryCriteria> shownCriteria_; // the search the grid shows
    std::function<void(const store::ReceiptVersion&)> versionPreviewer_;
};

} // namespace zelk::receipt
