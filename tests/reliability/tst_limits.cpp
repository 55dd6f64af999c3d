#include "counterfixture.h"
#include "gui/stock/retaildialog.h"
#include "print/receiptlayout.h"
#include "shop/daysales.h"
#include "shop/recordset.h"
#include "shop/ticket.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPdfWriter>
#include <QProcess>
#include <QSqlQuery>

// The limits: long tickets, busy days, large amounts and totals are stored,
// shown and printed right; at the true limit of a type there is a refusal and
// nothing is lost.
class TestLimits : public QObject
{
    Q_OBJECT

    static void ring(CounterFixture &f, const QString &code, const QString &quantity)
    {
        f.edit("Text1")->setText(code);
        f.edit("Text3")->setText(quantity);
        f.window->lookupGoods();
        f.window->addLine();
    }

private Q_SLOTS:
    void ticketOfAThousandLines()
    {
        CounterFixture f;
        for (int i = 0; i < 1000; ++i)
            ring(f, i % 2 ? QStringLiteral("A") : QStringLiteral("B"), QStringLiteral("40"));
        QCOMPARE(f.window->ticket()->lineCount(), 1000);
        QCOMPARE(f.text("Label10"), QStringLiteral("40000")); // past 16 bits
        // 500 × 40 × 2.50 + 500 × 40 × 10.00
        QCOMPARE(f.text("Label12"), QStringLiteral("¥250,000.00"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(f.window->composeReceipt(), &writer));
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QCOMPARE(printed.count(u'\f') >= 10, true);
        QVERIFY(printed.normalized(QString::NormalizationForm_KC).contains(QStringLiteral("250,000.00")));

        f.edit("Text8")->setText(QStringLiteral("250000"));
        f.key(Qt::Key_F8);
        QVERIFY(f.messages.boxes.isEmpty());
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), MIN(id), MAX(id), SUM(shuliang), SUM(jine) FROM xiaoshou")) &&
                q.next());
        QCOMPARE(q.value(0).toInt(), 1000);
        QCOMPARE(q.value(1).toInt(), 1);
        QCOMPARE(q.value(2).toInt(), 1000);
        QCOMPARE(q.value(3).toInt(), 40000);
        QCOMPARE(q.value(4).toLongLong(), 2500000000LL);
    }

    void largestAmountAndTheTrueLimit()
    {
        CounterFixture f;
        f.shop.addGoods(QStringLiteral("T"), QStringLiteral("电视"));
        f.shop.addPurchase(QStringLiteral("T"), 5, Money::fromCents(99999999999)); // 999,999,999.99
        ring(f, QStringLiteral("T"), QStringLiteral("1"));
        QCOMPARE(f.text("Label12"), QStringLiteral("¥999,999,999.99"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("big.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(f.window->composeReceipt(), &writer));
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput())
                    .normalized(QString::NormalizationForm_KC)
                    .contains(QStringLiteral("999,999,999.99")));

        // An amount past what money can hold is refused; the ticket stays.
        f.shop.addGoods(QStringLiteral("X"), QStringLiteral("天价"));
        f.shop.addPurchase(QStringLiteral("X"), 5, Money::fromUnits(std::numeric_limits<qint64>::max() / 20000));
        f.messages.clear();
        ring(f, QStringLiteral("X"), QStringLiteral("32767"));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("金额过大，无法计算！")});
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        // A quantity past 16 bits is refused in the box.
        f.messages.clear();
        f.edit("Text3")->setText(QStringLiteral("32768"));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("输入有误！")});
        QCOMPARE(f.text("Text3"), QString());

        f.edit("Text8")->setText(QStringLiteral("1000000000"));
        f.key(Qt::Key_F8);
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT jine FROM xiaoshou")) && q.next());
        QCOMPARE(q.value(0).toLongLong(), 9999999999900LL);
        QCOMPARE(f.text("Label17"), QStringLiteral("¥0.01"));
    }

    void dayOfAHundredThousandLines()
    {
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                           "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                           "SELECT i, i / 5, 'A', 1, 25000, 25000, "
                           "'2026-12-07 ' || printf('%02d:%02d:%02d', i / 3600 % 24, i / 60 % 60, i % 60) FROM n"));
        MessageRecorder messages;
        QElapsedTimer t;
        t.start();
        RetailDialog dialog(shop.db().shop());
        dialog.setDay(QDate(2026, 12, 7));
        const qint64 ms = t.elapsed();
        QCOMPARE(dialog.lineCount(), 100000);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label6"))->text(), QStringLiteral("20001"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label7"))->text(), QStringLiteral("100000"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label8"))->text(), QStringLiteral("¥250,000.00"));
        qInfo("FIGURE R6 limits: a day of 100,000 sale lines listed in %lld ms", ms);
        QVERIFY(messages.boxes.isEmpty());
    }
};

QTEST_MAIN(TestLimits)
#include "tst_limits.moc"
