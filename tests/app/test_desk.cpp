// The program on an operator's desk: help that opens, Qt's own texts in Chinese, database
// failures in Chinese, no cut text, the remarks' Tab, the stored invoice number, the settings
// dialog after a failed lookup and a receipt removed by another copy.
#include "app/chinese.h"
#include "app/tfrmqj.h"
#include "data/schema.h"
#include "data/tdmtd.h"
#include "receipt/entrypage.h"
#include "receipt/receiptloader.h"
#include "settings/basicsetdialog.h"
#include "testsupport.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <sqlite3.h>

using namespace zelk;
using test::MessageRecorder;
using test::TempDatabase;

class TestDesk : public QObject {
    Q_OBJECT
private slots:
    void help_data();
    void help();
    void chinese();
    void openFailures_data();
    void openFailures();
    void entryPage();
    void settingsAfterFailedLookup();
};

void TestDesk::help_data() {
    QTest::addColumn<QStringList>("scripts"); // name=body of stand-in programs on PATH
    QTest::addColumn<QString>("recorder");    // the program expected to get the file
    QTest::newRow("desktop handler")
        << QStringList{"xdg-mime=echo xchm.desktop", "xdg-open=echo \"$@\" > $0.args"}
        << "xdg-open";
    QTest::newRow("no desktop handler")
        << QStringList{"xdg-mime=true", "xdg-open=exit 3", "xchm=echo \"$@\" > $0.args"} << "xchm";
    QTest::newRow("xchm only") << QStringList{"xchm=echo \"$@\" > $0.args"} << "xchm";
    QTest::newRow("no viewer") << QStringList{} << "";
}

void TestDesk::help() {
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

void TestDesk::chinese() {
    QVERIFY2(app::setUpChinese(), "Qt's Chinese translations missing (qt6-translations-l10n)");
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    for (const QAction* action : menu->actions())
        QVERIFY2(!action->text()
                      .section(QLatin1Char('\t'), 0, 0)
                      .contains(QRegularExpression(QStringLiteral("[a-z]{3}"))),
                 qPrintable(action->text()));
}

void TestDesk::openFailures_data() {
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

void TestDesk::openFailures() {
    QFETCH(QString, arrange);
    QFETCH(QString, expected);
    TempDatabase db;
    QFile file(db.path());
    sqlite3* holder = nullptr;
    if (arrange == QLatin1String("remove") || arrange == QLatin1String("empty"))
        QVERIFY(file.remove() &&
                (arrange == QLatin1String("remove") || file.open(QIODevice::WriteOnly)));
    else if (arrange == QLatin1String("garbage"))
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, 'x')) == 8192);
    else if (arrange == QLatin1String("lock"))
        QVERIFY(sqlite3_open(db.path().toUtf8(), &holder) == SQLITE_OK &&
                sqlite3_key(holder, data::databaseKey, int(strlen(data::databaseKey))) == 0 &&
                sqlite3_exec(holder, "PRAGMA cipher_page_size = 4096; BEGIN EXCLUSIVE", nullptr,
                             nullptr, nullptr) == SQLITE_OK);
    else
        db.exec(arrange);
    file.close();
    const auto contents = [&] {
        QFile f(db.path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    };
    const QByteArray before = contents();
    MessageRecorder messages;
    data::Tdmtd dm;
    app::Tfrmqj w(dm, db.folder() + QStringLiteral("zelk"));
    w.show();
    sqlite3_close(holder);
    QCOMPARE(messages.messages().size(), 1);
    const auto& m = messages.messages().at(0);
    QVERIFY2(m.text.contains(expected) && m.text.contains(db.path()), qPrintable(m.text));
    QVERIFY(m.detail.isEmpty() || !m.text.contains(m.detail));
    QVERIFY(!dm.Database3_ado.isOpen());
    QCOMPARE(contents(), before);
}

void TestDesk::entryPage() {
    TempDatabase db;
    data::Tdmtd dm;
    MessageRecorder messages;
    app::Tfrmqj w(dm, db.folder() + QStringLiteral("zelk"));
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
    page->showReceipt(receipt::loadReceipt(dm.Database3_ado, page->receiptId().toLongLong()));
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

void TestDesk::settingsAfterFailedLookup() {
    TempDatabase db;
    data::Tdmtd dm;
    dm.Database3_ado.setConnectionString(db.connectionString());
    dm.Database3_ado.open();
    const QStringList stored = db.column("select SetValue from SysSet order by SetId");
    db.exec(QStringLiteral("alter table SysSet rename to Gone"));
    MessageRecorder messages;
    settings::TfrmbasicSet dlg(dm);
    for (QLineEdit* f : dlg.findChildren<QLineEdit*>())
        QCOMPARE(f->maxLength(), std::numeric_limits<int>::max());
    dlg.show();
    QCOMPARE(messages.messages().size(), 1);
    db.exec(QStringLiteral("alter table Gone rename to SysSet"));
    dlg.findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
    QCOMPARE(db.column("select SetValue from SysSet order by SetId"), stored);
}

QTEST_MAIN(TestDesk)
#include "test_desk.moc"
