#include "counterfixture.h"
#include "gui/counter/daydialogs.h"
#include "print/closeprinter.h"
#include "printedpdf.h"
#include "shop/dayclose.h"
#include "shop/daysales.h"
#include "shop/returns.h"
#include "shop/salesfigures.h"
#include "shop/salesstore.h"
#include "shop/stockfigures.h"

#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSqlQuery>

// A day of three payment methods and a return: the close's figures, the
// analyses' and the day list's, each against a count by hand; the close
// itself, its report on paper, and each till's own period.
class TestDayClose : public QObject
{
    Q_OBJECT

    static const QDate Day;

    static TicketLine sale(const QString &code, int quantity, qint64 cents)
    {
        TicketLine l;
        l.code = code;
        l.quantity = quantity;
        l.price = Money::fromCents(cents);
        l.amount = *l.price.times(quantity);
        l.time = QDateTime(Day, QTime(10, 0), Qt::UTC);
        return l;
    }

    // Bought: A 10 at 2.50, B 10 at 10.00. Sold on the day:
    //   1 cash    3 × A at 3.00 = 9.00, paid 10.00
    //   2 微信    2 × B at 12.00 = 24.00
    //   3 支付宝  1 × A at 3.00 = 3.00
    //   4 cash    1 × A of ticket 1 back (−3.00) and 1 × B at 12.00: 9.00, paid 10.00
    static void sellTheDay(TestShop &shop, bool server)
    {
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("薯片"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        shop.addPurchase(QStringLiteral("B"), 10, Money::fromCents(1000));
        if (server)
            shop.moveToServer();
        SalesStore store(shop.db().shop());
        auto pay = [](PaymentMethod m, qint64 paid, qint64 change) {
            return Payment{m, Money::fromCents(paid), Money::fromCents(change)};
        };
        QVERIFY(store.storeTicket(1, {sale(QStringLiteral("A"), 3, 300)}, {}, pay(PaymentMethod::Cash, 1000, 100)).ok);
        QVERIFY(store.storeTicket(2, {sale(QStringLiteral("B"), 2, 1200)}, {}, pay(PaymentMethod::WeChat, 2400, 0)).ok);
        QVERIFY(store.storeTicket(3, {sale(QStringLiteral("A"), 1, 300)}, {}, pay(PaymentMethod::Alipay, 300, 0)).ok);
        const auto first = Returns::ticketLines(shop.db().shop(), 1);
        QVERIFY2(first && first->size() == 1, qPrintable(first.errorText()));
        TicketLine back = Returns::returnLine(first->first(), 1, 0, 1, QDateTime(Day, QTime(11, 0), Qt::UTC));
        QVERIFY(
            store.storeTicket(4, {back, sale(QStringLiteral("B"), 1, 1200)}, {}, pay(PaymentMethod::Cash, 1000, 100))
                .ok);
    }

    static QString cents(Money m) { return m.toExactString(); }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void figuresOfTheDay_data() { addEngineColumn(); }

    void figuresOfTheDay()
    {
        QFETCH(bool, server);
        TestShop shop;
        sellTheDay(shop, server);
        if (QTest::currentTestFailed())
            return;
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();

        const auto close = DayClose(handle).current();
        QVERIFY(close);
        QCOMPARE(close->tickets, 4);
        QCOMPARE(close->lines, 5);
        QCOMPARE(close->sales, Money::fromCents(4800));
        QCOMPARE(close->returns, Money::fromCents(300));
        QCOMPARE(close->net(), Money::fromCents(4500));
        QCOMPARE(close->method(PaymentMethod::Cash), Money::fromCents(1800));
        QCOMPARE(close->method(PaymentMethod::WeChat), Money::fromCents(2400));
        QCOMPARE(close->method(PaymentMethod::Alipay), Money::fromCents(300));
        QCOMPARE(close->method(PaymentMethod::Card), Money());
        QCOMPARE(close->expectedCash(), Money::fromCents(1800));

        // 销售分析 nets the return: A 3 + 1 − 1 for 9.00 at cost 2.50.
        const SalesFigures sales = SalesFigures::compute(handle, Day, Day);
        QCOMPARE(sales.rows.size(), 2);
        QCOMPARE(sales.rows[0].code, QStringLiteral("A"));
        QCOMPARE(sales.rows[0].quantity, 3);
        QCOMPARE(sales.rows[0].amount, Money::fromCents(900));
        QCOMPARE(sales.rows[0].profit, Money::fromCents(150));
        QCOMPARE(sales.rows[1].quantity, 3);
        QCOMPARE(sales.rows[1].profit, Money::fromCents(600));
        QCOMPARE(sales.totalAmount, Money::fromCents(4500));
        QCOMPARE(sales.totalProfit, Money::fromCents(750));

        // 库存分析 puts the returned piece back.
        const StockFigures stock = StockFigures::compute(handle);
        QCOMPARE(stock.rows.size(), 2);
        QCOMPARE(stock.rows[0].stock, 7);
        QCOMPARE(stock.rows[1].stock, 7);
        QCOMPARE(stock.totalSoldAmount, Money::fromCents(4500));

        // 零售管理 lists the returned line with its minus sign, and each
        // line's payment method.
        QVector<DaySales::Line> lines;
        DaySales::Totals totals;
        QVERIFY_OK(DaySales::fill(handle, Day, &lines, &totals));
        QCOMPARE(totals.tickets, 4);
        QCOMPARE(totals.quantity, 6);
        QCOMPARE(totals.amount, Money::fromCents(4500));
        QStringList shown;
        for (const DaySales::Line &l : lines)
            shown.append(l.quantity + u' ' + l.method);
        QCOMPARE(shown, strings({"3 现金", "2 微信", "1 支付宝", "-1 现金", "1 现金"}));
    }

    void theClose_data() { addEngineColumn(); }

    void theClose()
    {
        QFETCH(bool, server);
        TestShop shop;
        sellTheDay(shop, server);
        if (QTest::currentTestFailed())
            return;
        DayClose day(shop.db().shop());
        QCOMPARE(day.needsOpening().valueOr(!false), false);
        const auto closed = day.close(Money::fromCents(1700));
        QVERIFY_OK(closed);
        QCOMPARE(closed->id, 1);
        QCOMPARE(closed->difference(), std::optional<Money>(Money::fromCents(-100)));
        QCOMPARE(CloseReport::of(*closed).rows.last(), std::pair(QStringLiteral("短款"), QStringLiteral("¥1.00")));

        // The list holds what was closed; the next period is empty and its
        // first sale asks the opening cash.
        const auto history = day.history();
        QVERIFY(history && history->size() == 1);
        const CloseFigures &stored = history->first();
        QCOMPARE(cents(stored.net()), cents(closed->net()));
        QCOMPARE(cents(stored.method(PaymentMethod::WeChat)), QStringLiteral("24.0000"));
        QCOMPARE(stored.counted, std::optional<Money>(Money::fromCents(1700)));
        QCOMPARE(stored.tickets, 4);
        const auto next = day.current();
        QVERIFY(next);
        QCOMPARE(next->tickets, 0);
        QCOMPARE(next->net(), Money());
        QCOMPARE(day.needsOpening().valueOr(!true), true);
        QVERIFY(day.open(Money::fromCents(20000)));
        QCOMPARE(day.needsOpening().valueOr(!false), false);
        SalesStore store(shop.db().shop());
        QVERIFY(store.storeTicket(5, {sale(QStringLiteral("A"), 1, 300)}).ok);
        const auto second = day.close(Money::fromCents(20300));
        QVERIFY(second);
        QCOMPARE(second->id, 2);
        QCOMPARE(second->tickets, 1);
        QCOMPARE(second->expectedCash(), Money::fromCents(20300));
        QCOMPARE(second->difference(), std::optional<Money>(Money()));
        QCOMPARE(day.history()->size(), 2);
    }

    void aCloseTriedAgainIsStoredOnce()
    {
        // The commit went through and its answer was lost: the retry with
        // the same token finds the close, and the next close is a new one.
        TestShop shop;
        sellTheDay(shop, true);
        if (QTest::currentTestFailed())
            return;
        const QUuid token = QUuid::createUuid();
        const auto first = DayClose(shop.db().shop()).close(Money::fromCents(1700), token);
        QVERIFY(first);
        const auto again = DayClose(shop.db().shop()).close(Money::fromCents(1700), token);
        QVERIFY(again);
        QCOMPARE(again->id, first->id);
        QCOMPARE(again->tickets, 4);
        QCOMPARE(shop.count(QStringLiteral("rijie")), 1);
        const auto next = DayClose(shop.db().shop()).close(Money(), QUuid::createUuid());
        QVERIFY(next);
        QCOMPARE(next->id, first->id + 1);
    }

    void eachTillClosesItsOwnPeriod()
    {
        TestShop shop;
        sellTheDay(shop, true);
        if (QTest::currentTestFailed())
            return;
        ShopConfig two = shop.server();
        two.till = 2;
        Database::Result opened = Database::openServer(two);
        QVERIFY2(opened.database, qPrintable(opened.message));
        SalesStore tillTwo(opened.database->shop());
        QVERIFY(tillTwo
                    .storeTicket(0, {sale(QStringLiteral("B"), 1, 1200)}, {},
                                 Payment{PaymentMethod::Card, Money::fromCents(1200), Money()})
                    .ok);
        DayClose one(shop.db().shop());
        const auto closed = one.close(Money::fromCents(1800));
        QVERIFY_OK(closed);
        QCOMPARE(closed->tickets, 4);
        QCOMPARE(closed->method(PaymentMethod::Card), Money());
        DayClose other(opened.database->shop());
        const auto open = other.current();
        QVERIFY(open);
        QCOMPARE(open->tickets, 1);
        QCOMPARE(open->method(PaymentMethod::Card), Money::fromCents(1200));
        QVERIFY(other.close(Money()));
        // The back office, whichever till it is, sees every till's closes.
        QCOMPARE(one.history()->size(), 2);
    }

    void anOlderFileGetsTheDayTables()
    {
        // A file of the five tables alone, as older versions and other tools
        // make it: opened, it gets the day's tables and sells as before.
        TestShop shop;
        shop.create();
        shop.addSale(1, 1, QStringLiteral("A"), 2, Money::fromCents(250));
        for (const char *table : {"tuihuo", "fukuan", "rijie"})
            shop.exec(QStringLiteral("DROP TABLE %1").arg(QString::fromLatin1(table)));
        const QString path = shop.path();
        shop.take().reset();
        Database::Result opened = Database::open(path);
        QVERIFY2(opened.database, qPrintable(opened.message));
        const Shop handle = opened.database->shop();
        QSqlDatabase db = handle.connection();
        const auto sold = Returns::ticketLines(handle, 1);
        QVERIFY2(sold && sold->size() == 1, qPrintable(sold.errorText()));
        QVERIFY(SalesStore(handle)
                    .storeTicket(2, {Returns::returnLine(sold->first(), 1, 0, 2, QDateTime::currentDateTime())})
                    .ok);
        const auto day = DayClose(handle).current();
        QVERIFY(day);
        QCOMPARE(day->tickets, 1);
        QCOMPARE(day->returns, Money::fromCents(500));
    }

    void badCountedCashChangesNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("输入有误，请输入金额！");
        QTest::newRow("below zero") << QStringLiteral("-5") << QStringLiteral("输入有误，请输入金额！");
        QTest::newRow("empty") << QString() << QStringLiteral("请先输入清点出的现金金额！");
        QTest::newRow("finer than a fen")
            << QStringLiteral("12.345") << QStringLiteral("现金以分为单位，请最多输入两位小数！");
    }

    void badCountedCashChangesNothing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("5"));
        f.key(Qt::Key_F8);
        DayCloseDialog dialog(f.window->database().shop(), f.window);
        QVERIFY(dialog.refresh());
        dialog.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(typed);
        f.messages.clear();
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.shop.count(QStringLiteral("rijie")), 0);
    }

    void theReportOnRollAndPage_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<double>("widthMm");
        QTest::newRow("58 mm roll") << QStringLiteral("Roll58") << 58.0;
        QTest::newRow("A4") << QStringLiteral("PDF") << 210.0;
    }

    void theReportOnRollAndPage()
    {
        QFETCH(QString, queue);
        QFETCH(double, widthMm);
        const QPrinterInfo printer = QPrinterInfo::printerInfo(queue);
        if (printer.isNull()) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("the test run set up no such queue");
            QSKIP("no such CUPS queue");
        }
        TestShop shop;
        sellTheDay(shop, false);
        const auto closed = DayClose(shop.db().shop()).close(Money::fromCents(1850));
        QVERIFY(closed);
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        QVERIFY_OK(ClosePrinter::printOn(printer, CloseReport::of(*closed)));
        const QString found = waitForPrintedPdf(started, QStringLiteral("日结报表"));
        QVERIFY2(!found.isEmpty(), "no report PDF from cups-pdf");
        QVERIFY2(qAbs(pdfPageSize(found).width() - widthMm * 72 / 25.4) < 3, qPrintable(found));
        // 长 comes out of the CJK font as its radical form.
        const QString text = pdfText(found).replace(QChar(0x2ED3), QChar(0x957F));
        for (const char *part : {"日结号", "¥48.00", "¥3.00", "¥45.00", "¥24.00", "¥18.00", "¥18.50", "长款", "¥0.50"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(QString::fromUtf8(part) + u'\n' + text));
        QFile::remove(found);
    }
};

const QDate TestDayClose::Day(2026, 12, 9);

QTEST_MAIN(TestDayClose)
#include "tst_dayclose.moc"
