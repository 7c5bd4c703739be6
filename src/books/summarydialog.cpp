#include "books/summarydialog.h"

#include "books/receiptexport.h"
#include "books/summaryreport.h"
#include "report/previewwindow.h"
#include "store/store.h"
#include "ui/filedialog.h"
#include "ui/guard.h"
#include "ui/messagebox.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

namespace zelk::books {

SummaryDialog::SummaryDialog(store::Store& store, QWidget* parent)
    : QDialog(parent), store_(store), by_(new QComboBox(this)), fromOn_(new QCheckBox(this)),
      from_(new QDateEdit(this)), toOn_(new QCheckBox(this)), to_(new QDateEdit(this)),
      table_(new QTableWidget(0, 3, this)), chart_(new QChartView(this)) {
    setObjectName(QStringLiteral("summaryDialog"));
    setWindowTitle(QStringLiteral("统计"));
    by_->setObjectName(QStringLiteral("summaryBy"));
    const QList<std::pair<const char*, store::SummaryKey>> groups = {
        {"按日", store::SummaryKey::Day},
        {"按月", store::SummaryKey::Month},
        {"按行业分类", store::SummaryKey::Category},
        {"按付款方", store::SummaryKey::Payer},
        {"按开票人", store::SummaryKey::Issuer}};
    for (const auto& [caption, key] : groups)
        by_->addItem(QString::fromUtf8(caption), int(key));
    by_->setCurrentIndex(1);
    for (QDateEdit* edit : {from_, to_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    from_->setObjectName(QStringLiteral("summaryFrom"));
    to_->setObjectName(QStringLiteral("summaryTo"));
    const QDate today = QDate::currentDate();
    setRange(QDate(today.year(), 1, 1), today);

    auto* run = new QPushButton(QStringLiteral("统计"), this);
    run->setObjectName(QStringLiteral("summaryRun"));
    auto* top = new QHBoxLayout;
    top->addWidget(by_);
    top->addSpacing(12);
    top->addWidget(fromOn_);
    top->addWidget(new QLabel(QStringLiteral("起始开票日期"), this));
    top->addWidget(from_);
    top->addWidget(toOn_);
    top->addWidget(new QLabel(QStringLiteral("截止开票日期"), this));
    top->addWidget(to_);
    top->addStretch(1);
    top->addWidget(run);
    auto* print = new QPushButton(QStringLiteral("打印(&P)…"), this);
    print->setObjectName(QStringLiteral("summaryPrint"));
    auto* save = new QPushButton(QStringLiteral("导出(&E)…"), this);
    save->setObjectName(QStringLiteral("summaryExport"));
    top->addWidget(print);
    top->addWidget(save);

    table_->setObjectName(QStringLiteral("summaryTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("分组"), QStringLiteral("张数"), QStringLiteral("金额合计")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    chart_->setObjectName(QStringLiteral("summaryChart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(table_);
    split->addWidget(chart_);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    resize(1000, 560);

    connect(run, &QPushButton::clicked, this, &SummaryDialog::refresh);
    connect(by_, &QComboBox::currentIndexChanged, this, &SummaryDialog::refresh);
    connect(print, &QPushButton::clicked, this, &SummaryDialog::printRows);
    connect(save, &QPushButton::clicked, this, &SummaryDialog::exportRows);
}

store::SummaryKey SummaryDialog::shownKey() const {
    return store::SummaryKey(by_->currentData().toInt());
}

void SummaryDialog::printRows() {
    ui::runGuarded(this, [this] {
        QString range;
        if (fromOn_->isChecked() || toOn_->isChecked())
            range = QStringLiteral("（%1 至 %2）")
                        .arg(fromOn_->isChecked() ? from_->date().toString(Qt::ISODate) : QString(),
                             toOn_->isChecked() ? to_->date().toString(Qt::ISODate) : QString());
        report::PreviewWindow window(
            summaryReport(QStringLiteral("收据统计 ") + by_->currentText() + range, shownKey(),
                          rows_),
            this);
        window.exec();
    });
}

void SummaryDialog::exportRows() {
    const QString path =
        ui::FileDialog::saveFile(this, QStringLiteral("导出统计"), QStringLiteral("统计.xlsx"),
                                 QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (ui::runGuarded(this, [&] { exportSummary(rows_, summaryKeyCaption(shownKey()), path); }))
        ui::MessageBox::information(this, QStringLiteral("已导出 %1 组到 %2。")
                                              .arg(rows_.size())
                                              .arg(QDir::toNativeSeparators(path)));
}

void SummaryDialog::setRange(const QDate& from, const QDate& to) {
    fromOn_->setChecked(from.isValid());
    toOn_->setChecked(to.isValid());
    if (from.isValid())
        from_->setDate(from);
    if (to.isValid())
        to_->setDate(to);
}

void SummaryDialog::refresh() {
    ui::runGuarded(this, [this] {
        showRows(store_.summarize(shownKey(), fromOn_->isChecked() ? from_->date() : QDate(),
                                  toOn_->isChecked() ? to_->date() : QDate()));
    });
}

void SummaryDialog::showRows(const QList<store::SummaryRow>& rows) {
    rows_ = rows;
    table_->setRowCount(int(rows.size()));
    auto* bars = new QBarSet(QStringLiteral("金额合计"));
    QStringList categories;
    double highest = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const store::SummaryRow& row = rows[i];
        const QString key = row.key.isEmpty() ? QStringLiteral("（空）") : row.key;
        const QStringList cells = {key, QString::number(row.count), row.total};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(i, column, item);
        }
        if (i < chartLimit) {
            // The bar's height only; the table carries the exact figure.
            const double value = row.total.toDouble();
            *bars << value;
            highest = std::max(highest, value);
            categories << key.left(12);
        }
    }
    table_->resizeColumnsToContents();

    auto* series = new QBarSeries;
    series->append(bars);
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(rows.size() > chartLimit
                        ? QStringLiteral("金额合计（图中只画前 %1 组，表中为全部）").arg(chartLimit)
                        : QStringLiteral("金额合计"));
    auto* axisX = new QBarCategoryAxis;
    axisX->append(categories);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    auto* axisY = new QValueAxis;
    axisY->setRange(0, highest > 0 ? highest * 1.05 : 1);
    axisY->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    chart->legend()->setVisible(false);
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
}

} // namespace zelk::books
