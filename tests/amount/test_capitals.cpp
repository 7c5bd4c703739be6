#include "amount/capitals.h"

#include <QtTest>

using zelk::amount::CapitalsProblem;
using zelk::amount::toCapitals;

class TestCapitals : public QObject {
    Q_OBJECT

private slots:
    void wording_data();
    void wording();
};

void TestCapitals::wording_data() {
    // The wording, or "!" and the problem's number when there is none.
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("expected");
    const char* table[][2] = {
        {"0.00", ""},
        {"0.05", "伍分"},
        {"0.50", "伍角整"},
        {"0.56", "伍角陆分"},
        {"1.00", "壹元整"},
        {"10.00", "壹拾元整"},
        {"10.05", "壹拾元零伍分"},
        {"10.50", "壹拾元伍角整"},
        {"10.56", "壹拾元伍角陆分"},
        {"101.00", "壹佰零壹元整"},
        {"110.00", "壹佰壹拾元整"},
        {"1050.00", "壹仟零伍拾元整"},
        {"1234.50", "壹仟贰佰叁拾肆元伍角整"},
        {"1234.56", "壹仟贰佰叁拾肆元伍角陆分"},
        {"10005.00", "壹万零伍元整"},
        {"30000.07", "叁万元零柒分"},
        {"100000.00", "壹拾万元整"},
        {"100500.00", "壹拾万零伍佰元整"},
        {"105000.00", "壹拾万伍仟元整"},
        {"10000000.00", "壹仟万元整"},
        {"12345678.90", "壹仟贰佰叁拾肆万伍仟陆佰柒拾捌元玖角整"},
        {"100000000.00", "壹亿元整"},
        {"100000000.50", "壹亿元伍角整"},
        {"100000005.00", "壹亿零伍元整"},
        {"100010000.00", "壹亿零壹万元整"},
        {"102000000.00", "壹亿零贰佰万元整"},
        {"1200000000.00", "壹拾贰亿元整"},
        {"1000000000000.00", "壹万亿元整"},
        {"1234567890123.45", "壹万贰仟叁佰肆拾伍亿陆仟柒佰捌拾玖万零壹佰贰拾叁元肆角伍分"},
        {"9999999999999.99", "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
        {"-12.30", "负数壹拾贰元叁角整"},
        {"-0.05", "负数伍分"},
        {"-0.00", "负数"},
        {"-", "负数"},
        {"12.", "壹拾贰元整"},
        {"12.5", "壹拾贰元伍角整"},
        {".5", ""},
        {"", ""},
        {"  12.30  ", "壹拾贰元叁角整"},
        // A zero 亿 group between digits: the 万 place stays silent, the gap is read once.
        {"1000000001.00", "壹拾亿零壹元整"},
        {"5000000000000.00", "伍万亿元整"},
        {"12.345", "!1"},
        {"-0.001", "!1"},
        {"10000000000000.00", "!2"},
        {"12345678901234", "!2"},
        {"12a.00", "!3"},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestCapitals::wording() {
    QFETCH(QString, amount);
    QFETCH(QString, expected);
    const auto result = toCapitals(amount);
    const bool problem = expected.startsWith(u'!');
    QCOMPARE(result.text, problem ? QString() : expected);
    QCOMPARE(int(result.problem), problem ? expected.mid(1).toInt() : 0);
}

QTEST_GUILESS_MAIN(TestCapitals)
#include "test_capitals.moc"
