#include "gui/analysis/saleschartdialog.h"
#include "shop/salestrend.h"
#include "testshop.h"

#include <QImage>
#include <QTest>

// The chart of 销售分析: its buckets hold the grid's own figures.
class TestSalesChart : public QObject
{
    Q_OBJECT

    // 12 goods bought at 1.00 each; on each listed day, goods g sells g + 1
    // pieces at 2.00, one ticket a day.
    static void sellOn(TestShop &shop, const QList<QDate> &days)
    {
        shop.create();
        for (int g = 0; g < 12; ++g) {
            shop.addGoods(QStringLiteral("G%1").arg(g), QStringLiteral("货%1").arg(g));
            shop.addPurchase(QStringLiteral("G%1").arg(g), 1000, Money::fromCents(100));
        }
        int id = 0;
        for (const QDate &day : days)
            for (int g = 0; g < 12; ++g)
                shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                         "VALUES (%1, %2, 'G%3', %4, 20000, %5, '%6 09:30:00')")
                              .arg(++id)
                              .arg(day.toJulianDay())
                              .arg(g)
                              .arg(g + 1)
                              .arg(20000 * (g + 1))
                              .arg(day.toString(Qt::ISODate)));
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void buckets_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("buckets");
        for (const bool server : {false, true}) {
            const QString e = server ? QStringLiteral(" (server)") : QStringLiteral(" (file)");
            QTest::newRow(qPrintable(QStringLiteral("ten days") + e))
                << server << QDate(2026, 3, 1) << QDate(2026, 3, 10) << int(SalesTrend::Step::Day) << 10;
            // 2026-03-01 is a Sunday: its week began on 02-23.
            QTest::newRow(qPrintable(QStringLiteral("a quarter") + e))
                << server << QDate(2026, 3, 1) << QDate(2026, 5, 31) << int(SalesTrend::Step::Week) << 14;
            QTest::newRow(qPrintable(QStringLiteral("two years") + e))
                << server << QDate(2025, 1, 1) << QDate(2026, 12, 31) << int(SalesTrend::Step::Month) << 24;
        }
    }

    void buckets()
    {
        QFETCH(bool, server);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(int, step);
        QFETCH(int, buckets);
        TestShop shop;
        // Inside every range, and one day outside all of them.
        sellOn(shop, {QDate(2026, 3, 1), QDate(2026, 3, 2), QDate(2026, 3, 10), QDate(2027, 1, 5)});
        // A line on the very first moment of the range is left out by the grid,
        // and so by the chart.
        shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                 "VALUES (900, 900, 'G0', 5, 20000, 100000, '%1 00:00:00')")
                      .arg(first.toString(Qt::ISODate)));
        if (server)
            shop.moveToServer();
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        const SalesFigures grid = SalesFigures::compute(handle, first, last);
        QVERIFY2(grid.ok, qPrintable(grid.error));
        const SalesTrend trend = SalesTrend::compute(handle, first, last, grid);
        QVERIFY2(trend.ok, qPrintable(trend.error));
        QCOMPARE(int(trend.step), step);
        QCOMPARE(trend.buckets.size(), buckets);
        Money sales, profit;
        for (const SalesTrend::Bucket &b : trend.buckets) {
            sales = *sales.plus(b.sales);
            profit = *profit.plus(b.profit);
        }
        QCOMPARE(sales, grid.totalAmount);
        QCOMPARE(profit, grid.totalProfit);
        // A day sells 78 pieces for 156.00 at a cost of 78.00.
        QCOMPARE(grid.totalAmount, Money::fromCents(3 * 15600));
        const auto on = std::find_if(trend.buckets.begin(), trend.buckets.end(), [&](const SalesTrend::Bucket &b) {
            return b.start == SalesTrend::bucketOf(QDate(2026, 3, 10), trend.step);
        });
        QVERIFY(on != trend.buckets.end());
        QCOMPARE(on->profit, Money::fromCents(trend.step == SalesTrend::Step::Month ? 3 * 7800 : 7800));
        // The ten best: G11 first, G2 last; G0 and G1 left out.
        QCOMPARE(trend.best.size(), 10);
        QCOMPARE(trend.best.first().code, QStringLiteral("G11"));
        QCOMPARE(trend.best.last().code, QStringLiteral("G2"));
    }

    void theChartIsSavedAsPng()
    {
        TestShop shop;
        sellOn(shop, {QDate(2026, 3, 1), QDate(2026, 3, 2)});
        const QDate first(2026, 3, 1), last(2026, 3, 7);
        const SalesFigures grid = SalesFigures::compute(shop.db().shop(), first, last);
        SalesChartDialog dialog(SalesTrend::compute(shop.db().shop(), first, last, grid),
                                QStringLiteral("2026-03-01 至 2026-03-07"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString path = shop.dir() + QStringLiteral("/chart.png");
        QVERIFY(dialog.saveImage(path));
        const QImage image(path);
        QVERIFY(image.width() > 400 && image.height() > 400);
        // Not a blank picture: the bars and labels are drawn.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 3);
    }
};

QTEST_MAIN(TestSalesChart)
#include "tst_saleschart.moc"
