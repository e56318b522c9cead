#include <QtTest>

#include "hexnumber.h"

// The one rule every hexadecimal field and option is read by: offsets, flash sizes and bases, load
// addresses, the command line's addresses.
class HexNumberTest : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void unfinishedWhileTyped_data();
    void unfinishedWhileTyped();
};

void HexNumberTest::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint64>("largest");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint64>("value");
    constexpr quint64 Any = std::numeric_limits<quint64>::max();
    constexpr quint64 Bits32 = 0xFFFFFFFF;
    QTest::newRow("0") << "0" << Bits32 << true << quint64(0);
    QTest::newRow("digits") << "1000" << Bits32 << true << quint64(0x1000);
    QTest::newRow("prefixed") << "0x0800A000" << Bits32 << true << quint64(0x0800A000);
    QTest::newRow("upper prefix, lower digits") << "0X0800c000" << Bits32 << true << quint64(0x0800C000);
    QTest::newRow("mixed case") << "aBcD" << Bits32 << true << quint64(0xABCD);
    QTest::newRow("leading blank") << " 8000" << Bits32 << true << quint64(0x8000);
    QTest::newRow("blanks around") << "\t0x40 " << Bits32 << true << quint64(0x40);
    QTest::newRow("leading zeros past the width") << "0000000000000010" << Bits32 << true << quint64(0x10);
    QTest::newRow("largest") << "FFFFFFFF" << Bits32 << true << quint64(0xFFFFFFFF);
    QTest::newRow("past the largest") << "100000000" << Bits32 << false << quint64(0);
    QTest::newRow("one past a signed 32-bit largest")
        << "80000000" << quint64(0x7FFFFFFF) << false << quint64(0);
    QTest::newRow("64 bits") << "FFFFFFFFFFFFFFFF" << Any << true << Any;
    QTest::newRow("past 64 bits") << "10000000000000000" << Any << false << quint64(0);
    QTest::newRow("largest 0") << "1" << quint64(0) << false << quint64(0);
    QTest::newRow("empty") << "" << Bits32 << false << quint64(0);
    QTest::newRow("blanks only") << "  " << Bits32 << false << quint64(0);
    QTest::newRow("prefix alone") << "0x" << Bits32 << false << quint64(0);
    QTest::newRow("not hex") << "0x8000G" << Bits32 << false << quint64(0);
    QTest::newRow("decimal suffix") << "100h" << Bits32 << false << quint64(0);
    QTest::newRow("minus") << "-1" << Bits32 << false << quint64(0);
    QTest::newRow("plus") << "+10" << Bits32 << false << quint64(0);
    QTest::newRow("inner blank") << "80 00" << Bits32 << false << quint64(0);
    QTest::newRow("blank after the prefix") << "0x 10" << Bits32 << false << quint64(0);
    QTest::newRow("underscore") << "1_0" << Bits32 << false << quint64(0);
    QTest::newRow("another script's digit") << QStringLiteral("1\u0663") << Bits32 << false << quint64(0);
}

void HexNumberTest::parse()
{
    QFETCH(QString, text);
    QFETCH(quint64, largest);
    QFETCH(bool, valid);
    QFETCH(quint64, value);
    const std::optional<quint64> parsed = HexNumber::parse(text, largest);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void HexNumberTest::unfinishedWhileTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("unfinished");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blank") << " " << true;
    QTest::newRow("prefix") << "0x" << true;
    QTest::newRow("upper prefix after a blank") << " 0X" << true;
    QTest::newRow("a number") << "0" << false;
    QTest::newRow("not hex") << "g" << false;
}

void HexNumberTest::unfinishedWhileTyped()
{
    QFETCH(QString, text);
    QFETCH(bool, unfinished);
    QCOMPARE(HexNumber::isUnfinished(text), unfinished);
}

QTEST_GUILESS_MAIN(HexNumberTest)
#include "tst_hexnumber.moc"
