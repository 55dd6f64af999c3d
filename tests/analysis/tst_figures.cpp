#include "shop/checkout.h"
#include "shop/codetable.h"
#include "shop/expiry.h"
#include "shop/members.h"
#include "shop/promotions.h"
#include "shop/reorder.h"
#include "shop/salesfigures.h"
#include "shop/salestrend.h"
#include "shop/schema.h"
#include "shop/stockfigures.h"
#include "shop/ticket.h"
#include "testshop.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <random>

#include <sqlite3.h>

// The analysis figures: the edge cases that catch faults, and equality with a
// plain, slow walk through every line for every code, as the figures were
// first defined, on generated data.
class TestFigures : public QObject
{
    Q_OBJECT

    struct Line
    {
        QString code;
        qint64 quantity;
        Money amount;
        QDateTime dt;
    };
    struct Purchase
    {
        QString code;
        qint64 quantity;
        Money price;
    };

    // A stored amount as the program reads one (and the day list shows it).
    static Money storedMoney(const QVariant &v)
    {
        return Schema::fromStorage(Schema::ColumnKind::Money, v).value<Money>();
    }
    static QList<Line> lines(TestShop &shop)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code, shuliang, jine, dt FROM xiaoshou ORDER BY rowid"));
        QList<Line> all;
        while (q.next())
            all.append({q.value(0).toString(), q.value(1).toLongLong(), storedMoney(q.value(2)),
                        QDateTime::fromString(q.value(3).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        return all;
    }
    static QList<Purchase> purchases(TestShop &shop)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code, shuliang, jinjia FROM jinhuo ORDER BY rowid"));
        QList<Purchase> all;
        while (q.next())
            all.append({q.value(0).toString(), q.value(1).toLongLong(), storedMoney(q.value(2))});
        return all;
    }
    static QString nameOf(TestShop &shop, const QString &code)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code, name FROM name ORDER BY rowid"));
        while (q.next())
            if (q.value(0).toString() == code)
                return q.value(1).toString();
        return QString();
    }

    // The goods sold by weight: grams at a price per kg.
    static QStringList weighedCodes(TestShop &shop)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code FROM chengzhong"));
        QStringList all;
        while (q.next())
            all.append(q.value(0).toString());
        return all;
    }
    // price × quantity, per kg for grams: exact, halves to even.
    static Money cost(Money price, qint64 quantity, bool weighed)
    {
        if (!weighed)
            return *price.times(quantity);
        const qint64 exact = price.units() * quantity;
        qint64 units = exact / 1000, rest = std::abs(exact % 1000);
        if (rest * 2 > 1000 || (rest * 2 == 1000 && units % 2 != 0))
            units += exact < 0 ? -1 : 1;
        return Money::fromUnits(units);
    }

    // The sales analysis as first defined: codes in order of first occurrence,
    // then for every code a walk through every line of the range.
    static SalesFigures slowSales(TestShop &shop, QDate first, QDate last)
    {
        const QDateTime from(first, QTime(0, 0)), to(last.addDays(1), QTime(0, 0));
        QList<Line> range;
        for (const Line &l : lines(shop))
            if (l.dt > from && l.dt < to)
                range.append(l);
        QStringList codes;
        for (const Line &l : range)
            if (!codes.contains(l.code))
                codes.append(l.code);
        SalesFigures f;
        const QList<Purchase> bought = purchases(shop);
        const QStringList weighed = weighedCodes(shop);
        for (const QString &code : codes) {
            SalesFigures::Row r;
            r.code = code;
            r.name = nameOf(shop, code);
            Money a;
            for (const Line &l : range)
                if (l.code == code) {
                    r.quantity += l.quantity;
                    a = *a.plus(l.amount);
                }
            for (const Purchase &p : bought)
                if (p.code == code)
                    r.price = p.price;
            // Each figure as its text shows it.
            r.amount = *Money::parse(a.toCurrency());
            r.price = *Money::parse(r.price.toCurrency());
            r.profit = *Money::parse(r.amount.minus(cost(r.price, r.quantity, weighed.contains(code)))->toCurrency());
            if (!weighed.contains(code))
                f.totalQuantity += r.quantity;
            f.totalAmount = *f.totalAmount.plus(r.amount);
            f.totalProfit = *f.totalProfit.plus(r.profit);
            f.rows.append(r);
        }
        return f;
    }

    static StockFigures slowStock(TestShop &shop)
    {
        const QList<Purchase> bought = purchases(shop);
        const QList<Line> sold = lines(shop);
        QList<std::pair<QString, qint64>> adjusted;
        QSqlQuery adj(shop.db().shop().connection());
        adj.exec(QStringLiteral("SELECT code, shuliang FROM tiaozheng ORDER BY rowid"));
        while (adj.next())
            adjusted.append({adj.value(0).toString(), adj.value(1).toLongLong()});
        // The purchased codes, then those only adjusted.
        QStringList codes;
        for (const Purchase &p : bought)
            if (!codes.contains(p.code))
                codes.append(p.code);
        for (const auto &[code, quantity] : adjusted)
            if (!codes.contains(code))
                codes.append(code);
        StockFigures f;
        const QStringList weighed = weighedCodes(shop);
        for (const QString &code : codes) {
            StockFigures::Row r;
            r.code = code;
            r.name = nameOf(shop, code);
            for (const Purchase &p : bought)
                if (p.code == code) {
                    r.purchased += p.quantity;
                    r.price = p.price;
                }
            Money a;
            for (const Line &l : sold)
                if (l.code == code) {
                    r.soldQuantity += l.quantity;
                    a = *a.plus(l.amount);
                }
            r.soldAmount = *Money::parse(a.toCurrency());
            r.price = *Money::parse(r.price.toCurrency());
            for (const auto &[adjustedCode, quantity] : adjusted)
                if (adjustedCode == code)
                    r.adjusted += quantity;
            r.stock = r.purchased - r.soldQuantity + r.adjusted;
            r.value = *Money::parse(cost(r.price, r.stock, weighed.contains(code)).toCurrency());
            f.totalSoldAmount = *f.totalSoldAmount.plus(r.soldAmount);
            f.totalValue = *f.totalValue.plus(r.value);
            if (!weighed.contains(code)) { // the totals of pieces
                f.totalSold += r.soldQuantity;
                f.totalPurchased += r.purchased;
                f.totalStock += r.stock;
            }
            f.rows.append(r);
        }
        return f;
    }

    static QStringList rowsOf(const SalesFigures &f)
    {
        QStringList all;
        for (const auto &r : f.rows)
            all.append(QStringList{r.code, r.name, QString::number(r.quantity), r.amount.toExactString(),
                                   r.price.toExactString(), r.profit.toExactString()}
                           .join(u'|'));
        all.append(
            QStringList{QString::number(f.totalQuantity), f.totalAmount.toExactString(), f.totalProfit.toExactString()}
                .join(u'|'));
        return all;
    }
    static QStringList rowsOf(const StockFigures &f)
    {
        QStringList all;
        for (const auto &r : f.rows)
            all.append(QStringList{r.code, r.name, QString::number(r.soldQuantity), r.soldAmount.toExactString(),
                                   QString::number(r.purchased), QString::number(r.stock), r.price.toExactString(),
                                   r.value.toExactString()}
                           .join(u'|') +
                       (r.adjusted ? QStringLiteral("|%1").arg(r.adjusted) : QString()));
        all.append(QStringList{QString::number(f.totalSold), f.totalSoldAmount.toExactString(),
                               QString::number(f.totalPurchased), QString::number(f.totalStock),
                               f.totalValue.toExactString()}
                       .join(u'|'));
        return all;
    }

    static void sale(TestShop &shop, const QString &code, qint64 quantity, qint64 amountUnits, const QString &dt)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                 "VALUES (1, 1, ?, ?, 0, ?, ?)"));
        q.addBindValue(code);
        q.addBindValue(quantity);
        q.addBindValue(amountUnits);
        q.addBindValue(dt);
        QVERIFY(q.exec());
    }

    static QStringList bucketsOf(const SalesTrend &trend)
    {
        QStringList out{trend.ok ? QStringLiteral("ok") : trend.error};
        for (const SalesTrend::Bucket &b : trend.buckets)
            out << QStringLiteral("%1|%2|%3")
                       .arg(b.start.toString(Qt::ISODate), b.sales.toExactString(), b.profit.toExactString());
        return out;
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void salesEdgeCases()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("it's"), QStringLiteral("苹果"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(200));
        shop.addPurchase(QStringLiteral("A"), 5, Money::fromCents(250));
        shop.addPurchase(QStringLiteral("it's"), 5, Money::fromCents(1000));
        sale(shop, QStringLiteral("A"), 100, 999990000, QStringLiteral("2026-12-01 00:00:00")); // not counted
        sale(shop, QStringLiteral("it's"), 1, 50000, QStringLiteral("2026-12-01 00:00:01"));    // below cost
        sale(shop, QStringLiteral("A"), 1, 30050, QStringLiteral("2026-12-01 09:00:00"));
        sale(shop, QStringLiteral("A"), 2, 60050, QStringLiteral("2026-12-02 09:00:00"));
        sale(shop, QStringLiteral("gone"), 40000, 1, QStringLiteral("2026-12-02 23:59:59")); // no catalogue, no price
        sale(shop, QStringLiteral("A"), 3, 90000, QStringLiteral("2026-12-02 23:59:59"));
        sale(shop, QStringLiteral("A"), 9, 90000, QStringLiteral("2026-12-03 00:00:00")); // not counted
        const SalesFigures f = SalesFigures::compute(shop.db().shop(), QDate(2026, 12, 1), QDate(2026, 12, 2));
        QVERIFY2(f.ok, qPrintable(f.error));
        // A: 3 lines, 18.01 (18.0100 exactly), price 2.50 (the last purchase), profit 18.01 - 15.00
        // it's: 5.00 at a price of 10.00: a loss of 5.00
        // gone: 0.0001 shows 0.00, price 0
        QCOMPARE(rowsOf(f), strings({"it's|苹果|1|5.0000|10.0000|-5.0000", "A|可乐|6|18.0100|2.5000|3.0100",
                                     "gone||40000|0.0000|0.0000|0.0000", "40007|23.0100|-1.9900"}));
        QCOMPARE(rowsOf(f), rowsOf(slowSales(shop, QDate(2026, 12, 1), QDate(2026, 12, 2))));
    }

    void roundingToTheShownFigures()
    {
        TestShop shop;
        shop.create();
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia) VALUES (1, 'A', 10, 12345)"));
        // 1.0050 + 1.0050 = 2.0100; price 1.2345 shows 1.23; profit 2.01 - 2 × 1.23
        sale(shop, QStringLiteral("A"), 2, 10050, QStringLiteral("2026-12-01 10:00:00"));
        sale(shop, QStringLiteral("A"), 0, 10050, QStringLiteral("2026-12-01 11:00:00"));
        const SalesFigures f = SalesFigures::compute(shop.db().shop(), QDate(2026, 12, 1), QDate(2026, 12, 1));
        QCOMPARE(rowsOf(f), strings({"A||2|2.0100|1.2300|-0.4500", "2|2.0100|-0.4500"}));
        const StockFigures s = StockFigures::compute(shop.db().shop());
        QCOMPARE(rowsOf(s), strings({"A||2|2.0100|10|8|1.2300|9.8400", "2|2.0100|10|8|9.8400"}));
    }

    void amountsStoredByOtherToolsCountAsShown_data()
    {
        // What another tool may have stored for ¥2.50: every figure takes it
        // as the ¥2.50 that the day list shows.
        QTest::addColumn<QString>("stored");
        QTest::newRow("REAL") << QStringLiteral("2.5");
        QTest::newRow("text") << QStringLiteral("'2.50'");
        QTest::newRow("integer ten-thousandths") << QStringLiteral("25000");
    }

    void amountsStoredByOtherToolsCountAsShown()
    {
        QFETCH(QString, stored);
        TestShop shop;
        shop.create();
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(100));
        sale(shop, QStringLiteral("A"), 1, 35000, QStringLiteral("2026-12-01 10:00:00"));
        shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                 "VALUES (2, 2, 'A', 1, %1, %1, '2026-12-01 11:00:00')")
                      .arg(stored));
        const SalesFigures sales = SalesFigures::compute(shop.db().shop(), QDate(2026, 12, 1), QDate(2026, 12, 1));
        QVERIFY2(sales.ok, qPrintable(sales.error));
        QCOMPARE(sales.totalAmount, Money::fromCents(600));
        QCOMPARE(sales.totalProfit, Money::fromCents(400));
        const StockFigures stock = StockFigures::compute(shop.db().shop());
        QVERIFY2(stock.ok, qPrintable(stock.error));
        QCOMPARE(stock.totalSoldAmount, Money::fromCents(600));
        QCOMPARE(rowsOf(sales), rowsOf(slowSales(shop, QDate(2026, 12, 1), QDate(2026, 12, 1))));
    }

    void stockEdgeCases()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(200));
        shop.addPurchase(QStringLiteral("N"), 4, Money::fromCents(100)); // never sold
        shop.addPurchase(QStringLiteral("A"), 5, Money::fromCents(250));
        shop.addPurchase(QStringLiteral("M"), 1, Money::fromCents(300)); // more sold than bought
        sale(shop, QStringLiteral("A"), 12, 300000, QStringLiteral("2020-01-01 10:00:00"));
        sale(shop, QStringLiteral("M"), 40000, 400000000, QStringLiteral("2026-01-01 10:00:00"));
        sale(shop, QStringLiteral("S"), 7, 70000, QStringLiteral("2026-01-01 10:00:00")); // sold, never purchased
        const StockFigures f = StockFigures::compute(shop.db().shop());
        QVERIFY2(f.ok, qPrintable(f.error));
        QCOMPARE(rowsOf(f), strings({"A|可乐|12|30.0000|15|3|2.5000|7.5000", "N||0|0.0000|4|4|1.0000|4.0000",
                                     "M||40000|40000.0000|1|-39999|3.0000|-119997.0000",
                                     "40012|40030.0000|20|-39992|-119985.5000"}));
        QCOMPARE(rowsOf(f), rowsOf(slowStock(shop)));
        // After the sales are gone the stock is what was purchased.
        shop.exec(QStringLiteral("DELETE FROM xiaoshou"));
        QCOMPARE(StockFigures::compute(shop.db().shop()).totalStock, 20);
    }

    void followEveryChangeOfTheFile_data()
    {
        // What the analyses keep of the file between runs must follow every
        // change, by this program or by another tool writing the file.
        QTest::addColumn<bool>("byAnotherTool");
        QTest::addColumn<QString>("change");
        const QStringList changes = {
            QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia) VALUES (9, 'A', 3, 41000)"),
            QStringLiteral("UPDATE jinhuo SET jinjia = 7777 WHERE rowid = (SELECT MAX(rowid) FROM jinhuo)"),
            QStringLiteral("DELETE FROM jinhuo WHERE code = 'B'"),
            QStringLiteral("DELETE FROM name WHERE name = '可乐'"),
            QStringLiteral("UPDATE name SET name = '新名' WHERE code = 'B'"),
            QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                           "VALUES (90, 9, 'B', -2, -80000, '2026-12-01 12:00:00')"),
            QStringLiteral("DELETE FROM xiaoshou WHERE code = 'A' AND shuliang = 1"),
            QStringLiteral("UPDATE xiaoshou SET shuliang = 50 WHERE code = 'B'"),
            QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                           "VALUES (91, 9, 'A', 1, 2.5, '2026-12-01 12:00:00')"),
            QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                           "VALUES (92, 9, NULL, 1, 10000, '2026-12-01 12:00:00')"),
            QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia) VALUES (10, 'C', 2.5, 10000)"),
            QStringLiteral("INSERT INTO tiaozheng (code, shuliang, leibie) VALUES ('A', -4, '报损'), ('Z', 2, '盘点')"),
        };
        for (const bool other : {false, true})
            for (const QString &change : changes)
                QTest::newRow(qPrintable((other ? QStringLiteral("another tool: ") : QString()) + change.left(60)))
                    << other << change;
    }

    void followEveryChangeOfTheFile()
    {
        QFETCH(bool, byAnotherTool);
        QFETCH(QString, change);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("A"), QStringLiteral("又名"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("苹果"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(200));
        shop.addPurchase(QStringLiteral("B"), 5, Money::fromCents(300));
        shop.addPurchase(QStringLiteral("A"), 5, Money::fromCents(250));
        sale(shop, QStringLiteral("A"), 1, 30000, QStringLiteral("2026-12-01 09:00:00"));
        sale(shop, QStringLiteral("B"), 2, 80000, QStringLiteral("2026-12-01 10:00:00"));
        sale(shop, QStringLiteral("A"), 3, 90000, QStringLiteral("2026-11-01 10:00:00"));
        const QDate day(2026, 12, 1);
        auto same = [&] {
            QCOMPARE(rowsOf(SalesFigures::compute(shop.db().shop(), day, day)), rowsOf(slowSales(shop, day, day)));
            QCOMPARE(rowsOf(StockFigures::compute(shop.db().shop())), rowsOf(slowStock(shop)));
        };
        same(); // and keeps what it read
        if (byAnotherTool) {
            sqlite3 *other = nullptr;
            QCOMPARE(
                sqlite3_open_v2(QFile::encodeName(shop.path()).constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
                SQLITE_OK);
            const QByteArray sql = change.toUtf8();
            QCOMPARE(sqlite3_exec(other, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(other);
        } else {
            shop.exec(change);
        }
        same();
        // A sale added after it by the till is counted on the next run too.
        sale(shop, QStringLiteral("B"), 4, 160000, QStringLiteral("2026-12-01 11:00:00"));
        same();
    }

    void theServerKeepsUpWithEveryWrite_data()
    {
        // What the server keeps per code must follow every write to the
        // lines, by the program or another tool, as the file's figures do.
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("onFile"); // empty: the same
        const QString same;
        QTest::newRow("nothing") << QStringLiteral("SELECT 1") << same;
        QTest::newRow("purchase") << QStringLiteral(
                                         "INSERT INTO jinhuo (id, code, shuliang, jinjia, changjia, guoqidt) "
                                         "VALUES (9, 'A', 3, 41000, '丁厂', '2026-12-03')")
                                  << same;
        QTest::newRow("new code") << QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, guoqidt) "
                                                    "VALUES (9, 'N', 4, 1000, '2026-12-04')")
                                  << same;
        QTest::newRow("last price")
            << QStringLiteral(
                   "UPDATE jinhuo SET jinjia = 7777, changjia = '戊厂' WHERE rowid = (SELECT MAX(rowid) FROM jinhuo)")
            << same;
        QTest::newRow("purchase moved") << QStringLiteral("UPDATE jinhuo SET code = 'B' WHERE code = 'A'") << same;
        QTest::newRow("purchases gone") << QStringLiteral("DELETE FROM jinhuo WHERE code = 'B'") << same;
        QTest::newRow("first name gone") << QStringLiteral("DELETE FROM name WHERE name = '可乐'") << same;
        QTest::newRow("renamed") << QStringLiteral("UPDATE name SET name = '新名' WHERE code = 'B'") << same;
        QTest::newRow("return") << QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                                                  "VALUES (90, 9, 'B', -2, -80000, '2026-12-01 12:00:00')")
                                << same;
        QTest::newRow("new codes in one statement")
            << QStringLiteral(
                   "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) VALUES "
                   "(93, 9, 'N', 1, 100, '2026-12-02 08:00:00'), (94, 9, 'M', 2, 200, '2026-12-02 08:00:00'), "
                   "(95, 9, 'N', 3, 300, '2026-12-02 08:00:00')")
            << same;
        QTest::newRow("a line at a month's first moment")
            << QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                              "VALUES (96, 9, 'B', 7, 700, '2026-11-01 00:00:00')")
            << same;
        // Past a thousand lines a change counts its periods again whole.
        QTest::newRow("many lines in, most gone, the rest moved and changed")
            << QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                   "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) SELECT 1000 + i, 50, "
                   "CASE i % 3 WHEN 0 THEN 'A' WHEN 1 THEN 'B' ELSE 'X' END, 1, i, '2026-12-03 08:00:00' FROM n;"
                   "DELETE FROM xiaoshou WHERE id > 1000 AND (id % 2 = 0 OR id % 3 = 0);"
                   "UPDATE xiaoshou SET dt = '2026-11-20 08:00:00' WHERE id > 1000;"
                   "UPDATE xiaoshou SET shuliang = 3, code = 'Y' WHERE id > 1000 AND id % 5 = 0")
            << same;
        QTest::newRow("lines gone") << QStringLiteral("DELETE FROM xiaoshou WHERE code = 'A' AND shuliang = 1") << same;
        QTest::newRow("lines changed") << QStringLiteral("UPDATE xiaoshou SET shuliang = 50, jine = 1 WHERE code = 'B'")
                                       << same;
        QTest::newRow("lines moved") << QStringLiteral("UPDATE xiaoshou SET code = 'B' WHERE code = 'A'") << same;
        QTest::newRow("a line without code")
            << QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine, dt) "
                              "VALUES (92, 9, NULL, 1, 10000, '2026-12-01 12:00:00')")
            << same;
        QTest::newRow("sales emptied") << QStringLiteral("TRUNCATE xiaoshou") << QStringLiteral("DELETE FROM xiaoshou");
        QTest::newRow("purchases emptied") << QStringLiteral("TRUNCATE jinhuo") << QStringLiteral("DELETE FROM jinhuo");
        QTest::newRow("catalogue emptied") << QStringLiteral("TRUNCATE name") << QStringLiteral("DELETE FROM name");
    }

    void theServerKeepsUpWithEveryWrite()
    {
        QFETCH(QString, change);
        QFETCH(QString, onFile);
        TestShop file, server;
        for (TestShop *shop : {&file, &server}) {
            shop->create();
            shop->addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
            shop->addGoods(QStringLiteral("A"), QStringLiteral("又名"));
            shop->addGoods(QStringLiteral("B"), QStringLiteral("苹果"));
            shop->addPurchase(QStringLiteral("A"), 10, Money::fromCents(200));
            shop->addPurchase(QStringLiteral("B"), 5, Money::fromCents(300));
            shop->addPurchase(QStringLiteral("A"), 5, Money::fromCents(250));
            sale(*shop, QStringLiteral("A"), 1, 30000, QStringLiteral("2026-12-01 09:00:00"));
            sale(*shop, QStringLiteral("B"), 2, 80000, QStringLiteral("2026-12-01 10:00:00"));
            sale(*shop, QStringLiteral("A"), 3, 90000, QStringLiteral("2026-11-01 10:00:00"));
            // Past the few minimums read one by one.
            for (int i = 0; i <= ReorderFigures::ManyMinimums; ++i)
                shop->exec(QStringLiteral("INSERT INTO zuidi (code, shuliang) VALUES ('%1', 20)")
                               .arg(i < 3 ? QString(QChar(u'A' + i)) : QStringLiteral("F%1").arg(i)));
        }
        server.moveToServer();
        for (const QString &statement : (onFile.isEmpty() ? change : onFile).split(u';'))
            file.exec(statement);
        for (const QString &statement : change.split(u';'))
            server.exec(statement);
        const QDate day(2026, 12, 1);
        auto figures = [day](TestShop &shop) {
            const Shop handle = shop.db().shop();
            const QSqlDatabase db = handle.connection();
            QStringList all = rowsOf(SalesFigures::compute(handle, day, day)) + rowsOf(StockFigures::compute(handle)) +
                              rowsOf(SalesFigures::compute(handle, QDate(2026, 11, 1), QDate(2026, 12, 31))) +
                              rowsOf(SalesFigures::compute(handle, QDate(2026, 1, 1), QDate(2026, 12, 31))) +
                              rowsOf(SalesFigures::compute(handle, QDate(2026, 12, 1), QDate(2026, 12, 31)));
            for (const ExpiryFigures::Row &r : ExpiryFigures::compute(handle, day, 400).rows)
                all.append(
                    QStringLiteral("%1|%2|%3|%4|%5").arg(r.code, r.name).arg(r.stock).arg(r.quantity).arg(r.daysLeft));
            for (const ReorderFigures::Row &r : ReorderFigures::compute(handle, day).rows)
                all.append(QStringLiteral("%1|%2|%3|%4").arg(r.maker, r.code, r.name).arg(r.stock));
            return all;
        };
        QCOMPARE(figures(server), figures(file));
    }

    void aTableOfCodesKeepsEveryCodeApart()
    {
        // Codes of every length, many of them alike but for one byte at the
        // start, the middle or the end, and bytes a text may hold (NUL, UTF-8):
        // each keeps its own entry while the table grows many times.
        std::vector<std::string> codes{std::string(), std::string(1, '\0'), std::string(2, '\0'), "货号"};
        for (int n = 0; n < 6000; ++n) {
            const std::string digits = std::to_string(6901000000000LL + n * 7919LL);
            codes.push_back(digits);
            codes.push_back(digits + "x");
            codes.push_back("x" + digits);
            codes.push_back(std::string(size_t(n % 40), 'a') + std::to_string(n));
            std::string twin = digits;
            twin[6] ^= 1;
            codes.push_back(twin);
        }
        std::sort(codes.begin(), codes.end());
        codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
        std::shuffle(codes.begin(), codes.end(), std::mt19937(20261210));
        CodeTable<int> table;
        for (size_t i = 0; i < codes.size(); ++i) {
            bool added = false;
            table.at(codes[i], &added).value = int(i);
            QVERIFY2(added, codes[i].c_str());
        }
        QCOMPARE(table.entries().size(), codes.size());
        for (size_t i = 0; i < codes.size(); ++i) {
            bool added = true;
            const auto &entry = table.at(codes[i], &added);
            QVERIFY(!added);
            QCOMPARE(entry.value, int(i));
            QVERIFY(entry.code == codes[i]);
            QVERIFY(table.entries()[i].code == codes[i]); // in the order first met
        }
    }

    void equalToTheSlowWalkOnGeneratedData()
    {
        // Every fifth code is longer than a short string keeps in itself.
        auto codeOf = [](int c) {
            return c % 5 == 0 ? QStringLiteral("长货号-%1-0123456789'").arg(c) : QStringLiteral("C%1'").arg(c);
        };
        TestShop shop;
        shop.create();
        QRandomGenerator random(20261208);
        QSqlQuery q(shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("BEGIN")));
        // 60 codes; every seventh is missing from the catalogue, every eleventh is there twice.
        for (int c = 0; c < 60; ++c) {
            const QString code = codeOf(c);
            if (c % 7 != 3)
                shop.addGoods(code, QStringLiteral("货%1").arg(c));
            if (c % 11 == 5)
                shop.addGoods(code, QStringLiteral("又%1").arg(c));
        }
        for (int p = 0; p < 400; ++p) {
            q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia) VALUES (?, ?, ?, ?)"));
            q.addBindValue(p + 1);
            q.addBindValue(codeOf(random.bounded(50)));
            q.addBindValue(random.bounded(1, 60));
            q.addBindValue(qint64(random.bounded(1, 2000000))); // four decimals
            QVERIFY(q.exec());
        }
        const QDateTime start(QDate(2026, 11, 1), QTime(0, 0));
        for (int l = 0; l < 5000; ++l) {
            // Whole seconds over ten days, with lines on the first moment of days.
            const qint64 at = l % 97 == 0 ? qint64(random.bounded(10)) * 86400 : random.bounded(10 * 86400);
            q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                     "VALUES (?, ?, ?, ?, 0, ?, ?)"));
            q.addBindValue(l + 1);
            q.addBindValue(l / 4);
            q.addBindValue(codeOf(random.bounded(60)));
            q.addBindValue(random.bounded(-2, 30));
            q.addBindValue(qint64(random.bounded(0, 5000000)) - 100000);
            q.addBindValue(start.addSecs(at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            QVERIFY(q.exec());
        }
        // Counts and write-offs, also of codes never purchased (50-59).
        for (int a = 0; a < 300; ++a) {
            q.prepare(QStringLiteral("INSERT INTO tiaozheng (dt, code, shuliang, leibie) VALUES (?, ?, ?, ?)"));
            q.addBindValue(QStringLiteral("2026-11-05 10:00:00"));
            q.addBindValue(codeOf(random.bounded(60)));
            q.addBindValue(random.bounded(-20, 20));
            q.addBindValue(a % 2 ? QStringLiteral("盘点") : QStringLiteral("报损"));
            QVERIFY(q.exec());
        }
        // Five goods sold by weight: their quantities are grams, their prices per kg.
        for (int w = 0; w < 5; ++w) {
            q.prepare(QStringLiteral("INSERT INTO chengzhong (code, chengma) VALUES (?, ?)"));
            q.addBindValue(codeOf(w * 7));
            q.addBindValue(QString::number(w + 1));
            QVERIFY(q.exec());
        }
        // Deleted rows leave gaps.
        QVERIFY(q.exec(QStringLiteral("DELETE FROM xiaoshou WHERE id % 13 = 0")));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM jinhuo WHERE id % 17 = 0")));
        QVERIFY(q.exec(QStringLiteral("COMMIT")));

        // The same figures from the same shop on the server.
        const QList<std::pair<QDate, QDate>> ranges = {{QDate(2026, 11, 1), QDate(2026, 11, 10)},
                                                       {QDate(2026, 11, 3), QDate(2026, 11, 3)},
                                                       {QDate(2026, 11, 4), QDate(2026, 11, 8)},
                                                       {QDate(2026, 10, 1), QDate(2026, 10, 30)},
                                                       // Whole months and years, with and without lines
                                                       // at their first moment.
                                                       {QDate(2026, 11, 1), QDate(2026, 11, 30)},
                                                       {QDate(2026, 11, 2), QDate(2026, 12, 31)},
                                                       {QDate(2026, 1, 1), QDate(2026, 12, 31)},
                                                       {QDate(2025, 12, 31), QDate(2027, 1, 1)},
                                                       {QDate(2026, 10, 15), QDate(2027, 2, 3)}};
        const QStringList stock = rowsOf(slowStock(shop));
        QList<QStringList> sales;
        for (auto [first, last] : ranges)
            sales.append(rowsOf(slowSales(shop, first, last)));
        for (const bool server : {false, true}) {
            if (server)
                shop.moveToServer();
            QCOMPARE(rowsOf(StockFigures::compute(shop.db().shop())), stock);
            for (int r = 0; r < ranges.size(); ++r) {
                const SalesFigures fast = SalesFigures::compute(shop.db().shop(), ranges[r].first, ranges[r].second);
                QVERIFY2(fast.ok, qPrintable(fast.error));
                QCOMPARE(rowsOf(fast), sales[r]);
                // The chart of the days the analysis added up in its own pass
                // is the chart of the chart's own pass over the lines.
                SalesFigures withoutDays = fast;
                withoutDays.hasDays = false;
                QCOMPARE(bucketsOf(SalesTrend::compute(shop.db().shop(), fast.first, fast.last, fast)),
                         bucketsOf(SalesTrend::compute(shop.db().shop(), fast.first, fast.last, withoutDays)));
            }
        }
    }

    // Tickets of the till at a special's and a member's prices count at what
    // was charged, as the slow walk over the stored lines has it, on both
    // engines.
    void specialAndMemberTicketsEqualTheSlowWalk()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("牛奶"));
        shop.addPurchase(QStringLiteral("A"), 50, Money::fromCents(250));
        shop.addPurchase(QStringLiteral("B"), 50, Money::fromCents(500));
        shop.exec(QStringLiteral("UPDATE jinhuo SET huiyuanjia = 45000 WHERE code = 'B'"));
        const Shop s = shop.db().shop();
        const QDate today = QDate::currentDate();
        Special special;
        special.code = QStringLiteral("A");
        special.price = Money::fromCents(199);
        special.first = special.last = today;
        Member member;
        member.card = QStringLiteral("8800001");
        member.name = QStringLiteral("张三");
        member.joined = today;
        QVERIFY_OK(Specials::store(s, special));
        QVERIFY_OK(Members::store(s, member, true));
        Checkout checkout(s);
        const GoodsCatalogue catalogue(s);
        auto ring = [&](const char *code, qint32 quantity) {
            const auto looked = checkout.lookup(catalogue, QString::fromLatin1(code));
            QVERIFY_OK(looked);
            const GoodsCatalogue::Lookup &found = *looked;
            const auto charge = found.purchases.charge();
            QVERIFY(checkout.addLine(QString::fromLatin1(code), found.name, quantity, found.purchases.lastPrice,
                                     charge.price, Checkout::Looked{charge, QStringLiteral("10")}));
        };
        ring("A", 3); // 3 × 1.99
        ring("B", 1);
        QVERIFY(checkout
                    .store(PaymentMethod::Card,
                           *Checkout::settle(checkout.ticket()->amountTotal(), PaymentMethod::Card, Money()))
                    .ok);
        checkout.clear();
        ring("B", 2);
        QCOMPARE(checkout.ringMember(catalogue, member.card).valueOr(Checkout::MemberRing::NotMember),
                 Checkout::MemberRing::Joined);
        ring("A", 1);
        QCOMPARE(checkout.ticket()->amountTotal(), Money::fromCents(900 + 199));
        QVERIFY(checkout
                    .store(PaymentMethod::Card,
                           *Checkout::settle(checkout.ticket()->amountTotal(), PaymentMethod::Card, Money()))
                    .ok);
        const QStringList sales = rowsOf(slowSales(shop, today, today));
        const QStringList stock = rowsOf(slowStock(shop));
        for (const bool server : {false, true}) {
            if (server)
                shop.moveToServer();
            const SalesFigures fast = SalesFigures::compute(shop.db().shop(), today, today);
            QVERIFY2(fast.ok, qPrintable(fast.error));
            QCOMPARE(rowsOf(fast), sales);
            QCOMPARE(fast.totalAmount, Money::fromCents(597 + 500 + 900 + 199));
            QCOMPARE(rowsOf(StockFigures::compute(shop.db().shop())), stock);
        }
    }
};

QTEST_MAIN(TestFigures)
#include "tst_figures.moc"
