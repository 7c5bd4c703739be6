#include "amount/amounttext.h"
#include "amount/decimal.h"

#include <QtTest>

using namespace zelk::amount;

class TestAmountText : public QObject {
    Q_OBJECT

private slots:
    void refusal_data();
    void refusal();
    void exactSums_data();
    void exactSums();
    void cutsAtEveryForeignCodeUnit();
    void longPastes_data();
    void longPastes();
};

void TestAmountText::refusal_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const char* table[][2] = {
        {"12a", "12"},   {"3x5", "3"}, {"-", "-"},        {"-a", "-"},      {"1.2.3", "1.2"},
        {"1e5", "1e5"},  {"1e", "1"},  {"1e400", "1e40"}, {" 12 ", " 12 "}, {"   ", "   "},
        {"12 3", "12 "}, {"05", "05"}, {"0abc", "0"},     {"12元", "12"},   {"1２", "1"},
        {"5😀", "5"},     {"+5", "+5"}, {"+", ""},         {".5", ".5"},     {".", ""},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
    QTest::newRow("310 digits") << QString(310, u'9') << QString(308, u'9');
}

void TestAmountText::refusal() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(acceptedAmountText(typed), kept);
    QVERIFY(isAcceptedAmount(kept));
}

void TestAmountText::exactSums_data() {
    QTest::addColumn<QString>("amounts"); // the cells, separated by '|'
    QTest::addColumn<QString>("sum");
    const char* table[][2] = {
        {"0.1|0.2", "0.30"},
        {"1.005", "1.01"},
        {"-1.005", "-1.01"},
        {"1.015|", "1.02"},
        {"0.285", "0.29"},
        {"2.675", "2.68"},
        {"0.1|0.1|0.1|0.1|0.1", "0.50"},
        {"9999999999999.99|0.01", "10000000000000.00"},
        {"10||2.5||", "12.50"},
        {"||||", "0.00"},
        {"-|  |3", "3.00"},
        {"0|05", "5.00"},
        {"1.5e2|2E-2", "150.02"},
        {"0.004|-0.004", "0.00"},
        {"-0.001", "0.00"},
        {"10|-12.345", "-2.35"},
        {"0.0049999999999999999999", "0.00"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestAmountText::exactSums() {
    QFETCH(QString, amounts);
    QFETCH(QString, sum);
    QCOMPARE(sumAmounts(amounts.split(u'|')), sum);
}

void TestAmountText::cutsAtEveryForeignCodeUnit() {
    // After "12.5" every UTF-16 code unit is part of a number (digits, e), a blank (kept, what
    // follows it is cut), or cut away with all that follows.
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        const QString typed = QStringLiteral("12.5") + QChar(char16_t(u)) + u'7';
        const bool number = (u >= '0' && u <= '9') || u == 'e' || u == 'E';
        const QString expected = number ? typed : typed.left(u <= 0x20 ? 5 : 4);
        if (acceptedAmountText(typed) != expected)
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(quint32(u), 4, 16, QLatin1Char('0'))));
    }
}

void TestAmountText::longPastes_data() {
    // Pasted megabytes are refused down to what fits a double; the scan is linear, so these
    // finish at once (a quadratic one would not finish within the test timeout).
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("accepted");
    QTest::addColumn<QString>("sum");
    const QString ones = QStringLiteral("1").repeated(1000000);
    QTest::newRow("a million digits")
        << ones << ones.left(309) << ones.left(309) + QStringLiteral(".00");
    const QString fraction = QStringLiteral("0.") + QStringLiteral("5").repeated(1000000);
    QTest::newRow("a million fraction digits") << fraction << fraction << QStringLiteral("0.56");
    const QString tiny = QStringLiteral("0.") + QString(1 << 20, u'0') + u'1';
    QTest::newRow("a tiny fraction") << tiny << tiny << QStringLiteral("0.00");
    const QString blanks = QStringLiteral(" ").repeated(1000000) + QStringLiteral("3.50");
    QTest::newRow("a million blanks, then a number") << blanks << blanks << QStringLiteral("3.50");
    QTest::newRow("a number, then a pasted page of text")
        << QStringLiteral("42.10元整，").repeated(100000) << QStringLiteral("42.10")
        << QStringLiteral("42.10");
    QTest::newRow("a huge exponent") // 1e99 still fits a double, 1e999 does not
        << QStringLiteral("1e") + QStringLiteral("9").repeated(100000) << QStringLiteral("1e99")
        << QStringLiteral("1") + QStringLiteral("0").repeated(99) + QStringLiteral(".00");
}

void TestAmountText::longPastes() {
    QFETCH(QString, pasted);
    QFETCH(QString, accepted);
    QFETCH(QString, sum);
    const QString got = acceptedAmountText(pasted);
    QCOMPARE(got.size(), accepted.size());
    QCOMPARE(got, accepted);
    QCOMPARE(sumAmounts({got}), sum);
}

QTEST_GUILESS_MAIN(TestAmountText)
#include "test_amounttext.moc"
