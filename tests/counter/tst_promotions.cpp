#include "counterfixture.h"
#include "shop/goodscatalogue.h"
#include "shop/promotions.h"
#include "shop/receipt.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QFile>
#include <QSqlQuery>

// 特价: a special price runs whole days, the counter charges it instead of
// the selling price and the receipt says what it saved; the list is kept
// and imported whole or not at all.
class TestSpecials : public QObject
{
    Q_OBJECT

    static Special special(const char *code, qint64 cents, QDate first, QDate last, bool members = false)
    {
        Special s;
        s.code = QString::fromUtf8(code);
        s.price = Money::fromCents(cents);
        s.first = first;
        s.last = last;
        s.membersOnly = members;
        return s;
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    // A special of one day, 2026-12-24: a line at 23:59:59 of that day gets
    // it, one at 00:00:00 of the next does not; on both engines.
    void wholeDays_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<bool>("runs");
        const QDate day(2026, 12, 24);
        for (const bool server : {false, true}) {
            const char *engine = server ? "server" : "file";
            QTest::addRow("%s: the evening before", engine)
                << server << QDateTime(day.addDays(-1), QTime(23, 59, 59)) << false;
            QTest::addRow("%s: midnight it starts", engine) << server << QDateTime(day, QTime(0, 0)) << true;
            QTest::addRow("%s: 23:59:59 of its day", engine) << server << QDateTime(day, QTime(23, 59, 59)) << true;
            QTest::addRow("%s: midnight it ends", engine) << server << QDateTime(day.addDays(1), QTime(0, 0)) << false;
        }
    }

    void wholeDays()
    {
        QFETCH(bool, server);
        QFETCH(QDateTime, moment);
        QFETCH(bool, runs);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        if (server)
            shop.moveToServer();
        const QDate day(2026, 12, 24);
        QVERIFY_OK(Specials::store(shop.db().shop(), special("A", 199, day, day)));
        // A members' special never runs for everyone.
        QVERIFY_OK(Specials::store(shop.db().shop(), special("A", 99, day.addDays(-9), day.addDays(9), true)));
        const auto p = GoodsCatalogue(shop.db().shop()).purchasesOf(QStringLiteral("A"), moment.date());
        QVERIFY(p);
        QCOMPARE(p->special.has_value(), runs);
        QCOMPARE(p->sellingPrice(), Money::fromCents(runs ? 199 : 250));
        QCOMPARE(p->lastPrice, Money::fromCents(250));
    }

    // At the counter the special is the unit price; the discount rate still
    // applies; the receipt marks the line and what it saved.
    void chargedAtTheCounter()
    {
        CounterFixture f;
        const QDate today = QDate::currentDate();
        QVERIFY_OK(Specials::store(f.window->database().shop(), special("A", 199, today, today)));
        f.get<QCheckBox>("Check4")->click(); // the rate may be typed
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("A"));
        f.key(Qt::Key_F2);
        QCOMPARE(f.text("Text5"), QStringLiteral("1.99"));
        f.type("Text7", QStringLiteral("9"));
        f.type("Text3", QStringLiteral("2"));
        f.key(Qt::Key_F5);
        QCOMPARE(f.messages.texts(), QStringList());
        const TicketLine line = f.window->ticket()->line(0);
        QCOMPARE(line.amount, Money::fromCents(358)); // 2 × 1.99 × 0.9 = 3.582
        QVERIFY(line.special);
        QCOMPARE(line.saved, Money::fromCents(92)); // 2 × 2.25 − 3.58
        const Receipt receipt = f.window->composeReceipt();
        QCOMPARE(receipt.lines.first().note, QStringLiteral("特价　节省 ￥0.92"));
        // A price typed over the special's is no special.
        f.type("Text5", QStringLiteral("2.10"));
        f.type("Text3", QStringLiteral("1"));
        f.key(Qt::Key_F5);
        QVERIFY(!f.window->ticket()->line(1).special);
    }

    void importedWholeOrNotAtAll_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("added"); // -1: refused
        QTest::addColumn<QString>("problem");
        QTest::newRow("heading and two") << QByteArray(
                                                "货号,特价,开始日期,结束日期,会员\nA,1.99,2026-12-01,2026-12-31\n"
                                                "B,8.50,2026/12/5,2026/12/6,是\n")
                                         << 2 << QString();
        QTest::newRow("a bad price on line 3")
            << QByteArray("货号,特价,开始日期,结束日期\nA,1.99,2026-12-01,2026-12-31\nB,abc,2026-12-01,2026-12-31\n")
            << -1 << QStringLiteral("第 3 行：特价“abc”不是金额");
        QTest::newRow("ends before it starts") << QByteArray("A,1.99,2026-12-31,2026-12-01\n") << -1
                                               << QStringLiteral("第 1 行：结束日期不能早于开始日期");
        QTest::newRow("an unknown code") << QByteArray("A,1.99,2026-12-01,2026-12-31\nZZ,1,2026-12-01,2026-12-31\n")
                                         << -1 << QStringLiteral("没有货号“ZZ”，请先在“货名管理”中输入");
    }

    void importedWholeOrNotAtAll()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, added);
        QFETCH(QString, problem);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("薯片"));
        QFile file(shop.dir() + QStringLiteral("/tejia.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csv);
        file.close();
        const auto n = Specials::importCsv(shop.db().shop(), file.fileName());
        QCOMPARE(n.valueOr(-1), added);
        QCOMPARE(n.errorText(), problem);
        QCOMPARE(shop.count(QStringLiteral("tejia")), qint64(std::max(added, 0)));
        if (added == 2) {
            const auto all = Specials::list(shop.db().shop());
            QVERIFY(all);
            QCOMPARE(all->first().code, QStringLiteral("B"));
            QVERIFY(all->first().membersOnly);
            QCOMPARE(all->first().last, QDate(2026, 12, 6));
        }
    }

    // Ended early, a running special no longer runs today; an ended one stays as it was.
    void endedEarly()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        const Shop s = shop.db().shop();
        const QDate today(2026, 12, 11);
        QVERIFY_OK(Specials::store(s, special("A", 199, today.addDays(-3), today.addDays(3))));
        QVERIFY_OK(Specials::store(s, special("A", 150, today.addDays(-9), today.addDays(-5))));
        QVERIFY_OK(Specials::endEarly(s, 1, today));
        QVERIFY_OK(Specials::endEarly(s, 2, today));
        const auto all = Specials::list(s);
        QVERIFY(all);
        QCOMPARE(all->at(1).last, today.addDays(-1));
        QCOMPARE(all->at(1).stateOn(today), Special::State::Ended);
        QCOMPARE(all->at(0).last, today.addDays(-5));
        QVERIFY(!GoodsCatalogue(s).purchasesOf(QStringLiteral("A"), today)->special);
        QVERIFY(GoodsCatalogue(s).purchasesOf(QStringLiteral("A"), today.addDays(-1))->special);
    }
};

QTEST_MAIN(TestSpecials)
#include "tst_promotions.moc"
