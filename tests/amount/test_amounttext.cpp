#include "amount/amounttext.h"
#include "amount/decimal.h"

#include <QtTest>

using namespace zelk::amount;

class TestAmountText : public QObject {
    Q_OBJECT

private slots:
    void refusal_data();
    void refusal();
    void numberText_data();
    void numberText();
    void exactSums_data();
    void exactSums();
    void longPastesStayFast();
};

void TestAmountText::refusal_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("letter after digits") << "12a"
                                         << "12";
    QTest::newRow("pasted 3x5") << "3x5"
                                << "3";
    QTest::newRow("lone minus stays") << "-"
                                      << "-";
    QTest::newRow("minus then letter") << "-a"
                                       << "-";
    QTest::newRow("second point") << "1.2.3"
                                  << "1.2";
    QTest::newRow("exponent") << "1e5"
                              << "1e5";
    QTest::newRow("dangling exponent") << "1e"
                                       << "1";
    QTest::newRow("overflowing exponent") << "1e400"
                                          << "1e40";
    QTest::newRow("blanks kept") << " 12 "
                                 << " 12 ";
    QTest::newRow("only blanks") << "   "
                                 << "   ";
    QTest::newRow("blank inside") << "12 3"
                                  << "12 ";
    QTest::newRow("leading zero") << "05"
                                  << "05";
    QTest::newRow("zero then letters") << "0abc"
                                       << "0";
    QTest::newRow("chinese") << "12元"
                             << "12";
    QTest::newRow("full-width digit") << "1２"
                                      << "1";
    QTest::newRow("emoji") << QString::fromUtf8("5\xF0\x9F\x98\x80") << "5";
    QTest::newRow("plus sign") << "+5"
                               << "+5";
    QTest::newRow("lone plus refused") << "+"
                                       << "";
    QTest::newRow("point first") << ".5"
                                 << ".5";
    QTest::newRow("lone point refused") << "."
                                        << "";
    QTest::newRow("310 digits") << QString(310, u'9') << QString(308, u'9');
}

void TestAmountText::refusal() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(acceptedAmountText(typed), kept);
    QVERIFY(isAcceptedAmount(kept));
}

void TestAmountText::numberText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::newRow("integer") << "12" << true;
    QTest::newRow("decimal") << "12.50" << true;
    QTest::newRow("trailing point") << "12." << true;
    QTest::newRow("minus") << "-" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "  " << false;
    QTest::newRow("exponent") << "-1.5E-3" << true;
    QTest::newRow("hex") << "0x10" << false;
    QTest::newRow("inf") << "inf" << false;
    QTest::newRow("nan") << "nan" << false;
}

void TestAmountText::numberText() {
    QFETCH(QString, text);
    QFETCH(bool, number);
    QCOMPARE(isNumberText(text), number);
}

void TestAmountText::exactSums_data() {
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QString>("sum");
    QTest::newRow("0.1 + 0.2") << QStringList{"0.1", "0.2"} << "0.30";
    QTest::newRow("1.005 rounds up") << QStringList{"1.005"} << "1.01";
    QTest::newRow("-1.005 rounds away") << QStringList{"-1.005"} << "-1.01";
    QTest::newRow("1.015 + 0") << QStringList{"1.015", ""} << "1.02";
    QTest::newRow("0.285 * 1") << QStringList{"0.285"} << "0.29";
    QTest::newRow("binary drift") << QStringList{"0.1", "0.1", "0.1", "0.1", "0.1"} << "0.50";
    QTest::newRow("big plus cents")
        << QStringList{"9999999999999.99", "0.01"} << "10000000000000.00";
    QTest::newRow("2.675") << QStringList{"2.675"} << "2.68";
    QTest::newRow("10 and 2.5") << QStringList{"10", "", "2.5", "", ""} << "12.50";
    QTest::newRow("all empty") << QStringList{"", "", "", "", ""} << "0.00";
    QTest::newRow("lone minus and blanks") << QStringList{"-", "  ", "3"} << "3.00";
    QTest::newRow("leading zeros") << QStringList{"0", "05"} << "5.00";
    QTest::newRow("exponent") << QStringList{"1.5e2", "2E-2"} << "150.02";
    QTest::newRow("cancel to zero") << QStringList{"0.004", "-0.004"} << "0.00";
    QTest::newRow("small negative is zero") << QStringList{"-0.001"} << "0.00";
    QTest::newRow("mixed signs") << QStringList{"10", "-12.345"} << "-2.35";
    QTest::newRow("many decimals") << QStringList{"0.0049999999999999999999"} << "0.00";
}

void TestAmountText::exactSums() {
    QFETCH(QStringList, amounts);
    QFETCH(QString, sum);
    QCOMPARE(sumAmounts(amounts), sum);
}

void TestAmountText::longPastesStayFast() {
    // A megabyte pasted into a cell is refused down to what fits a double; the scan is linear,
    // so this finishes at once (a quadratic one would not finish within the test timeout).
    const QString digits(1 << 20, u'7');
    QCOMPARE(acceptedAmountText(digits).size(), 308);
    const QString tinyFraction = QStringLiteral("0.") + QString(1 << 20, u'0') + u'1';
    QCOMPARE(acceptedAmountText(tinyFraction), tinyFraction);
    QCOMPARE(sumAmounts({tinyFraction}), QStringLiteral("0.00"));
}

QTEST_GUILESS_MAIN(TestAmountText)
#include "test_amounttext.moc"
