// The main window driven as the operator drives it: start-up on a database, a failed open,
// the top bar, saving and reloading through the form, the Enter key, accelerators and exit.
#include "app/tfrmqj.h"

#include "ui/windowfont.h"

#include "data/tdmtd.h"
#include "receipt/entrypage.h"
#include "receipt/historypage.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

using zelk::app::Tfrmqj;
using zelk::test::MessageRecorder;
using zelk::test::TempDatabase;
using Kind = zelk::ui::MessageBox::Kind;

namespace {

template <typename T> T* child(const QWidget& parent, const QString& name) {
    T* w = parent.findChild<T*>(name);
    if (!w)
        qFatal("no control named %s", qPrintable(name));
    return w;
}

QPushButton* button(const QWidget& w, const char* name) {
    return child<QPushButton>(w, QLatin1String(name));
}

QLineEdit* field(const QWidget& w, const char* name) {
    return child<QLineEdit>(w, QLatin1String(name));
}

QString executableIn(const QString& folder) {
    return folder + QStringLiteral("zelk");
}

// Whether `w` has the keyboard focus (the focus may sit in one of its inner parts, such as
// the text part of a date picker).
bool holdsFocus(const QWidget* w) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == w || w->isAncestorOf(focus));
}

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() + QLatin1Char('/') +
                       QLatin1String(focus->metaObject()->className())
                 : QStringLiteral("<none>");
}

// Presses a key on the focused control, then lets the posted focus move happen.
void pressOnFocus(int key = Qt::Key_Return, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
    QCoreApplication::processEvents();
}

bool showActive(Tfrmqj& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

void setDefaults(const TempDatabase& db) {
    db.exec(QStringLiteral("update SysSet set SetValue='  本单位 ' where SetId=27;"
                           "update SysSet set SetValue=' 零售业' where SetId=28;"
                           "update SysSet set SetValue='李四  ' where SetId=29;"
                           "update SysSet set SetValue=' 注意事项\n' where SetId=30;"));
}

int receiptCount(const TempDatabase& db) {
    return db.scalar(QStringLiteral("select count(*) from fpmain")).toInt();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void applicationFont();
    void startUpFillsTheEntryPage();
    void menusAndTopBar();
    void missingDatabaseIsReportedAndTheWindowStaysUsable();
    void wrongKeyIsReported();
    void newRecordFromTheHistoryPage();
    void saveRefusals();
    void saveStoresAndKeepsTheId();
    void failedSaveKeepsTheId();
    void previewWithoutReceiptSaysSo();
    void reloadShowsTheStoredReceipt();
    void reloadWithoutSearchReportsAnError();
    void enterWalksTheEntryPage();
    void enterWithModifiersMovesOn_data();
    void enterWithModifiersMovesOn();
    void enterInRemarksMovesOnWithoutLineBreak();
    void otherKeysAreUnchanged();
    void enterWalksTheHistoryPage();
    void acceleratorsPressTheirButtons();
    void exitClosesConnectionAndWindow();
};

void TestMainWindow::applicationFont() {
    QApplication::setFont(zelk::ui::windowFont());
    QCOMPARE(QApplication::font().family(), QStringLiteral("SimSun"));
    QCOMPARE(QApplication::font().pixelSize(), 15);
    // Qt keeps the names of substitutes in lower case.
    QCOMPARE(
        QFont::substitutes(QStringLiteral("SimSun")),
        (QStringList{QStringLiteral("ar pl uming cn"), QStringLiteral("wenquanyi micro hei")}));
}

void TestMainWindow::startUpFillsTheEntryPage() {
    MessageRecorder messages;
    TempDatabase db;
    setDefaults(db);
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(!dm.Database3_ado.isOpen()); // building the window opens nothing
    w.show();

    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(dm.Database3_ado.isOpen());
    QCOMPARE(w.windowTitle(), QStringLiteral("Velkor收据套打系统"));
    const QDate today = QDate::currentDate();
    const zelk::receipt::ReceiptEntry e = w.entryPage()->entry();
    QCOMPARE(e.issueDate, today);
    QCOMPARE(e.payeeName, QStringLiteral("本单位"));
    QCOMPARE(e.category, QStringLiteral("零售业"));
    QCOMPARE(e.issuer, QStringLiteral("李四"));
    QCOMPARE(e.noticeLine, QStringLiteral("注意事项"));
    QCOMPARE(e.receiptId, QString());
    QCOMPARE(e.totalFigures, QString());
    QCOMPARE(e.totalCapitals, QString());
    QCOMPARE(e.payerName, QString());
    QCOMPARE(e.periodStart, QStringLiteral("    -  -  "));
    QCOMPARE(w.pages()->currentWidget(), w.entryPage());

    QCOMPARE(child<QDateEdit>(w, QStringLiteral("startDate"))->date(), today);
    QVERIFY(child<QCheckBox>(w, QStringLiteral("startDateCheck"))->isChecked());
    QCOMPARE(child<QDateEdit>(w, QStringLiteral("endDate"))->date(), today.addDays(30));
    QVERIFY(child<QCheckBox>(w, QStringLiteral("endDateCheck"))->isChecked());
}

void TestMainWindow::menusAndTopBar() {
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QCOMPARE(child<QMenu>(w, QStringLiteral("settingsMenu"))->title(), QStringLiteral("设置"));
    QCOMPARE(child<QMenu>(w, QStringLiteral("helpMenu"))->title(), QStringLiteral("帮助"));
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("basicInfoAction"))->text(),
             QStringLiteral("基础信息"));
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("helpAction"))->text(), QStringLiteral("帮助"));
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("aboutAction"))->text(), QStringLiteral("关于"));
    QCOMPARE(button(w, "newRecordButton")->text(), QStringLiteral("新增记录"));
    QCOMPARE(button(w, "historyButton")->text(), QStringLiteral("历史记录"));
    QCOMPARE(button(w, "exitButton")->text(), QStringLiteral("退出(&Q)"));

    const QList<QWidget*> order = w.tabOrder();
    QCOMPARE(order.mid(0, 3), (QList<QWidget*>{button(w, "historyButton"), button(w, "exitButton"),
                                               button(w, "newRecordButton")}));
    QCOMPARE(order.size(), 3 + 44 + 6);
    // The hidden id field sits in the top bar and is never focused.
    QLineEdit* id = w.entryPage()->receiptIdField();
    QCOMPARE(id->parentWidget()->objectName(), QStringLiteral("topBar"));
    QVERIFY(id->isHidden());
    QCOMPARE(id->focusPolicy(), Qt::NoFocus);
}

void TestMainWindow::missingDatabaseIsReportedAndTheWindowStaysUsable() {
    MessageRecorder messages;
    QTemporaryDir empty;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(empty.path() + QLatin1Char('/')));
    w.show();

    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QVERIFY2(messages.texts().first().contains(QStringLiteral("zelk.mdb")),
             qPrintable(messages.texts().first()));
    QVERIFY(!dm.Database3_ado.isOpen());
    // The rest of the set-up did not run.
    const zelk::receipt::ReceiptEntry e = w.entryPage()->entry();
    QVERIFY(e.issueDate != QDate::currentDate());
    QCOMPARE(e.payeeName, QString());
    QCOMPARE(e.noticeLine, QString());

    // Later commands report their errors and the window goes on.
    messages.clear();
    field(w, "payerName")->setText(QStringLiteral("甲"));
    w.entryPage()->amountCell(0)->setText(QStringLiteral("1"));
    button(w, "saveButton")->click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QCOMPARE(w.entryPage()->receiptId(), QString());

    messages.clear();
    button(w, "historyButton")->click();
    QCOMPARE(w.pages()->currentWidget(), w.historyPage());
    button(w, "searchButton")->click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    button(w, "newRecordButton")->click();
    QCOMPARE(w.pages()->currentWidget(), w.entryPage());
    QVERIFY(w.isVisible());
}

void TestMainWindow::wrongKeyIsReported() {
    MessageRecorder messages;
    TempDatabase db;
    setDefaults(db);
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.setConnectionString(QStringLiteral("Data Source=") + db.path() +
                          QStringLiteral(";Password=wrong"));
    w.show();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QVERIFY(!dm.Database3_ado.isOpen());
    QCOMPARE(w.entryPage()->entry().payeeName, QString());
}

void TestMainWindow::newRecordFromTheHistoryPage() {
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    w.entryPage()->setReceiptId(QStringLiteral("5"));
    w.entryPage()->amountCell(2)->setText(QStringLiteral("8"));
    field(w, "payerName")->setText(QStringLiteral("甲"));
    button(w, "historyButton")->click();
    QCOMPARE(w.pages()->currentWidget(), w.historyPage());
    button(w, "newRecordButton")->click();
    QCOMPARE(w.pages()->currentWidget(), w.entryPage());
    QCOMPARE(w.entryPage()->receiptId(), QString());
    QCOMPARE(w.entryPage()->amountCell(2)->text(), QString());
    QCOMPARE(w.entryPage()->entry().totalFigures, QStringLiteral("0.00"));
    QCOMPARE(field(w, "payerName")->text(), QStringLiteral("甲"));
}

void TestMainWindow::saveRefusals() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));

    button(w, "saveButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("付款方名称不能为空！")});
    QVERIFY2(holdsFocus(field(w, "payerName")), qPrintable(focusName()));

    messages.clear();
    field(w, "payerName")->setText(QStringLiteral(" "));
    button(w, "saveButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("金额不能为空！")});
    QVERIFY2(holdsFocus(w.entryPage()->amountCell(0)), qPrintable(focusName()));
    QCOMPARE(receiptCount(db), 0);
    QCOMPARE(w.entryPage()->receiptId(), QString());
}

void TestMainWindow::saveStoresAndKeepsTheId() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    field(w, "payerName")->setText(QStringLiteral("付款公司"));
    w.entryPage()->amountCell(0)->setText(QStringLiteral("12"));
    button(w, "saveButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    const QString id = w.entryPage()->receiptId();
    QVERIFY(!id.isEmpty());
    QCOMPARE(id, db.scalar(QStringLiteral("select max(kpid) from fpmain")));
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc from fpmain where kpid=") + id),
             QStringLiteral("付款公司"));

    // A second save rewrites the same receipt.
    messages.clear();
    field(w, "payerName")->setText(QStringLiteral("另一家"));
    button(w, "saveButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    QCOMPARE(w.entryPage()->receiptId(), id);
    QCOMPARE(receiptCount(db), 1);
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc from fpmain")), QStringLiteral("另一家"));
}

void TestMainWindow::failedSaveKeepsTheId() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    field(w, "payerName")->setText(QStringLiteral("甲"));
    w.entryPage()->amountCell(0)->setText(QStringLiteral("1"));
    dm.Database3_ado.close();
    button(w, "saveButton")->click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QCOMPARE(w.entryPage()->receiptId(), QString());
}

void TestMainWindow::previewWithoutReceiptSaysSo() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    button(w, "previewButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("未选中发票！")});
}

void TestMainWindow::reloadShowsTheStoredReceipt() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    zelk::receipt::ReceiptEntryPage* page = w.entryPage();
    field(w, "payerName")->setText(QStringLiteral("付款公司"));
    child<QComboBox>(w, QStringLiteral("item1"))->setEditText(QStringLiteral("服务费"));
    page->amountCell(0)->setText(QStringLiteral("10"));
    page->amountCell(2)->setText(QStringLiteral("2.5"));
    button(w, "saveButton")->click();
    const QString id = page->receiptId();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});

    // Another receipt on the form, all five rows filled.
    button(w, "newRecordButton")->click();
    for (int row = 0; row < 5; ++row)
        page->amountCell(row)->setText(QString::number(row + 1));
    field(w, "payerName")->setText(QStringLiteral("别人"));

    messages.clear();
    button(w, "historyButton")->click();
    button(w, "searchButton")->click();
    QCOMPARE(messages.texts(), QStringList());
    button(w, "selectButton")->click();
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(w.pages()->currentWidget(), page);

    const zelk::receipt::ReceiptEntry e = page->entry();
    QCOMPARE(e.receiptId, id);
    QCOMPARE(e.payerName, QStringLiteral("付款公司"));
    QCOMPARE(e.lines.at(0).item, QStringLiteral("服务费"));
    QCOMPARE(e.lines.at(0).amount, QStringLiteral("10"));
    QCOMPARE(e.lines.at(1).amount, QStringLiteral("2.5")); // the stored rows close up
    for (int row = 2; row < 5; ++row)
        QCOMPARE(e.lines.at(row), zelk::receipt::EntryLine{});
    QCOMPARE(e.totalFigures, QStringLiteral("12.50"));
    QCOMPARE(e.totalCapitals, QStringLiteral("壹拾贰元伍角整"));
}

void TestMainWindow::reloadWithoutSearchReportsAnError() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    w.show();
    field(w, "payerName")->setText(QStringLiteral("甲"));
    const zelk::receipt::ReceiptEntry before = w.entryPage()->entry();
    button(w, "historyButton")->click();
    button(w, "selectButton")->click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QCOMPARE(w.pages()->currentWidget(), w.entryPage());
    QCOMPARE(w.entryPage()->entry(), before);
}

void TestMainWindow::enterWalksTheEntryPage() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    const QList<QWidget*> order = w.entryPage()->tabOrder();
    order.first()->setFocus();
    QVERIFY(holdsFocus(order.first()));
    // From the invoice number to "保存(&S)": every stop but the last button.
    for (qsizetype i = 1; i < order.size() - 1; ++i) {
        pressOnFocus();
        QVERIFY2(holdsFocus(order.at(i)),
                 qPrintable(QStringLiteral("stop %1: expected %2, focus on %3")
                                .arg(i + 1)
                                .arg(order.at(i)->objectName(), focusName())));
    }
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(w.entryPage()->entry().remarks, QString());

    // Enter on the focused button presses it: the payer is empty, so the save refuses.
    QVERIFY(holdsFocus(button(w, "saveButton")));
    pressOnFocus();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("付款方名称不能为空！")});
    QVERIFY(holdsFocus(field(w, "payerName")));

    // Tab goes the same way as Enter, and on to the last stop.
    button(w, "saveButton")->setFocus();
    pressOnFocus(Qt::Key_Tab);
    QVERIFY2(holdsFocus(button(w, "previewButton")), qPrintable(focusName()));
}

void TestMainWindow::enterWithModifiersMovesOn_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("Shift+Enter") << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << "payerName"
                                 << "item1";
    QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                << "amount1"
                                << "remarks";
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << "noticeLine"
                                  << "saveButton";
    QTest::newRow("drop-down") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "category"
                               << "machineNumber";
    QTest::newRow("date picker") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "issueDate"
                                 << "category";
    QTest::newRow("period") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                            << "periodEnd"
                            << "checkCode";
}

void TestMainWindow::enterWithModifiersMovesOn() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, from);
    QFETCH(QString, to);
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    child<QWidget>(w, from)->setFocus();
    pressOnFocus(key, modifiers);
    QVERIFY2(holdsFocus(child<QWidget>(w, to)), qPrintable(focusName()));
    QCOMPARE(messages.texts(), QStringList());
    // A drop-down keeps its list empty.
    for (const QComboBox* box : w.findChildren<QComboBox*>())
        QCOMPARE(box->count(), 0);
}

void TestMainWindow::enterInRemarksMovesOnWithoutLineBreak() {
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    auto* remarks = child<QPlainTextEdit>(w, QStringLiteral("remarks"));
    remarks->setPlainText(QStringLiteral("abc"));
    remarks->setFocus();
    remarks->moveCursor(QTextCursor::End);
    pressOnFocus(Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY2(holdsFocus(child<QWidget>(w, QStringLiteral("item2"))), qPrintable(focusName()));
    QCOMPARE(remarks->toPlainText(), QStringLiteral("abc"));
}

void TestMainWindow::otherKeysAreUnchanged() {
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    QLineEdit* payer = field(w, "payerName");
    payer->setFocus();
    QTest::keyClicks(payer, QStringLiteral("ab"));
    QCoreApplication::processEvents();
    QCOMPARE(payer->text(), QStringLiteral("ab"));
    QVERIFY(holdsFocus(payer));
    pressOnFocus(Qt::Key_Tab);
    QVERIFY2(holdsFocus(child<QWidget>(w, QStringLiteral("item1"))), qPrintable(focusName()));
    pressOnFocus(Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY2(holdsFocus(payer), qPrintable(focusName()));
}

void TestMainWindow::enterWalksTheHistoryPage() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    button(w, "historyButton")->click();
    const QList<QWidget*> order = w.historyPage()->tabOrder();
    QCOMPARE(order.size(), 6);
    order.first()->setFocus();
    for (qsizetype i = 1; i <= 3; ++i) { // start date, end date, search text, 查询
        pressOnFocus();
        QVERIFY2(holdsFocus(order.at(i)), qPrintable(focusName()));
    }
    // Enter on "查询" runs the search; the new database holds nothing.
    QCOMPARE(messages.texts(), QStringList());
    pressOnFocus();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("未找到记录！")});
    // A check box is no button: Enter leaves it as it is and moves on.
    auto* startCheck = child<QCheckBox>(w, QStringLiteral("startDateCheck"));
    startCheck->setFocus();
    pressOnFocus();
    QVERIFY(startCheck->isChecked());
    QVERIFY2(!holdsFocus(startCheck), qPrintable(focusName()));
    // The grid is the last stop of the history page.
    order.at(5)->setFocus();
    QVERIFY(holdsFocus(order.at(5)));
    pressOnFocus();
    QVERIFY2(!holdsFocus(order.at(5)), qPrintable(focusName()));
}

void TestMainWindow::acceleratorsPressTheirButtons() {
    MessageRecorder messages;
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    field(w, "invoiceNumber")->setFocus();
    // An accelerator presses its button the way a click does, then releases it a moment later.
    pressOnFocus(Qt::Key_S, Qt::AltModifier);
    QVERIFY(button(w, "saveButton")->isDown());
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("付款方名称不能为空！")});
    messages.clear();
    pressOnFocus(Qt::Key_V, Qt::AltModifier);
    QVERIFY(button(w, "previewButton")->isDown());
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("未选中发票！")});
    pressOnFocus(Qt::Key_Q, Qt::AltModifier);
    QVERIFY(button(w, "exitButton")->isDown());
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(!dm.Database3_ado.isOpen());
}

void TestMainWindow::exitClosesConnectionAndWindow() {
    TempDatabase db;
    zelk::data::Tdmtd dm;
    Tfrmqj w(dm, executableIn(db.folder()));
    QVERIFY(showActive(w));
    QVERIFY(dm.Database3_ado.isOpen());
    button(w, "exitButton")->setFocus();
    pressOnFocus(); // Enter on the focused button presses it
    QVERIFY(!dm.Database3_ado.isOpen());
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
