#include "shop/expiry.h"
#include "shop/reorder.h"
#include "testshop.h"

#include <QTest>

// 临期商品 and 补货单 against counts by hand, on both engines.
class TestStockLists : public QObject
{
    Q_OBJECT

    static const QDate Today;

    static void purchase(TestShop &shop, const QString &code, int quantity, int expiresInDays, const QString &maker)
    {
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                                 "guoqidt) VALUES ((SELECT COUNT(*) + 1 FROM jinhuo), '%1', %2, 10000, 20000, 20000, "
                                 "'%3', '2026-01-01', '%4')")
                      .arg(code)
                      .arg(quantity)
                      .arg(maker, Today.addDays(expiresInDays).toString(Qt::ISODate)));
    }

    static void sell(TestShop &shop, const QString &code, int quantity, int daysAgo)
    {
        shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES "
                                 "((SELECT COUNT(*) + 1 FROM xiaoshou), 1, '%1', %2, 20000, %3, '%4 10:00:00')")
                      .arg(code)
                      .arg(quantity)
                      .arg(20000 * quantity)
                      .arg(Today.addDays(-daysAgo).toString(Qt::ISODate)));
    }

private Q_SLOTS:
    void expiry_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<int>("days");
        QTest::addColumn<QStringList>("rows"); // code:quantity of stock:days left
        for (const bool server : {false, true}) {
            const QString engine = server ? QStringLiteral(" (server)") : QStringLiteral(" (file)");
            // X: 20 for next year, then 6 for next week, 16 sold: its 10 are
            // those 6 and 4 of the 20. Y expired yesterday. Z is sold out.
            QTest::newRow(qPrintable(QStringLiteral("30 days") + engine))
                << server << 30 << strings({"Y:5:-1", "X:6:7"});
            QTest::newRow(qPrintable(QStringLiteral("a year") + engine))
                << server << 400 << strings({"Y:5:-1", "X:6:7", "X:4:365"});
            QTest::newRow(qPrintable(QStringLiteral("none yet") + engine)) << server << 0 << strings({"Y:5:-1"});
        }
    }

    void expiry()
    {
        QFETCH(bool, server);
        QFETCH(int, days);
        QFETCH(QStringList, rows);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("X"), QStringLiteral("酸奶"));
        purchase(shop, QStringLiteral("X"), 20, 365, QString());
        purchase(shop, QStringLiteral("Z"), 3, 2, QString());
        purchase(shop, QStringLiteral("X"), 6, 7, QString());
        purchase(shop, QStringLiteral("Y"), 5, -1, QString());
        sell(shop, QStringLiteral("X"), 16, 3);
        sell(shop, QStringLiteral("Z"), 3, 1);
        if (server)
            shop.moveToServer();
        const ExpiryFigures f = ExpiryFigures::compute(shop.db().connection(), Today, days);
        QVERIFY2(f.ok, qPrintable(f.error));
        QStringList got;
        for (const ExpiryFigures::Row &r : f.rows)
            got.append(QStringLiteral("%1:%2:%3").arg(r.code).arg(r.quantity).arg(r.daysLeft));
        QCOMPARE(got, rows);
        for (const ExpiryFigures::Row &r : f.rows)
            QCOMPARE(r.stock, r.code == u"X" ? 10 : 5);
        QCOMPARE(f.rows.value(1).name, days > 0 ? QStringLiteral("酸奶") : QString());
    }

    void reorder_data() { addEngineColumn(); }

    void reorder()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        for (const char *code : {"A", "B", "C", "D"})
            shop.addGoods(QString::fromLatin1(code), QStringLiteral("货") + QString::fromLatin1(code));
        // A: 10 bought (the last lot from 乙厂), 7 sold, 4 of them in the last
        // 30 days: 3 left, minimum 5. B: no minimum. C: above its minimum.
        // D: never bought, minimum 0.
        purchase(shop, QStringLiteral("A"), 6, 100, QStringLiteral("甲厂"));
        purchase(shop, QStringLiteral("A"), 4, 100, QStringLiteral("乙厂"));
        purchase(shop, QStringLiteral("B"), 1, 100, QStringLiteral("甲厂"));
        purchase(shop, QStringLiteral("C"), 10, 100, QStringLiteral("甲厂"));
        sell(shop, QStringLiteral("A"), 3, 40);
        sell(shop, QStringLiteral("A"), 4, 2);
        if (server)
            shop.moveToServer();
        const QSqlDatabase db = shop.db().connection();
        QString error;
        for (const auto &[code, minimum] : {std::pair("A", 9), std::pair("A", 5), std::pair("C", 2), std::pair("D", 0)})
            QVERIFY2(MinimumStock::set(db, QString::fromLatin1(code), minimum, &error), qPrintable(error));
        QCOMPARE(MinimumStock::of(db, QStringLiteral("A"), &error), std::optional<std::optional<qint64>>(5));
        QCOMPARE(MinimumStock::of(db, QStringLiteral("B"), &error),
                 std::optional<std::optional<qint64>>(std::optional<qint64>()));
        const ReorderFigures f = ReorderFigures::compute(db, Today);
        QVERIFY2(f.ok, qPrintable(f.error));
        QStringList got;
        for (const ReorderFigures::Row &r : f.rows)
            got.append(QStringLiteral("%1 %2 %3 %4/%5 %6")
                           .arg(r.maker, r.code, r.name)
                           .arg(r.stock)
                           .arg(r.minimum)
                           .arg(r.soldRecently));
        QCOMPARE(got, strings({" D 货D 0/0 0", "乙厂 A 货A 3/5 4"}));
        // Sold again, D's stock falls below its minimum: the list follows.
        sell(shop, QStringLiteral("D"), 2, 1);
        QCOMPARE(ReorderFigures::compute(db, Today).rows.value(0).stock, -2);
        // Taken away, a minimum lists nothing.
        QVERIFY(MinimumStock::set(db, QStringLiteral("A"), std::nullopt, &error));
        QVERIFY(MinimumStock::set(db, QStringLiteral("D"), std::nullopt, &error));
        QVERIFY(ReorderFigures::compute(db, Today).rows.isEmpty());
    }
};

const QDate TestStockLists::Today(2026, 12, 9);

QTEST_MAIN(TestStockLists)
#include "tst_stocklists.moc"
