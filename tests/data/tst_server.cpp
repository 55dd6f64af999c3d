// The shop on a real PostgreSQL server: the configuration, the copies both
// ways, one program per till, and checkouts through an outage and a lost
// commit answer.
#include "shop/database.h"
#include "shop/salesstore.h"
#include "shop/schema.h"
#include "shop/shopconfig.h"
#include "shop/shopcopy.h"
#include "shop/stockfigures.h"
#include "shop/ticket.h"
#include "testshop.h"
#include "throwawayserver.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <thread>

namespace {

QList<TicketLine> linesOf(std::initializer_list<std::pair<const char *, int>> items)
{
    QList<TicketLine> lines;
    for (auto [code, quantity] : items) {
        TicketLine l;
        l.code = QString::fromLatin1(code);
        l.quantity = quantity;
        l.price = Money::fromUnits(25000);
        l.amount = Money::fromUnits(25000 * qint64(quantity));
        l.time = QDateTime(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);
        lines.append(l);
    }
    return lines;
}

// Every table's rows in stored order as the program reads them.
QStringList contents(const QSqlDatabase &db)
{
    QStringList all;
    for (const Schema::Table &table : Schema::tables()) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(table.columns.join(u','), table.name)))
            qFatal("%s", qPrintable(q.lastError().text()));
        while (q.next()) {
            QStringList row{table.name};
            for (int i = 0; i < table.columns.size(); ++i) {
                const QVariant v = Schema::fromStorage(Schema::kindOfColumn(table.columns[i]), q.value(i));
                row.append(v.metaType() == QMetaType::fromType<Money>() ? v.value<Money>().toExactString()
                           : v.isNull()                                 ? QStringLiteral("∅")
                                                                        : v.toString());
            }
            all.append(row.join(u'|'));
        }
    }
    return all;
}

qint64 countOn(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.value(0).toLongLong();
}

// A connection of its own to the server, removed again when it goes.
struct OtherConnection
{
    OtherConnection(const ShopConfig &server, const QString &connection)
        : name(connection)
        , db(server.addConnection(connection))
    { }
    ~OtherConnection()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QString name;
    QSqlDatabase db;
};

} // namespace

class TestServerShop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void badConfiguration_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("key"); // empty: accepted
        QTest::newRow("unknown driver") << "[database]\ndriver=mysql\nname=shop\n"
                                        << "[database] driver";
        QTest::newRow("no name") << "[database]\ndriver=postgresql\nhost=db\n"
                                 << "[database] name";
        QTest::newRow("till 0") << "[database]\ndriver=postgresql\nname=shop\n[till]\nnumber=0\n"
                                << "[till] number";
        QTest::newRow("till 100") << "[database]\ndriver=postgresql\nname=shop\n[till]\nnumber=100\n"
                                  << "[till] number";
        QTest::newRow("till two") << "[database]\ndriver=postgresql\nname=shop\n[till]\nnumber=two\n"
                                  << "[till] number";
        QTest::newRow("bad port") << "[database]\ndriver=postgresql\nname=shop\nport=54x\n"
                                  << "[database] port";
        QTest::newRow("a password") << "[database]\ndriver=postgresql\nname=shop\npassword=x\n"
                                    << "[database] password";
        QTest::newRow("Driver in capitals, empty") << "[Database]\nDriver=\nhost=db\nname=shop\n[till]\nnumber=2\n"
                                                   << "[Database] Driver";
        QTest::newRow("a typo") << "[database]\ndrvier=postgresql\nhost=db\nname=shop\n[till]\nnumber=2\n"
                                << "[database] drvier";
        QTest::newRow("host and name without a driver") << "[database]\nhost=db\nname=shop\n[till]\nnumber=2\n"
                                                        << "[database] driver";
        QTest::newRow("the server without a till") << "[database]\ndriver=postgresql\nname=shop\n"
                                                   << "[till] number";
        QTest::newRow("comments as in docs/SERVER.md")
            << "[database]\ndriver=postgresql\nhost=/run/db   ; a socket directory\nport=5433 ; the port\n"
               "name=shop\nuser=till\n[till]\nnumber=2\n"
            << "";
    }
    void badConfiguration()
    {
        QFETCH(QString, ini);
        QFETCH(QString, key);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("tarvel.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini.toUtf8());
        f.close();
        const ShopConfigRead read = ShopConfig::read(dir.path());
        if (key.isEmpty()) {
            QVERIFY2(read.config, qPrintable(read.error));
            QCOMPARE(read.config->engine, Engine::PostgreSQL);
            QCOMPARE(read.config->host, QStringLiteral("/run/db"));
            QCOMPARE(read.config->port, 5433);
            QCOMPARE(read.config->till, 2);
            return;
        }
        QVERIFY(!read.config);
        QVERIFY2(read.error.contains(f.fileName()) && read.error.contains(key), qPrintable(read.error));
    }

    void severalHostsAndLetterCase()
    {
        // libpq's list of hosts is kept whole; sections and keys in capitals
        // mean the same as in small letters.
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("tarvel.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Database]\nDriver=PostgreSQL\nHost=db1,db2\nName=shop\n[Till]\nNumber=3\n");
        f.close();
        const ShopConfigRead read = ShopConfig::read(dir.path());
        QVERIFY2(read.config, qPrintable(read.error));
        QCOMPARE(read.config->host, QStringLiteral("db1,db2"));
        QCOMPARE(read.config->name, QStringLiteral("shop"));
        QCOMPARE(read.config->till, 3);
    }

    void copiesBothWaysKeepEveryRow()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐\t“冰”\\大瓶\n"));
        shop.addGoods(QStringLiteral("B"), QString());
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromUnits(25000));
        shop.addPurchase(QStringLiteral("B"), 4, Money::fromUnits(90000));
        shop.addSale(1, 1, QStringLiteral("A"), 2, Money::fromUnits(25000));
        shop.addSale(2, 1, QStringLiteral("B"), -1, Money::fromUnits(90000));
        // What other tools may have left: an amount as REAL, a date that is none.
        shop.exec(QStringLiteral("UPDATE xiaoshou SET jine = 12.5 WHERE id = 2"));
        shop.exec(QStringLiteral("UPDATE jinhuo SET guoqidt = 'bald' WHERE code = 'B'"));
        shop.exec(QStringLiteral("DELETE FROM name WHERE code = 'B'")); // a gap in the stored order
        shop.addGoods(QStringLiteral("C"), QStringLiteral("毛巾"));
        const QStringList before = contents(shop.db().shop().connection());
        shop.moveToServer();
        QCOMPARE(contents(shop.db().shop().connection()), before);

        // New rows follow the copied ones in stored order.
        shop.addGoods(QStringLiteral("D"), QStringLiteral("新"));
        QCOMPARE(contents(shop.db().shop().connection()).filter(QStringLiteral("name|")).last(),
                 QStringLiteral("name|D|新"));

        // Back into a new file: the same rows; an existing file is refused.
        const QString back = shop.dir() + QStringLiteral("/back.db");
        const ShopCopy::Outcome out = ShopCopy::fromServer(shop.server(), back);
        QVERIFY2(out.error.isEmpty(), qPrintable(out.error));
        QCOMPARE(out.counts.size(), Schema::copiedTables().size());
        for (const ShopCopy::Count &c : out.counts)
            QCOMPARE(c.source, c.target);
        {
            Database::Result opened = Database::open(back);
            QVERIFY2(opened.database, qPrintable(opened.message));
            QCOMPARE(contents(opened.database->shop().connection()), contents(shop.db().shop().connection()));
        }
        QVERIFY(ShopCopy::fromServer(shop.server(), back).error.contains(QStringLiteral("已经存在")));
        QVERIFY(!QFile::exists(shop.dir() + QStringLiteral("/.back.db.part-") + QString::number(getpid())));

        // A second copy onto the same database is refused and changes nothing.
        const qint64 goods = shop.count(QStringLiteral("name"));
        const ShopCopy::Outcome again = ShopCopy::toServer(back, shop.server());
        QVERIFY2(again.error.contains(QStringLiteral("已经有商店的表")), qPrintable(again.error));
        QCOMPARE(shop.count(QStringLiteral("name")), goods);
    }

    void valuesThatWouldArriveChangedStopTheCopy()
    {
        // Another tool wrote values the server cannot hold as they are: they
        // are listed and nothing is committed, unless the user goes on.
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                                 "guoqidt) VALUES (1, 'A', 12.5, '2.5元', 30000, 30000, '甲厂', '2026/12/09', "
                                 "'2027-13-01')"));
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                                 "guoqidt) VALUES (2, 'A', 4, 25000, '3.5', 30000, '甲厂', '2026-12-09', NULL)"));
        const QString path = shop.path();
        shop.take().reset();
        const ShopConfig server = ThrowawayServer::shared().newDatabase(1);
        const ShopCopy::Outcome refused = ShopCopy::toServer(path, server);
        for (const char *part :
             {"表 jinhuo 第 1 行（rowid）shuliang：“12.5” → “13”", "jinjia：“2.5元” → 空（NULL）",
              "jindt：“2026/12/09” → 空（NULL）", "guoqidt：“2027-13-01” → 空（NULL）", "--accept-changed-values"})
            QVERIFY2(refused.error.contains(QString::fromUtf8(part)), qPrintable(refused.error));
        QCOMPARE(refused.changed.size(), 4); // 4, not "3.5" in shou: an amount read as it shows
        OtherConnection check(server, QStringLiteral("check"));
        QVERIFY(check.db.open());
        QSqlQuery q(check.db);
        QVERIFY(q.exec(QStringLiteral("SELECT to_regclass('jinhuo') IS NULL")) && q.next());
        QVERIFY(q.value(0).toBool());
        const ShopCopy::Outcome accepted = ShopCopy::toServer(path, server, {}, true);
        QVERIFY2(accepted.error.isEmpty(), qPrintable(accepted.error));
        QCOMPARE(accepted.changed.size(), 4);
        QVERIFY(q.exec(QStringLiteral("SELECT shuliang, shou FROM jinhuo ORDER BY rowid")) && q.next());
        QCOMPARE(q.value(0).toLongLong(), 13);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toLongLong(), 35000);
    }

    void aTillThatMustWaitIsToldInChinese()
    {
        // Another program holds the sales table (as a long cleanup did): the
        // checkout gives up after its lock timeout and says why in words.
        TestShop shop;
        shop.create();
        shop.moveToServer();
        OtherConnection other(shop.server(), QStringLiteral("holder"));
        QVERIFY(other.db.open());
        QSqlQuery hold(other.db);
        QVERIFY(hold.exec(QStringLiteral("BEGIN")) &&
                hold.exec(QStringLiteral("LOCK TABLE xiaoshou IN ACCESS EXCLUSIVE MODE")));
        shop.exec(QStringLiteral("SET lock_timeout = '300ms'"));
        TicketLine line;
        line.code = QStringLiteral("A");
        line.quantity = 1;
        line.price = line.listPrice = line.amount = Money::fromCents(250);
        const SalesStore::Stored stored = SalesStore(shop.db().shop()).storeTicket(1, {line});
        QVERIFY(!stored.ok);
        QVERIFY2(stored.error.startsWith(
                     QStringLiteral("服务器上的数据正被其他操作占用（例如数据清理），请稍后再试。（服务器：")),
                 qPrintable(stored.error));
        QVERIFY2(stored.error.contains(QStringLiteral("lock timeout")), qPrintable(stored.error));
        hold.exec(QStringLiteral("ROLLBACK"));
        QVERIFY(SalesStore(shop.db().shop()).storeTicket(1, {line}).ok);
    }

    void oneProgramPerTillNumber()
    {
        TestShop shop;
        shop.create();
        shop.moveToServer(3);
        Database::Result second = Database::openServer(shop.server());
        QCOMPARE(second.status, Database::Status::AlreadyRunning);
        QVERIFY2(second.message.contains(QStringLiteral("收银台 3")), qPrintable(second.message));
        ShopConfig other = shop.server();
        other.till = 4;
        QVERIFY(Database::openServer(other).database);
        shop.take().reset(); // the first program ends
        Database::Result later = Database::openServer(shop.server());
        QVERIFY2(later.database, qPrintable(later.message));
    }

    void aCheckoutWaitsForAnotherTillTenSecondsAtMost()
    {
        TestShop shop;
        shop.create();
        shop.moveToServer();
        QSqlQuery q(shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT current_setting('lock_timeout'), current_setting('jit')")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("10s"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("off"));
    }

    void aServerShopOfAnOlderVersionGetsItsKeptFigures()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromUnits(25000));
        shop.moveToServer();
        // As an older version left it: no kept figures, no triggers; sales
        // written meanwhile.
        shop.exec(QStringLiteral("DROP TABLE huizong"));
        for (const char *table : {"name", "jinhuo", "xiaoshou"})
            for (const char *trigger : {"huizong_added", "huizong_changed", "huizong_gone", "huizong_emptied"})
                shop.exec(QStringLiteral("DROP TRIGGER %1 ON %2").arg(QLatin1String(trigger), QLatin1String(table)));
        shop.addSale(1, 1, QStringLiteral("A"), 3, Money::fromUnits(30000));
        shop.take().reset();
        Database::Result opened = Database::openServer(shop.server());
        QVERIFY2(opened.database, qPrintable(opened.message));
        const Shop handle = opened.database->shop();
        const QSqlDatabase db = handle.connection();
        QSqlQuery q(db);
        QVERIFY(q.exec(
            QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine) VALUES (2, 2, 'A', 1, 1)")));
        const StockFigures f = StockFigures::compute(handle);
        QVERIFY2(f.ok, qPrintable(f.error));
        QCOMPARE(f.rows.size(), 1);
        QCOMPARE(f.rows[0].name, QStringLiteral("可乐"));
        QCOMPARE(f.rows[0].stock, 6);
        // A tool that writes with a trigger switched off: built again at the next start.
        QVERIFY(q.exec(QStringLiteral("ALTER TABLE xiaoshou DISABLE TRIGGER huizong_added")));
        QVERIFY(q.exec(
            QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, jine) VALUES (3, 3, 'A', 2, 1)")));
        q = QSqlQuery();
        opened.database.reset();
        opened = Database::openServer(shop.server());
        QVERIFY2(opened.database, qPrintable(opened.message));
        QCOMPARE(StockFigures::compute(opened.database->shop()).rows.value(0).stock, 4);
        // Kept figures of the version before: no period indexes, and goods
        // changes not told to the connections that keep names and prices.
        q = QSqlQuery(opened.database->shop().connection());
        QVERIFY(q.exec(QStringLiteral("DROP INDEX huizong_yue_shou, huizong_nian_shou")));
        QVERIFY(q.exec(QStringLiteral(
            "DO $$ DECLARE src text; BEGIN SELECT prosrc INTO src FROM pg_proc WHERE proname = "
            "'huizong_goods_changed'; EXECUTE format('CREATE OR REPLACE FUNCTION huizong_goods_changed() RETURNS "
            "trigger LANGUAGE plpgsql AS %L', replace(src, 'pg_notify', 'concat')); END $$")));
        q = QSqlQuery();
        opened.database.reset();
        opened = Database::openServer(shop.server());
        QVERIFY2(opened.database, qPrintable(opened.message));
        q = QSqlQuery(opened.database->shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT to_regclass('huizong_yue_shou') IS NOT NULL AND "
                                      "to_regclass('huizong_nian_shou') IS NOT NULL AND (SELECT prosrc LIKE "
                                      "'%pg_notify%' FROM pg_proc WHERE proname = 'huizong_goods_changed')")) &&
                q.next());
        QVERIFY(q.value(0).toBool());
    }

    void aServerWithoutAShopIsRefused()
    {
        const ShopConfig empty = ThrowawayServer::shared().newDatabase();
        const Database::Result r = Database::openServer(empty);
        QVERIFY(!r.database);
        QVERIFY2(r.message.contains(QStringLiteral("--copy-to-server")), qPrintable(r.message));
    }

    void checkoutSettlesTheNumberAndNeverStoresATicketTwice()
    {
        TestShop shop;
        shop.create();
        shop.addSale(1, 41, QStringLiteral("A"), 1, Money::fromUnits(25000));
        shop.moveToServer();
        SalesStore store(shop.db().shop());
        // Another till took 42 after this one showed it.
        shop.addSale(2, 42, QStringLiteral("B"), 1, Money::fromUnits(25000));
        const QUuid token = QUuid::createUuid();
        const SalesStore::Stored first = store.storeTicket(42, linesOf({{"A", 2}, {"C", 1}}), token);
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.ticketNumber, 43);
        QCOMPARE(first.firstId, 3);
        // The same ticket again (its answer was lost): found, not stored.
        const SalesStore::Stored retry = store.storeTicket(43, linesOf({{"A", 2}, {"C", 1}}), token);
        QVERIFY(retry.ok);
        QCOMPARE(retry.ticketNumber, 43);
        QCOMPARE(shop.count(QStringLiteral("xiaoshou")), 4);
        QCOMPARE(store.nextTicketNumber().valueOr(-1), 44);
    }

    void aTillSellsAgainAfterAnOutage()
    {
        TestShop shop;
        shop.create();
        shop.moveToServer();
        SalesStore store(shop.db().shop());
        QVERIFY(store.storeTicket(1, linesOf({{"A", 1}})).ok);
        ThrowawayServer::shared().stopHard();
        QElapsedTimer timer;
        timer.start();
        const SalesStore::Stored down = store.storeTicket(2, linesOf({{"A", 1}}));
        QVERIFY(!down.ok);
        QVERIFY2(down.error.contains(QStringLiteral("与数据库服务器的连接断开了")), qPrintable(down.error));
        QVERIFY2(timer.elapsed() < 10000, "an unreachable server is told at once");
        ThrowawayServer::shared().start();
        const SalesStore::Stored up = store.storeTicket(2, linesOf({{"A", 1}, {"B", 2}}));
        QVERIFY2(up.ok, qPrintable(up.error));
        QCOMPARE(up.ticketNumber, 2);
        QCOMPARE(shop.count(QStringLiteral("xiaoshou")), 3);
    }

    void aLostCommitAnswerStoresTheTicketOnce()
    {
        TestShop shop;
        shop.create();
        shop.moveToServer();
        // Commits in this database wait for a standby that never answers: the
        // ticket is committed, and the connection is cut before the answer.
        ThrowawayServer::shared().exec(
            QStringLiteral("postgres"),
            QStringLiteral("ALTER DATABASE %1 SET synchronous_commit = on").arg(shop.server().name));
        shop.take().reset();
        Database::Result till = Database::openServer(shop.server());
        QVERIFY(till.database);
        std::thread cutter([name = shop.server().name] {
            for (int i = 0; i < 200; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                const QString waiting = QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                       "WHERE datname = '%1' AND wait_event = 'SyncRep'")
                                            .arg(name);
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("cutter"));
                db.setHostName(ThrowawayServer::shared().socketDir());
                db.setDatabaseName(QStringLiteral("postgres"));
                db.setUserName(QStringLiteral("postgres"));
                bool cut = false;
                if (db.open()) {
                    QSqlQuery q(db);
                    cut = q.exec(waiting) && q.next();
                }
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(QStringLiteral("cutter"));
                if (cut)
                    return;
            }
        });
        SalesStore store(till.database->shop());
        const SalesStore::Stored stored = store.storeTicket(1, linesOf({{"A", 1}, {"B", 1}}));
        cutter.join();
        QVERIFY2(stored.ok, qPrintable(stored.error));
        QCOMPARE(stored.ticketNumber, 1);
        QCOMPARE(countOn(till.database->shop().connection(), QStringLiteral("SELECT count(*) FROM xiaoshou")), 2);
        QCOMPARE(countOn(till.database->shop().connection(), QStringLiteral("SELECT count(*) FROM xiaoshou_token")), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerShop)
#include "tst_server.moc"
