#include "counterfixture.h"

#include <QCheckBox>
#include <QPrinterInfo>
#include <QSqlQuery>

// Checkout with printing switched on when there is no printer: the sale is
// stored once, the cashier is told, and the counter goes on to the next ticket.
class TestNoPrinter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void saleIsStoredOnceAndTheCashierTold()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a default printer is reachable; this test runs with CUPS_SERVER pointing nowhere");
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.get<QCheckBox>("Check1")->setChecked(true);
        f.edit("Text8")->setText(QStringLiteral("5"));
        f.messages.clear();
        f.key(Qt::Key_F8);
        QCOMPARE(f.messages.boxes.size(), 1);
        QVERIFY(f.messages.last().startsWith(QStringLiteral("本单已结帐保存")));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Warning);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
        QCOMPARE(f.text("Label17"), QStringLiteral("¥0.00"));
        // Pressing F8 again finds an empty ticket: nothing is stored twice.
        f.key(Qt::Key_F8);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
    }
};

QTEST_MAIN(TestNoPrinter)
#include "tst_noprinter.moc"
