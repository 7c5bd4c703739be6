// Export of receipts as the accountant opens it: written by the program, read back by real
// readers (/usr/bin/python3 with openpyxl for .xlsx, the csv module for .csv).
#include "testsupport.h"

#include "books/receiptexport.h"
#include "books/summarydialog.h"
#include "books/summaryreport.h"
#include "receipt/historyexport.h"
#include "receipt/versionsdialog.h"
#include "store/filestore.h"
#include "ui/filedialog.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

// Every cell of every sheet as [value, type]: openpyxl's data type ('s' text, 'n' number,
// 'd' date, 'f' formula), dates as ISO text, texts with the _xHHHH_ escapes decoded as Excel
// decodes them. For .csv, the csv module's rows after the BOM.
const char* reader = R"(
import csv, io, json, sys
path = sys.argv[1]
if path.endswith('.xlsx'):
    import openpyxl
    from openpyxl.utils.escape import unescape
    book = openpyxl.load_workbook(path)
    out = {}
    for sheet in book:
        out[sheet.title] = [[[c.value.isoformat() if c.data_type == 'd' else
                              unescape(c.value) if c.data_type == 's' else c.value, c.data_type]
                             for c in row] for row in sheet.iter_rows()]
else:
    raw = open(path, 'rb').read()
    assert raw.startswith(b'\xef\xbb\xbf')
    out = {'csv': list(csv.reader(io.StringIO(raw[3:].decode('utf-8'), newline='')))}
json.dump(out, sys.stdout)
)";

QJsonObject readBack(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(reader), path});
    python.waitForFinished(-1);
    const QByteArray out = python.readAllStandardOutput();
    if (python.exitCode() != 0)
        qWarning("%s", python.readAllStandardError().constData());
    return QJsonDocument::fromJson(out).object();
}

struct Sample {
    QString payer;
    QString amount;
    QString remark;
};

QList<Sample> samples() {
    QList<Sample> list = {{QStringLiteral("=SUM(A1:A9)"), QStringLiteral("0.01"), {}},
                          {QStringLiteral("+86 电话"), QStringLiteral("1234567.89"), {}},
                          {QStringLiteral("-减号"), QStringLiteral("100.10"), {}},
                          {QStringLiteral("@at"), QStringLiteral("99999.99"), {}},
                          {QStringLiteral("_x0041_ _x005F_"), QStringLiteral("7"), {}}};
    for (const auto& [name, text] : zelk::test::hostileTexts())
        if (QByteArray(name) != "NUL" && QByteArray(name) != "1 MB")
            list.append({QStringLiteral("付款方 ") + text, QStringLiteral("12.50"), text});
    return list;
}

int headerIndex(const char* column) {
    return int(zelk::store::headerColumns().indexOf(QLatin1String(column)));
}

} // namespace

class TestBooks : public QObject {
    Q_OBJECT

private slots:
    void exportReadBack_data();
    void exportReadBack();
    void cancelLeavesNothing();
    void historyPageExport();
    void summaryWindow();
    void versionsWindow();
};

void TestBooks::exportReadBack_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "out.xlsx";
    QTest::newRow("csv") << "out.csv";
}

// Every value comes back exact, amounts as numbers, the date as a date, texts that look like
// formulas as texts (the CSV guards them with a leading apostrophe); lines carry their 发票号码.
void TestBooks::exportReadBack() {
    QFETCH(QString, name);
    zelk::test::TempDatabase db;
    zelk::store::FileStore store(db.path());
    const QList<Sample> list = samples();
    QList<qint64> ids;
    for (int i = 0; i < list.size(); ++i) {
        zelk::store::StoredReceipt receipt;
        receipt.header = QStringList(zelk::store::headerColumns().size(), QString());
        receipt.header[headerIndex("fphm")] = QStringLiteral("N%1").arg(i);
        receipt.header[headerIndex("kpdate")] =
            QStringLiteral("202612%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        receipt.header[headerIndex("fkfmc")] = list[i].payer;
        receipt.header[headerIndex("jexx")] = list[i].amount;
        receipt.header[headerIndex("bz2")] = list[i].remark;
        receipt.lines = {{QStringLiteral("项目\n二行"), list[i].remark, QStringLiteral("个"),
                          QStringLiteral("1"), list[i].amount, list[i].amount}};
        ids << store.insertReceipt(receipt);
    }
    const QString path = db.folder() + name;
    const zelk::books::ExportResult result = zelk::books::exportReceipts(store, ids, path);
    QCOMPARE(result.receipts, list.size());
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".part")));
    const QJsonObject back = readBack(path);
    const bool xlsx = name.endsWith(QLatin1String(".xlsx"));
    const QJsonArray rows =
        back.value(xlsx ? QStringLiteral("收据") : QStringLiteral("csv")).toArray();
    QCOMPARE(rows.size(), list.size() + 1);
    QCOMPARE(rows[0].toArray().size(), zelk::books::receiptCaptions().size());
    for (int i = 0; i < list.size(); ++i) {
        const QJsonArray row = rows[i + 1].toArray();
        auto cell = [&](const char* column) { return row[headerIndex(column) + 1]; };
        if (xlsx) {
            QCOMPARE(cell("fkfmc").toArray()[0].toString(), list[i].payer);
            QCOMPARE(cell("fkfmc").toArray()[1].toString(), QStringLiteral("s"));
            QCOMPARE(cell("jexx").toArray()[1].toString(), QStringLiteral("n"));
            QCOMPARE(cell("jexx").toArray()[0].toDouble(), list[i].amount.toDouble());
            QCOMPARE(cell("kpdate").toArray()[0].toString(),
                     QStringLiteral("2026-12-%1T00:00:00").arg(i + 1, 2, 10, QLatin1Char('0')));
            QCOMPARE(cell("bz2").toArray()[0].toString(), list[i].remark);
        } else {
            const QString payer = cell("fkfmc").toString();
            const bool guarded = QStringLiteral("=+-@").contains(list[i].payer.front());
            QCOMPARE(payer, guarded ? QLatin1Char('\'') + list[i].payer : list[i].payer);
            QCOMPARE(cell("jexx").toString(), list[i].amount);
            QCOMPARE(cell("kpdate").toString(),
                     QStringLiteral("2026-12-%1").arg(i + 1, 2, 10, QLatin1Char('0')));
            QCOMPARE(cell("bz2").toString(), list[i].remark);
        }
    }
    if (xlsx) {
        const QJsonArray lines = back.value(QStringLiteral("明细")).toArray();
        QCOMPARE(lines.size(), list.size() + 1);
        const QJsonArray last = lines.last().toArray();
        QCOMPARE(last[1].toArray()[0].toString(), QStringLiteral("N%1").arg(list.size() - 1));
        QCOMPARE(last[2].toArray()[0].toString(), QStringLiteral("项目\n二行"));
        QCOMPARE(last[7].toArray()[1].toString(), QStringLiteral("n"));
    }
}

// A cancelled export leaves neither the file nor its temporary, and an earlier file stays.
void TestBooks::cancelLeavesNothing() {
    zelk::test::TempDatabase db;
    zelk::store::FileStore store(db.path());
    zelk::store::StoredReceipt receipt;
    receipt.header = QStringList(zelk::store::headerColumns().size(), QStringLiteral("x"));
    QList<qint64> ids;
    for (int i = 0; i < 300; ++i)
        ids << store.insertReceipt(receipt);
    for (const QString& name : {QStringLiteral("a.xlsx"), QStringLiteral("a.csv")}) {
        const QString path = db.folder() + name;
        zelk::test::writeFile(path, "earlier");
        const auto result = zelk::books::exportReceipts(
            store, ids, path, [](qint64 done, qint64) { return done < 256; });
        QVERIFY(result.cancelled);
        QCOMPARE(zelk::test::readFile(path), QByteArray("earlier"));
        QCOMPARE(QDir(db.folder()).entryList({QStringLiteral("*.part")}, QDir::Files),
                 QStringList());
    }
}

// The history page's export writes what the search lists and says how much; a search without
// result writes nothing and says so.
void TestBooks::historyPageExport() {
    zelk::test::TempDatabase db;
    zelk::store::FileStore store(db.path());
    zelk::store::StoredReceipt receipt;
    receipt.header = QStringList(zelk::store::headerColumns().size(), QString());
    for (const char* payer : {"甲公司", "乙公司", "甲方"}) {
        receipt.header[headerIndex("fkfmc")] = QString::fromUtf8(payer);
        store.insertReceipt(receipt);
    }
    zelk::test::MessageRecorder messages;
    const QString path = db.folder() + QStringLiteral("甲.csv");
    QVERIFY(
        zelk::receipt::exportSearchResultTo(nullptr, store, {QStringLiteral("甲"), {}, {}}, path));
    QCOMPARE(
        messages.texts().last(),
        QStringLiteral("已导出 2 张收据、0 行明细到 %1。").arg(QDir::toNativeSeparators(path)));
    QCOMPARE(readBack(path).value(QStringLiteral("csv")).toArray().size(), 3);
    QVERIFY(!zelk::receipt::exportSearchResultTo(nullptr, store, {QStringLiteral("丙"), {}, {}},
                                                 db.folder() + QStringLiteral("丙.csv")));
    QCOMPARE(messages.texts().last(), QStringLiteral("未找到记录！"));
    QVERIFY(!QFileInfo::exists(db.folder() + QStringLiteral("丙.csv")));
}

// The 统计 window shows the store's groups in its table and one bar per group.
void TestBooks::summaryWindow() {
    zelk::test::TempDatabase db;
    zelk::store::FileStore store(db.path());
    zelk::store::StoredReceipt receipt;
    receipt.header = QStringList(zelk::store::headerColumns().size(), QString());
    for (const auto& [category, total] :
         {std::pair{"餐饮", "0.10"}, {"餐饮", "0.20"}, {"住宿", "5"}}) {
        receipt.header[headerIndex("hyfl")] = QString::fromUtf8(category);
        receipt.header[headerIndex("jexx")] = QString::fromUtf8(total);
        receipt.header[headerIndex("kpdate")] = QStringLiteral("20261206");
        store.insertReceipt(receipt);
    }
    zelk::books::SummaryDialog dialog(store);
    dialog.setRange({}, {});
    dialog.groupBox()->setCurrentIndex(2); // 按行业分类
    QTableWidget* table = dialog.table();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text() + table->item(0, 1)->text() + table->item(0, 2)->text(),
             QStringLiteral("住宿15.00"));
    QCOMPARE(table->item(1, 0)->text() + table->item(1, 1)->text() + table->item(1, 2)->text(),
             QStringLiteral("餐饮20.30"));
    const auto series = dialog.chart()->chart()->series();
    QCOMPARE(series.size(), 1);
    QCOMPARE(static_cast<QBarSeries*>(series.first())->barSets().first()->count(), 2);
    // 导出 writes the rows shown; read back, the keys are texts and the figures numbers.
    zelk::test::MessageRecorder messages;
    for (const auto& [name, expected] :
         {std::pair{"s.xlsx", "行业分类 s|张数 s|金额合计 s;住宿 s|1 n|5 n;餐饮 s|2 n|0.3 n;"},
          {"s.csv", "行业分类|张数|金额合计;住宿|1|5.00;餐饮|2|0.30;"}}) {
        const QString path = db.folder() + QString::fromUtf8(name);
        zelk::ui::FileDialog::setHandler([&](const QString&) { return path; });
        dialog.findChild<QPushButton*>(QStringLiteral("summaryExport"))->click();
        QString flat;
        const QJsonObject back = readBack(path);
        for (const QJsonValue& row : back.value(back.keys().value(0)).toArray()) {
            QStringList cells;
            for (const QJsonValue& cell : row.toArray())
                cells << (cell.isArray()
                              ? cell[0].toVariant().toString() + u' ' + cell[1].toString()
                              : cell.toString());
            flat += cells.join(u'|') + u';';
        }
        QCOMPARE(flat, QString::fromUtf8(expected));
    }
    zelk::ui::FileDialog::setHandler({});
    // 打印 lays the rows out as a table, continued on a second page when one is full.
    const QList<zelk::store::SummaryRow> many(40, {QStringLiteral("甲"), 1, QStringLiteral("1")});
    const auto pages =
        zelk::books::summaryReport(QStringLiteral("统计"), zelk::store::SummaryKey::Payer, many)
            .pages;
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].texts.size() + pages[1].texts.size(), 40 * 3 + 2 * 5);
    dialog.setRange(QDate(2027, 1, 1), {});
    dialog.refresh();
    QCOMPARE(table->rowCount(), 0);
}

// 修改记录 lists the earlier version before the current one and marks only what changed.
void TestBooks::versionsWindow() {
    zelk::test::TempDatabase db;
    zelk::store::FileStore store(db.path());
    zelk::store::StoredReceipt receipt;
    receipt.header = QStringList(zelk::store::headerColumns().size(), QStringLiteral("x"));
    receipt.lines = {{QStringLiteral("a"), {}, {}, {}, {}, QStringLiteral("1")}};
    receipt.kpid = store.insertReceipt(receipt);
    receipt.header[headerIndex("fkfmc")] = QStringLiteral("改后");
    store.rewriteReceipt(receipt);
    zelk::receipt::VersionsDialog dialog(store, receipt.kpid);
    QTableWidget* table = dialog.table();
    QCOMPARE(table->rowCount(), 2);
    const int payer = headerIndex("fkfmc") + 2;
    QCOMPARE(table->item(0, payer)->text(), QStringLiteral("x"));
    QCOMPARE(table->item(1, payer)->text(), QStringLiteral("改后"));
    QStringList marked;
    for (int column = 0; column < table->columnCount(); ++column)
        if (table->item(1, column)->data(Qt::UserRole).toBool())
            marked << table->horizontalHeaderItem(column)->text();
    QCOMPARE(marked, QStringList{QStringLiteral("付款方名称")});
}

QTEST_MAIN(TestBooks)
#include "test_books.moc"
