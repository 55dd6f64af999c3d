#include "counterfixture.h"
#include "shop/recordset.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

// Item entry and the current ticket, driven through the counter's controls.
class TestCounter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState()
    {
        CounterFixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Tarvel"));
        QCOMPARE(f.text("Label13"), QStringLiteral("Tarvel V1.3"));
        QCOMPARE(f.text("Text3"), QStringLiteral("1"));
        QCOMPARE(f.text("Text7"), QStringLiteral("10"));
        QCOMPARE(f.text("Label8"), QStringLiteral("1"));
        QCOMPARE(f.text("Label10"), QStringLiteral("0"));
        QCOMPARE(f.text("Label12"), QStringLiteral("0"));
        QCOMPARE(f.text("Label17"), QString());
        for (const char *disabled : {"Text2", "Text4", "Text6", "Text7", "Command13"})
            QVERIFY2(!f.get(disabled)->isEnabled(), disabled);
        for (const char *enabled : {"Text1", "Text3", "Text5", "Text8"})
            QVERIFY2(f.get(enabled)->isEnabled(), enabled);
        QVERIFY(f.get<QCheckBox>("Check3")->isChecked());
        QVERIFY(!f.get<QCheckBox>("Check4")->isChecked());
        QVERIFY(!f.get<QCheckBox>("Check1")->isChecked());
        QVERIFY(f.get<QRadioButton>("Option1")->isChecked());
        QVERIFY(f.get("Frame4")->isHidden());
        auto *grid = f.get<QTableView>("DataGrid1");
        QCOMPARE(grid->model()->columnCount(), 7);
        QCOMPARE(grid->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("金额"));
        QCOMPARE(grid->columnWidth(1), 1800 / 15);
        QVERIFY(f.messages.boxes.isEmpty());
    }

    void lookupRefusals_data()
    {
        QTest::addColumn<bool>("withGoods");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty catalogue") << false << QStringLiteral("A")
                                         << QStringLiteral("请先进入“货名管理”输入货名！") << QStringLiteral("Text3")
                                         << QString();
        QTest::newRow("empty code") << true << QString() << QStringLiteral("请先输入货物代码！")
                                    << QStringLiteral("Text1") << QString();
        QTest::newRow("unknown code") << true << QStringLiteral("ZZ")
                                      << QStringLiteral("没有这个货物代码，请重新输入！") << QStringLiteral("Text1")
                                      << QString();
        QTest::newRow("never purchased") << true << QStringLiteral("C")
                                         << QStringLiteral("该货物没有进货，请重新输入！") << QStringLiteral("Text1")
                                         << QStringLiteral("毛巾");
        QTest::newRow("differs in case") << true << QStringLiteral("a")
                                         << QStringLiteral("没有这个货物代码，请重新输入！") << QStringLiteral("Text1")
                                         << QString();
    }

    void lookupRefusals()
    {
        QFETCH(bool, withGoods);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QString, name);
        CounterFixture f(withGoods);
        f.key(Qt::Key_F1);
        f.type("Text1", code);
        f.key(Qt::Key_F2);
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.messages.boxes.first().title, QStringLiteral("提示"));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Information);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QCOMPARE(f.text("Text2"), name);
        QCOMPARE(f.text("Text5"), QString());
    }

    void neverPurchasedKeepsTheEarlierFields()
    {
        // The lookup stops after filling the name: the purchased total and the
        // prices still show the goods looked up before.
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("B"));
        f.key(Qt::Key_F2);
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("C"));
        f.key(Qt::Key_F2);
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("该货物没有进货，请重新输入！")});
        QCOMPARE(f.text("Text2"), QStringLiteral("毛巾"));
        QCOMPARE(f.text("Text4"), QStringLiteral("10"));
        QCOMPARE(f.text("Text5"), QStringLiteral("10.00"));
        QCOMPARE(f.text("Text6"), QStringLiteral("¥10.00"));
    }

    void lookupFillsNameTotalAndLastPrice_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("discounted");
        QTest::newRow("one purchase") << QStringLiteral("A") << QStringLiteral("可乐") << QStringLiteral("10")
                                      << QStringLiteral("2.50") << QStringLiteral("¥2.50");
        QTest::newRow("two purchases") << QStringLiteral("B") << QStringLiteral("薯片") << QStringLiteral("10")
                                       << QStringLiteral("10.00") << QStringLiteral("¥10.00");
        QTest::newRow("apostrophe") << QStringLiteral("it's") << QStringLiteral("苹果") << QStringLiteral("1")
                                    << QStringLiteral("1234.50") << QStringLiteral("¥1,234.50");
    }

    void lookupFillsNameTotalAndLastPrice()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, total);
        QFETCH(QString, price);
        QFETCH(QString, discounted);
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", code);
        // Tab from the code box goes on to the unit price box, which looks up too.
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text5"));
        QVERIFY(f.messages.boxes.isEmpty());
        QCOMPARE(f.text("Text2"), name);
        QCOMPARE(f.text("Text4"), total);
        QCOMPARE(f.text("Text5"), price);
        QCOMPARE(f.text("Text6"), discounted);
    }

    void lookupRunsOnEveryEntryAndRestoresStoredPrice()
    {
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("A"));
        f.key(Qt::Key_F3);
        f.type("Text5", QStringLiteral("9"));
        QCOMPARE(f.text("Text6"), QStringLiteral("¥9.00"));
        f.key(Qt::Key_F2);
        QCOMPARE(f.text("Text5"), QStringLiteral("2.50"));
        // Pressing F2 again while already in the box looks nothing up.
        f.type("Text5", QStringLiteral("7"));
        f.key(Qt::Key_F3);
        f.type("Text5", QStringLiteral("7"));
        f.edit("Text1")->setFocus();
        f.key(Qt::Key_F3);
        QCOMPARE(f.text("Text5"), QStringLiteral("2.50"));
    }

    void discountedPriceFollowsPriceAndRate_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("discounted");
        QTest::newRow("rate 10") << QStringLiteral("12.50") << QStringLiteral("10") << QStringLiteral("¥12.50");
        QTest::newRow("rate 8") << QStringLiteral("12.50") << QStringLiteral("8") << QStringLiteral("¥10.00");
        QTest::newRow("rate 8.5") << QStringLiteral("10") << QStringLiteral("8.5") << QStringLiteral("¥8.50");
        QTest::newRow("large") << QStringLiteral("1234567.89") << QStringLiteral("10")
                               << QStringLiteral("¥1,234,567.89");
        // Not a number: the discounted price stays as it was.
        QTest::newRow("rate not a number") << QStringLiteral("12.50") << QStringLiteral("-") << QStringLiteral("¥5.00");
        // (the rate 8 itself already gave 5 × 8 / 10)
        QTest::newRow("price not a number") << QStringLiteral("abc") << QStringLiteral("8") << QStringLiteral("¥4.00");
    }

    void discountedPriceFollowsPriceAndRate()
    {
        QFETCH(QString, price);
        QFETCH(QString, rate);
        QFETCH(QString, discounted);
        CounterFixture f;
        f.edit("Text5")->setText(QStringLiteral("5"));
        QCOMPARE(f.text("Text6"), QStringLiteral("¥5.00"));
        f.edit("Text7")->setText(rate);
        f.edit("Text5")->setText(price);
        QCOMPARE(f.text("Text6"), discounted);
        QVERIFY(f.messages.boxes.isEmpty());
    }

    void quantityIsNormalised_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("refused");
        QTest::newRow("2.5 to even") << QStringLiteral("2.5") << QStringLiteral("2") << false;
        QTest::newRow("3.5 to even") << QStringLiteral("3.5") << QStringLiteral("4") << false;
        QTest::newRow("out of range") << QStringLiteral("40000") << QString() << true;
        QTest::newRow("word") << QStringLiteral("abc") << QString() << true;
        QTest::newRow("lone minus") << QStringLiteral("-") << QString() << true;
        QTest::newRow("negative pasted") << QStringLiteral("-3") << QStringLiteral("-3") << false;
    }

    void quantityIsNormalised()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        QFETCH(bool, refused);
        CounterFixture f;
        f.edit("Text3")->setText(pasted);
        QCOMPARE(f.text("Text3"), shown);
        QCOMPARE(f.messages.texts(), refused ? QStringList{QStringLiteral("输入有误！")} : QStringList{});
        for (const auto &box : std::as_const(f.messages.boxes))
            QCOMPARE(box.icon, Messages::Icon::Information);
    }

    void paymentIsChecked_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("amount") << QStringLiteral("100.5") << QStringLiteral("100.5");
        QTest::newRow("currency text") << QStringLiteral("¥1,000.00") << QStringLiteral("¥1,000.00");
        QTest::newRow("word") << QStringLiteral("abc") << QString();
        QTest::newRow("lone point") << QStringLiteral(".") << QString();
        QTest::newRow("blanks around") << QStringLiteral(" 20 ") << QStringLiteral(" 20 ");
        QTest::newRow("blank inside") << QStringLiteral("10 5") << QString();
        QTest::newRow("sign inside") << QStringLiteral("1¥2") << QString();
        QTest::newRow("currency code") << QStringLiteral("CNY5") << QString();
    }

    void paymentIsChecked()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        CounterFixture f;
        f.edit("Text8")->setText(typed);
        QCOMPARE(f.text("Text8"), shown);
        QCOMPARE(f.messages.texts(),
                 shown.isEmpty() ? QStringList{QStringLiteral("输入有误，请重新输入！")} : QStringList{});
        for (const auto &box : std::as_const(f.messages.boxes))
            QCOMPARE(box.icon, Messages::Icon::Information);
    }

    void checkBoxesEnableTheirControls()
    {
        CounterFixture f;
        QTest::mouseClick(f.get("Check3"), Qt::LeftButton);
        QVERIFY(!f.get("Text5")->isEnabled());
        QTest::mouseClick(f.get("Check4"), Qt::LeftButton);
        QVERIFY(f.get("Text7")->isEnabled());
        QTest::mouseClick(f.get("Check1"), Qt::LeftButton);
        QVERIFY(f.get("Command13")->isEnabled());
        QTest::mouseClick(f.get("Check1"), Qt::LeftButton);
        QVERIFY(!f.get("Command13")->isEnabled());
    }

    void f3WithPriceBoxDisabledDoesNothing()
    {
        CounterFixture f;
        f.get<QCheckBox>("Check3")->setChecked(false);
        f.key(Qt::Key_F1);
        f.key(Qt::Key_F3);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
        QVERIFY(f.messages.boxes.isEmpty());
    }

    void addChecksQuantityFirst_data()
    {
        QTest::addColumn<bool>("withGoods");
        QTest::newRow("goods, empty code") << true;
        // Before the catalogue check too.
        QTest::newRow("empty catalogue") << false;
    }

    void addChecksQuantityFirst()
    {
        QFETCH(bool, withGoods);
        CounterFixture f(withGoods);
        f.edit("Text3")->clear();
        f.key(Qt::Key_F5);
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("请输入货物数量！")});
        QCOMPARE(f.window->ticket()->lineCount(), 0);
    }

    void addPutsALineWithTotals()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("3"));
        QVERIFY(f.messages.boxes.isEmpty());
        Ticket *t = f.window->ticket();
        QCOMPARE(t->lineCount(), 1);
        const TicketLine line = t->line(0);
        QCOMPARE(line.code, QStringLiteral("A"));
        QCOMPARE(line.name, QStringLiteral("可乐"));
        QCOMPARE(line.quantity, 3);
        QCOMPARE(line.amount, Money::fromCents(750));
        QCOMPARE(f.text("Label10"), QStringLiteral("3"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥7.50"));
        auto *grid = f.get<QTableView>("DataGrid1");
        QCOMPARE(grid->model()->index(0, 5).data().toString(), QStringLiteral("¥7.50"));
        QCOMPARE(grid->model()->index(0, 3).data().toString(), QStringLiteral("¥2.50"));
        // The same goods again is a second line, counted in both totals.
        f.key(Qt::Key_F5);
        QCOMPARE(t->lineCount(), 2);
        QCOMPARE(f.text("Label10"), QStringLiteral("6"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥15.00"));
    }

    void listPriceAndDiscountedPrice()
    {
        CounterFixture f;
        f.get<QCheckBox>("Check4")->setChecked(true);
        f.edit("Text7")->setText(QStringLiteral("8"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("2"));
        const TicketLine line = f.window->ticket()->line(0);
        auto *grid = f.get<QTableView>("DataGrid1");
        QCOMPARE(grid->model()->index(0, 3).data().toString(), QStringLiteral("¥10.00"));
        QCOMPARE(grid->model()->index(0, 4).data().toString(), QStringLiteral("¥8.00"));
        QCOMPARE(line.amount, Money::fromCents(1600));
    }

    void typedPriceIsKeptForTheSameGoods()
    {
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("B"));
        f.key(Qt::Key_F2);
        f.type("Text3", QStringLiteral("2"));
        f.key(Qt::Key_F3);
        f.type("Text5", QStringLiteral("9"));
        f.key(Qt::Key_F5);
        const TicketLine line = f.window->ticket()->line(0);
        QCOMPARE(line.price, Money::fromCents(900));
        QCOMPARE(line.listPrice, Money::fromCents(1000));
        QCOMPARE(line.amount, Money::fromCents(1800));
    }

    void newCodeIsNeverChargedThePreviousPrice()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        // Type B's code and press F5 at once, without entering quantity or price.
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("B"));
        f.key(Qt::Key_F5);
        QCOMPARE(f.window->ticket()->lineCount(), 2);
        const TicketLine line = f.window->ticket()->line(1);
        QCOMPARE(line.code, QStringLiteral("B"));
        QCOMPARE(line.name, QStringLiteral("薯片"));
        QCOMPARE(line.price, Money::fromCents(1000));
        QCOMPARE(f.text("Text5"), QStringLiteral("10.00"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥12.50"));
    }

    void refusedAddLeavesTotals()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("C"));
        f.key(Qt::Key_F5);
        QCOMPARE(f.messages.last(), QStringLiteral("该货物没有进货，请重新输入！"));
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.text("Label10"), QStringLiteral("2"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥5.00"));
        QCOMPARE(f.text("Text2"), QStringLiteral("毛巾"));
    }

    void exactMoneyForLargeAmounts()
    {
        CounterFixture f;
        f.shop.addGoods(QStringLiteral("BIG"), QStringLiteral("金条"));
        f.shop.addPurchase(QStringLiteral("BIG"), 1, Money::parse(QStringLiteral("1234567.89")).value());
        f.ringUp(QStringLiteral("BIG"), QStringLiteral("1"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥1,234,567.89"));
        f.ringUp(QStringLiteral("BIG"), QStringLiteral("32767"));
        QCOMPARE(f.window->ticket()->quantityTotal(), 32768);
        QCOMPARE(f.text("Label10"), QStringLiteral("32768"));
    }

    void clearEmptiesTicketAndTotals()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        f.edit("Text8")->setText(QStringLiteral("50"));
        f.get("Text8")->setFocus();
        f.key(Qt::Key_F6);
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(f.get<QTableView>("DataGrid1")->model()->rowCount(), 0);
        QCOMPARE(f.text("Label10"), QStringLiteral("0"));
        QCOMPARE(f.text("Label12"), QStringLiteral("0"));
        QCOMPARE(f.text("Text8"), QStringLiteral("50"));
        QCOMPARE(f.text("Text1"), QStringLiteral("B"));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
        // An empty ticket clears just the same.
        f.key(Qt::Key_F6);
        QCOMPARE(f.text("Label12"), QStringLiteral("0"));
    }

    void goodsAddedLaterAreFound()
    {
        CounterFixture f;
        f.shop.addGoods(QStringLiteral("NEW"), QStringLiteral("新货"));
        f.shop.addPurchase(QStringLiteral("NEW"), 5, Money::fromCents(100));
        f.ringUp(QStringLiteral("NEW"), QStringLiteral("1"));
        QVERIFY(f.messages.boxes.isEmpty());
        QCOMPARE(f.window->ticket()->lineCount(), 1);
    }

    void functionKeysSentStraightToAControl()
    {
        CounterFixture f;
        QWidget other;
        QVERIFY(showActive(&other));
        QVERIFY(!f.window->isActiveWindow());
        f.edit("Text1")->setText(QStringLiteral("A"));
        QTest::keyClick(f.get("DataGrid1"), Qt::Key_F5);
        QTest::keyClick(f.edit("Text8"), Qt::Key_F5);
        QCOMPARE(f.window->ticket()->lineCount(), 2);
        QTest::keyClick(f.edit("Text3"), Qt::Key_F6);
        QCOMPARE(f.window->ticket()->lineCount(), 0);
    }

    void tabOrderOfTheEntryRows()
    {
        CounterFixture f;
        f.edit("Text1")->setText(QStringLiteral("A"));
        f.get("Text3")->setFocus();
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text5"));
        f.key(Qt::Key_Tab); // Text6 is disabled, Text7 too
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
    }
};

QTEST_MAIN(TestCounter)
#include "tst_counter.moc"
