#include "counterfixture.h"
#include "gui/maintenance/cleanupdialog.h"
#include "gui/screenhost.h"
#include "shop/datacleanup.h"
#include "shop/dayclose.h"
#include "shop/reorder.h"
#include "shop/salesstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTimer>

// Data cleanup: what each button empties, the copy written first, and the
// ticket numbers starting again at 1.
class TestCleanup : public QObject
{
    Q_OBJECT

    // Opens the screen from the counter and presses one of its buttons.
    static void press(CounterFixture &f, const char *button)
    {
        QTimer::singleShot(0, [&f, button] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            QCOMPARE(d->objectName(), QStringLiteral("frmqingli"));
            QTest::mouseClick(d->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
            d->close();
        });
        f.window->screens()->open(QStringLiteral("frmqingli"));
    }

    static QStringList counts(CounterFixture &f)
    {
        QStringList all;
        for (const char *t : {"xiaoshou", "jinhuo", "name"})
            all.append(QString::number(f.shop.count(QString::fromLatin1(t))));
        return all;
    }

    static void sell(CounterFixture &f)
    {
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("10"));
        f.key(Qt::Key_F8);
    }

private Q_SLOTS:
    void eachButtonEmptiesItsTables_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<bool>("server");
        QTest::newRow("cancel") << QStringLiteral("Command1") << false << strings({"2", "4", "4"}) << false;
        QTest::newRow("sales") << QStringLiteral("Command1") << true << strings({"0", "4", "4"}) << false;
        QTest::newRow("sales and purchases") << QStringLiteral("Command2") << true << strings({"0", "0", "4"}) << false;
        QTest::newRow("everything") << QStringLiteral("Command3") << true << strings({"0", "0", "0"}) << false;
        QTest::newRow("cancel, server") << QStringLiteral("Command1") << false << strings({"2", "4", "4"}) << true;
        QTest::newRow("sales, server") << QStringLiteral("Command1") << true << strings({"0", "4", "4"}) << true;
        QTest::newRow("everything, server") << QStringLiteral("Command3") << true << strings({"0", "0", "0"}) << true;
    }

    void eachButtonEmptiesItsTables()
    {
        QFETCH(QString, button);
        QFETCH(bool, ok);
        QFETCH(QStringList, left);
        QFETCH(bool, server);
        CounterFixture f(true, server);
        // On the server the copy goes where the program runs, beside tarvel.ini.
        const QString wasIn = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(wasIn); });
        QDir::setCurrent(f.shop.dir());
        sell(f);
        sell(f);
        QCOMPARE(f.text("Label8"), QStringLiteral("3"));
        QVERIFY_OK(MinimumStock::set(f.shop.db().shop(), QStringLiteral("A"), 5));
        const QStringList before = counts(f);
        f.messages.clear();
        f.messages.answer = ok;
        press(f, button.toLatin1().constData());
        // A minimum goes with the catalogue.
        QCOMPARE(f.shop.count(QStringLiteral("zuidi")), ok && button == u"Command3" ? 0 : 1);
        QCOMPARE(f.messages.boxes.size(), 1);
        QCOMPARE(f.messages.boxes.first().text, QStringLiteral("确认要删除？"));
        QCOMPARE(f.messages.boxes.first().title, QStringLiteral("删除"));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Warning);
        QCOMPARE(counts(f), left);
        QCOMPARE(f.text("Label8"), ok ? QStringLiteral("1") : QStringLiteral("3"));

        // The copy beside the file opens as a shop file with the old rows.
        const QStringList copies = QDir(f.shop.dir()).entryList({QStringLiteral("tarv-*.db")});
        QCOMPARE(copies.size(), ok ? 1 : 0);
        if (!ok)
            return;
        QVERIFY(QFileInfo(QDir(f.shop.dir()).filePath(copies.first())).permissions() & QFileDevice::ReadOwner);
        QVERIFY(!(QFileInfo(QDir(f.shop.dir()).filePath(copies.first())).permissions() & QFileDevice::ReadOther));
        {
            Database::Result copy = Database::open(QDir(f.shop.dir()).filePath(copies.first()));
            QVERIFY2(copy.database, qPrintable(copy.message));
            QSqlQuery q(copy.database->shop().connection());
            QStringList inCopy;
            for (const char *t : {"xiaoshou", "jinhuo", "name"}) {
                QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(t))) && q.next());
                inCopy.append(q.value(0).toString());
            }
            QCOMPARE(inCopy, before);
        }
        // The next sale is ticket 1 (goods permitting).
        if (button == u"Command1") {
            sell(f);
            QSqlQuery q(f.shop.db().shop().connection());
            QVERIFY(q.exec(QStringLiteral("SELECT danjuhao, id FROM xiaoshou")) && q.next());
            QCOMPARE(q.value(0).toInt(), 1);
            QCOMPARE(q.value(1).toInt(), 1);
        }
    }

    void theOpenPeriodsKeepTheirPayments_data() { addEngineColumn(); }

    void theOpenPeriodsKeepTheirPayments()
    {
        // The day's close counts the money the drawer took before a cleanup
        // of the sales; each method key stores its own method. The payments
        // of closed periods go with the sales.
        QFETCH(bool, server);
        CounterFixture f(true, server);
        const QString wasIn = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(wasIn); });
        QDir::setCurrent(f.shop.dir());
        f.shop.exec(QStringLiteral("INSERT INTO fukuan (danjuhao, till, fangshi, hangshu, xiaoshoue, tuihuoe, "
                                   "shoukuan, zhaoling, dt, rijie) VALUES (0, 1, '现金', 1, 10000, 0, 10000, 0, "
                                   "'2026-12-01 10:00:00', 1)"));
        const QList<std::tuple<const char *, const char *, Qt::Key>> tickets = {
            {"A", "4", Qt::Key_F8}, {"B", "1", Qt::Key_F10}, {"A", "1", Qt::Key_F11}, {"A", "2", Qt::Key_F12}};
        for (const auto &[code, quantity, key] : tickets) {
            f.ringUp(QString::fromLatin1(code), QString::fromLatin1(quantity));
            f.edit("Text8")->setText(key == Qt::Key_F8 ? QStringLiteral("10") : QString());
            f.key(key);
        }
        QCOMPARE(f.messages.texts().join(u'|'), QString());
        QCOMPARE(f.text("Label8"), QStringLiteral("5"));
        press(f, "Command1");
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 0);
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT fangshi FROM fukuan ORDER BY rowid")));
        QStringList methods;
        while (q.next())
            methods.append(q.value(0).toString());
        QCOMPARE(methods, strings({"现金", "微信", "支付宝", "银行卡"}));
        const auto open = DayClose(f.shop.db().shop()).current();
        QVERIFY(open);
        QCOMPARE(open->tickets, 4);
        QCOMPARE(open->method(PaymentMethod::Cash), Money::fromCents(1000));
        QCOMPARE(open->method(PaymentMethod::WeChat), Money::fromCents(1000));
        QCOMPARE(open->method(PaymentMethod::Alipay), Money::fromCents(250));
        QCOMPARE(open->method(PaymentMethod::Card), Money::fromCents(500));
    }

    void theTillsSellWhileTheServerCopies()
    {
        // A till stores a ticket while the copy before the cleanup is being
        // written: it is not kept waiting, it is not in the copy, and it is
        // not emptied with what the copy holds.
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        shop.addSale(1, 1, QStringLiteral("A"), 4, Money::fromCents(250));
        shop.moveToServer();
        ShopConfig two = shop.server();
        two.till = 2;
        Database::Result other = Database::openServer(two);
        QVERIFY2(other.database, qPrintable(other.message));
        const QString wasIn = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(wasIn); });
        QDir::setCurrent(shop.dir());
        SalesStore::Stored meanwhile;
        QElapsedTimer waited;
        const auto r = DataCleanup::run(shop.db().shop(), shop.path(), DataCleanup::Scope::Sales,
                                        QDateTime::currentDateTime(), [&](const QString &, qint64, qint64) {
                                            if (meanwhile.ok || waited.isValid())
                                                return;
                                            waited.start();
                                            TicketLine line;
                                            line.code = QStringLiteral("A");
                                            line.quantity = 1;
                                            line.price = line.listPrice = line.amount = Money::fromCents(250);
                                            line.time = QDateTime::currentDateTime();
                                            meanwhile = SalesStore(other.database->shop()).storeTicket(2, {line});
                                        });
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY2(meanwhile.ok, qPrintable(meanwhile.error));
        QVERIFY(waited.elapsed() < 5000);
        QSqlQuery q(shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT danjuhao, shuliang FROM xiaoshou")) && q.next());
        QCOMPARE(q.value(0).toLongLong(), 2);
        QVERIFY(!q.next());
        Database::Result copy = Database::open(r.backupPath);
        QVERIFY2(copy.database, qPrintable(copy.message));
        QSqlQuery c(copy.database->shop().connection());
        QVERIFY(c.exec(QStringLiteral("SELECT danjuhao FROM xiaoshou")) && c.next());
        QCOMPARE(c.value(0).toLongLong(), 1);
        QVERIFY(!c.next());
    }

    void emptyTablesStillRestartTheNumbers()
    {
        CounterFixture f(false);
        f.window->setTicketNumber(57);
        press(f, "Command3");
        QCOMPARE(f.text("Label8"), QStringLiteral("1"));
        QCOMPARE(f.messages.boxes.size(), 1); // the question, and no message after
    }

    void allTablesOrNone()
    {
        CounterFixture f;
        sell(f);
        f.shop.exec(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON name BEGIN SELECT RAISE(ABORT, 'disk full'); "
                                   "END"));
        f.messages.clear();
        press(f, "Command3");
        QCOMPARE(f.messages.boxes.size(), 2);
        QVERIFY(f.messages.last().contains(QStringLiteral("disk full")));
        QCOMPARE(f.messages.boxes.last().icon, Messages::Icon::Critical);
        QCOMPARE(counts(f), strings({"1", "4", "4"}));
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
    }

    void noCopyNoCleanup()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("a"));
        const auto r = DataCleanup::run(shop.db().shop(), shop.dir() + QStringLiteral("/missing-folder/tarv.db"),
                                        DataCleanup::Scope::Everything);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(QStringLiteral("备份")));
        QCOMPARE(shop.count(QStringLiteral("name")), 1);
    }

    void copiesWithinOneSecondAreKept()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("tarv.db"));
        const QDateTime when(QDate(2026, 12, 8), QTime(15, 30, 0));
        QCOMPARE(QFileInfo(DataCleanup::backupPathFor(db, when)).fileName(), QStringLiteral("tarv-20261208-153000.db"));
        QFile(DataCleanup::backupPathFor(db, when)).open(QIODevice::WriteOnly);
        QCOMPARE(QFileInfo(DataCleanup::backupPathFor(db, when)).fileName(),
                 QStringLiteral("tarv-20261208-153000-2.db"));
    }
};

QTEST_MAIN(TestCleanup)
#include "tst_cleanup.moc"
