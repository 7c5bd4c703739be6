// The main window driven as the operator drives it: start-up on a database, the top bar, saving
// through the form, the Enter key, accelerators and exit; help, Chinese texts, database
// failures, long texts and the other things an operator meets on a desk.
#include "app/tfrmqj.h"

#include "app/chinese.h"
#include "data/tdmtd.h"
#include "receipt/entrypage.h"
#include "receipt/historymodel.h"
#include "receipt/historypage.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptpreview.h"
#include "report/fonts.h"
#include "settings/basicsetdialog.h"
#include "store/fileschema.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextLayout>
#include <QtTest>

using zelk::test::MessageRecorder;
using Kind = zelk::ui::MessageBox::Kind;

namespace {

// A main window on a fresh database in its own folder.
struct Main : zelk::test::TempDatabase {
    zelk::app::Tfrmqj w{folder() + QStringLiteral("zelk")};

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
    // On an operator's desk: help, Qt's texts in Chinese, database failures in Chinese, no cut
    // text, the remarks' Tab, the stored invoice number, the settings dialog after a failed
    // lookup and a receipt removed by another copy.
    void help_data();
    void help();
    void chinese();
    void openFailures_data();
    void openFailures();
    void entryPage();
    void settingsAfterFailedLookup();
    // Receipts imported from older files: more than five lines, dates the form cannot show.
    void importedReceiptsKeepEverything();
    // 退出 and closing the window with unsaved changes ask; each answer does what it says.
    // After an import: the basic information in the form, the receipts in the history; the
    // same receipts again only when confirmed.
    void importFollowUps();
    void quitAsksToSave_data();
    void quitAsksToSave();
};

void TestMainWindow::startUpFillsTheEntryPage() {
    MessageRecorder messages;
    Main m;
    m.exec(QStringLiteral("update SysSet set SetValue='  本单位 ' where SetId=27;"
                          "update SysSet set SetValue=' 零售业' where SetId=28;"
                          "update SysSet set SetValue='李四  ' where SetId=29;"
                          "update SysSet set SetValue=' 注意事项\n' where SetId=30;"));
    QVERIFY(!m.w.isDatabaseOpen()); // building the window opens nothing
    m.w.show();
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(m.w.isDatabaseOpen());
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

    // "选中" on the history page shows the stored receipt on the entry page, once the typed
    // form is let go: 取消 keeps it, 不保存 lets it go.
    m.button("newRecordButton")->click();
    m.field("payerName")->setText(QStringLiteral("别人"));
    m.button("historyButton")->click();
    m.button("searchButton")->click();
    messages.setNextAnswer(MessageRecorder::Answer::Cancel);
    m.button("selectButton")->click();
    QCOMPARE(page->entry().payerName, QStringLiteral("别人"));
    messages.setNextAnswer(MessageRecorder::Answer::No);
    m.button("selectButton")->click();
    QCOMPARE(messages.texts().size(), 4);
    QCOMPARE(m.w.pages()->currentWidget(), page);
    QCOMPARE(page->receiptId(), id);
    QCOMPARE(page->entry().payerName, QStringLiteral("另一家"));

    // A failed save reports the error and gives the form no id.
    m.button("newRecordButton")->click();
    m.w.closeDatabase();
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
    QVERIFY(!m.w.isDatabaseOpen());
}

using namespace zelk;

void TestMainWindow::help_data() {
    QTest::addColumn<QStringList>("scripts"); // name=body of stand-in programs on PATH
    QTest::addColumn<QString>("recorder");    // the program expected to get the file
    QTest::newRow("desktop handler")
        << QStringList{"xdg-mime=echo xchm.desktop", "xdg-open=echo \"$@\" > $0.args"}
        << "xdg-open";
    QTest::newRow("no desktop handler")
        << QStringList{"xdg-mime=true", "xdg-open=exit 3", "xchm=echo \"$@\" > $0.args"} << "xchm";
    QTest::newRow("no viewer") << QStringList{} << "";
}

void TestMainWindow::help() {
    QFETCH(QStringList, scripts);
    QFETCH(QString, recorder);
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin")), chm = dir.filePath("help.chm");
    QVERIFY(QDir().mkpath(bin) && QFile(chm).open(QIODevice::WriteOnly));
    for (const QString& script : scripts) {
        QFile f(bin + QLatin1Char('/') + script.section(QLatin1Char('='), 0, 0));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + script.section(QLatin1Char('='), 1).toUtf8() + '\n');
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    // Only the stand-ins are found, and no desktop settings of this machine are read.
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8());
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
        qputenv(v, dir.path().toUtf8());
    MessageRecorder messages;
    app::Tfrmqj w(dir.filePath(QStringLiteral("zelk")));
    w.findChild<QAction*>(QStringLiteral("helpAction"))->trigger();
    qputenv("PATH", oldPath);
    if (recorder.isEmpty()) {
        QCOMPARE(messages.messages().size(), 1);
        QVERIFY2(messages.texts().at(0).contains(chm), qPrintable(messages.texts().at(0)));
        return;
    }
    QFile args(bin + QLatin1Char('/') + recorder + QStringLiteral(".args"));
    QTRY_VERIFY(args.exists() && args.size() > 0);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll().trimmed()), chm);
    QVERIFY(messages.texts().isEmpty());
}

void TestMainWindow::chinese() {
    QVERIFY2(app::setUpChinese(), "Qt's Chinese translations missing (qt6-translations-l10n)");
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    // The file dialog's type column names a folder in Chinese.
    QCOMPARE(QFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("文件夹"));
    // Characters of CJK Extension B print, from the fallback font that has them.
    QTextLayout layout(QStringLiteral("𠀀"), QFont(QStringLiteral("SimSun")));
    report::initFonts();
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    QVERIFY(!runs.isEmpty() && runs.first().glyphIndexes().value(0) != 0);
    QCOMPARE(runs.first().rawFont().familyName(), QStringLiteral("HanaMinB"));
    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    for (const QAction* action : menu->actions())
        QVERIFY2(!action->text()
                      .section(QLatin1Char('\t'), 0, 0)
                      .contains(QRegularExpression(QStringLiteral("[a-z]{3}"))),
                 qPrintable(action->text()));
}

void TestMainWindow::openFailures_data() {
    QTest::addColumn<QString>("arrange"); // what becomes of Data/zelk.mdb
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << "remove"
                             << "找不到数据库文件";
    QTest::newRow("empty file") << "empty"
                                << "没有表 fpmain";
    QTest::newRow("other tables") << "drop table SysSet"
                                  << "没有表 SysSet";
    QTest::newRow("missing column") << "drop table fpdetail; create table fpdetail(kpid INTEGER)"
                                    << "表 fpdetail 缺少列";
    QTest::newRow("garbage") << "garbage"
                             << "不是本程序的票据数据库，或密码不对";
    QTest::newRow("locked") << "lock"
                            << "正被另一个运行中的本程序使用";
}

void TestMainWindow::openFailures() {
    QFETCH(QString, arrange);
    QFETCH(QString, expected);
    test::TempDatabase db;
    data::Connection holder; // another running copy in the middle of a write
    if (arrange == QLatin1String("remove"))
        QVERIFY(QFile::remove(db.path()));
    else if (arrange == QLatin1String("empty") || arrange == QLatin1String("garbage"))
        test::writeFile(db.path(),
                        arrange == QLatin1String("empty") ? QByteArray() : QByteArray(8192, 'x'));
    else if (arrange == QLatin1String("lock")) {
        holder.setConnectionString(db.connectionString());
        holder.open();
        holder.executeDirect(QStringLiteral("BEGIN EXCLUSIVE"));
    } else
        db.exec(arrange);
    const auto contents = [&] {
        return QFile::exists(db.path()) ? test::readFile(db.path()) : QByteArray("<none>");
    };
    const QByteArray before = contents();
    MessageRecorder messages;
    app::Tfrmqj w(db.folder() + QStringLiteral("zelk"));
    w.show();
    holder.close();
    QCOMPARE(messages.messages().size(), 1);
    const auto& m = messages.messages().at(0);
    QVERIFY2(m.text.contains(expected) && m.text.contains(db.path()), qPrintable(m.text));
    QVERIFY(m.detail.isEmpty() || !m.text.contains(m.detail));
    QVERIFY(!w.isDatabaseOpen());
    QCOMPARE(contents(), before);
}

void TestMainWindow::entryPage() {
    test::TempDatabase db;
    MessageRecorder messages;
    app::Tfrmqj w(db.folder() + QStringLiteral("zelk"));
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.findChild<QDateEdit*>(QStringLiteral("startDate"))->text(),
             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    // No field of the window cuts a long text.
    const QString longText(40000, QChar(0x7968));
    for (QLineEdit* f : w.findChildren<QLineEdit*>()) {
        if (f->inputMask().isEmpty() && !f->isReadOnly() && !f->objectName().startsWith("amount") &&
            !qobject_cast<QAbstractSpinBox*>(f->parent())) {
            f->setText(longText);
            QVERIFY2(f->text() == longText, qPrintable(f->objectName()));
            f->clear();
        }
    }
    auto* page = w.findChild<receipt::ReceiptEntryPage*>();
    // Tab and Shift+Tab leave the remarks without typing anything.
    auto* remarks = w.findChild<QPlainTextEdit*>(QStringLiteral("remarks"));
    remarks->setFocus();
    const auto focusIn = [&](const char* name) {
        const QWidget* f = QApplication::focusWidget();
        const QWidget* target = w.findChild<QWidget*>(QLatin1String(name));
        return f && (f == target || target->isAncestorOf(f));
    };
    QTest::keyClick(remarks, Qt::Key_Tab);
    QVERIFY(focusIn("item2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QVERIFY(focusIn("amount1"));
    QVERIFY(remarks->toPlainText().isEmpty());
    // A 40,000-character paste into the payer name is saved and reloaded whole.
    QApplication::clipboard()->setText(longText);
    page->payerField()->setFocus();
    page->payerField()->paste();
    page->amountCell(0)->setText(QStringLiteral("5"));
    auto* invoice = w.findChild<QLineEdit*>(QStringLiteral("invoiceNumber"));
    invoice->setText(QStringLiteral("A1"));
    page->saveButton()->click();
    QCOMPARE(db.scalar("select length(fkfmc) from fpmain"), QStringLiteral("40000"));
    page->showReceipt(receipt::loadReceipt(w.activeStore(), page->receiptId().toLongLong()));
    QCOMPARE(page->payerField()->text(), longText);
    // The stored receipt's invoice number cannot be changed until "新增记录".
    QTest::keyClicks(invoice, QStringLiteral("9"));
    QVERIFY(invoice->text() == QStringLiteral("A1") && !invoice->toolTip().isEmpty());
    // Removed by another copy: the form is stored as a new receipt, lines and all.
    db.exec(QStringLiteral("delete from fpmain; delete from fpdetail"));
    messages.clear();
    page->saveButton()->click();
    QCOMPARE(messages.messages().at(0).kind, ui::MessageBox::Kind::Question);
    QCOMPARE(db.column("select fphm || je from fpmain join fpdetail using (kpid)"),
             QStringList{QStringLiteral("A15")});
    QCOMPARE(page->receiptId(), db.scalar("select kpid from fpmain"));
    w.findChild<QPushButton*>(QStringLiteral("newRecordButton"))->click();
    QTest::keyClicks(invoice, QStringLiteral("9"));
    QCOMPARE(invoice->text(), QStringLiteral("A19"));
}

void TestMainWindow::settingsAfterFailedLookup() {
    test::TempDatabase db;
    store::FileStore file(db.path());
    const QStringList stored = db.column("select SetValue from SysSet order by SetId");
    db.exec(QStringLiteral("alter table SysSet rename to Gone"));
    MessageRecorder messages;
    settings::TfrmbasicSet dlg(file);
    for (QLineEdit* f : dlg.findChildren<QLineEdit*>())
        QCOMPARE(f->maxLength(), std::numeric_limits<int>::max());
    dlg.show();
    QCOMPARE(messages.messages().size(), 1);
    db.exec(QStringLiteral("alter table Gone rename to SysSet"));
    dlg.findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
    QCOMPARE(db.column("select SetValue from SysSet order by SetId"), stored);
}

void TestMainWindow::importedReceiptsKeepEverything() {
    MessageRecorder messages;
    Main m;
    m.installTemplate();
    // As an import leaves them: seven lines; a seven-digit date.
    m.exec(QStringLiteral(
        "insert into fpmain (kpid,fphm,kpdate,kpdate2,fkfmc,jexx,jedx,bz2) values "
        "(1,'A7',20240105,'2024-01-05','七行','28.00','贰拾捌元整','旧备注'),"
        "(2,'B9',2013109,'2013-10-9','日期坏','3.00','叁元整','');"
        "insert into fpdetail (kpid,xm,je) values (1,'一','1'),(1,'二','2'),(1,'三','3'),"
        "(1,'四','4'),(1,'五','5'),(1,'六','6'),(1,'七','7'),(2,'甲','3');"));
    const auto lines = [&](int kpid) {
        return m.column(
            QStringLiteral("select xm||je from fpdetail where kpid=%1 order by fpmxid").arg(kpid));
    };
    const QStringList seven = lines(1);
    QList<int> previews; // pages of each preview
    QString shown;       // the texts of the last preview's first page
    receipt::setReportShower(
        [&](const report::PreparedReport& r, QWidget*, const std::function<void()>&) {
            previews << int(r.pages.size());
            shown.clear();
            for (const report::PlacedText& text : r.pages.value(0).texts)
                shown += text.text + u'|';
        });
    QVERIFY(m.showActive());
    m.button("historyButton")->click();
    m.child<QCheckBox>("startDateCheck")->setChecked(false);
    m.child<QCheckBox>("endDateCheck")->setChecked(false);
    m.field("searchText")->setText(QStringLiteral("A7"));
    m.button("searchButton")->click();
    m.button("selectButton")->click();
    auto* page = m.w.entryPage();
    QCOMPARE(page->receiptId(), QStringLiteral("1"));
    QCOMPARE(m.field("totalFigures")->text(), QStringLiteral("28.00"));
    QVERIFY(m.child<QLabel>("extraLinesNote")->isVisibleTo(page));
    m.child<QPlainTextEdit>("remarks")->setPlainText(QStringLiteral("新备注"));
    m.button("saveButton")->click();
    QCOMPARE(messages.texts().last(), QStringLiteral("保存成功！"));
    QCOMPARE(lines(1), seven);
    QCOMPARE(m.scalar(QStringLiteral("select jexx||bz2 from fpmain where kpid=1")),
             QStringLiteral("28.00新备注"));
    // Lines the first page cannot hold print on a second.
    m.button("previewButton")->click();
    QCOMPARE(previews, QList<int>{2});
    // 修改记录: the version before the correction previews with its own values, as a copy.
    m.button("historyButton")->click();
    m.button("searchButton")->click();
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        dialog->findChild<QTableWidget*>()->setCurrentCell(0, 0);
        dialog->findChild<QPushButton*>(QStringLiteral("versionPreviewButton"))->click();
        dialog->close();
    });
    m.button("versionsButton")->click();
    QVERIFY2(shown.contains(QStringLiteral("旧备注")) && !shown.contains(QStringLiteral("新备注")),
             qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("副本：修改前的版本（于 ")));

    // The seven-digit date: the values reach the form, the date box says 未知 and the warning
    // quotes the stored text; preview works; a save keeps the date as stored.
    messages.clear();
    m.button("historyButton")->click();
    m.field("searchText")->setText(QStringLiteral("B9"));
    m.button("searchButton")->click();
    m.button("selectButton")->click();
    QCOMPARE(page->receiptId(), QStringLiteral("2"));
    QCOMPARE(page->payerField()->text(), QStringLiteral("日期坏"));
    QCOMPARE(m.child<QDateEdit>("issueDate")->text(), QStringLiteral("未知"));
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.texts().at(0).contains(QStringLiteral("“2013109”")));
    m.button("previewButton")->click();
    receipt::setReportShower({});
    QCOMPARE(previews, (QList<int>{2, 2, 1}));
    m.button("saveButton")->click();
    QCOMPARE(m.scalar(QStringLiteral(
                 "select cast(kpdate as text)||' '||kpdate2||' '||jexx from fpmain where kpid=2")),
             QStringLiteral("2013109 2013-10-9 3.00"));
    // A date set by the operator replaces it.
    m.child<QDateEdit>("issueDate")->setDate(QDate(2013, 10, 9));
    m.button("saveButton")->click();
    QCOMPARE(m.scalar(QStringLiteral("select kpdate||' '||kpdate2 from fpmain where kpid=2")),
             QStringLiteral("20131009 2013-10-09"));
}

void TestMainWindow::importFollowUps() {
    MessageRecorder messages;
    Main m;
    QVERIFY(m.showActive());
    const QString mdb = test::sourceFile(QStringLiteral("tests/legacy/fixtures/legacy-small.mdb"));
    m.w.importLegacy(mdb, true);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(m.field("payeeName")->text(), QStringLiteral("杭州明远信息技术有限公司"));
    QVERIFY(!m.w.entryPage()->hasUnsavedChanges());
    QCOMPARE(m.w.pages()->currentWidget(), m.w.historyPage());
    QCOMPARE(m.w.historyPage()->model()->rowCount(), 31);
    auto* summary = m.w.findChild<QDialog*>(QStringLiteral("legacySummaryDialog"));
    QVERIFY(summary && summary->findChild<QPushButton*>(QStringLiteral("printSummaryButton")));
    summary->close();
    // Again: refused unless confirmed.
    messages.setAnswer(false);
    m.w.importLegacy(mdb, false);
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().at(0).kind, Kind::Question);
    QVERIFY(messages.texts().at(0).contains(QStringLiteral("导入过")));
    QCOMPARE(m.receiptCount(), 31);
    messages.setAnswer(true);
    m.w.importLegacy(mdb, false);
    QCOMPARE(m.receiptCount(), 62);
}

void TestMainWindow::quitAsksToSave_data() {
    QTest::addColumn<int>("answer"); // ui::MessageBox::Answer: Yes 保存, No 不保存
    QTest::addColumn<bool>("byExitButton");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("stored");
    using A = ui::MessageBox::Answer;
    QTest::newRow("退出, 保存") << int(A::Yes) << true << true << 1;
    QTest::newRow("退出, 不保存") << int(A::No) << true << true << 0;
    QTest::newRow("退出, 取消") << int(A::Cancel) << true << false << 0;
    QTest::newRow("close, 保存") << int(A::Yes) << false << true << 1;
    QTest::newRow("close, 取消") << int(A::Cancel) << false << false << 0;
}

void TestMainWindow::quitAsksToSave() {
    QFETCH(int, answer);
    QFETCH(bool, byExitButton);
    QFETCH(bool, closed);
    QFETCH(int, stored);
    MessageRecorder messages;
    messages.setAnswer(ui::MessageBox::Answer(answer));
    const auto asked = [&] {
        QStringList texts;
        for (const auto& message : messages.messages())
            if (message.kind == ui::MessageBox::Kind::SaveQuestion)
                texts << message.text;
        return texts;
    };
    Main m;
    QVERIFY(m.showActive());
    // Nothing typed: no question.
    m.w.close();
    QVERIFY(asked().isEmpty() && !m.w.isVisible());
    QVERIFY(m.showActive());
    m.field("payerName")->setText(QStringLiteral("付款方"));
    m.w.entryPage()->amountCell(0)->setText(QStringLiteral("8"));
    if (byExitButton)
        m.button("exitButton")->click();
    else
        m.w.close();
    QCOMPARE(asked(), QStringList{QStringLiteral("当前收据尚未保存，是否保存？")});
    QCOMPARE(m.w.isVisible(), !closed);
    if (byExitButton)
        QCOMPARE(m.w.isDatabaseOpen(), !closed);
    QCOMPARE(m.receiptCount(), stored);
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
