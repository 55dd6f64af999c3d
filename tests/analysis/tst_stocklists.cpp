#include "print/listreport.h"
#include "printedpdf.h"
#include "shop/cataloguelist.h"
#include "shop/expiry.h"
#include "shop/reorder.h"
#include "testshop.h"

#include <QPdfWriter>
#include <QTemporaryDir>
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
    // Goods F001… each with stock and a purchase `expiresInDays` off: filler
    // that makes a list long.
    static void addFiller(TestShop &shop, int count, int expiresInDays)
    {
        for (int i = 1; i <= count; ++i) {
            const QString code = QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0'));
            shop.addGoods(code, QStringLiteral("货") + code);
            purchase(shop, code, 1000, expiresInDays, QStringLiteral("丙厂"));
        }
    }

    void expiry_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("many"); // a long list, past ManyNames rows
        QTest::addColumn<int>("days");
        QTest::addColumn<QStringList>("rows"); // code:quantity of stock:days left
        for (const auto &[server, many] : {std::pair(false, false), std::pair(true, false), std::pair(true, true)}) {
            const QString engine =
                QLatin1String(server ? " (server" : " (file") + QLatin1String(many ? ", a long list)" : ")");
            // X: 20 for next year, then 6 for next week, 16 sold: its 10 are
            // those 6 and 4 of the 20. Y expired yesterday. Z is sold out.
            QTest::newRow(qPrintable(QStringLiteral("30 days") + engine))
                << server << many << 30 << strings({"Y:5:-1", "X:6:7"});
            QTest::newRow(qPrintable(QStringLiteral("a year") + engine))
                << server << many << 400 << strings({"Y:5:-1", "X:6:7", "X:4:365"});
            QTest::newRow(qPrintable(QStringLiteral("none yet") + engine))
                << server << many << 0 << strings({"Y:5:-1"});
        }
    }

    void expiry()
    {
        QFETCH(bool, server);
        QFETCH(bool, many);
        QFETCH(int, days);
        QFETCH(QStringList, rows);
        TestShop shop;
        shop.create();
        if (many)
            addFiller(shop, ExpiryFigures::ManyNames, -2); // expired before Y, so listed first
        shop.addGoods(QStringLiteral("X"), QStringLiteral("酸奶"));
        purchase(shop, QStringLiteral("X"), 20, 365, QString());
        purchase(shop, QStringLiteral("Z"), 3, 2, QString());
        purchase(shop, QStringLiteral("X"), 6, 7, QString());
        purchase(shop, QStringLiteral("Y"), 5, -1, QString());
        sell(shop, QStringLiteral("X"), 16, 3);
        sell(shop, QStringLiteral("Z"), 3, 1);
        if (server)
            shop.moveToServer();
        const ExpiryFigures f = ExpiryFigures::compute(shop.db().shop(), Today, days);
        QVERIFY2(f.ok, qPrintable(f.error));
        QList<ExpiryFigures::Row> listed = f.rows;
        for (qsizetype i = 0; many && i < ExpiryFigures::ManyNames; ++i) {
            const ExpiryFigures::Row filler = listed.takeFirst();
            QCOMPARE(filler.name, QStringLiteral("货") + filler.code);
        }
        QStringList got;
        for (const ExpiryFigures::Row &r : listed)
            got.append(QStringLiteral("%1:%2:%3").arg(r.code).arg(r.quantity).arg(r.daysLeft));
        QCOMPARE(got, rows);
        for (const ExpiryFigures::Row &r : listed)
            QCOMPARE(r.stock, r.code == u"X" ? 10 : 5);
        QCOMPARE(listed.value(0).name, QString()); // Y is in no catalogue
        QCOMPARE(listed.value(1).name, days > 0 ? QStringLiteral("酸奶") : QString());
    }

    void reorder_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("many"); // past ManyMinimums goods with a minimum
        QTest::newRow("file") << false << false;
        QTest::newRow("server") << true << false;
        QTest::newRow("server, many minimums") << true << true;
    }

    void reorder()
    {
        QFETCH(bool, server);
        QFETCH(bool, many);
        TestShop shop;
        shop.create();
        if (many)
            addFiller(shop, ReorderFigures::ManyMinimums, 100); // well above their minimums
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
        // D: sold 30 and 29 days back; only the later one is of the last 30 days.
        sell(shop, QStringLiteral("D"), 1, 30);
        sell(shop, QStringLiteral("D"), 1, 29);
        if (server)
            shop.moveToServer();
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        for (const auto &[code, minimum] : {std::pair("A", 9), std::pair("A", 5), std::pair("C", 2), std::pair("D", 0)})
            QVERIFY_OK(MinimumStock::set(handle, QString::fromLatin1(code), minimum));
        for (int i = 1; many && i <= ReorderFigures::ManyMinimums; ++i)
            QVERIFY_OK(MinimumStock::set(handle, QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0')), 999));
        const auto minimumOf = [&](const QString &code) {
            const auto minimum = MinimumStock::of(handle, code);
            if (!minimum)
                qFatal("no minimum: %s", qPrintable(minimum.errorText()));
            return *minimum;
        };
        QCOMPARE(minimumOf(QStringLiteral("A")), std::optional<qint64>(5));
        QCOMPARE(minimumOf(QStringLiteral("B")), std::optional<qint64>());
        const ReorderFigures f = ReorderFigures::compute(handle, Today);
        QVERIFY2(f.ok, qPrintable(f.error));
        QStringList got;
        for (const ReorderFigures::Row &r : f.rows)
            got.append(QStringLiteral("%1 %2 %3 %4/%5 %6")
                           .arg(r.maker, r.code, r.name)
                           .arg(r.stock)
                           .arg(r.minimum)
                           .arg(r.soldRecently));
        QCOMPARE(got, strings({" D 货D -2/0 1", "乙厂 A 货A 3/5 4"}));
        // Sold again, D's stock falls further: the list follows.
        sell(shop, QStringLiteral("D"), 2, 1);
        QCOMPARE(ReorderFigures::compute(handle, Today).rows.value(0).stock, -4);
        // A goods deleted in the catalogue takes its minimum with it.
        {
            CatalogueList catalogue(handle);
            QVERIFY(catalogue.reload());
            int row = 0;
            while (row < catalogue.rowCount() && catalogue.index(row, 0).data().toString() != u"A")
                ++row;
            QVERIFY(catalogue.remove(row));
            QCOMPARE(minimumOf(QStringLiteral("A")), std::optional<qint64>());
            QCOMPARE(ReorderFigures::compute(handle, Today).rows.size(), 1);
            shop.addGoods(QStringLiteral("A"), QStringLiteral("货A"));
            QVERIFY_OK(MinimumStock::set(handle, QStringLiteral("A"), 5));
        }
        // Taken away, a minimum lists nothing.
        QVERIFY_OK(MinimumStock::set(handle, QStringLiteral("A"), std::nullopt));
        QVERIFY_OK(MinimumStock::set(handle, QStringLiteral("D"), std::nullopt));
        QVERIFY(ReorderFigures::compute(handle, Today).rows.isEmpty());
        // The filler at its minimum is listed with its own name and maker.
        if (many) {
            sell(shop, QStringLiteral("F007"), 1, 1);
            const QList<ReorderFigures::Row> rows = ReorderFigures::compute(handle, Today).rows;
            QCOMPARE(rows.size(), 1);
            QCOMPARE(QStringList({rows[0].maker, rows[0].code, rows[0].name}), strings({"丙厂", "F007", "货F007"}));
        }
    }

    void thePrintedReorderListNamesEachMakerOnce()
    {
        const ListReport report{QStringLiteral("补货单"),
                                ReorderFigures::captions(),
                                {3, 3, 4, 2, 2, 2},
                                {strings({"甲厂", "A1", "可乐", "1", "5", "4"}),
                                 strings({"甲厂", "A2", "雪碧", "0", "5", "2"}),
                                 strings({"乙厂", "B1", "薯片", "2", "3", "1"})},
                                0};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.pdf"));
        {
            QPdfWriter pdf(path);
            QVERIFY(report.paint(&pdf));
        }
        const QString text = pdfText(path);
        QCOMPARE(text.count(QStringLiteral("甲厂")), 1);
        QCOMPARE(text.count(QStringLiteral("乙厂")), 1);
        QVERIFY(text.contains(QStringLiteral("雪碧")));
    }
};

const QDate TestStockLists::Today(2026, 12, 9);

QTEST_MAIN(TestStockLists)
#include "tst_stocklists.moc"
