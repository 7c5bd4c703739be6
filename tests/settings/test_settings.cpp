#include "settings/aboutdialog.h"
#include "settings/basicsetdialog.h"
#include "settings/help.h"

#include "data/tdmtd.h"
#include "testsupport.h"
#include "text/blanks.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using zelk::data::Tdmtd;
using zelk::settings::TFrmAboutUs;
using zelk::settings::TfrmbasicSet;
using zelk::test::MessageRecorder;
using zelk::test::TempDatabase;
using Kind = zelk::ui::MessageBox::Kind;

namespace {

std::unique_ptr<Tdmtd> openData(const TempDatabase& db) {
    auto dm = std::make_unique<Tdmtd>();
    dm->Database3_ado.setConnectionString(db.connectionString());
    dm->Database3_ado.open();
    return dm;
}

QString setting(const TempDatabase& db, int id) {
    return db.scalar(QStringLiteral("select SetValue from SysSet where SetId=%1").arg(id));
}

// The dialog's controls, found by their object names as a user of the dialog would.
struct Controls {
    QLineEdit* issuer;
    QLineEdit* payee;
    QLineEdit* category;
    QPlainTextEdit* notice;
    QPushButton* save;
    QPushButton* exit;
};

Controls controlsOf(QWidget& dialog) {
    Controls c{dialog.findChild<QLineEdit*>(QStringLiteral("issuerEdit")),
               dialog.findChild<QLineEdit*>(QStringLiteral("payeeEdit")),
               dialog.findChild<QLineEdit*>(QStringLiteral("categoryEdit")),
               dialog.findChild<QPlainTextEdit*>(QStringLiteral("noticeEdit")),
               dialog.findChild<QPushButton*>(QStringLiteral("saveButton")),
               dialog.findChild<QPushButton*>(QStringLiteral("exitButton"))};
    if (!c.issuer || !c.payee || !c.category || !c.notice || !c.save || !c.exit)
        qFatal("a control of the settings dialog is missing");
    return c;
}

QString helpFile() {
    return QStringLiteral(ZELK_TEST_BINARY_DIR) + QStringLiteral("/help.chm");
}

const QStringList helpPages = {
    QStringLiteral("index.html"),     QStringLiteral("entry.html"),
    QStringLiteral("keyboard.html"),  QStringLiteral("save.html"),
    QStringLiteral("history.html"),   QStringLiteral("print.html"),
    QStringLiteral("calibrate.html"), QStringLiteral("settings.html"),
    QStringLiteral("data.html"),
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void dialogLayout();
    void showsStoredValuesTrimmed_data();
    void showsStoredValuesTrimmed();
    void savesExactTexts_data();
    void savesExactTexts();
    void savesInOrderBillerPayeeCategoryNotice();
    void failingSaveChangesNothing_data();
    void failingSaveChangesNothing();
    void exitClosesWithoutWriting();
    void acceleratorsSaveAndExit();

    void helpPathBesideExecutable_data();
    void helpPathBesideExecutable();
    void helpFileIsValidChm();
    void helpPagesComeBackIntact_data();
    void helpPagesComeBackIntact();

    void aboutBox();
};

void TestSettings::dialogLayout() {
    TempDatabase db;
    auto dm = openData(db);
    TfrmbasicSet dialog(*dm);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("基础信息设置"));
    QCOMPARE(dialog.font().family(), QStringLiteral("SimSun"));
    QCOMPARE(dialog.font().pixelSize(), 15);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());

    const Controls c = controlsOf(dialog);
    QCOMPARE(c.save->text(), QStringLiteral("保存(&S)"));
    QCOMPARE(c.exit->text(), QStringLiteral("退出(&Q)"));
    // Top to bottom: issuer, payee, category, notice, each beside its caption.
    const QList<QWidget*> fields = {c.issuer, c.payee, c.category, c.notice};
    const QStringList captions = {QStringLiteral("开票人"), QStringLiteral("收款方名称"),
                                  QStringLiteral("行业分类"), QStringLiteral("票据说明")};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const auto* label =
            dialog.findChild<QLabel*>(fields[i]->objectName() + QStringLiteral("Label"));
        QVERIFY(label);
        QCOMPARE(label->text(), captions[i]);
        QCOMPARE(label->buddy(), fields[i]);
        if (i > 0)
            QVERIFY(fields[i]->y() > fields[i - 1]->y());
    }
    // The buttons sit below the fields.
    QVERIFY(c.save->mapTo(&dialog, QPoint()).y() > c.notice->y() + c.notice->height() - 1);
}

void TestSettings::showsStoredValuesTrimmed_data() {
    QTest::addColumn<int>("missingId");
    QTest::newRow("all four rows") << 0;
    QTest::newRow("payee row missing") << 27;
    QTest::newRow("category row missing") << 28;
    QTest::newRow("issuer row missing") << 29;
    QTest::newRow("notice row missing") << 30;
}

void TestSettings::showsStoredValuesTrimmed() {
    QFETCH(int, missingId);
    TempDatabase db;
    db.exec(QStringLiteral("update SysSet set SetValue='  某某商贸有限公司  ' where SetId=27;"
                           "update SysSet set SetValue='\t零售业 ' where SetId=28;"
                           "update SysSet set SetValue=' 张三' where SetId=29;"
                           "update SysSet set SetValue=' 第一行\n第二行\n第三行 \n' "
                           "where SetId=30;"));
    if (missingId)
        db.exec(QStringLiteral("delete from SysSet where SetId=%1").arg(missingId));
    auto dm = openData(db);
    MessageRecorder messages;
    TfrmbasicSet dialog(*dm);
    const Controls c = controlsOf(dialog);
    // Nothing is read before the dialog is shown.
    QVERIFY(c.payee->text().isEmpty());
    dialog.show();

    auto expected = [&](int id, const QString& text) { return id == missingId ? QString() : text; };
    QCOMPARE(c.payee->text(), expected(27, QStringLiteral("某某商贸有限公司")));
    QCOMPARE(c.category->text(), expected(28, QStringLiteral("零售业")));
    QCOMPARE(c.issuer->text(), expected(29, QStringLiteral("张三")));
    QCOMPARE(c.notice->toPlainText(), expected(30, QStringLiteral("第一行\n第二行\n第三行")));
    QVERIFY(messages.messages().isEmpty());

    // Saving without a change stores the texts as shown, that is trimmed.
    c.save->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    if (missingId != 27)
        QCOMPARE(setting(db, 27), QStringLiteral("某某商贸有限公司"));
    if (missingId != 30)
        QCOMPARE(setting(db, 30), QStringLiteral("第一行\n第二行\n第三行"));
    // A missing row is not created by saving.
    if (missingId)
        QCOMPARE(
            db.scalar(QStringLiteral("select count(*) from SysSet where SetId=%1").arg(missingId)),
            QStringLiteral("0"));
}

void TestSettings::savesExactTexts_data() {
    QTest::addColumn<QString>("issuer");
    QTest::addColumn<QString>("payee");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("notice");
    QTest::newRow("three-line notice") << "李四"
                                       << "新华书店"
                                       << "文化用品"
                                       << "本收据手写无效\n盖章后生效\n遗失不补";
    QTest::newRow("quotes") << "O'Brien"
                            << "\"大众\"超市、'小王'商店"
                            << "it's"
                            << "请保留\"收据\"\n'谢谢'";
    QTest::newRow("surrounding blanks") << "  王五  "
                                        << " 前后有空格的公司\t"
                                        << "  "
                                        << "\n  两端空行  \n\n";
    QTest::newRow("characters special to SQL") << "100%_\\"
                                               << "a'; drop table SysSet; --"
                                               << "%"
                                               << "\\n 不是换行";
    QTest::newRow("all empty") << ""
                               << ""
                               << ""
                               << "";
}

void TestSettings::savesExactTexts() {
    QFETCH(QString, issuer);
    QFETCH(QString, payee);
    QFETCH(QString, category);
    QFETCH(QString, notice);
    TempDatabase db;
    auto dm = openData(db);
    MessageRecorder messages;
    {
        TfrmbasicSet dialog(*dm);
        dialog.show();
        const Controls c = controlsOf(dialog);
        c.issuer->setText(issuer);
        c.payee->setText(payee);
        c.category->setText(category);
        c.notice->setPlainText(notice);
        c.save->click();

        QCOMPARE(messages.messages().size(), 1);
        QCOMPARE(messages.messages().first().kind, Kind::Information);
        QCOMPARE(messages.messages().first().text, QStringLiteral("保存成功！"));
        QVERIFY(dialog.isVisible()); // stays open after saving
        QCOMPARE(setting(db, 29), issuer);
        QCOMPARE(setting(db, 27), payee);
        QCOMPARE(setting(db, 28), category);
        QCOMPARE(setting(db, 30), notice);
    }
    // The next time the dialog opens it shows them trimmed.
    TfrmbasicSet again(*dm);
    again.show();
    const Controls c = controlsOf(again);
    QCOMPARE(c.issuer->text(), zelk::text::trimBlanks(issuer));
    QCOMPARE(c.payee->text(), zelk::text::trimBlanks(payee));
    QCOMPARE(c.category->text(), zelk::text::trimBlanks(category));
    QCOMPARE(c.notice->toPlainText(), zelk::text::trimBlanks(notice));
}

void TestSettings::savesInOrderBillerPayeeCategoryNotice() {
    TempDatabase db;
    db.exec(QStringLiteral(
        "create table UpdateLog (n integer primary key autoincrement, SetId integer);"
        "create trigger LogUpdates after update on SysSet"
        " begin insert into UpdateLog (SetId) values (new.SetId); end;"));
    auto dm = openData(db);
    MessageRecorder messages;
    TfrmbasicSet dialog(*dm);
    dialog.show();
    controlsOf(dialog).save->click();
    QCOMPARE(db.column(QStringLiteral("select SetId from UpdateLog order by n")),
             (QStringList{QStringLiteral("29"), QStringLiteral("27"), QStringLiteral("28"),
                          QStringLiteral("30")}));
}

void TestSettings::failingSaveChangesNothing_data() {
    QTest::addColumn<QString>("breakIt");
    QTest::addColumn<QString>("messagePart");
    QTest::addColumn<bool>("tableRemains");
    QTest::newRow("table dropped") << "drop table SysSet"
                                   << "SysSet" << false;
    QTest::newRow("third update refused")
        << "create trigger NoCategory before update on SysSet when new.SetId=28"
           " begin select raise(abort, '行业分类被锁定'); end"
        << "行业分类被锁定" << true;
    QTest::newRow("last update refused")
        << "create trigger NoNotice before update on SysSet when new.SetId=30"
           " begin select raise(abort, '票据说明被锁定'); end"
        << "票据说明被锁定" << true;
}

void TestSettings::failingSaveChangesNothing() {
    QFETCH(QString, breakIt);
    QFETCH(QString, messagePart);
    QFETCH(bool, tableRemains);
    TempDatabase db;
    db.exec(QStringLiteral("update SysSet set SetValue='旧' || SetId"));
    auto dm = openData(db);
    MessageRecorder messages;
    TfrmbasicSet dialog(*dm);
    dialog.show();
    const Controls c = controlsOf(dialog);
    c.issuer->setText(QStringLiteral("新开票人"));
    c.payee->setText(QStringLiteral("新收款方"));
    c.category->setText(QStringLiteral("新行业"));
    c.notice->setPlainText(QStringLiteral("新说明"));
    db.exec(breakIt);

    c.save->click();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, Kind::Error);
    QVERIFY2((messages.messages().first().text + messages.messages().first().detail)
                 .contains(messagePart),
             qPrintable(messages.messages().first().text));
    QVERIFY(!messages.texts().contains(QStringLiteral("保存成功！")));
    QVERIFY(dialog.isVisible());
    if (!tableRemains)
        return;
    // All four settings are as they were, the updates before the failing one included.
    for (int id : {27, 28, 29, 30})
        QCOMPARE(setting(db, id), QStringLiteral("旧%1").arg(id));

    // The failed save left no transaction open: once the obstacle is gone, saving works.
    db.exec(QStringLiteral("drop trigger if exists NoCategory; drop trigger if exists NoNotice"));
    messages.clear();
    c.save->click();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    QCOMPARE(setting(db, 28), QStringLiteral("新行业"));
    QCOMPARE(setting(db, 30), QStringLiteral("新说明"));
}

void TestSettings::exitClosesWithoutWriting() {
    TempDatabase db;
    db.exec(QStringLiteral("update SysSet set SetValue='旧' || SetId"));
    auto dm = openData(db);
    MessageRecorder messages;
    TfrmbasicSet dialog(*dm);
    dialog.show();
    const Controls c = controlsOf(dialog);
    c.issuer->setText(QStringLiteral("改了"));
    c.payee->setText(QStringLiteral("改了"));
    c.category->setText(QStringLiteral("改了"));
    c.notice->setPlainText(QStringLiteral("改了"));
    c.exit->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(messages.messages().isEmpty());
    for (int id : {27, 28, 29, 30})
        QCOMPARE(setting(db, id), QStringLiteral("旧%1").arg(id));
}

void TestSettings::acceleratorsSaveAndExit() {
    TempDatabase db;
    auto dm = openData(db);
    MessageRecorder messages;
    TfrmbasicSet dialog(*dm);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const Controls c = controlsOf(dialog);
    c.payee->setFocus();
    c.payee->setText(QStringLiteral("快捷键公司"));

    // A button's accelerator clicks it the way a mouse click looks, after a short delay.
    QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("保存成功！")});
    QCOMPARE(setting(db, 27), QStringLiteral("快捷键公司"));
    QVERIFY(dialog.isVisible());

    QTest::keyClick(&dialog, Qt::Key_Q, Qt::AltModifier);
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(messages.messages().size(), 1);
}

void TestSettings::helpPathBesideExecutable_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("help");
    QTest::newRow("zelk") << "/opt/receipts/zelk"
                          << "/opt/receipts/help.chm";
    QTest::newRow("ZELK.EXE") << "/opt/receipts/ZELK.EXE"
                              << "/opt/receipts/help.chm";
    QTest::newRow("any other name") << "/opt/receipts/Zelk.exe"
                                    << "/opt/receipts/help.chm";
    QTest::newRow("renamed program") << "/home/王/收据 程序/开票"
                                     << "/home/王/收据 程序/help.chm";
    QTest::newRow("program name in the folder") << "/zelk/zelk.exe/run"
                                                << "/zelk/zelk.exe/help.chm";
    QTest::newRow("no folder") << "zelk"
                               << "help.chm";
}

void TestSettings::helpPathBesideExecutable() {
    QFETCH(QString, executable);
    QFETCH(QString, help);
    QCOMPARE(zelk::settings::helpFilePath(executable), help);
}

void TestSettings::helpFileIsValidChm() {
    const QString chm = helpFile();
    QVERIFY2(QFile::exists(chm), qPrintable(chm));
    QVERIFY(readAll(chm).startsWith("ITSF"));
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("enum_chmLib"));
    if (tool.isEmpty())
        QSKIP("enum_chmLib (libchm-bin) is not installed");
    QProcess p;
    p.start(tool, {chm});
    QVERIFY(p.waitForFinished(-1));
    QCOMPARE(p.exitCode(), 0);
    const QString listing = QString::fromUtf8(p.readAllStandardOutput());
    QStringList expected = helpPages;
    expected << QStringLiteral("contents.hhc") << QStringLiteral("index.hhk")
             << QStringLiteral("style.css") << QStringLiteral("#SYSTEM");
    for (const QString& page : expected)
        QVERIFY2(listing.contains(u'/' + page + u'\n'), qPrintable(page));
    // No binary index: chmcmd would build it from the index read as UTF-8, while viewers read
    // the text index in GBK; without it every viewer uses the text index.
    QVERIFY(!listing.contains(QStringLiteral("$WWKeywordLinks")));
}

void TestSettings::helpPagesComeBackIntact_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("start page") << "index.html"
                                << "一张收据的处理过程";
    QTest::newRow("entry") << "entry.html"
                           << "壹仟贰佰叁拾肆元伍角陆分";
    QTest::newRow("keyboard") << "keyboard.html"
                              << "Alt</kbd>+<kbd>V";
    QTest::newRow("save") << "save.html"
                          << "付款方名称不能为空！";
    QTest::newRow("history") << "history.html"
                             << "未找到记录！";
    QTest::newRow("print") << "print.html"
                           << "未选中发票！";
    QTest::newRow("calibrate") << "calibrate.html"
                               << "\"printerOffset\": { \"x\": 2, \"y\": -1.5 }";
    QTest::newRow("settings") << "settings.html"
                              << "保存成功！";
    QTest::newRow("data") << "data.html"
                          << "Data/zelk.mdb";
    QTest::newRow("contents") << "contents.hhc"
                              << "数据存放与备份";
    QTest::newRow("index") << "index.hhk"
                           << "打印偏移";
}

void TestSettings::helpPagesComeBackIntact() {
    QFETCH(QString, file);
    QFETCH(QString, phrase);
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("extract_chmLib"));
    if (tool.isEmpty())
        QSKIP("extract_chmLib (libchm-bin) is not installed");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QProcess p;
    p.start(tool, {helpFile(), out.path()});
    QVERIFY(p.waitForFinished(-1));
    QCOMPARE(p.exitCode(), 0);

    const QByteArray extracted = readAll(out.filePath(file));
    QVERIFY2(!extracted.isEmpty(), qPrintable(file));
    const QByteArray source =
        readAll(QStringLiteral(ZELK_TEST_SOURCE_DIR) + QStringLiteral("/resources/help/") + file);
    QVERIFY(!source.isEmpty());
    QString text;
    if (file.endsWith(QStringLiteral(".html"))) {
        // A page comes back byte for byte as written, so its UTF-8 Chinese is intact.
        QCOMPARE(extracted, source);
        text = QString::fromUtf8(extracted);
    } else {
        // Contents and index are stored in the code page of the help's language (GBK) and
        // decode to exactly the text of their sources.
        QStringDecoder gbk("GBK");
        QVERIFY(gbk.isValid());
        text = gbk.decode(extracted);
        QVERIFY(!gbk.hasError());
        QCOMPARE(text, QString::fromUtf8(source));
        QVERIFY(extracted != source);
    }
    QVERIFY(text.contains(phrase));

    // The help declares Simplified Chinese (LCID 0x0804): #SYSTEM record 4 starts with it.
    const QByteArray system = readAll(out.filePath(QStringLiteral("#SYSTEM")));
    QVERIFY(system.contains(QByteArray::fromHex("0400240004080000")));
}

void TestSettings::aboutBox() {
    TFrmAboutUs about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.windowTitle(), QStringLiteral("关于..."));
    QCOMPARE(about.font().family(), QStringLiteral("SimSun"));
    QCOMPARE(about.font().pixelSize(), 15);

    const Qt::WindowFlags flags = about.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QVERIFY(about.findChildren<QPushButton*>().isEmpty()); // closed by the close box only

    const QRect screen = about.screen()->availableGeometry();
    const QPoint offCentre = about.frameGeometry().center() - screen.center();
    QVERIFY2(offCentre.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

    const auto* panel = about.findChild<QWidget*>(QStringLiteral("aboutPanel"));
    QVERIFY(panel);
    QVERIFY(panel->autoFillBackground());
    QCOMPARE(panel->palette().color(QPalette::Window),
             about.palette().color(QPalette::ToolTipBase));

    const auto* title = about.findChild<QLabel*>(QStringLiteral("titleLabel"));
    QVERIFY(title);
    QCOMPARE(title->parentWidget(), panel);
    QCOMPARE(title->text(), QStringLiteral("Velkor发票收据套打系统"));
    QVERIFY(title->font().bold());
    QCOMPARE(title->font().pixelSize(), 19);
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0xFF));

    const auto* detail = about.findChild<QLabel*>(QStringLiteral("detailLabel"));
    QVERIFY(detail);
    QVERIFY(detail->text().contains(QStringLiteral(ZELK_VERSION)));
    QVERIFY(!detail->font().bold());
    QVERIFY(detail->y() > title->y());

    const auto* icon = about.findChild<QLabel*>(QStringLiteral("iconLabel"));
    QVERIFY(icon);
    QCOMPARE(icon->parentWidget(), panel);
    const QPixmap pixmap = icon->pixmap();
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), QSize(32, 32));
    QCOMPARE(icon->size(), QSize(32, 32));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
