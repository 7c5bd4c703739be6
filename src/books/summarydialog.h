#pragma once

#include "store/summary.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QTableWidget;

class QChartView;

namespace zelk::store {
class Store;
}

namespace zelk::books {

// "统计…": counts and exact totals of the receipts by day, month, category, payer or issuer
// over a date range, as a table and a bar chart of the totals. The figures come from the store
// (the server adds up itself).
class SummaryDialog : public QDialog {
    Q_OBJECT
public:
    explicit SummaryDialog(store::Store& store, QWidget* parent = nullptr);

    QComboBox* groupBox() const { return by_; }
    QTableWidget* table() const { return table_; }
    QChartView* chart() const { return chart_; }
    void setRange(const QDate& from, const QDate& to); // an invalid date: no bound on that side
    // Reads the summary and shows it; errors go to the error box.
    void refresh();
    // "打印…": the shown rows as a table in the preview window, printable from there.
    void printRows();
    // "导出…": the shown rows into a .xlsx or .csv file the operator names.
    void exportRows();

    // Bars beyond this many groups are left out of the chart (the table lists every group).
    static constexpr int chartLimit = 60;

private:
    void showRows(const QList<store::SummaryRow>& rows);
    store::SummaryKey shownKey() const;

    store::Store& store_;
    QComboBox* by_;
    QCheckBox* fromOn_;
    QDateEdit* from_;
    QCheckBox* toOn_;
    QDateEdit* to_;
    QTableWidget* table_;
    QChartView* chart_;
    QList<store::SummaryRow> rows_; // as shown
};

} // namespace zelk::books
