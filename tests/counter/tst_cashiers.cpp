#include "counterfixture.h"
#include "print/closeprinter.h"
#include "printedpdf.h"
#include "shop/cashiers.h"
#include "shop/checkout.h"
#include "shop/dayclose.h"
#include "shop/daysales.h"
#include "shop/ticket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>

#include <functional>

// Cashiers: their passwords kept as hashes, signing in, the tickets and
// shifts they sell, a till's day over two shifts, and a locked counter.
class TestCashiers : public QObject
{
    Q_OBJECT

    static QString value(const Shop &s, const QString &sql)
    {
        QSqlQuery q(s.connection());
        if (!q.exec(sql) || !q.next())
            return QStringLiteral("<%1>").arg(sql);
        return q.value(0).toString();
    }

    static QStringList column(const Shop &s, const QString &sql)
    {
        QSqlQuery q(s.connection());
        QStringList all;
        if (!q.exec(sql))
            return {QStringLiteral("<%1>").arg(sql)};
        while (q.next())
            all.append(q.value(0).toString());
        return all;
    }

    // Rings `cents` of A up and pays it as `method` (cash: `paid` handed over).
    static void sell(Checkout &c, qint64 cents, PaymentMethod method, qint64 paid)
    {
        QVERIFY(c.addLine(QStringLiteral("A"), QStringLiteral("可乐"), 1, Money::fromCents(cents),
                          Money::fromCents(cents)));
        const auto settled = Checkout::settle(c.ticket()->amountTotal(), method, Money::fromCents(paid));
        QVERIFY(settled);
        const Checkout::Stored stored = c.store(method, *settled);
        QVERIFY2(stored.ok, qPrintable(stored.error));
        c.clear();
    }

    // Opens the shift of whoever is signed in with `opening` yuan in the drawer.
    static void openShift(Checkout &c, qint64 openingCents)
    {
        QString why;
        QCOMPARE(c.opening(&why), Checkout::Opening::Needed);
        QVERIFY_OK(c.open(Money::fromCents(openingCents)));
    }

    // Runs `answer` on the modal dialog `name` once it is up.
    static void whenShown(const char *name, std::function<void(QWidget *)> answer)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [timer, name, answer] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal->objectName() != QLatin1String(name))
                return;
            timer->stop();
            timer->deleteLater();
            answer(modal);
        });
        timer->start(20);
    }
    static void signInAs(const QString &number, const QString &password)
    {
        whenShown("frmshouyin", [number, password](QWidget *d) {
            d->findChild<QLineEdit *>(QStringLiteral("txtGonghao"))->setText(number);
            d->findChild<QLineEdit *>(QStringLiteral("txtMima"))->setText(password);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
    }
    // Cancels every sign-in the counter asks for while it lives.
    struct Refusing
    {
        QTimer timer;
        Refusing()
        {
            QObject::connect(&timer, &QTimer::timeout, [] {
                QWidget *modal = QApplication::activeModalWidget();
                if (modal && modal->objectName() == QLatin1String("frmshouyin"))
                    QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            });
            timer.start(20);
        }
    };

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void signIn_data() { addEngineColumn(); }

    void signIn()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        QCOMPARE(Cashiers::anyActive(s).valueOr(true), false);
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("001"), QStringLiteral("张三")}, QStringLiteral("zs-1234")));
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("002"), QStringLiteral("李四"), false}, QStringLiteral("ls-1234")));
        QCOMPARE(Cashiers::anyActive(s).valueOr(false), true);
        // Never the password itself: a salted Argon2id hash.
        const QString kept = value(s, QStringLiteral("SELECT mima FROM shouyinyuan WHERE gonghao = '001'"));
        QVERIFY2(kept.startsWith(QStringLiteral("$argon2id$")) && !kept.contains(QStringLiteral("zs-1234")),
                 qPrintable(kept));
        QVERIFY(Cashiers::add(s, {QStringLiteral("001"), QStringLiteral("王五")}, QStringLiteral("ww-1234"))
                    .errorText()
                    .contains(QStringLiteral("已有收银员")));

        const QString refused = QString::fromUtf8(Cashiers::Refused);
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("001"), QStringLiteral("zs-1234"))->name, QStringLiteral("张三"));
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("001"), QStringLiteral("ZS-1234")).errorText(), refused);
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("009"), QStringLiteral("zs-1234")).errorText(), refused);
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("002"), QStringLiteral("ls-1234")).errorText(), refused);
        // A new password replaces the old one; no password keeps it.
        QVERIFY_OK(
            Cashiers::change(s, {QStringLiteral("002"), QStringLiteral("李四"), true}, QStringLiteral("new-99")));
        QVERIFY_OK(Cashiers::change(s, {QStringLiteral("002"), QStringLiteral("李小四"), true}, QString()));
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("002"), QStringLiteral("ls-1234")).errorText(), refused);
        QCOMPARE(Cashiers::signIn(s, QStringLiteral("002"), QStringLiteral("new-99"))->name, QStringLiteral("李小四"));
    }

    void signInIsQuick()
    {
        TestShop shop;
        shop.create();
        const Shop s = shop.db().shop();
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("001"), QStringLiteral("张三")}, QStringLiteral("zs-1234")));
        QElapsedTimer clock;
        clock.start();
        QVERIFY_OK(Cashiers::signIn(s, QStringLiteral("001"), QStringLiteral("zs-1234")));
        qInfo("sign-in took %lld ms", clock.elapsed());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

    void twoShiftsOnOneTill_data() { addEngineColumn(); }

    // 001 opens with 100.00, sells 10.00 cash and 5.00 微信, counts 109.00
    // (短款 1.00); 002 opens with 50.00, sells 20.00 cash, counts 70.00.
    void twoShiftsOnOneTill()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("001"), QStringLiteral("张三")}, QStringLiteral("zs-1234")));
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("002"), QStringLiteral("李四")}, QStringLiteral("ls-1234")));
        Checkout c(s);
        QVERIFY_OK(c.readCashiers());
        QVERIFY(c.needsSignIn());
        QVERIFY(!c.signIn(QStringLiteral("001"), QStringLiteral("wrong")).ok());
        QVERIFY(c.needsSignIn());

        QVERIFY_OK(c.signIn(QStringLiteral("001"), QStringLiteral("zs-1234")));
        openShift(c, 10000);
        sell(c, 1000, PaymentMethod::Cash, 2000);
        sell(c, 500, PaymentMethod::WeChat, 0);
        DayClose close(s);
        const auto first = close.close(Money::fromCents(10900));
        QVERIFY_OK(first);
        QCOMPARE(first->cashier.number, QStringLiteral("001"));
        QCOMPARE(first->expectedCash(), Money::fromCents(11000));
        QCOMPARE(*first->difference(), Money::fromCents(-100));
        const CloseReport z1 = CloseReport::of(*first);
        QCOMPARE(z1.title, QStringLiteral("交班报表（Z）"));
        QVERIFY(z1.rows.contains({QStringLiteral("收银员"), QStringLiteral("001 张三")}));
        QCOMPARE(z1.rows.last(), std::pair(QStringLiteral("短款"), QStringLiteral("¥1.00")));

        c.signOut();
        c.forgetOpening();
        QVERIFY_OK(c.signIn(QStringLiteral("002"), QStringLiteral("ls-1234")));
        openShift(c, 5000);
        const auto x2 = close.current();
        QVERIFY_OK(x2);
        QCOMPARE(CloseReport::of(*x2).title, QStringLiteral("交班报表（X）"));
        QCOMPARE(x2->cashier.name, QStringLiteral("李四"));
        sell(c, 2000, PaymentMethod::Cash, 2000);
        const auto second = close.close(Money::fromCents(7000));
        QVERIFY_OK(second);
        QCOMPARE(second->tickets, 1);
        QCOMPARE(*second->difference(), Money());

        // Each ticket is its seller's; the till's day adds both shifts up.
        QCOMPARE(column(s, QStringLiteral("SELECT gonghao FROM shouyin_piao ORDER BY danjuhao")),
                 strings({"001", "001", "002"}));
        // 零售管理 lists one cashier's tickets on choice.
        for (const auto &[cashier, lines] :
             {std::pair(QString(), 3), std::pair(QStringLiteral("001"), 2), std::pair(QStringLiteral("002"), 1)}) {
            QVector<DaySales::Line> listed;
            DaySales::Totals totals;
            QVERIFY_OK(DaySales::fill(s, QDate::currentDate(), &listed, &totals, cashier));
            QCOMPARE(listed.size(), lines);
            QCOMPARE(listed.last().cashier, cashier.isEmpty() ? QStringLiteral("002") : cashier);
        }
        const auto day = close.daySummary(QDate::currentDate());
        QVERIFY_OK(day);
        QCOMPARE(day->shifts, 2);
        QCOMPARE(day->tickets, 3);
        QCOMPARE(day->opening, Money::fromCents(15000));
        QCOMPARE(day->method(PaymentMethod::Cash), Money::fromCents(3000));
        QCOMPARE(day->method(PaymentMethod::WeChat), Money::fromCents(500));
        QCOMPARE(day->expectedCash(), Money::fromCents(18000));
        QCOMPARE(*day->counted, Money::fromCents(17900));
        QCOMPARE(*day->difference(), Money::fromCents(-100));
        const auto history = close.history();
        QVERIFY_OK(history);
        QCOMPARE(history->first().cashier.name, QStringLiteral("李四"));

        // On paper, the day's Z names its shifts.
        const QPrinterInfo printer = QPrinterInfo::printerInfo(QStringLiteral("PDF"));
        if (server || printer.isNull())
            return;
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        QVERIFY_OK(ClosePrinter::printOn(printer, CloseReport::of(*day)));
        const QString found = waitForPrintedPdf(started, QStringLiteral("收银台日报"));
        QVERIFY2(!found.isEmpty(), "no report PDF from cups-pdf");
        const QString text = pdfText(found);
        for (const char *part : {"班数", "¥150.00", "¥180.00", "¥179.00", "短款", "¥1.00"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(QString::fromUtf8(part) + u'\n' + text));
        QFile::remove(found);
    }

    // Nothing is rung up while nobody is signed in; a wrong password is
    // refused in the dialog; the ticket is stored with its cashier.
    void lockedCounter()
    {
        CounterFixture f;
        const Shop s = f.window->database().shop();
        QVERIFY_OK(Cashiers::add(s, {QStringLiteral("007"), QStringLiteral("王五")}, QStringLiteral("ww-1234")));
        {
            // The counter finds the cashier when it becomes active again, and asks.
            const Refusing refusing;
            QWidget elsewhere;
            QVERIFY(showActive(&elsewhere));
            QVERIFY(showActive(f.window));
            QTRY_VERIFY(!QApplication::activeModalWidget() && f.get("cmdSuoping")->isVisible());
            QCOMPARE(f.text("lblShouyin"), QStringLiteral("未登录"));
            f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
            QCOMPARE(f.window->ticket()->lineCount(), 0);
        }

        // A wrong password, then the right one: the line goes on.
        f.messages.clear();
        whenShown("frmshouyin", [](QWidget *d) {
            d->findChild<QLineEdit *>(QStringLiteral("txtGonghao"))->setText(QStringLiteral("007"));
            d->findChild<QLineEdit *>(QStringLiteral("txtMima"))->setText(QStringLiteral("nope"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QVERIFY(d->isVisible());
            d->findChild<QLineEdit *>(QStringLiteral("txtMima"))->setText(QStringLiteral("ww-1234"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(f.messages.texts(), QStringList{QString::fromUtf8(Cashiers::Refused)});
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.text("lblShouyin"), QStringLiteral("007 王五"));

        // 锁屏 with a line on the ticket is refused; the checkout opens the shift.
        QTest::mouseClick(f.get("cmdSuoping"), Qt::LeftButton);
        QCOMPARE(f.text("lblShouyin"), QStringLiteral("007 王五"));
        whenShown("frmkaiban", [](QWidget *d) {
            d->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("100"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
        });
        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("5"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
        QCOMPARE(value(s, QStringLiteral("SELECT gonghao FROM shouyin_piao")), QStringLiteral("007"));
        QCOMPARE(value(s, QStringLiteral("SELECT gonghao FROM shouyin_rijie")), QStringLiteral("007"));

        // Locked again: the next ring-up asks again.
        const Refusing refusing;
        QTest::mouseClick(f.get("cmdSuoping"), Qt::LeftButton);
        QCOMPARE(f.text("lblShouyin"), QStringLiteral("未登录"));
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(f.window->ticket()->lineCount(), 0);
    }
};

QTEST_MAIN(TestCashiers)
#include "tst_cashiers.moc"
