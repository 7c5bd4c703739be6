// The receipt preview: what the "预览(&V)" button shows, checked on the prepared report that
// would go to the preview window, and once in the real window.
#include "receipt/receiptpreview.h"

#include "data/databaseerror.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QTimer>
#include <QtTest>

using zelk::test::MessageRecorder;

class TestReceiptPreview : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyIdOnlyShowsTheMessage();
    void failures_data();
    void failures();
    void realWindowShowsThePreparedReport();

private:
    // Stores a receipt of one line; returns its id.
    QString storeReceipt() {
        db_->exec(QStringLiteral("insert into fpmain (fphm, kpdate, kpdate2, fkfmc, jexx) values "
                                 "('00012345', 20261206, '2026-12-06', '付款人', '1.00');"
                                 "insert into fpdetail (kpid, xm, je) values (1, '项目', '1.00')"));
        return QStringLiteral("1");
    }
    QString templatePath() const { return db_->folder() + QStringLiteral("report/fp3.frf"); }
    void preview(const QString& id, QWidget* parent = nullptr) {
        zelk::store::FileStore file(db_->dm.Database3_ado);
        zelk::receipt::previewReceipt(parent, file, file, id, QStringLiteral("窗口备注"),
                                      db_->folder() + QStringLiteral("zelk"), {});
    }

    std::unique_ptr<zelk::test::OpenDatabase> db_;
    QList<zelk::report::PreparedReport> shown_;
};

void TestReceiptPreview::init() {
    db_ = std::make_unique<zelk::test::OpenDatabase>();
    db_->installTemplate();
    shown_.clear();
    zelk::receipt::setReportShower(
        [this](const zelk::report::PreparedReport& prepared, QWidget*,
               const std::function<void()>&) { shown_.append(prepared); });
}

void TestReceiptPreview::cleanup() {
    zelk::receipt::setReportShower({});
    db_.reset();
}

void TestReceiptPreview::emptyIdOnlyShowsTheMessage() {
    storeReceipt();
    // With the connection closed any query would throw, so this also shows that none runs.
    for (bool open : {true, false}) {
        if (!open)
            db_->dm.Database3_ado.close();
        MessageRecorder recorder;
        preview(QString());
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("未选中发票！")});
        QCOMPARE(recorder.messages().first().kind, zelk::ui::MessageBox::Kind::Information);
    }
    QCOMPARE(shown_.size(), 0);
}

void TestReceiptPreview::failures_data() {
    // The template written in place of the shipped one ("-": removed), the receipt id ("":
    // the stored one) and a text the error must hold.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("messagePart");
    const QByteArray head =
        R"({"format":"zelk-report-template","version":1,"paper":{"width":100,"height":50})";
    QTest::newRow("missing template") << QByteArray("-") << ""
                                      << "fp3.frf";
    QTest::newRow("unknown field") << head + R"(,"colour":1})"
                                   << ""
                                   << "colour";
    QTest::newRow("unknown name")
        << head +
               R"(,"items":[{"type":"text","x":1,"y":1,"width":20,"height":5,"text":"[fkfmcc]"}]})"
        << ""
        << "fkfmcc";
    for (const char* id : {"abc", " ", "1 or 1=1", "1;delete from fpmain", "1.5", "12abc"})
        QTest::newRow(id) << QByteArray("keep") << id << id;
}

void TestReceiptPreview::failures() {
    QFETCH(QByteArray, content);
    QFETCH(QString, id);
    QFETCH(QString, messagePart);
    const QString stored = storeReceipt();
    if (content == "-")
        QVERIFY(QFile::remove(templatePath()));
    else if (content != "keep")
        zelk::test::writeFile(templatePath(), content);
    MessageRecorder recorder;
    try {
        preview(id.isEmpty() ? stored : id);
        QFAIL("no error");
    } catch (const zelk::report::ReportError& error) {
        QVERIFY2(error.message().contains(messagePart), qPrintable(error.message()));
    } catch (const zelk::data::DatabaseError& error) {
        QVERIFY2(error.message().contains(messagePart), qPrintable(error.message()));
    }
    QCOMPARE(shown_.size(), 0);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("1"));
}

void TestReceiptPreview::realWindowShowsThePreparedReport() {
    const QString id = storeReceipt();
    zelk::store::FileStore file(db_->dm.Database3_ado);
    const zelk::report::PreparedReport expected =
        zelk::receipt::prepareReceiptReport(file, id, QStringLiteral("窗口备注"), templatePath());
    zelk::receipt::setReportShower({});
    QWidget owner;
    QWidget* parent = nullptr;
    zelk::report::PreparedReport shown;
    // The window is closed first and looked at afterwards, so a failed check cannot leave it
    // open.
    QTimer::singleShot(0, [&] {
        if (auto* window =
                qobject_cast<zelk::report::PreviewWindow*>(QApplication::activeModalWidget())) {
            parent = window->parentWidget();
            shown = window->report();
        }
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    preview(id, &owner);
    QCOMPARE(parent, &owner);
    QVERIFY(shown == expected);
}

QTEST_MAIN(TestReceiptPreview)
#include "test_receiptpreview.moc"
