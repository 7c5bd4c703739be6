// The receipt entry page on its own: the amount cells and the totals, new record, showing a
// stored receipt and reading the page back, and its 44 tab stops.
#include "receipt/entrypage.h"

#include "amount/capitals.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using zelk::receipt::EntryLine;
using zelk::receipt::ReceiptEntry;
using zelk::receipt::ReceiptEntryPage;

namespace {

QString figures(const ReceiptEntryPage& page) {
    return page.entry().totalFigures;
}

QString capitals(const ReceiptEntryPage& page) {
    return page.entry().totalCapitals;
}

QLineEdit* field(const QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QLatin1String(name));
}

} // namespace

class TestEntryPage : public QObject {
    Q_OBJECT

private slots:
    void amountSequences_data();
    void amountSequences();
    void tooLargeAmountIsReportedEachTime();
    void tabOrderHas44Stops();
};

void TestEntryPage::amountSequences_data() {
    // Steps, separated by blanks: a row (0-4), what is done there and a text. '+' types the
    // text key by key, '<' pastes it, '=' sets it, '-' selects all and presses Delete, 'q'
    // sets the row's quantity and unit price (never summed).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("capitals");
    const char* table[][5] = {
        {"letter refused", "0+12a", "12||||", "12.00", "壹拾贰元整"},
        {"lone minus stays", "0+-", "-||||", "0.00", ""},
        {"half, key by key", "0+0.5", "0.5||||", "0.50", "伍角整"},
        {"second point refused", "0+1.2.3", "1.23||||", "1.23", "壹元贰角叁分"},
        {"third decimal refused", "0+12.345 1<0.019", "12.34|0.01|||", "12.35", "壹拾贰元叁角伍分"},
        {"negative", "0+-3", "-3||||", "-3.00", "负数叁元整"},
        {"leading zero", "0+05", "05||||", "5.00", "伍元整"},
        {"pasted 3x5", "1<3x5", "|3|||", "3.00", "叁元整"},
        {"rows summed", "0+10 2+2.5", "10||2.5||", "12.50", "壹拾贰元伍角整"},
        {"emptied cell dropped", "0=10 1=5 1-", "10||||", "10.00", "壹拾元整"},
        {"quantity and price", "0q3", "||||", "", ""},
        {"quantity, price, amount", "0q3 4=1", "||||1", "1.00", "壹元整"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2])
                              << QString::fromUtf8(row[3]) << QString::fromUtf8(row[4]);
}

void TestEntryPage::amountSequences() {
    QFETCH(QString, steps);
    QFETCH(QString, cells);
    QFETCH(QString, figures);
    QFETCH(QString, capitals);
    zelk::test::MessageRecorder messages;
    ReceiptEntryPage page;
    for (const QString& step : steps.split(u' ')) {
        QLineEdit* cell = page.amountCell(step.at(0).digitValue());
        const QString text = step.mid(2);
        cell->setFocus();
        switch (step.at(1).unicode()) {
        case '+':
            QTest::keyClicks(cell, text);
            QCOMPARE(cell->cursorPosition(), cell->text().size());
            break;
        case '<':
            cell->insert(text);
            QCOMPARE(cell->cursorPosition(), cell->text().size());
            break;
        case '=':
            cell->setText(text);
            break;
        case '-':
            cell->selectAll();
            QTest::keyClick(cell, Qt::Key_Delete);
            break;
        default:
            field(page, "quantity1")->setText(text);
            page.findChild<QComboBox*>(QStringLiteral("unitPrice1"))->setEditText(text);
        }
    }
    QStringList shown;
    for (int row = 0; row < 5; ++row)
        shown.append(page.amountCell(row)->text());
    QCOMPARE(shown.join(u'|'), cells);
    QCOMPARE(::figures(page), figures);
    QCOMPARE(::capitals(page), capitals);
    QCOMPARE(messages.texts(), QStringList());
}

void TestEntryPage::tooLargeAmountIsReportedEachTime() {
    zelk::test::MessageRecorder messages;
    ReceiptEntryPage page;
    const QString tooLarge =
        zelk::amount::problemMessage(zelk::amount::CapitalsProblem::TooManyIntegerDigits);
    page.amountCell(0)->setFocus();
    QTest::keyClicks(page.amountCell(0), QStringLiteral("9999999999999")); // thirteen fit
    QCOMPARE(messages.texts(), QStringList());
    QTest::keyClick(page.amountCell(0), Qt::Key_9);
    QCOMPARE(messages.texts(), QStringList{tooLarge});
    QCOMPARE(messages.messages().first().kind, zelk::ui::MessageBox::Kind::Information);
    QTest::keyClick(page.amountCell(0), Qt::Key_9);
    QCOMPARE(messages.texts(), (QStringList{tooLarge, tooLarge}));
    QCOMPARE(capitals(page), QString());
}

void TestEntryPage::tabOrderHas44Stops() {
    ReceiptEntryPage page;
    const QList<QWidget*> order = page.tabOrder();
    QStringList names;
    for (const QWidget* w : order)
        names << w->objectName();
    QStringList expected = {"invoiceNumber", "issueDate", "category",  "machineNumber",
                            "periodStart",   "periodEnd", "checkCode", "payerName"};
    for (const char* row : {"1", "2", "3", "4", "5"}) {
        for (const char* cell : {"item", "content", "unit", "quantity", "unitPrice", "amount"})
            expected << QLatin1String(cell) + QLatin1String(row);
        if (expected.size() == 14)
            expected << QStringLiteral("remarks");
    }
    expected << "payeeName"
             << "issuer"
             << "noticeLine"
             << "saveButton"
             << "previewButton";
    QCOMPARE(names, expected);
    QCOMPARE(QSet<QWidget*>(order.begin(), order.end()).size(), 44);
}

QTEST_MAIN(TestEntryPage)
#include "test_entrypage.moc"
