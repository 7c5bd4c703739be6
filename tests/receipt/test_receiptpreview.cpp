// The receipt preview: what the "预览(&V)" button shows, checked on the prepared report that
// would go to the preview window, without opening one.

#include "receipt/receiptpreview.h"

#include "data/databaseerror.h"
#include "data/tdmtd.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <algorithm>

using zelk::test::MessageRecorder;
using zelk::test::TempDatabase;

namespace {

struct Shown {
    zelk::report::PreparedReport prepared;
    QWidget* parent = nullptr;
    std::function<void()> onHelp;
};

} // namespace

class TestReceiptPreview : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyIdOnlyShowsTheMessage_data();
    void emptyIdOnlyShowsTheMessage();
    void storedReceiptWithThreeLines();
    void dataSetHasTheHeaderAndLineColumns();
    void replacedTemplateChangesTheNextPreview();
    void storedValuesShownButRemarksFromTheForm();
    void remarksComeThroughExactly_data();
    void remarksComeThroughExactly();
    void receiptWithoutLinesStillOpens();
    void missingTemplateThrows();
    void malformedTemplateThrows_data();
    void malformedTemplateThrows();
    void idThatIsNotANumberThrows_data();
    void idThatIsNotANumberThrows();
    void helpButtonCallsTheOpener();
    void realWindowShowsThePreparedReport();

private:
    // Stores a receipt with the given payer and stored remarks and lines (item, amount), in the
    // order given; returns its id.
    QString storeReceipt(const QString& payer, const QString& storedRemarks,
                         const QList<QPair<QString, QString>>& lines);
    // Copies the shipped template (and its background) to <folder>/report/.
    void installTemplate();
    QString templatePath() const { return db_->folder() + QStringLiteral("report/fp3.frf"); }
    QString executablePath() const { return db_->folder() + QStringLiteral("zelk"); }
    void writeTemplate(const QByteArray& content);
    QByteArray shippedTemplate() const;
    void preview(const QString& id, const QString& remarks, std::function<void()> onHelp = {});

    std::unique_ptr<TempDatabase> db_;
    std::unique_ptr<zelk::data::Tdmtd> dm_;
    QList<Shown> shown_;
};

static QString sourceFile(const QString& relative) {
    return QStringLiteral(ZELK_TEST_SOURCE_DIR) + u'/' + relative;
}

static QStringList allTexts(const zelk::report::PreparedReport& prepared) {
    QStringList texts;
    for (const zelk::report::Page& page : prepared.pages)
        for (const zelk::report::PlacedText& t : page.texts)
            texts.append(t.text);
    return texts;
}

void TestReceiptPreview::init() {
    db_ = std::make_unique<TempDatabase>();
    installTemplate();
    dm_ = std::make_unique<zelk::data::Tdmtd>();
    dm_->Database3_ado.setConnectionString(db_->connectionString());
    dm_->Database3_ado.open();
    shown_.clear();
    zelk::receipt::setReportShower([this](const zelk::report::PreparedReport& prepared,
                                          QWidget* parent, const std::function<void()>& onHelp) {
        shown_.append({prepared, parent, onHelp});
    });
}

void TestReceiptPreview::cleanup() {
    zelk::receipt::setReportShower({});
    dm_.reset();
    db_.reset();
}

QString TestReceiptPreview::storeReceipt(const QString& payer, const QString& storedRemarks,
                                         const QList<QPair<QString, QString>>& lines) {
    auto quoted = [](QString s) -> QString {
        return u'\'' + s.replace(u'\'', QStringLiteral("''")) + u'\'';
    };
    db_->exec(QStringLiteral(
                  "insert into fpmain (fphm, kpdate, kpdate2, hyfl, jdhm, qssj, jcsj, jym, fkfmc,"
                  " jexx, jedx, skfmc, kpr, bz1, bz2) values ('00012345', 20261206, '2026-12-06',"
                  " '服务业', 'JQ-7', '2026-11', '2026-12', '8842', ") +
              quoted(payer) +
              QStringLiteral(
                  ", '1234.56', '壹仟贰佰叁拾肆元伍角陆分', '维尔科商行', '李四', '手写无效', ") +
              quoted(storedRemarks) + QStringLiteral(")"));
    const QString id = db_->scalar(QStringLiteral("select max(kpid) from fpmain"));
    for (const auto& [item, amount] : lines)
        db_->exec(QStringLiteral("insert into fpdetail (kpid, xm, kjll, dw, sl, dj, je) values (") +
                  id + QStringLiteral(", ") + quoted(item) +
                  QStringLiteral(", '内容', '次', '1', ") + quoted(amount) + QStringLiteral(", ") +
                  quoted(amount) + QStringLiteral(")"));
    return id;
}

void TestReceiptPreview::installTemplate() {
    QDir(db_->folder()).mkpath(QStringLiteral("report"));
    for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")})
        QVERIFY(QFile::copy(sourceFile(QStringLiteral("resources/report/") + name),
                            db_->folder() + QStringLiteral("report/") + name));
}

void TestReceiptPreview::writeTemplate(const QByteArray& content) {
    QFile file(templatePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray TestReceiptPreview::shippedTemplate() const {
    QFile file(sourceFile(QStringLiteral("resources/report/fp3.frf")));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the shipped template");
    return file.readAll();
}

void TestReceiptPreview::preview(const QString& id, const QString& remarks,
                                 std::function<void()> onHelp) {
    zelk::receipt::previewReceipt(nullptr, *dm_, id, remarks, executablePath(), std::move(onHelp));
}

void TestReceiptPreview::emptyIdOnlyShowsTheMessage_data() {
    QTest::addColumn<bool>("connectionOpen");
    QTest::newRow("connection open") << true;
    // With the connection closed any query would throw, so this also shows that none runs.
    QTest::newRow("connection closed") << false;
}

void TestReceiptPreview::emptyIdOnlyShowsTheMessage() {
    QFETCH(bool, connectionOpen);
    storeReceipt(QStringLiteral("付款人甲"), QString(),
                 {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    if (!connectionOpen)
        dm_->Database3_ado.close();
    MessageRecorder recorder;
    preview(QString(), QStringLiteral("备注"));
    QCOMPARE(recorder.texts(), QStringList{QStringLiteral("未选中发票！")});
    QCOMPARE(recorder.messages().first().kind, zelk::ui::MessageBox::Kind::Information);
    QCOMPARE(shown_.size(), 0);
}

void TestReceiptPreview::storedReceiptWithThreeLines() {
    storeReceipt(QStringLiteral("别的付款人"), QString(),
                 {{QStringLiteral("不该出现"), QStringLiteral("9.99")}});
    const QString id =
        storeReceipt(QStringLiteral("上海某某贸易有限公司"), QStringLiteral("存的备注"),
                     {{QStringLiteral("第一项"), QStringLiteral("100.00")},
                      {QStringLiteral("第二项"), QStringLiteral("200.50")},
                      {QStringLiteral("第三项"), QStringLiteral("934.06")}});
    MessageRecorder recorder;
    preview(id, QStringLiteral("备注"));
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(shown_.size(), 1);
    const zelk::report::PreparedReport& shown = shown_.first().prepared;
    QCOMPARE(shown.pages.size(), 1);
    const QStringList texts = allTexts(shown);
    for (const QString& value :
         {QStringLiteral("00012345"), QStringLiteral("2026-12-06"), QStringLiteral("服务业"),
          QStringLiteral("JQ-7"), QStringLiteral("2026-11 至 2026-12"), QStringLiteral("8842"),
          QStringLiteral("上海某某贸易有限公司"), QStringLiteral("壹仟贰佰叁拾肆元伍角陆分"),
          QStringLiteral("￥1234.56"), QStringLiteral("维尔科商行"), QStringLiteral("李四"),
          QStringLiteral("手写无效"), QStringLiteral("100.00"), QStringLiteral("200.50"),
          QStringLiteral("934.06")})
        QVERIFY2(texts.contains(value), qPrintable(value));
    QVERIFY(!texts.contains(QStringLiteral("不该出现")));
    QVERIFY(!texts.contains(QStringLiteral("别的付款人")));

    // The lines go down the band in the order they were entered.
    QList<double> tops;
    for (const QString& item :
         {QStringLiteral("第一项"), QStringLiteral("第二项"), QStringLiteral("第三项")}) {
        const auto& pageTexts = shown.pages.first().texts;
        const auto it =
            std::find_if(pageTexts.begin(), pageTexts.end(),
                         [&](const zelk::report::PlacedText& t) { return t.text == item; });
        QVERIFY2(it != pageTexts.end(), qPrintable(item));
        tops.append(it->rect.top());
    }
    QVERIFY(tops[0] < tops[1]);
    QVERIFY(tops[1] < tops[2]);
}

void TestReceiptPreview::dataSetHasTheHeaderAndLineColumns() {
    // Lines stored out of order (higher ids first) still come back in id order.
    const QString id = storeReceipt(QStringLiteral("付款人"), QString(), {});
    db_->exec(QStringLiteral("insert into fpdetail (fpmxid, kpid, xm, je) values (30, ") + id +
              QStringLiteral(", '丙', '3')"));
    db_->exec(QStringLiteral("insert into fpdetail (fpmxid, kpid, xm, je) values (10, ") + id +
              QStringLiteral(", '甲', '1')"));
    db_->exec(QStringLiteral("insert into fpdetail (fpmxid, kpid, xm, je) values (20, ") + id +
              QStringLiteral(", '乙', '2')"));
    const zelk::report::DataSet data = zelk::receipt::loadReceiptDataSet(dm_->Database3_ado, id);
    const QStringList expected{
        QStringLiteral("kpid"),    QStringLiteral("fphm"),   QStringLiteral("kpdate"),
        QStringLiteral("kpdate2"), QStringLiteral("hyfl"),   QStringLiteral("jdhm"),
        QStringLiteral("qssj"),    QStringLiteral("jcsj"),   QStringLiteral("jym"),
        QStringLiteral("fkfmc"),   QStringLiteral("jexx"),   QStringLiteral("jedx"),
        QStringLiteral("skfmc"),   QStringLiteral("kpr"),    QStringLiteral("bz1"),
        QStringLiteral("bz2"),     QStringLiteral("fpmxid"), QStringLiteral("xm"),
        QStringLiteral("kjll"),    QStringLiteral("dw"),     QStringLiteral("sl"),
        QStringLiteral("dj"),      QStringLiteral("je")};
    QCOMPARE(data.columns, expected);
    QCOMPARE(data.rows.size(), 3);
    const int fpmxid = int(expected.indexOf(QStringLiteral("fpmxid")));
    const int xm = int(expected.indexOf(QStringLiteral("xm")));
    const int kjll = int(expected.indexOf(QStringLiteral("kjll")));
    QCOMPARE(data.rows[0][fpmxid], QStringLiteral("10"));
    QCOMPARE(data.rows[1][fpmxid], QStringLiteral("20"));
    QCOMPARE(data.rows[2][fpmxid], QStringLiteral("30"));
    QCOMPARE(data.rows[0][xm], QStringLiteral("甲"));
    QCOMPARE(data.rows[2][xm], QStringLiteral("丙"));
    // NULL columns read as empty text.
    QCOMPARE(data.rows[0][kjll], QString());
    QCOMPARE(data.rows[0][0], id);
    QCOMPARE(data.rows[0][expected.indexOf(QStringLiteral("kpdate"))], QStringLiteral("20261206"));
}

void TestReceiptPreview::replacedTemplateChangesTheNextPreview() {
    const QString id = storeReceipt(QStringLiteral("付款单位乙"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("5.00")}});
    preview(id, QString());
    QByteArray changed = shippedTemplate();
    QVERIFY(changed.contains("\"text\": \"[fkfmc]\""));
    changed.replace("\"text\": \"[fkfmc]\"", "\"text\": \"付款方：[fkfmc]\"");
    writeTemplate(changed);
    preview(id, QString());
    QCOMPARE(shown_.size(), 2);
    QVERIFY(allTexts(shown_[0].prepared).contains(QStringLiteral("付款单位乙")));
    QVERIFY(!allTexts(shown_[0].prepared).contains(QStringLiteral("付款方：付款单位乙")));
    QVERIFY(allTexts(shown_[1].prepared).contains(QStringLiteral("付款方：付款单位乙")));
}

void TestReceiptPreview::storedValuesShownButRemarksFromTheForm() {
    // The form is edited after the save: the payer changed there does not reach the preview
    // (only the id and the remarks are handed over), the remarks typed since do.
    const QString id =
        storeReceipt(QStringLiteral("保存时的付款人"), QStringLiteral("保存时的备注"),
                     {{QStringLiteral("项目"), QStringLiteral("8.00")}});
    preview(id, QStringLiteral("现在的备注"));
    QCOMPARE(shown_.size(), 1);
    const QStringList texts = allTexts(shown_.first().prepared);
    QVERIFY(texts.contains(QStringLiteral("保存时的付款人")));
    QVERIFY(texts.contains(QStringLiteral("现在的备注")));
    QVERIFY(!texts.contains(QStringLiteral("保存时的备注")));
}

void TestReceiptPreview::remarksComeThroughExactly_data() {
    QTest::addColumn<QString>("remarks");
    QTest::newRow("single quote") << QStringLiteral("it's 王's");
    QTest::newRow("lone quote") << QStringLiteral("'");
    QTest::newRow("double quotes") << QStringLiteral("\"加急\" 件");
    QTest::newRow("line breaks") << QStringLiteral("第一行\n第二行\r\n第三行");
    QTest::newRow("quoted with break") << QStringLiteral("'a'\n'b'");
    QTest::newRow("reference-like") << QStringLiteral("[fkfmc] [V0]");
    QTest::newRow("expression-like") << QStringLiteral("1+2");
}

void TestReceiptPreview::remarksComeThroughExactly() {
    QFETCH(QString, remarks);
    const QString id = storeReceipt(QStringLiteral("付款人丙"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    preview(id, remarks);
    QCOMPARE(shown_.size(), 1);
    const QStringList texts = allTexts(shown_.first().prepared);
    QVERIFY2(texts.contains(remarks), qPrintable(texts.join(QStringLiteral(" | "))));
    QVERIFY(!texts.contains(u'\'' + remarks + u'\''));
}

void TestReceiptPreview::receiptWithoutLinesStillOpens() {
    const QString id = storeReceipt(QStringLiteral("没有明细的付款人"), QString(), {});
    MessageRecorder recorder;
    preview(id, QStringLiteral("只有备注"));
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(shown_.size(), 1);
    const zelk::report::PreparedReport& shown = shown_.first().prepared;
    QCOMPARE(shown.pages.size(), 1);
    // No rows: the header has no values either (the lines and header come as one join).
    const QStringList texts = allTexts(shown);
    QVERIFY(!texts.contains(QStringLiteral("没有明细的付款人")));
    QVERIFY(texts.contains(QStringLiteral("只有备注")));
    QCOMPARE(zelk::receipt::loadReceiptDataSet(dm_->Database3_ado, id).rows.size(), 0);
}

void TestReceiptPreview::missingTemplateThrows() {
    const QString id = storeReceipt(QStringLiteral("付款人"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    QVERIFY(QFile::remove(templatePath()));
    MessageRecorder recorder;
    QVERIFY_THROWS_EXCEPTION(zelk::report::ReportError, preview(id, QString()));
    try {
        preview(id, QString());
    } catch (const zelk::report::ReportError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("fp3.frf")), qPrintable(error.message()));
    }
    QCOMPARE(shown_.size(), 0);
    QVERIFY(recorder.texts().isEmpty());
}

void TestReceiptPreview::malformedTemplateThrows_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not json") << QByteArray("{ \"format\": ");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("unknown field") << QByteArray(
        R"({"format":"zelk-report-template","version":1,"paper":{"width":100,"height":50},"colour":1})");
    QTest::newRow("unknown name") << QByteArray(
        R"({"format":"zelk-report-template","version":1,"paper":{"width":100,"height":50},)"
        R"("items":[{"type":"text","x":1,"y":1,"width":20,"height":5,"text":"[fkfmcc]"}]})");
}

void TestReceiptPreview::malformedTemplateThrows() {
    QFETCH(QByteArray, content);
    const QString id = storeReceipt(QStringLiteral("付款人"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    writeTemplate(content);
    QVERIFY_THROWS_EXCEPTION(zelk::report::ReportError, preview(id, QString()));
    QCOMPARE(shown_.size(), 0);
}

void TestReceiptPreview::idThatIsNotANumberThrows_data() {
    QTest::addColumn<QString>("id");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("blank") << QStringLiteral(" ");
    QTest::newRow("injection") << QStringLiteral("1 or 1=1");
    QTest::newRow("two statements") << QStringLiteral("1;delete from fpmain");
    QTest::newRow("fraction") << QStringLiteral("1.5");
    QTest::newRow("trailing letters") << QStringLiteral("12abc");
}

void TestReceiptPreview::idThatIsNotANumberThrows() {
    QFETCH(QString, id);
    storeReceipt(QStringLiteral("付款人"), QString(),
                 {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    MessageRecorder recorder;
    try {
        preview(id, QString());
        QFAIL("no error");
    } catch (const zelk::data::DatabaseError& error) {
        QVERIFY2(error.message().contains(id), qPrintable(error.message()));
    }
    QCOMPARE(shown_.size(), 0);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(db_->scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("1"));
}

void TestReceiptPreview::helpButtonCallsTheOpener() {
    const QString id = storeReceipt(QStringLiteral("付款人"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("1.00")}});
    int helpCalls = 0;
    preview(id, QString(), [&helpCalls] { ++helpCalls; });
    QCOMPARE(shown_.size(), 1);
    QVERIFY(shown_.first().onHelp);
    QCOMPARE(helpCalls, 0);
    shown_.first().onHelp();
    QCOMPARE(helpCalls, 1);
}

void TestReceiptPreview::realWindowShowsThePreparedReport() {
    const QString id = storeReceipt(QStringLiteral("窗口里的付款人"), QString(),
                                    {{QStringLiteral("项目"), QStringLiteral("3.00")}});
    const zelk::report::PreparedReport expected = zelk::receipt::prepareReceiptReport(
        dm_->Database3_ado, id, QStringLiteral("窗口备注"), templatePath());
    zelk::receipt::setReportShower({});
    QWidget owner;
    bool seen = false;
    QWidget* parent = nullptr;
    zelk::report::PreparedReport shown;
    // The window is closed first and looked at afterwards, so a failed check cannot leave it
    // open.
    QTimer::singleShot(0, [&] {
        auto* window =
            qobject_cast<zelk::report::PreviewWindow*>(QApplication::activeModalWidget());
        if (window) {
            seen = true;
            parent = window->parentWidget();
            shown = window->report();
        }
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    zelk::receipt::previewReceipt(&owner, *dm_, id, QStringLiteral("窗口备注"), executablePath(),
                                  {});
    QVERIFY(seen);
    QCOMPARE(parent, &owner);
    QVERIFY(shown == expected);
}

QTEST_MAIN(TestReceiptPreview)
#include "test_receiptpreview.moc"
