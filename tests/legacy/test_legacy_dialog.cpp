// 导入旧数据 in the window: the progress dialog's "取消" leaves the database byte for byte as it
// was; a finished import opens its summary.

#include "testsupport.h"

#include "data/connection.h"
#include "settings/legacyimport.h"

#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestLegacyDialog : public QObject {
    Q_OBJECT
private slots:
    void cancelOrFinish_data();
    void cancelOrFinish();
};

void TestLegacyDialog::cancelOrFinish_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled") << true;
    QTest::newRow("finished") << false;
}

void TestLegacyDialog::cancelOrFinish() {
    QFETCH(bool, cancel);
    zelk::test::TempDatabase db;
    zelk::test::MessageRecorder messages;
    const auto bytes = [&] {
        QFile file(db.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    zelk::data::Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.open();
    QWidget window;
    window.show();
    bool pressed = false;
    if (cancel) {
        // Pressed from the event loop the import keeps running, as an operator would press it.
        QTimer::singleShot(0, &window, [&] {
            if (auto* progress = window.findChild<QProgressDialog*>(u"legacyProgress"_s)) {
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
                pressed = true;
            }
        });
    }
    QDialog* summary = zelk::settings::importLegacyFile(
        &window, connection,
        QStringLiteral(ZELK_TEST_SOURCE_DIR "/tests/legacy/fixtures/") + u"legacy-small.mdb"_s,
        true);
    connection.close();
    QCOMPARE(bytes() == before, cancel);
    QCOMPARE(pressed, cancel);
    QCOMPARE(summary == nullptr, cancel);
    QCOMPARE(messages.messages().size(), cancel ? 1 : 0);
    if (!cancel)
        QVERIFY(summary->findChild<QPlainTextEdit*>()->toPlainText().contains(u"收据 31 张"_s));
}

QTEST_MAIN(TestLegacyDialog)
#include "test_legacy_dialog.moc"
