#include "shop/checkout.h"
#include "shop/pricing.h"
#include "testshop.h"

#include <QTest>

class TestPricing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void discountedPrice_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("shown"); // as the "Currency" box shows it, empty: not computed
        QTest::newRow("12.50 at 10") << QStringLiteral("12.50") << QStringLiteral("10") << QStringLiteral("¥12.50");
        QTest::newRow("12.50 at 8") << QStringLiteral("12.50") << QStringLiteral("8") << QStringLiteral("¥10.00");
        QTest::newRow("12.50 at 8.5, half cent up (四舍五入)")
            << QStringLiteral("12.50") << QStringLiteral("8.5") << QStringLiteral("¥10.63");
        QTest::newRow("2.345 at 10, half cent up")
            << QStringLiteral("2.345") << QStringLiteral("10") << QStringLiteral("¥2.35");
        QTest::newRow("currency text in")
            << QStringLiteral("¥1,000.00") << QStringLiteral("9") << QStringLiteral("¥900.00");
        QTest::newRow("rate 0") << QStringLiteral("5") << QStringLiteral("0") << QStringLiteral("¥0.00");
        QTest::newRow("lone minus rate") << QStringLiteral("5") << QStringLiteral("-") << QString();
        QTest::newRow("empty price") << QString() << QStringLiteral("10") << QString();
        QTest::newRow("word price") << QStringLiteral("abc") << QStringLiteral("10") << QString();
    }

    void discountedPrice()
    {
        QFETCH(QString, price);
        QFETCH(QString, rate);
        QFETCH(QString, shown);
        const auto p = Pricing::discountedPrice(price, rate);
        QCOMPARE(p.has_value(), !shown.isEmpty());
        if (p)
            QCOMPARE(p->toCurrency(), shown);
    }

    void lineAmount_data()
    {
        QTest::addColumn<int>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("amount");
        QTest::newRow("3 x 2.50") << 3 << QStringLiteral("2.50") << QStringLiteral("7.5000");
        QTest::newRow("zero quantity") << 0 << QStringLiteral("2.50") << QStringLiteral("0.0000");
        QTest::newRow("negative quantity") << -2 << QStringLiteral("2.50") << QStringLiteral("-5.0000");
        QTest::newRow("no single-precision loss")
            << 1 << QStringLiteral("1234567.89") << QStringLiteral("1234567.8900");
        QTest::newRow("largest quantity") << 32767 << QStringLiteral("99999.99") << QStringLiteral("3276699672.3300");
        QTest::newRow("half a cent rounds up") << 1 << QStringLiteral("0.0050") << QStringLiteral("0.0100");
        QTest::newRow("less than half a cent rounds down") << 1 << QStringLiteral("0.0049") << QStringLiteral("0.0000");
        QTest::newRow("negative half cent away from zero")
            << -1 << QStringLiteral("0.0050") << QStringLiteral("-0.0100");
    }

    void lineAmount()
    {
        QFETCH(int, quantity);
        QFETCH(QString, price);
        QFETCH(QString, amount);
        QCOMPARE(Pricing::lineAmount(quantity, *Money::parse(price))->toExactString(), amount);
    }

    void settlement_data()
    {
        // What the till takes and gives back, in cents: the ticket's total,
        // the method, the cash handed over; then paid, change, shown, refund.
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("method");
        QTest::addColumn<qint64>("cash");
        QTest::addColumn<QList<qint64>>("expected"); // paid, change, shown; empty: refused
        QTest::addColumn<bool>("refund");
        const int cash = int(PaymentMethod::Cash), weChat = int(PaymentMethod::WeChat), card = int(PaymentMethod::Card);
        QTest::newRow("cash with change") << qint64(950) << cash << qint64(2000) << QList<qint64>{2000, 1050, 1050} << false;
        QTest::newRow("cash exact") << qint64(950) << cash << qint64(950) << QList<qint64>{950, 0, 0} << false;
        QTest::newRow("cash short") << qint64(950) << cash << qint64(949) << QList<qint64>{} << false;
        QTest::newRow("微信 ignores the cash box") << qint64(950) << weChat << qint64(0) << QList<qint64>{950, 0, 0}
                                                << false;
        QTest::newRow("a refund in cash") << qint64(-850) << cash << qint64(0) << QList<qint64>{0, 850, 850} << true;
        QTest::newRow("a refund by card") << qint64(-850) << card << qint64(0) << QList<qint64>{-850, 0, 850} << true;
    }

    void settlement()
    {
        QFETCH(qint64, total);
        QFETCH(int, method);
        QFETCH(qint64, cash);
        QFETCH(QList<qint64>, expected);
        QFETCH(bool, refund);
        const auto s = Checkout::settle(Money::fromCents(total), PaymentMethod(method), Money::fromCents(cash));
        QCOMPARE(s.has_value(), !expected.isEmpty());
        if (!s)
            return;
        QCOMPARE((QList<qint64>{s->paid.units() / 100, s->change.units() / 100, s->shown.units() / 100}), expected);
        QCOMPARE(s->refund, refund);
    }

    void lineAmountOverflowIsRefused()
    {
        QVERIFY(!Pricing::lineAmount(32767, Money::fromUnits(std::numeric_limits<qint64>::max() / 2)));
    }
};

QTEST_GUILESS_MAIN(TestPricing)
#include "tst_pricing.moc"
