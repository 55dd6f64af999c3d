#include "shop/dayclose.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/serverroles.h"
#include "shop/trail.h"
#include "testshop.h"
#include "throwawayserver.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

// The shop's two roles on a real server: the tills' may sell, return, close
// and append to the trail but change or delete nothing stored; the back
// office's may do its work, but neither may change or delete the trail.
class TestRoles : public QObject
{
    Q_OBJECT

    static std::unique_ptr<Database> openAs(const TestShop &shop, const QString &role, int till)
    {
        ShopConfig as = shop.server();
        as.user = role;
        as.till = till;
        Database::Result opened = Database::openServer(as);
        if (!opened.database)
            qWarning("%s", qPrintable(opened.message));
        return std::move(opened.database);
    }
    // The statements the role may not run, each refused by the server's rights.
    static void refused(const Shop &shop, const QStringList &statements)
    {
        for (const QString &sql : statements) {
            QSqlQuery q(shop.connection());
            QVERIFY2(!q.exec(sql), qPrintable(sql));
            QCOMPARE(q.lastError().nativeErrorCode(), QStringLiteral("42501")); // insufficient privilege
        }
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void eachRoleDoesItsWorkAndNoMore()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(200));
        shop.moveToServer();
        const QString office = QStringLiteral("office_") + shop.server().name;
        const QString tills = QStringLiteral("till_") + shop.server().name;
        for (const QString &role : {office, tills})
            ThrowawayServer::shared().exec(shop.server().name, QStringLiteral("CREATE ROLE %1 LOGIN").arg(role));
        const QSqlDatabase owner = shop.db().shop().connection();
        QVERIFY(!ServerRoles::grant(owner, office, QStringLiteral("nobody_here")).isEmpty());
        QCOMPARE(ServerRoles::grant(owner, office, tills), QString());

        const std::unique_ptr<Database> till = openAs(shop, tills, 2);
        QVERIFY(till);
        const Shop t = till->shop();
        const QDateTime now = QDateTime::currentDateTime();
        const SalesStore::Stored sold =
            SalesStore(t).storeTicket(1, {{QStringLiteral("A"), QStringLiteral("可乐"), 3, Money::fromCents(300),
                                           Money::fromCents(300), Money::fromCents(900), now}});
        QVERIFY2(sold.ok, qPrintable(sold.error));
        const auto lines = Returns::ticketLines(t, sold.ticketNumber);
        QVERIFY2(lines && lines->size() == 1, qPrintable(lines.errorText()));
        const SalesStore::Stored returned = SalesStore(t).storeTicket(
            sold.ticketNumber + 1, {Returns::returnLine(lines->first(), sold.ticketNumber, 0, 1, now)});
        QVERIFY2(returned.ok, qPrintable(returned.error));
        QVERIFY_OK(Trail::appendAlone(t, QStringLiteral("删除本行"), QStringLiteral("A 1")));
        DayClose close(t);
        QVERIFY_OK(close.close(Money::fromCents(600)));
        refused(t, {QStringLiteral("DELETE FROM xiaoshou"), QStringLiteral("UPDATE xiaoshou SET jine = 0"),
                    QStringLiteral("TRUNCATE xiaoshou"), QStringLiteral("DELETE FROM jinhuo"),
                    QStringLiteral("UPDATE name SET name = 'x'"), QStringLiteral("UPDATE fukuan SET shoukuan = 0"),
                    QStringLiteral("DELETE FROM caozuo"), QStringLiteral("UPDATE caozuo SET neirong = ''")});

        const std::unique_ptr<Database> back = openAs(shop, office, 3);
        QVERIFY(back);
        QSqlQuery q(back->shop().connection());
        QVERIFY2(q.exec(QStringLiteral("DELETE FROM xiaoshou WHERE shuliang < 0")), qPrintable(q.lastError().text()));
        refused(back->shop(), {QStringLiteral("DELETE FROM caozuo"), QStringLiteral("UPDATE caozuo SET neirong = ''"),
                               QStringLiteral("TRUNCATE caozuo")});
        QCOMPARE(Trail::check(back->shop()).whole, true);
    }
};

QTEST_MAIN(TestRoles)
#include "tst_roles.moc"
