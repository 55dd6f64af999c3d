#include "counterfixture.h"
#include "shop/checkout.h"
#include "shop/members.h"
#include "shop/promotions.h"
#include "shop/receipt.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/scalegoods.h"
#include "shop/ticket.h"

#include <QFile>
#include <QLabel>

// 会员: a member's card makes the ticket the member's, also for the lines
// already on it; each ticket gives one point per whole yuan of what is kept
// of it, so returns take points back; the list is imported whole or not at all.
class TestMembers : public QObject
{
    Q_OBJECT

    static Member member(const char *card, const char *name)
    {
        Member m;
        m.card = QString::fromUtf8(card);
        m.name = QString::fromUtf8(name);
        m.phone = QStringLiteral("13800000000");
        m.joined = QDate(2026, 1, 1);
        return m;
    }

    static qint64 pointsOf(const Shop &shop, const QString &card)
    {
        const auto found = Members::find(shop, card);
        if (!found || !*found)
            qFatal("no member %s: %s", qPrintable(card), qPrintable(found.errorText()));
        return (*found)->points;
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    // Lines rung up before the card get the members' prices when it is
    // scanned: a purchase's lower member price, a members' special; a
    // typed price stays. Lines after it are priced so from the start.
    void cardPricesTheTicket_data() { addEngineColumn(); }
    void cardPricesTheTicket()
    {
        QFETCH(bool, server);
        CounterFixture f(true, server);
        const Shop s = f.window->database().shop();
        f.shop.exec(QStringLiteral("UPDATE jinhuo SET huiyuanjia = 20000 WHERE code = 'A'")); // 2.50 → 2.00
        Special special;
        special.code = QStringLiteral("B");
        special.price = Money::fromCents(850); // B sells at 10.00
        special.first = special.last = QDate::currentDate();
        special.membersOnly = true;
        QVERIFY_OK(Specials::store(s, special));
        QVERIFY_OK(Members::store(s, member("8800001", "张三"), true));

        f.ringUp(QStringLiteral("A"), QStringLiteral("3"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("A"));
        f.key(Qt::Key_F2);
        f.type("Text5", QStringLiteral("2.40")); // typed by the cashier
        f.type("Text3", QStringLiteral("1"));
        f.key(Qt::Key_F5);
        QCOMPARE(f.window->ticket()->amountTotal(), Money::fromCents(750 + 1000 + 240));

        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("8800001"));
        f.key(Qt::Key_Return);
        QCOMPARE(f.messages.texts(), QStringList());
        QCOMPARE(f.window->ticket()->lineCount(), 3);
        const QList<TicketLine> lines = f.window->ticket()->lines();
        QCOMPARE(lines[0].amount, Money::fromCents(600));
        QVERIFY(lines[0].member);
        QCOMPARE(lines[0].saved, Money::fromCents(150));
        QCOMPARE(lines[1].amount, Money::fromCents(850));
        QVERIFY(lines[1].special);
        QCOMPARE(lines[2].amount, Money::fromCents(240));
        QCOMPARE(f.window->ticket()->amountTotal(), Money::fromCents(1690));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥16.90"));
        QCOMPARE(f.get<QLabel>("memberLabel")->text(), QStringLiteral("会员：张三（8800001）　积分 0　本单 +16"));

        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(f.text("Text5"), QStringLiteral("2.00"));
        QCOMPARE(f.window->composeReceipt().lines.first().note, QStringLiteral("会员价　节省 ￥1.50"));
        f.edit("Text8")->setText(QStringLiteral("20"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.texts(), QStringList());
        QCOMPARE(pointsOf(s, QStringLiteral("8800001")), 18); // 18.90
        QCOMPARE(f.get<QLabel>("memberLabel")->text(), QStringLiteral("会员：张三　本单积分 18　累计积分 18"));
        // The next ticket is nobody's again.
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(f.text("Text5"), QStringLiteral("2.50"));
        QVERIFY(f.get<QLabel>("memberLabel")->isHidden());
    }

    // A member's ticket of 14.10 gives 14 points; each partial return takes
    // back what the kept rest no longer earns, down to none, and the
    // return's own ticket (nobody's) gives none.
    void returnsTakePointsBack_data() { addEngineColumn(); }
    void returnsTakePointsBack()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("薯片"));
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        QVERIFY_OK(Members::store(s, member("8800001", "张三"), true));
        const QDateTime now = QDateTime::currentDateTime();
        const QList<TicketLine> sale = {{QStringLiteral("A"), QStringLiteral("可乐"), 10, Money::fromCents(105),
                                         Money::fromCents(105), Money::fromCents(1050), now},
                                        {QStringLiteral("B"), QStringLiteral("薯片"), 1, Money::fromCents(360),
                                         Money::fromCents(360), Money::fromCents(360), now}};
        SalesStore store(s);
        const Payment paid{PaymentMethod::Cash, Money::fromCents(1410), Money(), QStringLiteral("8800001")};
        const auto sold = store.storeTicket(1, sale, QUuid::createUuid(), paid);
        QVERIFY2(sold.ok, qPrintable(sold.error));
        QCOMPARE(pointsOf(s, QStringLiteral("8800001")), 14);

        // Back: 3 of A (3.15), then the other 7 (7.35), then B (3.60).
        const QList<std::pair<int, qint64>> returns = {{0, 3}, {0, 7}, {1, 1}};
        const QList<qint64> left = {10, 3, 0};
        qint64 number = sold.ticketNumber;
        for (int i = 0; i < returns.size(); ++i) {
            const auto lines = Returns::ticketLines(s, sold.ticketNumber);
            QVERIFY2(lines, qPrintable(lines.errorText()));
            const Returns::SoldLine &line = lines->at(returns[i].first);
            const TicketLine back = Returns::returnLine(line, sold.ticketNumber, line.returned, returns[i].second, now);
            const auto stored = store.storeTicket(++number, {back}, QUuid::createUuid());
            QVERIFY2(stored.ok, qPrintable(stored.error));
            number = stored.ticketNumber;
            QCOMPARE(pointsOf(s, QStringLiteral("8800001")), left[i]);
        }
    }

    // The member's link is stored with the ticket or neither is.
    void storedWholeOrNotAtAll_data() { addEngineColumn(); }
    void storedWholeOrNotAtAll()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        if (server)
            shop.moveToServer();
        shop.exec(QStringLiteral("DROP TABLE huiyuan_piao"));
        const QList<TicketLine> sale = {{QStringLiteral("A"), QStringLiteral("可乐"), 1, Money::fromCents(250),
                                         Money::fromCents(250), Money::fromCents(250), QDateTime::currentDateTime()}};
        const Payment paid{PaymentMethod::Cash, Money::fromCents(250), Money(), QStringLiteral("8800001")};
        const auto stored = SalesStore(shop.db().shop()).storeTicket(1, sale, QUuid::createUuid(), paid);
        QVERIFY(!stored.ok);
        QCOMPARE(shop.count(QStringLiteral("xiaoshou")), 0);
        QCOMPARE(shop.count(QStringLiteral("fukuan")), 0);
    }

    void importedWholeOrNotAtAll_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("added"); // -1: refused
        QTest::addColumn<QString>("problem");
        QTest::newRow("heading and two") << QByteArray("卡号,姓名,电话,入会日期\n8800002,李四,139,2026-03-01\n"
                                                       "8800003,王五,,\n")
                                         << 2 << QString();
        QTest::newRow("twice in the file") << QByteArray("8800002,李四\n8800003,王五\n8800002,赵六\n") << -1
                                           << QStringLiteral("第 3 行：卡号“8800002”与第 1 行重复");
        QTest::newRow("a member's card already")
            << QByteArray("8800002,李四\n8800001,赵六\n") << -1 << QStringLiteral("第 2 行：卡号“8800001”已是会员卡");
        QTest::newRow("no name") << QByteArray("8800002,\n") << -1 << QStringLiteral("第 1 行：请输入会员姓名");
        QTest::newRow("a goods code") << QByteArray("8800002,李四\nA,王五\n") << -1
                                      << QStringLiteral("第 2 行：卡号“A”是一个货号，扫描时会当作货物，请换一个卡号");
        QTest::newRow("a scale label's form")
            << QByteArray("2000123005928,李四\n") << -1
            << QStringLiteral("第 1 行：卡号“2000123005928”符合条码秤的格式，扫描时会当作秤签，请换一个卡号");
        QTest::newRow("a bad date") << QByteArray("8800002,李四,139,2026-13-01\n") << -1
                                    << QStringLiteral("第 1 行：入会日期“2026-13-01”不是日期");
    }

    void importedWholeOrNotAtAll()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, added);
        QFETCH(QString, problem);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        const Shop s = shop.db().shop();
        QVERIFY_OK(ScaleGoods::setFormats(s, LabelFormat::ready()));
        QVERIFY_OK(Members::store(s, member("8800001", "张三"), true));
        QFile file(shop.dir() + QStringLiteral("/huiyuan.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csv);
        file.close();
        const auto n = Members::importCsv(s, file.fileName(), QDate(2026, 12, 11));
        QCOMPARE(n.valueOr(-1), added);
        QCOMPARE(n.errorText(), problem);
        QCOMPARE(shop.count(QStringLiteral("huiyuan")), qint64(1 + std::max(added, 0)));
        if (added == 2) {
            const auto found = Members::list(s, QStringLiteral("王"), 10);
            QVERIFY(found);
            QCOMPARE(found->size(), 1);
            QCOMPARE(found->first().joined, QDate(2026, 12, 11));
        }
    }
};

QTEST_MAIN(TestMembers)
#include "tst_members.moc"
