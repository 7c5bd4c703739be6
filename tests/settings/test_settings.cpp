// The settings dialog (what it shows and saves, and how a failed save leaves the database) and
// the compiled help. How the settings are stored and trimmed is tested with the data module.
#include "settings/basicsetdialog.h"
#include "settings/legacyimport.h"
#include "store/filestore.h"

#include "testsupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtTest>

using zelk::test::MessageRecorder;

namespace {

// The dialog on a database, its controls found by their object names.
struct Dialog : zelk::test::OpenDatabase {
    zelk::settings::TfrmbasicSet dialog{store()};
    QLineEdit* edit(const char* name) { return dialog.findChild<QLineEdit*>(QLatin1String(name)); }
    QPlainTextEdit* notice() {
        return dialog.findChild<QPlainTextEdit*>(QStringLiteral("noticeEdit"));
    }
    QStringList shown() { // in setting order 27 to 30
        return {edit("payeeEdit")->text(), edit("categoryEdit")->text(), edit("issuerEdit")->text(),
                notice()->toPlainText()};
    }
    void save() { dialog.findChild<QPushButton*>(QStringLiteral("saveButton"))->click(); }
    QStringList stored() const {
        return column(QStringLiteral("select SetValue from SysSet order by SetId"));
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void failingSaveChangesNothing_data();
    void failingSaveChangesNothing();
    void helpFileHoldsItsPages();
    void legacyImportAsksThroughTheHooks();
};

void TestSettings::failingSaveChangesNothing_data() {
    QTest::addColumn<QString>("breakIt");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("table dropped") << "drop table SysSet"
                                   << "SysSet";
    for (const char* id : {"28", "30"}) // the third and the last update
        QTest::addRow("update of %s refused", id)
            << QStringLiteral("create trigger Locked before update on SysSet when new.SetId=%1"
                              " begin select raise(abort, '被锁定'); end")
                   .arg(QLatin1String(id))
            << "被锁定";
}

void TestSettings::failingSaveChangesNothing() {
    QFETCH(QString, breakIt);
    QFETCH(QString, messagePart);
    MessageRecorder messages;
    Dialog d;
    d.exec(QStringLiteral("update SysSet set SetValue='旧' || SetId;"
                          "create table UpdateLog (n integer primary key, SetId integer);"
                          "create trigger LogUpdates after update on SysSet"
                          " begin insert into UpdateLog (SetId) values (new.SetId); end;"));
    d.dialog.show();
    const QStringList typed = {" \"大众\"超市、'小王'商店\t", "%", "O'Brien", "\\n 不是换行\n遗失"};
    d.edit("payeeEdit")->setText(typed[0]);
    d.edit("categoryEdit")->setText(typed[1]);
    d.edit("issuerEdit")->setText(typed[2]);
    d.notice()->setPlainText(typed[3]);
    d.exec(breakIt);
    d.save();
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().kind, zelk::ui::MessageBox::Kind::Error);
    const auto& shown = messages.messages().first();
    QVERIFY2(QString(shown.text + shown.detail).contains(messagePart), qPrintable(shown.text));
    QVERIFY(d.dialog.isVisible());
    if (breakIt.startsWith(QLatin1String("drop")))
        return;
    // All four settings are as they were, the updates before the failing one included.
    QCOMPARE(d.stored(), (QStringList{"旧27", "旧28", "旧29", "旧30"}));
    // The failed save left no transaction open: once the obstacle is gone, saving works, and
    // stores the texts exactly as typed, in the order issuer, payee, category, notice.
    d.exec(QStringLiteral("drop trigger Locked; delete from UpdateLog"));
    d.save();
    QCOMPARE(messages.texts().last(), QStringLiteral("保存成功！"));
    QCOMPARE(d.stored(), typed);
    QCOMPARE(d.column(QStringLiteral("select SetId from UpdateLog order by n")),
             (QStringList{"29", "27", "28", "30"}));
}

void TestSettings::helpFileHoldsItsPages() {
    // The pages come back as UTF-8; contents and index are stored in the code page of the
    // help's language (GBK), which the help declares (LCID 0x0804 in #SYSTEM record 4); no
    // binary index, which would be built from the index read as UTF-8.
    const QString chm = zelk::test::builtFile(QStringLiteral("help.chm"));
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("extract_chmLib"));
    QVERIFY2(!tool.isEmpty(), "extract_chmLib (libchm-bin, installed by scripts/setup) is missing");
    QTemporaryDir out;
    QCOMPARE(QProcess::execute(tool, {chm, out.path()}), 0);
    const auto read = [&](const QString& name) { return zelk::test::readFile(out.filePath(name)); };
    QVERIFY(QString::fromUtf8(read(QStringLiteral("entry.html")))
                .contains(QStringLiteral("壹仟贰佰叁拾肆元伍角陆分")));
    QVERIFY(QString::fromUtf8(read(QStringLiteral("designer.html")))
                .contains(QStringLiteral("两点校正背景")));
    QVERIFY(!read(QStringLiteral("designer-fit.png")).isEmpty());
    for (const QString& name : {QStringLiteral("contents.hhc"), QStringLiteral("index.hhk")}) {
        QStringDecoder gbk("GBK");
        QCOMPARE(gbk.decode(read(name)),
                 QString::fromUtf8(zelk::test::readFile(
                     zelk::test::sourceFile(QStringLiteral("resources/help/") + name))));
        QVERIFY(!gbk.hasError());
    }
    QVERIFY(read(QStringLiteral("#SYSTEM")).contains(QByteArray::fromHex("0400240004080000")));
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("$WWKeywordLinks"))));
}

// The legacy import asks through the one file-chooser and the one message-box hook: the file,
// then 取消 imports nothing and 否 imports the receipts but keeps our basic information.
void TestSettings::legacyImportAsksThroughTheHooks() {
    zelk::test::TempDatabase db;
    db.exec(QStringLiteral("update SysSet set SetValue='我们的单位' where SetId=27"));
    zelk::store::FileStore file(db.path());
    zelk::test::FileNames files;
    MessageRecorder messages;
    QWidget window;
    const QString old =
        zelk::test::sourceFile(QStringLiteral("tests/legacy/fixtures/legacy-small.mdb"));
    const QString count = QStringLiteral("select count(*) from fpmain");
    for (const auto answer : {MessageRecorder::Answer::Cancel, MessageRecorder::Answer::No}) {
        files.setNextName(old);
        messages.setNextAnswer(answer);
        QString path;
        bool settings = false;
        if (zelk::settings::askLegacyImport(&window, &path, &settings))
            delete zelk::settings::importLegacyFile(&window, file, path, settings).summaryDialog;
        QCOMPARE(messages.messages().last().kind, zelk::ui::MessageBox::Kind::QuestionWithCancel);
        QCOMPARE(db.scalar(count) == QLatin1String("0"), answer == MessageRecorder::Answer::Cancel);
    }
    QCOMPARE(files.captions().size(), 2);
    QCOMPARE(db.setting(27), QStringLiteral("我们的单位"));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
