// Hostile input: quotes, backslashes, LIKE wildcards, SQL fragments, control characters, NUL,
// characters beyond the BMP, right-to-left text and 1 MB of text, in every text field of a
// receipt, the search text and the settings. Each must be stored, found, reloaded and laid out
// in the printed report exactly as typed. And the amount rule with long pasted texts and every
// UTF-16 code unit.
#include "robustutil.h"

#include "amount/amounttext.h"
#include "data/databaseerror.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/tdmtd.h"
#include "receipt/historysearch.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"
#include "report/layout.h"
#include "report/template.h"
#include "testsupport.h"
#include "text/blanks.h"

#include <QtTest>

using namespace zelk;

namespace {

QString hostile(const char* name) {
    const QString n = QString::fromLatin1(name);
    if (n == QLatin1String("quotes"))
        return QStringLiteral("O'Brien \"双引号\" '' \"\" `反引号`");
    if (n == QLatin1String("backslashes"))
        return QStringLiteral("C:\\票据\\\\ \\' \\% \\_ \\");
    if (n == QLatin1String("wildcards"))
        return QStringLiteral("100%_off %% __ [a-z]* ?");
    if (n == QLatin1String("sql"))
        return QStringLiteral(
            "'; DROP TABLE fpmain; -- \" OR 1=1 -- ) union select * from SysSet;");
    if (n == QLatin1String("control characters"))
        return QStringLiteral("行1\r\n行2\t\x01\x1b\x7f\u0085\u2028结束");
    if (n == QLatin1String("NUL"))
        return QStringLiteral("前") + QChar(0) + QStringLiteral("后");
    if (n == QLatin1String("beyond the BMP"))
        return QStringLiteral("😀𠀀𝄞 🇨🇳 👨‍👩‍👧 𪚥");
    if (n == QLatin1String("right to left"))
        return QStringLiteral("مرحبا שלום \u202Ereversed\u202C \u200F!");
    if (n == QLatin1String("blanks around"))
        return QStringLiteral(" \t 两端空白 \n ");
    if (n == QLatin1String("1 MB"))
        return QStringLiteral("收款😀'%_\\").repeated(1024 * 1024 / 9) + QStringLiteral("末尾");
    qFatal("unknown hostile text");
}

const char* const hostileNames[] = {
    "quotes", "backslashes",    "wildcards",     "sql",           "control characters",
    "NUL",    "beyond the BMP", "right to left", "blanks around", "1 MB"};

// Every text field of the receipt holds the hostile text, each with its own tag in front so a
// value that lands in the wrong column shows.
receipt::ReceiptEntry hostileReceipt(const QString& h) {
    receipt::ReceiptEntry e = robust::sampleReceipt(QStringLiteral("付款方") + h, 5);
    e.invoiceNumber = QStringLiteral("号") + h;
    e.category = QStringLiteral("类") + h;
    e.machineNumber = QStringLiteral("机") + h;
    e.periodStart = QStringLiteral("起") + h;
    e.periodEnd = QStringLiteral("止") + h;
    e.checkCode = QStringLiteral("码") + h;
    e.payeeName = QStringLiteral("收") + h;
    e.issuer = QStringLiteral("人") + h;
    e.noticeLine = QStringLiteral("注") + h;
    e.remarks = QStringLiteral("备") + h;
    for (size_t k = 0; k < e.lines.size(); ++k) {
        receipt::EntryLine& l = e.lines[k];
        l.item = QStringLiteral("项%1").arg(k) + h;
        l.content = QStringLiteral("容%1").arg(k) + h;
        l.unit = QStringLiteral("位%1").arg(k) + h;
        l.quantity = QStringLiteral("量%1").arg(k) + h;
        l.unitPrice = QStringLiteral("价%1").arg(k) + h;
    }
    return e;
}

QList<qint64> search(data::Tdmtd& dm, const QString& text) {
    data::Query query(dm.Database3_ado);
    receipt::prepareHistorySearch(query, {text, {}, {}}, nullptr, 1000);
    query.open();
    QList<qint64> ids;
    for (; !query.eof(); query.next())
        ids.append(query.fieldAsInteger(QStringLiteral("kpid")));
    return ids;
}

// The dataset the receipt preview hands to the template: header values on every line row.
zelk::report::DataSet previewData(const receipt::ReceiptEntry& e) {
    zelk::report::DataSet data;
    data.columns =
        QStringList{QStringLiteral("fphm"), QStringLiteral("kpdate2"), QStringLiteral("hyfl"),
                    QStringLiteral("jdhm"), QStringLiteral("qssj"),    QStringLiteral("jcsj"),
                    QStringLiteral("jym"),  QStringLiteral("fkfmc"),   QStringLiteral("jexx"),
                    QStringLiteral("jedx"), QStringLiteral("skfmc"),   QStringLiteral("kpr"),
                    QStringLiteral("bz1"),  QStringLiteral("xm"),      QStringLiteral("kjll"),
                    QStringLiteral("dw"),   QStringLiteral("sl"),      QStringLiteral("dj"),
                    QStringLiteral("je")};
    for (const receipt::EntryLine& l : e.lines)
        data.rows.append(QStringList{e.invoiceNumber, receipt::displayedDate(e.issueDate),
                                     e.category, e.machineNumber, e.periodStart, e.periodEnd,
                                     e.checkCode, e.payerName, e.totalFigures, e.totalCapitals,
                                     e.payeeName, e.issuer, e.noticeLine, l.item, l.content, l.unit,
                                     l.quantity, l.unitPrice, l.amount});
    return data;
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

private slots:
    void storedFoundReloadedAndPrinted_data();
    void storedFoundReloadedAndPrinted();
    void settingsKeepHostileValues_data();
    void settingsKeepHostileValues();
    void amountRuleCutsAtEveryForeignCodeUnit();
    void amountRuleWithLongPastedTexts_data();
    void amountRuleWithLongPastedTexts();
};

void TestHostile::storedFoundReloadedAndPrinted_data() {
    QTest::addColumn<QString>("text");
    for (const char* name : hostileNames)
        QTest::newRow(name) << hostile(name);
}

void TestHostile::storedFoundReloadedAndPrinted() {
    QFETCH(QString, text);
    test::TempDatabase db;
    data::Tdmtd dm;
    dm.Database3_ado.setConnectionString(db.connectionString());
    dm.Database3_ado.open();
    receipt::ReceiptSaver saver(dm);
    // A plain receipt that no hostile search text may find.
    const qint64 decoy = saver.save(robust::sampleReceipt(QStringLiteral("普通"))).toLongLong();
    const receipt::ReceiptEntry entry = hostileReceipt(text);
    const qint64 id = saver.save(entry).toLongLong();

    // Stored exactly, as another connection reads it.
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc from fpmain where kpid=%1").arg(id)),
             entry.payerName);
    QCOMPARE(db.scalar(QStringLiteral("select bz2 from fpmain where kpid=%1").arg(id)),
             entry.remarks);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("2"));

    // Reloaded exactly.
    const receipt::ReceiptEntry back = receipt::loadReceipt(dm.Database3_ado, id);
    QCOMPARE(back.invoiceNumber, entry.invoiceNumber);
    QCOMPARE(back.category, entry.category);
    QCOMPARE(back.machineNumber, entry.machineNumber);
    QCOMPARE(back.periodStart, entry.periodStart);
    QCOMPARE(back.periodEnd, entry.periodEnd);
    QCOMPARE(back.checkCode, entry.checkCode);
    QCOMPARE(back.payerName, entry.payerName);
    QCOMPARE(back.payeeName, entry.payeeName);
    QCOMPARE(back.issuer, entry.issuer);
    QCOMPARE(back.noticeLine, entry.noticeLine);
    QCOMPARE(back.remarks, entry.remarks);
    QCOMPARE(back.lines, entry.lines);
    QCOMPARE(back.totalFigures, entry.totalFigures);

    // Found by the search, literally: the whole text, and its last few characters.
    const qsizetype searchable = std::min<qsizetype>(text.size(), 1000);
    for (const QString& wanted : {text.left(searchable), text.right(3)}) {
        if (zelk::text::trimBlanks(wanted).isEmpty())
            continue;
        QCOMPARE(search(dm, wanted), QList<qint64>{id});
    }
    // The text behind a NUL character must be found too. SQLite's LIKE reads both the stored
    // value and the pattern only up to their first NUL, so today it is not.
    if (text.contains(QChar(0))) {
        QEXPECT_FAIL("NUL", "LIKE stops at the first NUL; the text behind it cannot be found",
                     Continue);
        QCOMPARE(search(dm, text.mid(text.indexOf(QChar(0)) + 1)), QList<qint64>{id});
    }
    Q_UNUSED(decoy);

    // Printed exactly: every value stands whole in the laid-out pages.
    const zelk::report::Template tpl = zelk::report::loadTemplate(
        QStringLiteral(ZELK_TEST_SOURCE_DIR) + QStringLiteral("/resources/report/fp3.frf"));
    const zelk::report::PreparedReport pages =
        zelk::report::layoutReport(tpl, previewData(back), {{QStringLiteral("V0"), back.remarks}});
    QStringList printed;
    for (const zelk::report::Page& page : pages.pages)
        for (const zelk::report::PlacedText& t : page.texts)
            printed.append(t.text);
    for (const QString& value : {back.payerName, back.remarks, back.invoiceNumber, back.issuer,
                                 back.noticeLine, back.lines[4].content, back.lines[0].item})
        QVERIFY2(printed.contains(value), qPrintable(value.left(40)));
}

void TestHostile::settingsKeepHostileValues_data() {
    storedFoundReloadedAndPrinted_data();
}

void TestHostile::settingsKeepHostileValues() {
    QFETCH(QString, text);
    test::TempDatabase db;
    data::Tdmtd dm;
    dm.Database3_ado.setConnectionString(db.connectionString());
    dm.Database3_ado.open();
    for (int setId : {data::schema::payeeSetting, data::schema::noticeSetting}) {
        dm.setSettingValue(setId, text);
        // Stored exactly as given; read back trimmed of blanks at both ends, as every value the
        // program reads back.
        QCOMPARE(db.scalar(QStringLiteral("select SetValue from SysSet where SetId=%1").arg(setId)),
                 text);
        QCOMPARE(dm.settingValue(setId), zelk::text::trimBlanks(text));
    }
    // The other settings are untouched.
    QCOMPARE(dm.settingValue(data::schema::issuerSetting),
             data::schema::defaultSetting(data::schema::issuerSetting));
}

void TestHostile::amountRuleCutsAtEveryForeignCodeUnit() {
    // After "12.5" every UTF-16 code unit is either part of a number (digits, e), a blank (kept
    // by the trimming, what follows it is cut), or cut away with all that follows.
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        const QChar c{char16_t(u)};
        const QString typed = QStringLiteral("12.5") + c + QStringLiteral("7");
        QString expected;
        if ((u >= '0' && u <= '9') || u == 'e' || u == 'E')
            expected = typed;
        else if (u <= 0x20)
            expected = QStringLiteral("12.5") + c;
        else
            expected = QStringLiteral("12.5");
        if (amount::acceptedAmountText(typed) != expected)
            QFAIL(qPrintable(QStringLiteral("U+%1: %2 accepted, %3 expected")
                                 .arg(quint32(u), 4, 16, QLatin1Char('0'))
                                 .arg(amount::acceptedAmountText(typed), expected)));
    }
}

void TestHostile::amountRuleWithLongPastedTexts_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("accepted");
    QTest::addColumn<QString>("sum");
    const QString ones = QStringLiteral("1").repeated(1000000);
    QTest::newRow("a million digits: as many as a double holds")
        << ones << ones.left(309) << ones.left(309) + QStringLiteral(".00");
    QTest::newRow("a million fraction digits")
        << QStringLiteral("0.") + QStringLiteral("5").repeated(1000000)
        << QStringLiteral("0.") + QStringLiteral("5").repeated(1000000) << QStringLiteral("0.56");
    QTest::newRow("a million blanks, then a number")
        << QStringLiteral(" ").repeated(1000000) + QStringLiteral("3.50")
        << QStringLiteral(" ").repeated(1000000) + QStringLiteral("3.50") << QStringLiteral("3.50");
    QTest::newRow("a number, then a pasted page of text")
        << QStringLiteral("42.10元整，").repeated(100000) << QStringLiteral("42.10")
        << QStringLiteral("42.10");
    // 1e99 still fits a double, 1e999 does not.
    QTest::newRow("a huge exponent")
        << QStringLiteral("1e") + QStringLiteral("9").repeated(100000) << QStringLiteral("1e99")
        << QStringLiteral("1") + QStringLiteral("0").repeated(99) + QStringLiteral(".00");
}

void TestHostile::amountRuleWithLongPastedTexts() {
    QFETCH(QString, pasted);
    QFETCH(QString, accepted);
    QFETCH(QString, sum);
    const QString got = amount::acceptedAmountText(pasted);
    QCOMPARE(got.size(), accepted.size());
    QCOMPARE(got, accepted);
    QCOMPARE(amount::sumAmounts({got}), sum);
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
