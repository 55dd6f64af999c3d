#include "shop/money.h"
#include "shop/numbertext.h"
#include "testshop.h"

#include <QLocale>
#include <QTest>

#include <limits>

class TestMoney : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("units");
        QTest::newRow("plain") << QStringLiteral("12.5") << true << qint64(125000);
        QTest::newRow("integer") << QStringLiteral("7") << true << qint64(70000);
        QTest::newRow("grouped") << QStringLiteral("1,234.50") << true << qint64(12345000);
        QTest::newRow("yen sign") << QStringLiteral("¥1,234.50") << true << qint64(12345000);
        QTest::newRow("fullwidth yen") << QStringLiteral("￥1,234.50") << true << qint64(12345000);
        QTest::newRow("negative currency") << QStringLiteral("-¥3.25") << true << qint64(-32500);
        QTest::newRow("sign after symbol") << QStringLiteral("¥-3.25") << true << qint64(-32500);
        QTest::newRow("parentheses") << QStringLiteral("(3.25)") << true << qint64(-32500);
        QTest::newRow("leading point") << QStringLiteral(".5") << true << qint64(5000);
        QTest::newRow("fifth decimal half even down") << QStringLiteral("0.00005") << true << qint64(0);
        QTest::newRow("fifth decimal half even up") << QStringLiteral("0.00015") << true << qint64(2);
        QTest::newRow("above half") << QStringLiteral("0.000051") << true << qint64(1);
        QTest::newRow("largest") << QStringLiteral("922337203685477.5807") << true
                                 << std::numeric_limits<qint64>::max();
        QTest::newRow("too large") << QStringLiteral("922337203685477.5808") << false << qint64(0);
        QTest::newRow("lone minus") << QStringLiteral("-") << false << qint64(0);
        QTest::newRow("lone point") << QStringLiteral(".") << false << qint64(0);
        QTest::newRow("word") << QStringLiteral("abc") << false << qint64(0);
        QTest::newRow("two points") << QStringLiteral("1.2.3") << false << qint64(0);
        QTest::newRow("empty") << QString() << false << qint64(0);
        QTest::newRow("two signs") << QStringLiteral("(-3)") << false << qint64(0);
        QTest::newRow("blanks around") << QStringLiteral("  12.5 ") << true << qint64(125000);
        QTest::newRow("blank after the yuan sign") << QStringLiteral("¥ 5") << true << qint64(50000);
        QTest::newRow("blank inside digits") << QStringLiteral("10 5") << false << qint64(0);
        QTest::newRow("sign inside digits") << QStringLiteral("1¥2") << false << qint64(0);
        QTest::newRow("sign after the number") << QStringLiteral("5¥") << false << qint64(0);
        QTest::newRow("iso code") << QStringLiteral("CNY5") << false << qint64(0);
        QTest::newRow("grouping in the wrong place") << QStringLiteral("1,2,3") << false << qint64(0);
        QTest::newRow("grouping of two") << QStringLiteral("12,34.5") << false << qint64(0);
        QTest::newRow("grouping in decimals") << QStringLiteral("1.234,5") << false << qint64(0);
        QTest::newRow("exponent") << QStringLiteral("1e309") << false << qint64(0);
        QTest::newRow("hex") << QStringLiteral("0x10") << false << qint64(0);
        QTest::newRow("fullwidth digits") << QStringLiteral("１２") << false << qint64(0);
        QTest::newRow("blank after minus") << QStringLiteral("- 5") << false << qint64(0);
        QTest::newRow("minus zero") << QStringLiteral("-0") << true << qint64(0);
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qint64, units);
        const auto m = Money::parse(text);
        QCOMPARE(m.has_value(), ok);
        if (ok)
            QCOMPARE(m->units(), units);
    }

    void formats_data()
    {
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QString>("currency");
        QTest::addColumn<QString>("yuan");
        QTest::addColumn<QString>("plain");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("¥0.00") << QStringLiteral("￥0.00")
                              << QStringLiteral("0.00");
        QTest::newRow("grouping") << qint64(12345000) << QStringLiteral("¥1,234.50") << QStringLiteral("￥1,234.50")
                                  << QStringLiteral("1234.50");
        QTest::newRow("millions exact") << qint64(12345678900) << QStringLiteral("¥1,234,567.89")
                                        << QStringLiteral("￥1,234,567.89") << QStringLiteral("1234567.89");
        QTest::newRow("below half a cent")
            << qint64(125) << QStringLiteral("¥0.01") << QStringLiteral("￥0.01") << QStringLiteral("0.01");
        QTest::newRow("half a cent rounds up, even neighbour below")
            << qint64(106250) << QStringLiteral("¥10.63") << QStringLiteral("￥10.63") << QStringLiteral("10.63");
        QTest::newRow("stored price 2.345")
            << qint64(23450) << QStringLiteral("¥2.35") << QStringLiteral("￥2.35") << QStringLiteral("2.35");
        QTest::newRow("half cent to even up")
            << qint64(350) << QStringLiteral("¥0.04") << QStringLiteral("￥0.04") << QStringLiteral("0.04");
        QTest::newRow("negative half cent away from zero")
            << qint64(-106250) << QStringLiteral("(¥10.63)") << QStringLiteral("￥-10.63") << QStringLiteral("-10.63");
        QTest::newRow("negative, the locale's form")
            << qint64(-32500) << QStringLiteral("(¥3.25)") << QStringLiteral("￥-3.25") << QStringLiteral("-3.25");
    }

    void formats()
    {
        QFETCH(qint64, units);
        QFETCH(QString, currency);
        QFETCH(QString, yuan);
        QFETCH(QString, plain);
        const Money m = Money::fromUnits(units);
        QCOMPARE(m.toCurrency(), currency);
        QCOMPARE(m.toYuan(), yuan);
        QCOMPARE(m.toPlain(), plain);
        // What is shown converts back to the shown amount.
        QCOMPARE(Money::parse(m.toCurrency()), m.roundedToCents());
    }

    void roundTripAtTheEnds_data()
    {
        QTest::addColumn<qint64>("units");
        QTest::newRow("max") << std::numeric_limits<qint64>::max();
        QTest::newRow("min+1") << std::numeric_limits<qint64>::min() + 1;
        QTest::newRow("one unit") << qint64(1);
    }

    void roundTripAtTheEnds()
    {
        QFETCH(qint64, units);
        const Money m = Money::fromUnits(units);
        QCOMPARE(Money::parse(m.toExactString(), QLocale::c())->units(), units);
        // Rounding to cents stays inside the range.
        QVERIFY(m.roundedToCents().units() % 100 == 0);
        QVERIFY(qAbs(m.roundedToCents().units() - units) <= 100);
    }

    void arithmetic()
    {
        const Money max = Money::fromUnits(std::numeric_limits<qint64>::max());
        QVERIFY(!max.plus(Money::fromUnits(1)));
        QVERIFY(!Money::fromUnits(std::numeric_limits<qint64>::min()).minus(Money::fromUnits(1)));
        QVERIFY(!max.times(2));
        QCOMPARE(Money::fromCents(250).times(3)->toPlain(), QStringLiteral("7.50"));
        QCOMPARE(Money::fromCents(10).plus(Money::fromCents(20))->units(), Money::fromCents(30).units());
        QCOMPARE(Money::fromUnits(25000).roundedToInteger(), 2);
        QCOMPARE(Money::fromUnits(35000).roundedToInteger(), 4);
        QCOMPARE(Money::fromUnits(-25000).roundedToInteger(), -2);
    }

    void discounted_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full price") << QStringLiteral("12.50") << QStringLiteral("10") << QStringLiteral("12.5000");
        QTest::newRow("rate 8") << QStringLiteral("12.50") << QStringLiteral("8") << QStringLiteral("10.0000");
        QTest::newRow("rate 8.5") << QStringLiteral("12.50") << QStringLiteral("8.5") << QStringLiteral("10.6250");
        QTest::newRow("rounds half even")
            << QStringLiteral("0.0001") << QStringLiteral("5") << QStringLiteral("0.0000");
        QTest::newRow("rounds half even up")
            << QStringLiteral("0.0003") << QStringLiteral("5") << QStringLiteral("0.0002");
    }

    void discounted()
    {
        QFETCH(QString, price);
        QFETCH(QString, rate);
        QFETCH(QString, expected);
        QCOMPARE(Money::parse(price)->discounted(*Money::parse(rate))->toExactString(), expected);
    }

    void int16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("2.5 to even") << QStringLiteral("2.5") << true << 2;
        QTest::newRow("3.5 to even") << QStringLiteral("3.5") << true << 4;
        QTest::newRow("2.51 up") << QStringLiteral("2.51") << true << 3;
        QTest::newRow("2.500001 up") << QStringLiteral("2.500001") << true << 3;
        QTest::newRow("-2.5") << QStringLiteral("-2.5") << true << -2;
        QTest::newRow("largest") << QStringLiteral("32767") << true << 32767;
        QTest::newRow("smallest") << QStringLiteral("-32768") << true << -32768;
        QTest::newRow("32767.5 rounds out") << QStringLiteral("32767.5") << false << 0;
        QTest::newRow("40000") << QStringLiteral("40000") << false << 0;
        QTest::newRow("minus") << QStringLiteral("-") << false << 0;
        QTest::newRow("word") << QStringLiteral("abc") << false << 0;
        QTest::newRow("grouped") << QStringLiteral("1,000") << true << 1000;
    }

    void int16()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const auto v = NumberText::toInt16(text);
        QCOMPARE(v.has_value(), ok);
        if (ok)
            QCOMPARE(int(*v), value);
    }

    void locales_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed"); // what a cashier types
        QTest::addColumn<qint64>("units");  // what it means; -1: refused
        QTest::addColumn<QString>("plain"); // 1234.50 as "0.00"
        QTest::newRow("zh_CN") << QStringLiteral("zh_CN") << QStringLiteral("2.50") << qint64(25000)
                               << QStringLiteral("1234.50");
        QTest::newRow("en_US") << QStringLiteral("en_US") << QStringLiteral("2.50") << qint64(25000)
                               << QStringLiteral("1234.50");
        QTest::newRow("de_DE comma") << QStringLiteral("de_DE") << QStringLiteral("2,50") << qint64(25000)
                                     << QStringLiteral("1234,50");
        QTest::newRow("de_DE point is no decimal mark")
            << QStringLiteral("de_DE") << QStringLiteral("2.50") << qint64(-1) << QStringLiteral("1234,50");
        QTest::newRow("de_DE grouping") << QStringLiteral("de_DE") << QStringLiteral("1.234,5") << qint64(12345000)
                                        << QStringLiteral("1234,50");
        QTest::newRow("fr_FR comma") << QStringLiteral("fr_FR") << QStringLiteral("10,00") << qint64(100000)
                                     << QStringLiteral("1234,50");
        QTest::newRow("fr_FR point") << QStringLiteral("fr_FR") << QStringLiteral("10.00") << qint64(-1)
                                     << QStringLiteral("1234,50");
        QTest::newRow("fr_FR blank grouping")
            << QStringLiteral("fr_FR") << QStringLiteral("1 234,5") << qint64(12345000) << QStringLiteral("1234,50");
    }

    void locales()
    {
        // What the program writes it reads back, in every locale, and what
        // the cashier types means the same in the program as on paper.
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(qint64, units);
        QFETCH(QString, plain);
        const QLocale l(locale);
        const auto parsed = Money::parse(typed, l);
        QCOMPARE(parsed.has_value(), units >= 0);
        if (parsed)
            QCOMPARE(parsed->units(), units);
        const Money amount = Money::fromCents(123450);
        QCOMPARE(amount.toPlain(l), plain);
        for (const QString &shown :
             {amount.toCurrency(l), amount.toGrouped(l), amount.toPlain(l), Money::fromCents(-123450).toCurrency(l)})
            QVERIFY2(Money::parse(shown, l) && qAbs(Money::parse(shown, l)->units()) == 12345000, qPrintable(shown));
    }

    void workstationLocaleFallsBackToChinese()
    {
        const QLocale l = NumberText::workstationLocale();
        if (QLocale::system().language() == QLocale::C)
            QCOMPARE(l.name(), QStringLiteral("zh_CN"));
        else
            QCOMPARE(l.name(), QLocale::system().name());
    }
};

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
