#include "counterfixture.h"
#include "shop/dayclose.h"
#include "shop/salesstore.h"
#include "shop/schema.h"
#include "shop/ticket.h"
#include "throwawayserver.h"

#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

// Checkout: the checks, the stored rows, the ticket number and what a failed
// store leaves behind.
class TestCheckout : public QObject
{
    Q_OBJECT

    struct Row
    {
        qint64 id, ticket;
        QString code;
        int quantity;
        qint64 price, amount;
        QString dt;
    };

    static QList<Row> rows(CounterFixture &f)
    {
        QSqlQuery q(f.shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT id, danjuhao, code, shuliang, shoujia, jine, dt FROM xiaoshou ORDER BY rowid"));
        QList<Row> all;
        while (q.next())
            all.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toString(), q.value(3).toInt(),
                        q.value(4).toLongLong(), q.value(5).toLongLong(),
                        Schema::toStorage(Schema::ColumnKind::DateTime,
                                          Schema::fromStorage(Schema::ColumnKind::DateTime, q.value(6)))
                            .toString()});
        return all;
    }

private Q_SLOTS:
    void refusals_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("payment");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty ticket") << 0 << QStringLiteral("100")
                                      << QStringLiteral("没有货物可供结帐，请输入货物代码！");
        QTest::newRow("no payment") << 1 << QString() << QStringLiteral("付款金额不足！");
        QTest::newRow("short by a cent") << 1 << QStringLiteral("2.49") << QStringLiteral("付款金额不足！");
    }

    void refusals()
    {
        QFETCH(int, lines);
        QFETCH(QString, payment);
        QFETCH(QString, message);
        CounterFixture f;
        for (int i = 0; i < lines; ++i)
            f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(payment);
        f.messages.clear();
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.messages.boxes.first().title, QStringLiteral("提示"));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Information);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 0);
        QCOMPARE(f.window->ticket()->lineCount(), lines);
        QCOMPARE(f.text("Text8"), payment);
        QCOMPARE(f.text("Label8"), QStringLiteral("1"));
        QCOMPARE(f.text("Label17"), QString());
    }

    void exactPaymentGivesZeroChange()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("3"));
        f.edit("Text8")->setText(QStringLiteral("7.50"));
        f.key(Qt::Key_F8);
        QVERIFY(f.messages.boxes.isEmpty());
        QCOMPARE(f.text("Label17"), QStringLiteral("¥0.00"));
    }

    void storesLinesUnderTicketNumberAndAdvances_data() { addEngineColumn(); }
    void storesLinesUnderTicketNumberAndAdvances()
    {
        QFETCH(bool, server);
        CounterFixture f(true, server);
        f.ringUp(QStringLiteral("A"), QStringLiteral("3"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("it's"), QStringLiteral("2"));
        const QList<TicketLine> lines = f.window->ticket()->lines();
        QTest::qWait(1100); // the stored time is when a line was added, not the checkout
        f.key(Qt::Key_F7);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text8"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3000"));
        f.key(Qt::Key_F8);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));

        const QList<Row> stored = rows(f);
        QCOMPARE(stored.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(stored[i].id, i + 1);
            QCOMPARE(stored[i].ticket, 1);
            QCOMPARE(stored[i].code, lines[i].code);
            QCOMPARE(stored[i].quantity, lines[i].quantity);
            QCOMPARE(stored[i].price, lines[i].price.units());
            QCOMPARE(stored[i].amount, lines[i].amount.units());
            QCOMPARE(stored[i].dt, lines[i].time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
        QCOMPARE(stored[2].amount, Money::fromCents(246900).units());
        // 3000 - (7.50 + 10.00 + 2469.00)
        QCOMPARE(f.text("Label17"), QStringLiteral("¥513.50"));
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
        QCOMPARE(f.text("Label10"), QStringLiteral("0"));
        QCOMPARE(f.text("Label12"), QStringLiteral("0"));
        QCOMPARE(f.text("Text8"), QString());
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));

        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("10"));
        f.key(Qt::Key_F8);
        const QList<Row> after = rows(f);
        QCOMPARE(after.size(), 4);
        QCOMPARE(after[3].id, 4);
        QCOMPARE(after[3].ticket, 2);
        QCOMPARE(f.text("Label8"), QStringLiteral("3"));
    }

    void idsFollowTheLastRowAndPass32767()
    {
        CounterFixture f;
        // Last row in stored order, not the largest id.
        f.shop.addSale(40000, 7, QStringLiteral("A"), 1, Money::fromCents(250));
        f.shop.addSale(32767, 32767, QStringLiteral("A"), 1, Money::fromCents(250));
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.window->setTicketNumber(32767);
        f.edit("Text8")->setText(QStringLiteral("5"));
        f.key(Qt::Key_F8);
        const QList<Row> stored = rows(f);
        QCOMPARE(stored.size(), 4);
        QCOMPARE(stored[2].id, 32768);
        QCOMPARE(stored[3].id, 32769);
        QCOMPARE(stored[3].ticket, 32767);
        QCOMPARE(f.text("Label8"), QStringLiteral("32768"));
    }

    void freedIdsAreUsedAgain()
    {
        CounterFixture f;
        for (int id = 1; id <= 5; ++id)
            f.shop.addSale(id, 1, QStringLiteral("A"), 1, Money::fromCents(250));
        f.shop.exec(QStringLiteral("DELETE FROM xiaoshou WHERE id >= 4"));
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("5"));
        f.key(Qt::Key_F8);
        QCOMPARE(rows(f).last().id, 4);
    }

    void failedStoreKeepsEverything()
    {
        CounterFixture f;
        // The second line cannot be stored: nothing of the ticket may be.
        f.shop.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON xiaoshou WHEN NEW.code = 'B' "
                                   "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("20"));
        f.get<QCheckBox>("Check1")->setChecked(true);
        f.messages.clear();
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.boxes.size(), 1);
        QVERIFY(f.messages.last().contains(QStringLiteral("disk full")));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Critical);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 0);
        QCOMPARE(f.window->ticket()->lineCount(), 2);
        QCOMPARE(f.text("Label12"), QStringLiteral("¥12.50"));
        QCOMPARE(f.text("Text8"), QStringLiteral("20"));
        QCOMPARE(f.text("Label8"), QStringLiteral("1"));
        QCOMPARE(f.text("Label17"), QString());

        // Once the fault is gone the same ticket goes through under the same number.
        f.shop.exec(QStringLiteral("DROP TRIGGER refuse"));
        f.get<QCheckBox>("Check1")->setChecked(false);
        f.key(Qt::Key_F8);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 2);
        QCOMPARE(rows(f).first().ticket, 1);
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
    }

    void anIdleTillKeepsItsNumberThroughAServerRestart()
    {
        CounterFixture f(true, true);
        ThrowawayServer::shared().stopHard();
        ThrowawayServer::shared().start();
        // Nobody touches the till: it takes its number back by itself, so a
        // second program with the same number is refused.
        ShopConfig other = f.shop.server();
        other.till = 9;
        const Database::Result nine = Database::openServer(other);
        QVERIFY2(nine.database, qPrintable(nine.message));
        auto holders = [&] {
            QSqlQuery q(nine.database->shop().connection());
            return q.exec(QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                                         "classid = 20261209 AND objid = 1 AND granted")) &&
                           q.next()
                       ? q.value(0).toInt()
                       : -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(holders(), 1, 15000);
        other.till = 1;
        QCOMPARE(Database::openServer(other).status, Database::Status::AlreadyRunning);
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
    }

    void keysTypedWhileTheCheckoutWaitsAreNotFedIntoTheNextTicket()
    {
        CounterFixture f(true, true);
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("5"));
        // Another till holds the sales table for 1.5 s: the checkout waits.
        QSemaphore locked;
        std::thread other([&] {
            {
                QSqlDatabase db = f.shop.server().addConnection(QStringLiteral("holder"));
                QSqlQuery q(db);
                if (db.open() && q.exec(QStringLiteral("BEGIN")) &&
                    q.exec(QStringLiteral("LOCK TABLE xiaoshou IN EXCLUSIVE MODE"))) {
                    locked.release();
                    QThread::msleep(1500);
                    q.exec(QStringLiteral("COMMIT"));
                } else {
                    locked.release();
                }
            }
            QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        });
        locked.acquire();
        // What the cashier types meanwhile, queued behind the checkout.
        QLineEdit *payment = f.edit("Text8");
        for (Qt::Key k : {Qt::Key_7, Qt::Key_Return})
            QCoreApplication::postEvent(payment, new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier,
                                                               k == Qt::Key_7 ? QStringLiteral("7") : QString()));
        f.key(Qt::Key_F8);
        other.join();
        QCoreApplication::processEvents();
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(payment->text(), QString());
    }

    void aServerOutageKeepsTheTicketAndSellsAgain()
    {
        // The first ticket after a close, stored once the server is back,
        // opens the new period with its opening cash.
        CounterFixture f(true, true);
        QVERIFY(DayClose(f.shop.db().shop()).close(Money()));
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.edit("Text8")->setText(QStringLiteral("20"));
        f.messages.clear();
        ThrowawayServer::shared().stopHard();
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.boxes.size(), 1);
        QVERIFY2(f.messages.last().contains(QStringLiteral("与数据库服务器的连接断开了")),
                 qPrintable(f.messages.last()));
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.text("Text8"), QStringLiteral("20"));
        // A lookup says the same in plain words.
        f.messages.clear();
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        QVERIFY(!f.messages.boxes.isEmpty());
        QVERIFY2(f.messages.last().contains(QStringLiteral("与数据库服务器的连接断开了")),
                 qPrintable(f.messages.last()));
        QCOMPARE(f.window->ticket()->lineCount(), 1);

        ThrowawayServer::shared().start();
        f.messages.clear();
        f.edit("Text8")->setText(QStringLiteral("20"));
        bool asked = false;
        QTimer::singleShot(0, [&asked] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d || d->objectName() != u"frmkaiban")
                return;
            asked = true;
            d->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("50"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
        });
        f.key(Qt::Key_F8);
        QVERIFY(asked);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
        const auto period = DayClose(f.shop.db().shop()).current();
        QVERIFY(period);
        QCOMPARE(period->opening, Money::fromCents(5000));
        QCOMPARE(period->tickets, 1);
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
    }

    void checkoutWaitsForASecondWriter()
    {
        // Another program writes sale lines while this one checks out. The
        // checkout waits for it, then counts its ids on from the rows the
        // other one stored: no id is handed out twice, nothing is lost.
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("100"));
        std::atomic<bool> holding = false;
        std::atomic<bool> writerOk = false;
        std::thread writer([&] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
                db.setDatabaseName(f.shop.path());
                if (db.open()) {
                    QSqlQuery q(db);
                    bool ok =
                        q.exec(QStringLiteral("PRAGMA busy_timeout=5000")) && q.exec(QStringLiteral("BEGIN IMMEDIATE"));
                    holding = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(400));
                    for (int i = 1; i <= 3 && ok; ++i)
                        ok = q.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, "
                                                   "dt) VALUES (%1, 900, 'A', 1, 25000, 25000, "
                                                   "'2026-12-01 10:00:00')")
                                        .arg(i));
                    writerOk = ok && q.exec(QStringLiteral("COMMIT"));
                }
                holding = true;
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("writer"));
        });
        while (!holding)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        f.key(Qt::Key_F8);
        writer.join();
        QVERIFY(writerOk);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        const QList<Row> all = rows(f);
        QCOMPARE(all.size(), 5);
        QList<qint64> ids;
        for (const Row &r : all)
            ids.append(r.id);
        QCOMPARE(ids, (QList<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(all.at(3).ticket, 1);
        QCOMPARE(all.at(4).code, QStringLiteral("B"));
    }

    void ticketNumberAtStart_data()
    {
        QTest::addColumn<int>("lastTicket");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty table") << 0 << QStringLiteral("1");
        QTest::newRow("after 57") << 57 << QStringLiteral("58");
        QTest::newRow("past 16 bits") << 32767 << QStringLiteral("32768");
        // The last row stored, not the highest number, gives the next one.
        QTest::newRow("last lower than highest") << -5 << QStringLiteral("6");
    }

    void ticketNumberAtStart()
    {
        QFETCH(int, lastTicket);
        QFETCH(QString, shown);
        TestShop shop;
        shop.create();
        if (lastTicket > 0) {
            shop.addSale(1, 3, QStringLiteral("A"), 1, Money::fromCents(100));
            shop.addSale(2, lastTicket, QStringLiteral("A"), 1, Money::fromCents(100));
        } else if (lastTicket < 0) {
            shop.addSale(1, 90, QStringLiteral("A"), 1, Money::fromCents(100));
            shop.addSale(2, -lastTicket, QStringLiteral("A"), 1, Money::fromCents(100));
        }
        SalesStore store(shop.db().shop());
        QCOMPARE(QString::number(store.nextTicketNumber().valueOr(-1)), shown);
    }
};

QTEST_MAIN(TestCheckout)
#include "tst_checkout.moc"
