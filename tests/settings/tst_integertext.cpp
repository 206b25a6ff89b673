#include "settings/integertext.h"

#include <QTest>

class TestIntegerText : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data();
    void conversion();
};

void TestIntegerText::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("value");

    QTest::newRow("decimal") << "600" << true << 600;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("minus sign") << "-12" << true << -12;
    QTest::newRow("leading zero stays decimal") << "010" << true << 10;
    QTest::newRow("many leading zeros") << "000000000000002147483647" << true << 2147483647;
    QTest::newRow("leading spaces") << "   42" << true << 42;
    QTest::newRow("spaces before the sign") << "  -5" << true << -5;
    QTest::newRow("0x prefix") << "0x1A" << true << 26;
    QTest::newRow("0X prefix, mixed digits") << "0X1a" << true << 26;
    QTest::newRow("dollar prefix") << "$1A" << true << 26;
    QTest::newRow("x prefix") << "x1A" << true << 26;
    QTest::newRow("X prefix") << "X1a" << true << 26;
    QTest::newRow("negated hexadecimal") << "-0x10" << true << -16;
    QTest::newRow("negated dollar") << "-$10" << true << -16;
    QTest::newRow("all ones pattern") << "$FFFFFFFF" << true << -1;
    QTest::newRow("sign bit pattern") << "$80000000" << true << int(-2147483647 - 1);
    QTest::newRow("hexadecimal leading zeros") << "$0000000000FF" << true << 255;
    QTest::newRow("negated all ones") << "-$FFFFFFFF" << true << 1;
    QTest::newRow("lowest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("highest") << "2147483647" << true << 2147483647;
    QTest::newRow("zero") << "0" << true << 0;

    QTest::newRow("above the range") << "2147483648" << false << 0;
    QTest::newRow("below the range") << "-2147483649" << false << 0;
    QTest::newRow("far above the range") << "99999999999999999999" << false << 0;
    QTest::newRow("hexadecimal digits without prefix") << "1A" << false << 0;
    QTest::newRow("0x without digits") << "0x" << false << 0;
    QTest::newRow("dollar without digits") << "$" << false << 0;
    QTest::newRow("sign without digits") << "-" << false << 0;
    QTest::newRow("two signs") << "--5" << false << 0;
    QTest::newRow("space after the sign") << "- 5" << false << 0;
    QTest::newRow("sign after the prefix") << "$-10" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("only spaces") << "   " << false << 0;
    QTest::newRow("trailing space") << "5 " << false << 0;
    QTest::newRow("leading tab") << "\t5" << false << 0;
    QTest::newRow("more than 32 bits") << "$100000000" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("decimal point") << "1.5" << false << 0;
    QTest::newRow("non-ASCII digit") << QStringLiteral("\u0665") << false << 0;
}

void TestIntegerText::conversion()
{
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(int, value);

    qint32 result = 12345;
    QCOMPARE(integerFromText(text, &result), converts);
    QCOMPARE(result, converts ? value : 12345);
}

QTEST_GUILESS_MAIN(TestIntegerText)
#include "tst_integertext.moc"
