#include "counterfixture.h"
#include "modalanswerer.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>

// What a till in the field does beyond the keys of the counter: scanning with
// Enter, typing over, voiding a line, guarding an open ticket, a readable total.
class TestTill : public QObject
{
    Q_OBJECT

    static QWidget *focus() { return QApplication::focusWidget(); }

    static void scan(CounterFixture &f, const QString &code)
    {
        // As fast as a scanner types: keys about 5 ms apart, then Enter.
        QTest::keyClicks(focus(), code, Qt::NoModifier, 5);
        QTest::keyClick(focus(), Qt::Key_Return);
        Q_UNUSED(f);
    }

private Q_SLOTS:
    void hundredScansInARow()
    {
        CounterFixture f;
        f.key(Qt::Key_F1);
        const QStringList codes = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("it's")};
        int expected = 0;
        Money total;
        for (int i = 0; i < 100; ++i) {
            const QString code = codes.at(i % 3);
            scan(f, code);
            ++expected;
            total = *total.plus(code == u"A"   ? Money::fromCents(250)
                                : code == u"B" ? Money::fromCents(1000)
                                               : Money::fromCents(123450));
            QCOMPARE(focus(), f.get("Text1"));
            QCOMPARE(f.edit("Text1")->selectedText(), code);
            // Now and then an unknown code or goods never purchased: refused,
            // and the next scan types over it.
            if (i % 17 == 5) {
                f.messages.clear();
                scan(f, QStringLiteral("NOPE"));
                QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("没有这个货物代码，请重新输入！")});
                scan(f, QStringLiteral("C"));
                QCOMPARE(f.messages.last(), QStringLiteral("该货物没有进货，请重新输入！"));
                QCOMPARE(focus(), f.get("Text1"));
                QCOMPARE(f.edit("Text1")->selectedText(), QStringLiteral("C"));
            }
        }
        Ticket *t = f.window->ticket();
        QCOMPARE(t->lineCount(), expected);
        for (int i = 0; i < t->lineCount(); ++i) {
            QCOMPARE(t->line(i).code, codes.at(i % 3));
            QCOMPARE(t->line(i).quantity, 1);
        }
        QCOMPARE(t->amountTotal(), total);
        QCOMPARE(f.text("Label10"), QStringLiteral("100"));
    }

    void aScanAfterARefusalTypesOverIt_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown code") << QStringLiteral("ZZ") << QStringLiteral("没有这个货物代码，请重新输入！");
        QTest::newRow("never purchased") << QStringLiteral("C") << QStringLiteral("该货物没有进货，请重新输入！");
    }

    void aScanAfterARefusalTypesOverIt()
    {
        // The real modal box, answered as the cashier does; the next scan
        // goes wherever the keyboard is then.
        QFETCH(QString, refused);
        QFETCH(QString, message);
        CounterFixture f;
        Messages::install(nullptr);
        ModalAnswerer answerer;
        f.key(Qt::Key_F1);
        scan(f, refused);
        QTRY_COMPARE(answerer.texts, QStringList{message});
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(f.window));
        QCOMPARE(focus(), f.get("Text1"));
        QCOMPARE(f.edit("Text1")->selectedText(), refused);
        scan(f, QStringLiteral("A"));
        QCOMPARE(answerer.texts.size(), 1);
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.window->ticket()->line(0).code, QStringLiteral("A"));
    }

    void enterInTheOtherBoxes()
    {
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("A"));
        f.key(Qt::Key_F2);
        f.type("Text3", QStringLiteral("3"));
        QTest::keyClick(focus(), Qt::Key_Return); // as F5
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        f.key(Qt::Key_F3);
        f.type("Text5", QStringLiteral("2"));
        QTest::keyClick(focus(), Qt::Key_Enter);
        QCOMPARE(f.window->ticket()->lineCount(), 2);
        QCOMPARE(f.text("Label12"), QStringLiteral("¥13.50"));
        // A refusal sends the cashier back to the code box.
        f.key(Qt::Key_F2);
        f.edit("Text3")->clear();
        QTest::keyClick(focus(), Qt::Key_Return);
        QCOMPARE(f.messages.last(), QStringLiteral("请输入货物数量！"));
        QCOMPARE(focus(), f.get("Text1"));
        QCOMPARE(f.edit("Text1")->selectedText(), QStringLiteral("A"));
        // Enter in the payment box is F8: short, refused; enough, checked out.
        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("10"));
        QTest::keyClick(focus(), Qt::Key_Return);
        QCOMPARE(f.messages.last(), QStringLiteral("付款金额不足！"));
        QCOMPARE(focus(), f.get("Text1"));
        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("20"));
        QTest::keyClick(focus(), Qt::Key_Return);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 2);
        QCOMPARE(f.text("Label17"), QStringLiteral("¥6.50"));
        QCOMPARE(focus(), f.get("Text1"));
    }

    void functionKeysSelectTheWholeText_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("box");
        QTest::newRow("F1") << int(Qt::Key_F1) << QStringLiteral("Text1");
        QTest::newRow("F2") << int(Qt::Key_F2) << QStringLiteral("Text3");
        QTest::newRow("F3") << int(Qt::Key_F3) << QStringLiteral("Text5");
        QTest::newRow("F7") << int(Qt::Key_F7) << QStringLiteral("Text8");
    }

    void functionKeysSelectTheWholeText()
    {
        QFETCH(int, key);
        QFETCH(QString, box);
        CounterFixture f;
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("A"));
        f.key(Qt::Key(key));
        auto *e = f.window->findChild<QLineEdit *>(box);
        if (box == u"Text8")
            e->setText(QStringLiteral("50"));
        // Already in the box, the cursor at its end: the key selects it all again.
        e->deselect();
        e->end(false);
        f.key(Qt::Key(key));
        QCOMPARE(focus(), e);
        QCOMPARE(e->selectedText(), e->text());
        QVERIFY(!e->text().isEmpty());
        QTest::keyClicks(e, QStringLiteral("7"));
        QCOMPARE(e->text(), QStringLiteral("7"));
    }

    void voidLines_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 1;
        QTest::newRow("last") << 2;
    }

    void voidLines()
    {
        QFETCH(int, row);
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("2"));
        f.ringUp(QStringLiteral("it's"), QStringLiteral("3"));
        auto *grid = f.get<QTableView>("DataGrid1");
        grid->setFocus();
        grid->selectRow(row);
        // No: nothing changes.
        f.messages.answer = false;
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(f.messages.boxes.size(), 1);
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Question);
        QCOMPARE(f.window->ticket()->lineCount(), 3);
        // Yes, by the button beside 清除(F6).
        f.messages.answer = true;
        grid->selectRow(row);
        QTest::mouseClick(f.get<QPushButton>("Command14"), Qt::LeftButton);
        QCOMPARE(f.window->ticket()->lineCount(), 2);
        const QStringList codes = strings({"A", "B", "it's"});
        QStringList left = codes;
        left.removeAt(row);
        const int quantities[] = {1, 2, 3};
        const qint64 cents[] = {250, 2000, 370350};
        QCOMPARE(f.text("Label10"), QString::number(6 - quantities[row]));
        const Money total = Money::fromCents(250 + 2000 + 370350 - cents[row]);
        QCOMPARE(f.text("Label12"), total.toCurrency());
        f.edit("Text8")->setText(QStringLiteral("10000"));
        f.key(Qt::Key_F8);
        QSqlQuery q(f.shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code FROM xiaoshou ORDER BY rowid"));
        QStringList stored;
        while (q.next())
            stored.append(q.value(0).toString());
        QCOMPARE(stored, left);
    }

    void voidingTheOnlyLineLeavesAnEmptyTicket()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("4"));
        f.get<QTableView>("DataGrid1")->selectRow(0);
        f.window->voidLine();
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(f.text("Label10"), QStringLiteral("0"));
        QCOMPARE(f.text("Label12"), QStringLiteral("0"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.last(), QStringLiteral("没有货物可供结帐，请输入货物代码！"));
    }

    void closingWithAnOpenTicketAsks_data()
    {
        QTest::addColumn<bool>("lines");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("empty ticket") << false << false << true;
        QTest::newRow("open ticket, No") << true << false << false;
        QTest::newRow("open ticket, Yes") << true << true << true;
    }

    void closingWithAnOpenTicketAsks()
    {
        QFETCH(bool, lines);
        QFETCH(bool, answer);
        QFETCH(bool, closes);
        CounterFixture f;
        if (lines)
            f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.messages.clear();
        f.messages.answer = answer;
        QCloseEvent close;
        QApplication::sendEvent(f.window, &close);
        QCOMPARE(close.isAccepted(), closes);
        QCOMPARE(f.messages.texts(), lines ? QStringList{QStringLiteral("本单尚未结帐，确定退出吗？")} : QStringList{});
    }

    void totalIsLargeAndHighContrast()
    {
        CounterFixture f;
        QLabel *total = f.get<QLabel>("Label12");
        QVERIFY(total->font().pointSizeF() >= 3 * f.get<QLabel>("Label9")->font().pointSizeF());
        QVERIFY(f.get<QLabel>("Label17")->font().pointSizeF() >= 3 * f.get<QLabel>("Label9")->font().pointSizeF());
        const QPalette p = f.get("TotalPanel")->palette();
        QVERIFY(qAbs(qGray(p.color(QPalette::Window).rgb()) - qGray(p.color(QPalette::WindowText).rgb())) > 150);
        // A ticket of 999,999,999.99 is shown whole.
        f.shop.addGoods(QStringLiteral("T"), QStringLiteral("电视"));
        f.shop.addPurchase(QStringLiteral("T"), 10, Money::fromCents(99999999999));
        f.ringUp(QStringLiteral("T"), QStringLiteral("1"));
        QCOMPARE(total->text(), QStringLiteral("¥999,999,999.99"));
        QVERIFY(total->fontMetrics().horizontalAdvance(total->text()) <= total->width());
        QVERIFY(total->font().pointSizeF() >= 2 * f.get<QLabel>("Label9")->font().pointSizeF());
    }
};

QTEST_MAIN(TestTill)
#include "tst_till.moc"
