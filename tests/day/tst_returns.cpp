#include "counterfixture.h"
#include "printedpdf.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

// Returns at the counter, through the real 退货 dialog: what may come back,
// what is stored, and the refund shown.
class TestReturns : public QObject
{
    Q_OBJECT

    // Runs `drive` on the dialog named `name` once it is the active modal window.
    static void whenModal(const QString &name, std::function<void(QDialog *)> drive)
    {
        auto *timer = new QTimer;
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, timer, [timer, name, drive] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != name)
                return;
            timer->stop();
            timer->deleteLater();
            drive(dialog);
        });
        timer->start();
    }

    // F9, the password, the ticket number, 查找; then the quantities per row
    // ("all": 全部退货) and 确定. A refused dialog is cancelled.
    static void returnFrom(CounterFixture &f, const QString &password, const QString &ticket,
                           const QStringList &quantities)
    {
        whenModal(QStringLiteral("frmtuihuo"), [&](QDialog *d) {
            d->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(password);
            d->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(ticket);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
            auto *grid = d->findChild<QTableWidget *>(QStringLiteral("DataGrid1"));
            if (quantities == QStringList{QStringLiteral("all")})
                QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
            else
                for (int r = 0; r < quantities.size() && r < grid->rowCount(); ++r)
                    grid->item(r, 7)->setText(quantities[r]);
            auto *ok = d->findChild<QPushButton *>(QStringLiteral("Command3"));
            if (ok->isEnabled())
                QTest::mouseClick(ok, Qt::LeftButton);
            if (d->isVisible())
                d->reject();
        });
        f.key(Qt::Key_F9);
    }

    // Ticket 1: 4 × A at 2.50 and 2 × B at 10.00, paid 50.00 in cash.
    static void sellFirstTicket(CounterFixture &f)
    {
        f.ringUp(QStringLiteral("A"), QStringLiteral("4"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("2"));
        f.edit("Text8")->setText(QStringLiteral("50"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));
    }

    // "code:quantity:amount-in-cents" of the ticket's stored lines.
    static QStringList stored(CounterFixture &f, int ticket)
    {
        QSqlQuery q(f.shop.db().shop().connection());
        q.prepare(QStringLiteral("SELECT code, shuliang, jine FROM xiaoshou WHERE danjuhao = ? ORDER BY rowid"));
        q.addBindValue(ticket);
        q.exec();
        QStringList rows;
        while (q.next())
            rows.append(QStringLiteral("%1:%2:%3")
                            .arg(q.value(0).toString(), q.value(1).toString())
                            .arg(q.value(2).toLongLong() / 100));
        return rows;
    }

private Q_SLOTS:
    void returns_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QList<QStringList>>("returns"); // one per return ticket
        QTest::addColumn<QString>("exchange");           // goods sold on the last return ticket
        QTest::addColumn<QStringList>("lastTicket");     // its stored lines
        QTest::addColumn<QString>("message");            // the last refusal, if any
        QTest::addColumn<QString>("refund");
        const QList<QStringList> whole = {{QStringLiteral("all")}};
        for (const bool server : {false, true}) {
            const char *engine = server ? " (server)" : " (file)";
            auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(QString::fromUtf8(name) + QString::fromLatin1(engine))) << server;
            };
            row("whole ticket") << whole << QString() << strings({"A:-4:-1000", "B:-2:-2000"}) << QString()
                                << QStringLiteral("¥30.00");
            row("part of a line") << QList<QStringList>{strings({"1"})} << QString() << strings({"A:-1:-250"})
                                  << QString() << QStringLiteral("¥2.50");
            row("twice from one ticket") << QList<QStringList>{strings({"3", "1"}), strings({"1", "1"})} << QString()
                                         << strings({"A:-1:-250", "B:-1:-1000"}) << QString()
                                         << QStringLiteral("¥12.50");
            row("more than is left") << QList<QStringList>{strings({"3"}), strings({"2"})} << QString() << QStringList()
                                     << QStringLiteral("退货数量超过可退数量：货号 A 只能再退 1 件！") << QString();
            row("already fully returned")
                << QList<QStringList>{{QStringLiteral("all")}, {QStringLiteral("all")}} << QString() << QStringList()
                << QStringLiteral("流水号 1 的货物已经全部退过了！") << QString();
            row("exchange") << QList<QStringList>{strings({"", "1"})} << QStringLiteral("A")
                            << strings({"B:-1:-1000", "A:2:500"}) << QString() << QStringLiteral("¥5.00");
            row("wrong password") << QList<QStringList>{strings({"1"})} << QString() << QStringList()
                                  << QStringLiteral("密码错误，请重新输入！") << QString();
            row("unknown ticket") << QList<QStringList>{strings({"1"})} << QString() << QStringList()
                                  << QStringLiteral("没有流水号为 9 的销售记录！") << QString();
        }
    }

    void returns()
    {
        QFETCH(bool, server);
        QFETCH(QList<QStringList>, returns);
        QFETCH(QString, exchange);
        QFETCH(QStringList, lastTicket);
        QFETCH(QString, message);
        QFETCH(QString, refund);
        CounterFixture f(true, server);
        sellFirstTicket(f);
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        const QString password = tag.startsWith(u"wrong") ? QStringLiteral("0000") : QStringLiteral("1234");
        const QString ticket = tag.startsWith(u"unknown") ? QStringLiteral("9") : QStringLiteral("1");
        for (const QStringList &quantities : returns) {
            f.messages.clear();
            returnFrom(f, password, ticket, quantities);
            if (!exchange.isEmpty())
                f.ringUp(exchange, QStringLiteral("2"));
            if (f.window->ticket()->lineCount() > 0) {
                f.edit("Text8")->clear();
                f.key(Qt::Key_F8);
            }
        }
        QCOMPARE(f.messages.texts().value(0), message);
        if (!lastTicket.isEmpty()) {
            QCOMPARE(stored(f, f.text("Label8").toInt() - 1), lastTicket);
            QCOMPARE(f.text("Label16"), QStringLiteral("应退"));
            QCOMPARE(f.text("Label17"), refund);
        }
        // Whatever was refused, nothing came back beyond what was sold: the
        // stock of A and B never exceeds what was bought.
        QSqlQuery q(f.shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code, SUM(shuliang) FROM xiaoshou GROUP BY code HAVING SUM(shuliang) < 0"));
        QVERIFY(!q.next());
        q.exec(
            QStringLiteral("SELECT COUNT(*) FROM tuihuo t JOIN xiaoshou x ON x.danjuhao = t.danjuhao AND x.id = t.id "
                           "AND x.shuliang = -t.shuliang"));
        q.next();
        QSqlQuery r(f.shop.db().shop().connection());
        r.exec(QStringLiteral("SELECT COUNT(*) FROM xiaoshou WHERE shuliang < 0"));
        r.next();
        QCOMPARE(q.value(0).toLongLong(), r.value(0).toLongLong());
    }

    void aReturnOnTheTicketCountsBeforeItIsStored()
    {
        // Two F9s on one ticket cannot give back more than was sold.
        CounterFixture f;
        sellFirstTicket(f);
        returnFrom(f, QStringLiteral("1234"), QStringLiteral("1"), strings({"3"}));
        f.messages.clear();
        returnFrom(f, QStringLiteral("1234"), QStringLiteral("1"), strings({"2"}));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("退货数量超过可退数量：货号 A 只能再退 1 件！")});
        QCOMPARE(f.window->ticket()->lineCount(), 1);
    }

    void theRefundIsOnTheReceipt()
    {
        if (QPrinterInfo::defaultPrinter().isNull()) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("no default printer although the test run set one up");
            QSKIP("no default printer (CUPS with cups-pdf)");
        }
        CounterFixture f;
        sellFirstTicket(f);
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        returnFrom(f, QStringLiteral("1234"), QStringLiteral("1"), strings({"1", "2"}));
        f.get<QCheckBox>("Check1")->setChecked(true);
        f.key(Qt::Key_F8);
        const QString found = waitForPrintedPdf(started, QStringLiteral("原流水号"));
        QVERIFY2(!found.isEmpty(), "no receipt PDF from cups-pdf");
        const QString text = pdfText(found);
        // (pdfText folds the fullwidth forms: ：is :, ￥ is ¥.)
        for (const char *part :
             {"退货", "原流水号:1", " -2 ", "¥-2.50", "¥-20.00", "¥-22.50", "应退:", "¥22.50", "付款方式:现金"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(QString::fromUtf8(part) + u'\n' + text));
        QFile::remove(found);
    }

    void theStoreRefusesWhatAnotherTillReturnedMeanwhile_data() { addEngineColumn(); }

    void theStoreRefusesWhatAnotherTillReturnedMeanwhile()
    {
        // Both return dialogs saw 4 left; the second ticket is refused whole.
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        shop.addSale(1, 1, QStringLiteral("A"), 4, Money::fromCents(250));
        if (server)
            shop.moveToServer();
        SalesStore store(shop.db().shop());
        const auto sold = Returns::ticketLines(shop.db().shop(), 1);
        QVERIFY2(sold && sold->size() == 1, qPrintable(sold.errorText()));
        const TicketLine back = Returns::returnLine(sold->first(), 1, 0, 3, QDateTime::currentDateTime());
        QVERIFY(store.storeTicket(2, {back}).ok);
        const auto second = store.storeTicket(3, {back});
        QVERIFY(!second.ok);
        QCOMPARE(second.error, QStringLiteral("退货数量超过可退数量：货号 A 只能再退 1 件！"));
        QCOMPARE(shop.count(QStringLiteral("xiaoshou")), 2);
        QCOMPARE(shop.count(QStringLiteral("tuihuo")), 1);
        QCOMPARE(shop.count(QStringLiteral("fukuan")), 1);
    }

    void theRefundsOfALineAddUpToItsAmount_data()
    {
        // Steps at the counter: "r" returns one unit onto the ticket, "v"
        // voids the ticket's first line, "c" checks the ticket out.
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("steps");
        for (const bool server : {false, true}) {
            const QString engine = server ? QStringLiteral(" (server)") : QStringLiteral(" (file)");
            QTest::newRow(qPrintable(u"void the first of two"_s + engine)) << server << u"rrvcrrc"_s;
            QTest::newRow(qPrintable(u"one stored, then void the first of two"_s + engine)) << server << u"rcrrvcrc"_s;
        }
    }

    void theRefundsOfALineAddUpToItsAmount()
    {
        // 3 units for 10.00: whatever was voided on the way, all of it back
        // is exactly 10.00.
        QFETCH(bool, server);
        QFETCH(QString, steps);
        CounterFixture f(true, server);
        f.ringUp(QStringLiteral("A"), QStringLiteral("3"));
        f.edit("Text8")->setText(QStringLiteral("10"));
        f.key(Qt::Key_F8);
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("UPDATE xiaoshou SET jine = 100000 WHERE danjuhao = 1")));
        for (const QChar step : steps) {
            f.messages.clear();
            if (step == u'r') {
                returnFrom(f, QStringLiteral("1234"), QStringLiteral("1"), strings({"1"}));
            } else if (step == u'v') {
                auto *grid = f.get<QTableView>("DataGrid1");
                grid->setCurrentIndex(grid->model()->index(0, 0));
                QTest::mouseClick(f.get<QPushButton>("Command14"), Qt::LeftButton);
                f.messages.clear(); // the question whether to void it
            } else {
                f.edit("Text8")->clear();
                f.key(Qt::Key_F8);
            }
            QCOMPARE(f.messages.texts().join(u'|'), QString());
        }
        QVERIFY(q.exec(QStringLiteral("SELECT SUM(shuliang), SUM(jine) FROM xiaoshou WHERE shuliang < 0")) && q.next());
        QCOMPARE(q.value(0).toLongLong(), -3);
        QCOMPARE(q.value(1).toLongLong(), -100000);
    }

    void ticketsSharingANumberArePickedByTime()
    {
        // Two stored tickets numbered 1 (a cleanup restarts the numbers): the
        // cashier picks the older one by its time and sees where it was sold.
        CounterFixture f;
        f.shop.addSale(1, 1, QStringLiteral("A"), 2, Money::fromCents(250));
        f.shop.addSale(2, 2, QStringLiteral("B"), 1, Money::fromCents(1000));
        f.shop.addSale(3, 1, QStringLiteral("B"), 3, Money::fromCents(1000));
        f.shop.exec(QStringLiteral("UPDATE xiaoshou SET dt = '2026-12-05 09:00:00' WHERE id = 3"));
        for (const char *row :
             {"1, 2, '2026-12-01 10:01:00'", "2, 1, '2026-12-01 10:05:00'", "1, 3, '2026-12-05 09:01:00'"})
            f.shop.exec(QStringLiteral("INSERT INTO fukuan (danjuhao, till, dt, fangshi) VALUES (%1, '现金')")
                            .arg(QString::fromLatin1(row)));
        QStringList offered, grid;
        QString soldOn;
        whenModal(QStringLiteral("frmtuihuo"), [&](QDialog *d) {
            d->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("1234"));
            d->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QStringLiteral("1"));
            QTimer::singleShot(0, [&] {
                auto *pick = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                if (!pick)
                    return;
                offered = pick->comboBoxItems();
                pick->setTextValue(offered.value(0));
                pick->accept();
            });
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
            auto *lines = d->findChild<QTableWidget *>(QStringLiteral("DataGrid1"));
            for (int r = 0; r < lines->rowCount(); ++r)
                grid.append(lines->item(r, 0)->text() + u'×' + lines->item(r, 2)->text());
            soldOn = d->findChild<QLabel *>(QStringLiteral("Label3"))->text();
            d->reject();
        });
        f.key(Qt::Key_F9);
        QCOMPARE(offered.size(), 2);
        QVERIFY2(offered[0].startsWith(QStringLiteral("2026-12-01 10:01:00　收银台 2")), qPrintable(offered[0]));
        QVERIFY2(offered[1].startsWith(QStringLiteral("2026-12-05 09:01:00　收银台 3")), qPrintable(offered[1]));
        QCOMPARE(grid, QStringList{QStringLiteral("A×2")});
        QCOMPARE(soldOn, QStringLiteral("售出时间：2026-12-01 10:01:00　收银台：2"));
    }

    void refundShares_data()
    {
        QTest::addColumn<qint64>("amountUnits");
        QTest::addColumn<int>("sold");
        QTest::addColumn<QList<int>>("returns");
        QTest::addColumn<QList<qint64>>("refundUnits");
        // 3 for 10.00 with a discount: 3.33 + 3.34 + 3.33, all of it back.
        QTest::newRow("thirds") << qint64(100000) << 3 << QList<int>{1, 1, 1} << QList<qint64>{33300, 33400, 33300};
        // A line amount with sub-cent digits comes back exactly when whole.
        QTest::newRow("sub-cent whole") << qint64(12345) << 2 << QList<int>{1, 1} << QList<qint64>{6200, 6145};
        QTest::newRow("at once") << qint64(12345) << 2 << QList<int>{2} << QList<qint64>{12345};
    }

    void refundShares()
    {
        QFETCH(qint64, amountUnits);
        QFETCH(int, sold);
        QFETCH(QList<int>, returns);
        QFETCH(QList<qint64>, refundUnits);
        Returns::SoldLine line;
        line.sold = sold;
        line.amount = Money::fromUnits(amountUnits);
        qint64 before = 0;
        QList<qint64> got;
        for (const int units : returns) {
            got.append(Returns::refund(line, before, units).units());
            before += units;
        }
        QCOMPARE(got, refundUnits);
    }
};

QTEST_MAIN(TestReturns)
#include "tst_returns.moc"
