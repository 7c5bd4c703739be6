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

using namespace Qt::StringLiterals;
using zelk::test::MessageRecorder;
using zelk::test::TempDatabase;

namespace {

struct Shown {
    report::PreparedReport prepared;
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
    QString templatePath() const { return m_db->folder() + u"report/fp3.frf"_s; }
    QString executablePath() const { return m_db->folder() + u"zelk"_s; }
    void writeTemplate(const QByteArray& content);
    QByteArray shippedTemplate() const;
    void preview(const QString& id, const QString& remarks, std::function<void()> onHelp = {});

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<zelk::data::Tdmtd> m_dm;
    QList<Shown> m_shown;
};

static QString sourceFile(const QString& relative) {
    return qEnvironmentVariable("ZELK_SOURCE_DIR") + u'/' + relative;
}

static QStringList allTexts(const report::PreparedReport& prepared) {
    QStringList texts;
    for (const report::Page& page : prepared.pages)
        for (const report::PlacedText& t : page.texts)
            texts.append(t.text);
    return texts;
}

void TestReceiptPreview::init() {
    m_db = std::make_unique<TempDatabase>();
    installTemplate();
    m_dm = std::make_unique<zelk::data::Tdmtd>();
    m_dm->Database3_ado.setConnectionString(m_db->connectionString());
    m_dm->Database3_ado.open();
    m_shown.clear();
    zelk::receipt::setReportShower([this](const report::PreparedReport& prepared, QWidget* parent,
                                          const std::function<void()>& onHelp) {
        m_shown.append({prepared, parent, onHelp});
    });
}

void TestReceiptPreview::cleanup() {
    zelk::receipt::setReportShower({});
    m_dm.reset();
    m_db.reset();
}

QString TestReceiptPreview::storeReceipt(const QString& payer, const QString& storedRemarks,
                                         const QList<QPair<QString, QString>>& lines) {
    auto quoted = [](QString s) -> QString { return u'\'' + s.replace(u'\'', u"''"_s) + u'\''; };
    m_db->exec(u"insert into fpmain (fphm, kpdate, kpdate2, hyfl, jdhm, qssj, jcsj, jym, fkfmc,"
               " jexx, jedx, skfmc, kpr, bz1, bz2) values ('00012345', 20261206, '2026-12-06',"
               " '服务业', 'JQ-7', '2026-11', '2026-12', '8842', "_s +
               quoted(payer) +
               u", '1234.56', '壹仟贰佰叁拾肆元伍角陆分', '维尔科商行', '李四', '手写无效', "_s +
               quoted(storedRemarks) + u")"_s);
    const QString id = m_db->scalar(u"select max(kpid) from fpmain"_s);
    for (const auto& [item, amount] : lines)
        m_db->exec(u"insert into fpdetail (kpid, xm, kjll, dw, sl, dj, je) values ("_s + id +
                   u", "_s + quoted(item) + u", '内容', '次', '1', "_s + quoted(amount) + u", "_s +
                   quoted(amount) + u")"_s);
    return id;
}

void TestReceiptPreview::installTemplate() {
    QDir(m_db->folder()).mkpath(u"report"_s);
    for (const QString& name : {u"fp3.frf"_s, u"fp3-blank.png"_s})
        QVERIFY(QFile::copy(sourceFile(u"resources/report/"_s + name),
                            m_db->folder() + u"report/"_s + name));
}

void TestReceiptPreview::writeTemplate(const QByteArray& content) {
    QFile file(templatePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray TestReceiptPreview::shippedTemplate() const {
    QFile file(sourceFile(u"resources/report/fp3.frf"_s));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the shipped template");
    return file.readAll();
}

void TestReceiptPreview::preview(const QString& id, const QString& remarks,
                                 std::function<void()> onHelp) {
    zelk::receipt::previewReceipt(nullptr, *m_dm, id, remarks, executablePath(), std::move(onHelp));
}

void TestReceiptPreview::emptyIdOnlyShowsTheMessage_data() {
    QTest::addColumn<bool>("connectionOpen");
    QTest::newRow("connection open") << true;
    // With the connection closed any query would throw, so this also shows that none runs.
    QTest::newRow("connection closed") << false;
}

void TestReceiptPreview::emptyIdOnlyShowsTheMessage() {
    QFETCH(bool, connectionOpen);
    storeReceipt(u"付款人甲"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    if (!connectionOpen)
        m_dm->Database3_ado.close();
    MessageRecorder recorder;
    preview(QString(), u"备注"_s);
    QCOMPARE(recorder.texts(), QStringList{u"未选中发票！"_s});
    QCOMPARE(recorder.messages().first().kind, zelk::ui::MessageBox::Kind::Information);
    QCOMPARE(m_shown.size(), 0);
}

void TestReceiptPreview::storedReceiptWithThreeLines() {
    storeReceipt(u"别的付款人"_s, QString(), {{u"不该出现"_s, u"9.99"_s}});
    const QString id = storeReceipt(
        u"上海某某贸易有限公司"_s, u"存的备注"_s,
        {{u"第一项"_s, u"100.00"_s}, {u"第二项"_s, u"200.50"_s}, {u"第三项"_s, u"934.06"_s}});
    MessageRecorder recorder;
    preview(id, u"备注"_s);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(m_shown.size(), 1);
    const report::PreparedReport& shown = m_shown.first().prepared;
    QCOMPARE(shown.pages.size(), 1);
    const QStringList texts = allTexts(shown);
    for (const QString& value :
         {u"00012345"_s, u"2026-12-06"_s, u"服务业"_s, u"JQ-7"_s, u"2026-11 至 2026-12"_s,
          u"8842"_s, u"上海某某贸易有限公司"_s, u"壹仟贰佰叁拾肆元伍角陆分"_s, u"￥1234.56"_s,
          u"维尔科商行"_s, u"李四"_s, u"手写无效"_s, u"100.00"_s, u"200.50"_s, u"934.06"_s})
        QVERIFY2(texts.contains(value), qPrintable(value));
    QVERIFY(!texts.contains(u"不该出现"_s));
    QVERIFY(!texts.contains(u"别的付款人"_s));

    // The lines go down the band in the order they were entered.
    QList<double> tops;
    for (const QString& item : {u"第一项"_s, u"第二项"_s, u"第三项"_s}) {
        const auto& pageTexts = shown.pages.first().texts;
        const auto it = std::find_if(pageTexts.begin(), pageTexts.end(),
                                     [&](const report::PlacedText& t) { return t.text == item; });
        QVERIFY2(it != pageTexts.end(), qPrintable(item));
        tops.append(it->rect.top());
    }
    QVERIFY(tops[0] < tops[1]);
    QVERIFY(tops[1] < tops[2]);
}

void TestReceiptPreview::dataSetHasTheHeaderAndLineColumns() {
    // Lines stored out of order (higher ids first) still come back in id order.
    const QString id = storeReceipt(u"付款人"_s, QString(), {});
    m_db->exec(u"insert into fpdetail (fpmxid, kpid, xm, je) values (30, "_s + id +
               u", '丙', '3')"_s);
    m_db->exec(u"insert into fpdetail (fpmxid, kpid, xm, je) values (10, "_s + id +
               u", '甲', '1')"_s);
    m_db->exec(u"insert into fpdetail (fpmxid, kpid, xm, je) values (20, "_s + id +
               u", '乙', '2')"_s);
    const report::DataSet data = zelk::receipt::loadReceiptDataSet(m_dm->Database3_ado, id);
    const QStringList expected{u"kpid"_s, u"fphm"_s,   u"kpdate"_s, u"kpdate2"_s, u"hyfl"_s,
                               u"jdhm"_s, u"qssj"_s,   u"jcsj"_s,   u"jym"_s,     u"fkfmc"_s,
                               u"jexx"_s, u"jedx"_s,   u"skfmc"_s,  u"kpr"_s,     u"bz1"_s,
                               u"bz2"_s,  u"fpmxid"_s, u"xm"_s,     u"kjll"_s,    u"dw"_s,
                               u"sl"_s,   u"dj"_s,     u"je"_s};
    QCOMPARE(data.columns, expected);
    QCOMPARE(data.rows.size(), 3);
    const int fpmxid = int(expected.indexOf(u"fpmxid"_s));
    const int xm = int(expected.indexOf(u"xm"_s));
    const int kjll = int(expected.indexOf(u"kjll"_s));
    QCOMPARE(data.rows[0][fpmxid], u"10"_s);
    QCOMPARE(data.rows[1][fpmxid], u"20"_s);
    QCOMPARE(data.rows[2][fpmxid], u"30"_s);
    QCOMPARE(data.rows[0][xm], u"甲"_s);
    QCOMPARE(data.rows[2][xm], u"丙"_s);
    // NULL columns read as empty text.
    QCOMPARE(data.rows[0][kjll], QString());
    QCOMPARE(data.rows[0][0], id);
    QCOMPARE(data.rows[0][expected.indexOf(u"kpdate"_s)], u"20261206"_s);
}

void TestReceiptPreview::replacedTemplateChangesTheNextPreview() {
    const QString id = storeReceipt(u"付款单位乙"_s, QString(), {{u"项目"_s, u"5.00"_s}});
    preview(id, QString());
    QByteArray changed = shippedTemplate();
    QVERIFY(changed.contains("\"text\": \"[fkfmc]\""));
    changed.replace("\"text\": \"[fkfmc]\"", "\"text\": \"付款方：[fkfmc]\"");
    writeTemplate(changed);
    preview(id, QString());
    QCOMPARE(m_shown.size(), 2);
    QVERIFY(allTexts(m_shown[0].prepared).contains(u"付款单位乙"_s));
    QVERIFY(!allTexts(m_shown[0].prepared).contains(u"付款方：付款单位乙"_s));
    QVERIFY(allTexts(m_shown[1].prepared).contains(u"付款方：付款单位乙"_s));
}

void TestReceiptPreview::storedValuesShownButRemarksFromTheForm() {
    // The form is edited after the save: the payer changed there does not reach the preview
    // (only the id and the remarks are handed over), the remarks typed since do.
    const QString id =
        storeReceipt(u"保存时的付款人"_s, u"保存时的备注"_s, {{u"项目"_s, u"8.00"_s}});
    preview(id, u"现在的备注"_s);
    QCOMPARE(m_shown.size(), 1);
    const QStringList texts = allTexts(m_shown.first().prepared);
    QVERIFY(texts.contains(u"保存时的付款人"_s));
    QVERIFY(texts.contains(u"现在的备注"_s));
    QVERIFY(!texts.contains(u"保存时的备注"_s));
}

void TestReceiptPreview::remarksComeThroughExactly_data() {
    QTest::addColumn<QString>("remarks");
    QTest::newRow("single quote") << u"it's 王's"_s;
    QTest::newRow("lone quote") << u"'"_s;
    QTest::newRow("double quotes") << u"\"加急\" 件"_s;
    QTest::newRow("line breaks") << u"第一行\n第二行\r\n第三行"_s;
    QTest::newRow("quoted with break") << u"'a'\n'b'"_s;
    QTest::newRow("reference-like") << u"[fkfmc] [V0]"_s;
    QTest::newRow("expression-like") << u"1+2"_s;
}

void TestReceiptPreview::remarksComeThroughExactly() {
    QFETCH(QString, remarks);
    const QString id = storeReceipt(u"付款人丙"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    preview(id, remarks);
    QCOMPARE(m_shown.size(), 1);
    const QStringList texts = allTexts(m_shown.first().prepared);
    QVERIFY2(texts.contains(remarks), qPrintable(texts.join(u" | "_s)));
    QVERIFY(!texts.contains(u'\'' + remarks + u'\''));
}

void TestReceiptPreview::receiptWithoutLinesStillOpens() {
    const QString id = storeReceipt(u"没有明细的付款人"_s, QString(), {});
    MessageRecorder recorder;
    preview(id, u"只有备注"_s);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(m_shown.size(), 1);
    const report::PreparedReport& shown = m_shown.first().prepared;
    QCOMPARE(shown.pages.size(), 1);
    // No rows: the header has no values either (the lines and header come as one join).
    const QStringList texts = allTexts(shown);
    QVERIFY(!texts.contains(u"没有明细的付款人"_s));
    QVERIFY(texts.contains(u"只有备注"_s));
    QCOMPARE(zelk::receipt::loadReceiptDataSet(m_dm->Database3_ado, id).rows.size(), 0);
}

void TestReceiptPreview::missingTemplateThrows() {
    const QString id = storeReceipt(u"付款人"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    QVERIFY(QFile::remove(templatePath()));
    MessageRecorder recorder;
    QVERIFY_THROWS_EXCEPTION(report::ReportError, preview(id, QString()));
    try {
        preview(id, QString());
    } catch (const report::ReportError& error) {
        QVERIFY2(error.message().contains(u"fp3.frf"_s), qPrintable(error.message()));
    }
    QCOMPARE(m_shown.size(), 0);
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
    const QString id = storeReceipt(u"付款人"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    writeTemplate(content);
    QVERIFY_THROWS_EXCEPTION(report::ReportError, preview(id, QString()));
    QCOMPARE(m_shown.size(), 0);
}

void TestReceiptPreview::idThatIsNotANumberThrows_data() {
    QTest::addColumn<QString>("id");
    QTest::newRow("letters") << u"abc"_s;
    QTest::newRow("blank") << u" "_s;
    QTest::newRow("injection") << u"1 or 1=1"_s;
    QTest::newRow("two statements") << u"1;delete from fpmain"_s;
    QTest::newRow("fraction") << u"1.5"_s;
    QTest::newRow("trailing letters") << u"12abc"_s;
}

void TestReceiptPreview::idThatIsNotANumberThrows() {
    QFETCH(QString, id);
    storeReceipt(u"付款人"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    MessageRecorder recorder;
    try {
        preview(id, QString());
        QFAIL("no error");
    } catch (const zelk::data::DatabaseError& error) {
        QVERIFY2(error.message().contains(id), qPrintable(error.message()));
    }
    QCOMPARE(m_shown.size(), 0);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(m_db->scalar(u"select count(*) from fpmain"_s), u"1"_s);
}

void TestReceiptPreview::helpButtonCallsTheOpener() {
    const QString id = storeReceipt(u"付款人"_s, QString(), {{u"项目"_s, u"1.00"_s}});
    int helpCalls = 0;
    preview(id, QString(), [&helpCalls] { ++helpCalls; });
    QCOMPARE(m_shown.size(), 1);
    QVERIFY(m_shown.first().onHelp);
    QCOMPARE(helpCalls, 0);
    m_shown.first().onHelp();
    QCOMPARE(helpCalls, 1);
}

void TestReceiptPreview::realWindowShowsThePreparedReport() {
    const QString id = storeReceipt(u"窗口里的付款人"_s, QString(), {{u"项目"_s, u"3.00"_s}});
    const report::PreparedReport expected =
        zelk::receipt::prepareReceiptReport(m_dm->Database3_ado, id, u"窗口备注"_s, templatePath());
    zelk::receipt::setReportShower({});
    QWidget owner;
    bool seen = false;
    QWidget* parent = nullptr;
    report::PreparedReport shown;
    // The window is closed first and looked at afterwards, so a failed check cannot leave it
    // open.
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<report::PreviewWindow*>(QApplication::activeModalWidget());
        if (window) {
            seen = true;
            parent = window->parentWidget();
            shown = window->report();
        }
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    zelk::receipt::previewReceipt(&owner, *m_dm, id, u"窗口备注"_s, executablePath(), {});
    QVERIFY(seen);
    QCOMPARE(parent, &owner);
    QVERIFY(shown == expected);
}

QTEST_MAIN(TestReceiptPreview)
#include "test_receiptpreview.moc"
