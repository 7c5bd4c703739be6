// The main window driven as the operator drives it: start-up on a database, a failed open,
// the top bar, saving through the form, the Enter key, accelerators and exit.
#include "app/tfrmqj.h"

#include "receipt/entrypage.h"
#include "receipt/historypage.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

using zelk::test::MessageRecorder;
using Kind = zelk::ui::MessageBox::Kind;

namespace {

// A main window on a fresh database in its own folder.
struct Main : zelk::test::TempDatabase {
    zelk::data::Tdmtd dm;
    zelk::app::Tfrmqj w{dm, folder() + QStringLiteral("zelk")};

    template <typename T = QWidget> T* child(const char* name) {
        T* found = w.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control named %s", name);
        return found;
    }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QLineEdit* field(const char* name) { return child<QLineEdit>(name); }
    bool showActive() {
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    }
    int receiptCount() const {
        return scalar(QStringLiteral("select count(*) from fpmain")).toInt();
    }
};

// Whether `w` has the keyboard focus (the focus may sit in one of its inner parts, such as
// the text part of a date picker).
bool holdsFocus(const QWidget* w) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == w || w->isAncestorOf(focus));
}

QByteArray focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? QString(focus->objectName() + u'/' +
                           QLatin1String(focus->metaObject()->className()))
                       .toUtf8()
                 : QByteArray("<none>");
}

// Presses a key on the focused control, then lets the posted focus move happen.
void pressOnFocus(int key = Qt::Key_Return, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
    QCoreApplication::processEvents();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpFillsTheEntryPage();
    void saveStoresKeepsTheIdAndReloads();
    void enterWalksTheEntryPage();
    void enterMovesOn_data();
    void enterMovesOn();
    void enterWalksTheHistoryPage();
    void acceleratorsPressTheirButtons();
};

void TestMainWindow::startUpFillsTheEntryPage() {
    MessageRecorder messages;
    Main m;
    m.exec(QStringLiteral("update SysSet set SetValue='  本单位 ' where SetId=27;"
                          "update SysSet set SetValue=' 零售业' where SetId=28;"
                          "update SysSet set SetValue='李四  ' where SetId=29;"
                          "update SysSet set SetValue=' 注意事项\n' where SetId=30;"));
    QVERIFY(!m.dm.Database3_ado.isOpen()); // building the window opens nothing
    m.w.show();
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(m.dm.Database3_ado.isOpen());
    zelk::receipt::ReceiptEntry expected;
    expected.issueDate = QDate::currentDate();
    expected.periodStart = expected.periodEnd = QStringLiteral("    -  -  ");
    expected.payeeName = QStringLiteral("本单位");
    expected.category = QStringLiteral("零售业");
    expected.issuer = QStringLiteral("李四");
    expected.noticeLine = QStringLiteral("注意事项");
    QCOMPARE(m.w.entryPage()->entry(), expected);
    QCOMPARE(m.w.pages()->currentWidget(), m.w.entryPage());
    // The history covers today and the next 30 days.
    QCOMPARE(m.child<QDateEdit>("startDate")->date(), expected.issueDate);
    QCOMPARE(m.child<QDateEdit>("endDate")->date(), expected.issueDate.addDays(30));
    QVERIFY(m.child<QCheckBox>("startDateCheck")->isChecked());
    QVERIFY(m.child<QCheckBox>("endDateCheck")->isChecked());
}

void TestMainWindow::saveStoresKeepsTheIdAndReloads() {
    MessageRecorder messages;
    Main m;
    m.w.show();
    zelk::receipt::ReceiptEntryPage* page = m.w.entryPage();
    m.field("payerName")->setText(QStringLiteral("付款公司"));
    page->amountCell(0)->setText(QStringLiteral("12"));
    m.button("saveButton")->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    const QString id = page->receiptId();
    QCOMPARE(id, m.scalar(QStringLiteral("select max(kpid) from fpmain")));

    // A second save rewrites the same receipt.
    m.field("payerName")->setText(QStringLiteral("另一家"));
    m.button("saveButton")->click();
    QCOMPARE(messages.texts().size(), 2);
    QCOMPARE(page->receiptId(), id);
    QCOMPARE(m.receiptCount(), 1);
    QCOMPARE(m.scalar(QStringLiteral("select fkfmc from fpmain")), QStringLiteral("另一家"));

    // "选中" on the history page shows the stored receipt on the entry page.
    m.button("newRecordButton")->click();
    m.field("payerName")->setText(QStringLiteral("别人"));
    m.button("historyButton")->click();
    m.button("searchButton")->click();
    m.button("selectButton")->click();
    QCOMPARE(messages.texts().size(), 2);
    QCOMPARE(m.w.pages()->currentWidget(), page);
    QCOMPARE(page->receiptId(), id);
    QCOMPARE(page->entry().payerName, QStringLiteral("另一家"));

    // A failed save reports the error and gives the form no id.
    m.button("newRecordButton")->click();
    m.dm.Database3_ado.close();
    m.button("saveButton")->click();
    QCOMPARE(messages.messages().last().kind, Kind::Error);
    QCOMPARE(page->receiptId(), QString());
}

void TestMainWindow::enterWalksTheEntryPage() {
    MessageRecorder messages;
    Main m;
    QVERIFY(m.showActive());
    const QList<QWidget*> order = m.w.entryPage()->tabOrder();
    QCOMPARE(m.w.tabOrder().size(), 3 + 44 + 6); // top bar, entry page, history page
    order.first()->setFocus();
    // From the invoice number to "保存(&S)": every stop but the last button.
    for (qsizetype i = 1; i < order.size() - 1; ++i) {
        pressOnFocus();
        QVERIFY2(holdsFocus(order.at(i)),
                 QByteArray(focusName() + " at stop " + QByteArray::number(i + 1)));
    }
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(m.w.entryPage()->entry().remarks, QString());

    // Enter on the focused button presses it: the payer is empty, so the save refuses and the
    // focus goes to the payer.
    QVERIFY(holdsFocus(m.button("saveButton")));
    pressOnFocus();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("付款方名称不能为空！")});
    QVERIFY(holdsFocus(m.field("payerName")));
    QCOMPARE(m.receiptCount(), 0);

    // Tab goes the same way as Enter, and on to the last stop.
    m.button("saveButton")->setFocus();
    pressOnFocus(Qt::Key_Tab);
    QVERIFY2(holdsFocus(m.button("previewButton")), focusName());
}

void TestMainWindow::enterMovesOn_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    const int enter = Qt::Key_Return, keypad = Qt::Key_Enter;
    QTest::newRow("Shift+Enter") << enter << int(Qt::ShiftModifier) << "payerName"
                                 << "item1";
    QTest::newRow("Ctrl+Enter") << enter << int(Qt::ControlModifier) << "amount1"
                                << "remarks";
    QTest::newRow("keypad Enter") << keypad << int(Qt::KeypadModifier) << "noticeLine"
                                  << "saveButton";
    QTest::newRow("drop-down") << enter << 0 << "category"
                               << "machineNumber";
    QTest::newRow("date picker") << enter << 0 << "issueDate"
                                 << "category";
    QTest::newRow("period") << keypad << int(Qt::KeypadModifier) << "periodEnd"
                            << "checkCode";
    QTest::newRow("remarks, no line break") << enter << int(Qt::ShiftModifier) << "remarks"
                                            << "item2";
}

void TestMainWindow::enterMovesOn() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, from);
    QFETCH(QString, to);
    MessageRecorder messages;
    Main m;
    QVERIFY(m.showActive());
    auto* remarks = m.child<QPlainTextEdit>("remarks");
    remarks->setPlainText(QStringLiteral("abc"));
    remarks->moveCursor(QTextCursor::End);
    m.child(from.toLatin1().constData())->setFocus();
    pressOnFocus(key, Qt::KeyboardModifiers(modifiers));
    QVERIFY2(holdsFocus(m.child(to.toLatin1().constData())), focusName());
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(remarks->toPlainText(), QStringLiteral("abc"));
    for (const QComboBox* box : m.w.findChildren<QComboBox*>())
        QCOMPARE(box->count(), 0); // a drop-down keeps its list empty
}

void TestMainWindow::enterWalksTheHistoryPage() {
    MessageRecorder messages;
    Main m;
    QVERIFY(m.showActive());
    m.button("historyButton")->click();
    const QList<QWidget*> order = m.w.historyPage()->tabOrder();
    order.first()->setFocus();
    for (qsizetype i = 1; i <= 3; ++i) { // start date, end date, search text, 查询
        pressOnFocus();
        QVERIFY2(holdsFocus(order.at(i)), focusName());
    }
    // Enter on "查询" runs the search; the new database holds nothing.
    pressOnFocus();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("未找到记录！")});
    // A check box is no button: Enter leaves it as it is and moves on; so does the grid, the
    // page's last stop.
    for (QWidget* w : {static_cast<QWidget*>(m.child<QCheckBox>("startDateCheck")), order.at(5)}) {
        w->setFocus();
        pressOnFocus();
        QVERIFY2(!holdsFocus(w), focusName());
    }
    QVERIFY(m.child<QCheckBox>("startDateCheck")->isChecked());
}

void TestMainWindow::acceleratorsPressTheirButtons() {
    MessageRecorder messages;
    Main m;
    QVERIFY(m.showActive());
    m.field("invoiceNumber")->setFocus();
    // An accelerator presses its button the way a click does, then releases it a moment later.
    pressOnFocus(Qt::Key_S, Qt::AltModifier);
    QVERIFY(m.button("saveButton")->isDown());
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("付款方名称不能为空！")});
    messages.clear();
    pressOnFocus(Qt::Key_V, Qt::AltModifier);
    QVERIFY(m.button("previewButton")->isDown());
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("未选中发票！")});
    pressOnFocus(Qt::Key_Q, Qt::AltModifier);
    QVERIFY(m.button("exitButton")->isDown());
    QTRY_VERIFY(!m.w.isVisible());
    QVERIFY(!m.dm.Database3_ado.isOpen());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
