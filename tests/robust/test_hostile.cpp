// Hostile input (see test::hostileTexts) in every text field of a receipt and in the search
// text: each must be stored, found, reloaded and laid out for printing exactly as typed. How
// the settings keep such texts is tested with the data module, the amount rule with long
// pastes with the amount texts.
#include "data/query.h"
#include "data/tdmtd.h"
#include "receipt/historysearch.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptpreview.h"
#include "receipt/receiptsaver.h"
#include "report/layout.h"
#include "samples.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QtTest>

using namespace zelk;

namespace {

// Every text field of the receipt holds the hostile text, each with its own tag in front so a
// value that lands in the wrong column shows.
receipt::ReceiptEntry hostileReceipt(const QString& h) {
    receipt::ReceiptEntry e = test::sampleReceipt(QStringLiteral("付款方") + h, 5);
    for (auto [field, tag] : {std::pair{&e.invoiceNumber, "号"},
                              {&e.category, "类"},
                              {&e.machineNumber, "机"},
                              {&e.periodStart, "起"},
                              {&e.periodEnd, "止"},
                              {&e.checkCode, "码"},
                              {&e.payeeName, "收"},
                              {&e.issuer, "人"},
                              {&e.noticeLine, "注"},
                              {&e.remarks, "备"}})
        *field = QString::fromUtf8(tag) + h;
    for (size_t k = 0; k < e.lines.size(); ++k) {
        receipt::EntryLine& l = e.lines[k];
        const QString n = QString::number(k);
        l = {QString::fromUtf8("项") + n + h, QString::fromUtf8("容") + n + h,
             QString::fromUtf8("位") + n + h, QString::fromUtf8("量") + n + h,
             QString::fromUtf8("价") + n + h, l.amount};
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

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

private slots:
    void storedFoundReloadedAndPrinted_data();
    void storedFoundReloadedAndPrinted();
};

void TestHostile::storedFoundReloadedAndPrinted_data() {
    QTest::addColumn<QString>("text");
    for (const auto& [name, text] : test::hostileTexts())
        QTest::newRow(name) << text;
}

void TestHostile::storedFoundReloadedAndPrinted() {
    QFETCH(QString, text);
    test::OpenDatabase db;
    receipt::ReceiptSaver saver(db.store());
    saver.save(test::sampleReceipt(QStringLiteral("普通"))); // no hostile search may find it
    receipt::ReceiptEntry entry = hostileReceipt(text);
    const qint64 id = saver.save(entry).toLongLong();

    // Stored exactly, as another connection reads it.
    QCOMPARE(db.scalar(QStringLiteral("select fkfmc from fpmain where kpid=%1").arg(id)),
             entry.payerName);
    QCOMPARE(db.scalar(QStringLiteral("select bz2 from fpmain where kpid=%1").arg(id)),
             entry.remarks);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from fpmain")), QStringLiteral("2"));

    // Reloaded exactly.
    entry.receiptId = QString::number(id);
    const receipt::ReceiptEntry back = receipt::loadReceipt(db.store(), id);
    QCOMPARE(back, entry);

    // Found by the search, literally: the whole text, and its last few characters.
    for (const QString& wanted : {text.left(1000), text.right(3)})
        if (!zelk::text::trimBlanks(wanted).isEmpty())
            QCOMPARE(search(db.dm, wanted), QList<qint64>{id});
    // The text behind a NUL character must be found too. SQLite's LIKE reads both the stored
    // value and the pattern only up to their first NUL, so today it is not.
    if (text.contains(QChar(0))) {
        QEXPECT_FAIL("NUL", "LIKE stops at the first NUL; the text behind it cannot be found",
                     Continue);
        QCOMPARE(search(db.dm, text.mid(text.indexOf(QChar(0)) + 1)), QList<qint64>{id});
    }

    // Printed exactly: every value stands whole in the pages the preview lays out.
    store::FileStore file(db.dm.Database3_ado);
    const report::PreparedReport pages =
        receipt::prepareReceiptReport(file, entry.receiptId, back.remarks,
                                      test::sourceFile(QStringLiteral("resources/report/fp3.frf")));
    QStringList printed;
    for (const report::Page& page : pages.pages)
        for (const report::PlacedText& t : page.texts)
            printed.append(t.text);
    for (const QString& value : {back.payerName, back.remarks, back.invoiceNumber, back.issuer,
                                 back.noticeLine, back.lines[4].content, back.lines[0].item})
        QVERIFY2(printed.contains(value), qPrintable(value.left(40)));
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
