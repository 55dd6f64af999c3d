#include "shop/cataloguelist.h"
#include "shop/checkout.h"
#include "shop/datacleanup.h"
#include "shop/dayclose.h"
#include "shop/daysales.h"
#include "shop/purchasestore.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/settings.h"
#include "shop/shopcopy.h"
#include "shop/trail.h"
#include "testshop.h"

#include <QDir>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>

// 操作记录: every deletion, void and cleanup leaves its record, and a record
// taken away or changed by another tool shows in the chain.
class TestTrail : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void everyActLeavesItsRecord_data() { addEngineColumn(); }
    void everyActLeavesItsRecord()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("雪碧"));
        shop.addPurchase(QStringLiteral("B"), 5, Money::fromCents(300));
        shop.addSale(1, 1, QStringLiteral("A"), 2, Money::fromCents(250));
        shop.addSale(2, 2, QStringLiteral("A"), 3, Money::fromCents(250));
        if (server)
            shop.moveToServer();
        // The cleanup writes its copy in the working directory on the server.
        const QString wasCurrent = QDir::currentPath();
        QDir::setCurrent(shop.dir());
        const Shop s = shop.db().shop();

        CatalogueList list(s);
        QVERIFY(list.reload());
        QVERIFY2(list.rename(0, QStringLiteral("可口可乐")), qPrintable(list.lastError()));
        QSqlQuery q(s.connection());
        QVERIFY(q.exec(QStringLiteral("SELECT rowid, id FROM jinhuo")) && q.next());
        PurchaseStore purchases(s);
        QCOMPARE(purchases.remove(q.value(0).toLongLong(), q.value(1).toLongLong(), QStringLiteral("B"))
                     .valueOr(PurchaseStore::Removal::Gone),
                 PurchaseStore::Removal::Deleted);
        QVector<DaySales::Line> lines;
        DaySales::Totals totals;
        QVERIFY_OK(DaySales::fill(s, QDate(2026, 12, 1), &lines, &totals));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(DaySales::deleteLine(s, lines[0].stored).valueOr(false), true);
        QVERIFY2(list.remove(1), qPrintable(list.lastError()));
        QVERIFY(Settings(s).setPassword(QStringLiteral("4321")));
        QVERIFY(Settings(s).setReceiptHeader(QStringLiteral("新抬头")));
        Checkout checkout(s);
        checkout.addLine(QStringLiteral("A"), QStringLiteral("可乐"), 1, Money::fromCents(250), Money::fromCents(250));
        checkout.addLine(QStringLiteral("A"), QStringLiteral("可乐"), 2, Money::fromCents(250), Money::fromCents(200));
        QCOMPARE(checkout.voidLine(0), QString());
        QCOMPARE(checkout.emptyTicket(), QString());
        QCOMPARE(checkout.emptyTicket(), QString()); // held no line: nothing to record
        const auto sold = Returns::ticketLines(s, 2);
        QVERIFY2(sold && sold->size() == 1, qPrintable(sold.errorText()));
        const SalesStore::Stored returned =
            SalesStore(s).storeTicket(3, {Returns::returnLine(sold->first(), 2, 0, 1, QDateTime::currentDateTime())});
        QVERIFY2(returned.ok, qPrintable(returned.error));
        QVERIFY_OK(DayClose(s).close(Money::fromCents(100))); // the drawer should hold 0
        QVERIFY(DataCleanup::run(s, shop.path(), DataCleanup::Scope::Sales).ok);
        QDir::setCurrent(wasCurrent);

        const auto records = Trail::list(s, QDate::currentDate(), QDate::currentDate(), QString());
        QVERIFY_OK(records);
        QStringList kinds;
        for (const Trail::Record &r : *records)
            kinds.append(r.kind);
        QCOMPARE(kinds, strings({"货名改名", "删除进货", "删除销售", "删除货名", "修改密码", "票据设计", "删除本行",
                                 "清除小票", "退货", "日结差额", "数据清理"}));
        // The whole row as it was read; never the password.
        QVERIFY2(records->at(1).what.contains(QStringLiteral("shuliang=5")), qPrintable(records->at(1).what));
        QVERIFY2(records->at(2).what.contains(QStringLiteral("danjuhao=1")), qPrintable(records->at(2).what));
        QVERIFY(!records->at(4).what.contains(QStringLiteral("4321")));
        QVERIFY2(records->at(7).what.contains(QStringLiteral("数量 2")), qPrintable(records->at(7).what));
        QCOMPARE(records->at(6).mode, QStringLiteral("收银"));
        QCOMPARE(records->at(0).mode, QStringLiteral("管理"));
        QVERIFY(Trail::check(s).whole);
        QVERIFY2(records->at(8).what.contains(QStringLiteral("原流水号 2")), qPrintable(records->at(8).what));
        QVERIFY2(records->at(9).what.contains(QStringLiteral("差额")), qPrintable(records->at(9).what));
        QCOMPARE(Trail::check(s).records, 11);
    }

    // Another tool (the sqlite3 shell) deletes or changes a record.
    void aRecordTakenOrChangedElsewhereBreaksTheChain_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<qint64>("brokenAt");
        QTest::newRow("the second deleted") << "DELETE FROM caozuo WHERE id = 2" << qint64(3);
        QTest::newRow("the first deleted") << "DELETE FROM caozuo WHERE id = 1" << qint64(2);
        QTest::newRow("a text changed") << "UPDATE caozuo SET neirong = '货号 X' WHERE id = 2" << qint64(2);
        QTest::newRow("a time changed") << "UPDATE caozuo SET dt = '2020-01-01 00:00:00' WHERE id = 3" << qint64(3);
    }
    void aRecordTakenOrChangedElsewhereBreaksTheChain()
    {
        QFETCH(QString, sql);
        QFETCH(qint64, brokenAt);
        TestShop shop;
        shop.create();
        const Shop s = shop.db().shop();
        for (int i = 0; i < 3; ++i)
            QVERIFY_OK(Trail::appendAlone(s, QStringLiteral("删除本行"), QStringLiteral("货号 %1").arg(i)));
        QVERIFY(Trail::check(s).whole);
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(shop.path()).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        const Trail::Check check = Trail::check(s);
        QVERIFY(!check.whole);
        QCOMPARE(check.brokenAt, brokenAt);
        QVERIFY(Trail::checkInWords(check).contains(QString::number(brokenAt)));
    }

    // Onto the server and back into a new file, the chain stays whole.
    void theTrailGoesWithTheCopies()
    {
        TestShop shop;
        shop.create();
        for (int i = 0; i < 3; ++i)
            QVERIFY_OK(
                Trail::appendAlone(shop.db().shop(), QStringLiteral("删除本行"), QStringLiteral("货号 %1").arg(i)));
        shop.moveToServer();
        QVERIFY_OK(Trail::appendAlone(shop.db().shop(), QStringLiteral("报损"), QStringLiteral("货号 A")));
        const Trail::Check onServer = Trail::check(shop.db().shop());
        QVERIFY(onServer.whole);
        QCOMPARE(onServer.records, 4);
        const QString back = shop.dir() + QStringLiteral("/back.db");
        const ShopCopy::Outcome out = ShopCopy::fromServer(shop.server(), back);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        Database::Result opened = Database::open(back);
        QVERIFY2(opened.database, qPrintable(opened.message));
        const Trail::Check onFile = Trail::check(opened.database->shop());
        QVERIFY(onFile.whole);
        QCOMPARE(onFile.records, 4);
    }
};

QTEST_MAIN(TestTrail)
#include "tst_trail.moc"
