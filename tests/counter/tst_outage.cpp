#include "counterfixture.h"
#include "gui/backgroundwork.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/scalegoods.h"
#include "shop/tillfile.h"
#include "throwawayserver.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <csignal>

// A till on the server through an outage: it sells on from its own file,
// and every ticket sold meanwhile reaches the server once.
class TestOutage : public QObject
{
    Q_OBJECT

    // A statement's answers on a connection of the test's own.
    static QStringList ask(const CounterFixture &f, const QString &sql)
    {
        QStringList rows;
        {
            QSqlDatabase db = f.shop.server().addConnection(QStringLiteral("probe"));
            QSqlQuery q(db);
            if (db.open() && q.exec(sql))
                while (q.next()) {
                    QStringList row;
                    for (int c = 0; c < q.record().count(); ++c)
                        row.append(q.value(c).toString());
                    rows.append(row.join(u'|'));
                }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        return rows;
    }

    static QString tillFile(const CounterFixture &f) { return TillFile::pathFor(f.shop.server()); }

    static bool copied(const CounterFixture &f) { return TillFile(tillFile(f)).copiedAt().isValid(); }

    static void checkOut(CounterFixture &f, const QString &paid)
    {
        f.edit("Text8")->setText(paid);
        f.key(Qt::Key_F8);
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    // A provisional number is never given twice, also after every ticket
    // was sent and the file opened again: returns find tickets by it.
    void provisionalNumbersNeverGoBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarvel-till1.db"));
        TicketLine line;
        line.code = QStringLiteral("A");
        line.quantity = 1;
        const Payment cash{PaymentMethod::Cash, Money(), Money()};
        {
            TillFile file(path);
            QCOMPARE(file.keep({line}, QUuid::createUuid(), cash, QDateTime::currentDateTime()).valueOr(0), 1);
            // A member's ticket keeps its card for the server.
            const Payment member{PaymentMethod::Cash, Money(), Money(), QStringLiteral("8800001")};
            QCOMPARE(file.keep({line}, QUuid::createUuid(), member, QDateTime::currentDateTime()).valueOr(0), 2);
            const QList<TillFile::Waiting> waiting = file.oldestWaiting(10).valueOr({});
            QCOMPARE(waiting.size(), 2);
            QCOMPARE(waiting[0].payment.member, QString());
            QCOMPARE(waiting[1].payment.member, QStringLiteral("8800001"));
            QCOMPARE(file.sent({waiting[0].seq, waiting[1].seq}), QString());
            QCOMPARE(file.waitingCount(), 0);
        }
        TillFile again(path);
        const auto third = again.keep({line}, QUuid::createUuid(), cash, QDateTime::currentDateTime());
        QVERIFY_OK(third);
        QCOMPARE(*third, 3);
    }

    // Offline the scale's labels are read with the formats and scale codes
    // the till read last, the goods from its own copy.
    void aTillOfflineReadsTheScalesLabels()
    {
        CounterFixture f(true, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(copied(f), 15000);
        const Shop shop = f.window->database().shop();
        QVERIFY_OK(ScaleGoods::setFormats(shop, LabelFormat::ready()));
        QVERIFY_OK(ScaleGoods::setWeighed(shop, QStringLiteral("A"), QStringLiteral("123")));
        f.window->reloadScaleSettings();
        ThrowawayServer::shared().stopHard();
        const auto back = qScopeGuard([] { ThrowawayServer::shared().start(); });
        f.key(Qt::Key_F1);
        f.type("Text1", ScaleLabel::withCheckDigit(QStringLiteral("200012300592")));
        f.key(Qt::Key_Return);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.text("offlineLabel"), QStringLiteral("离线：与服务器断开，销售保存在本机（待发送 0 张）"));
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        const TicketLine line = f.window->ticket()->line(0);
        QVERIFY(line.weighed);
        QCOMPARE(line.amount, Money::fromCents(592));
        QCOMPARE(line.quantity, 2368); // 5.92 at 2.50 a kg
        // A label of no weighed goods is still refused.
        f.type("Text1", ScaleLabel::withCheckDigit(QStringLiteral("200099900592")));
        f.key(Qt::Key_Return);
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("没有这个秤码的称重商品，请先在“货名管理”中设定！")});
    }

    void aTillSellsThroughAnOutageAndSendsEachTicketOnce()
    {
        CounterFixture f(true, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(copied(f), 15000);
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        checkOut(f, QStringLiteral("5"));
        QCOMPARE(f.text("Label8"), QStringLiteral("2"));

        ThrowawayServer::shared().stopHard();
        f.ringUp(QStringLiteral("B"), QStringLiteral("2"));
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        checkOut(f, QStringLiteral("20"));
        f.ringUp(QStringLiteral("it's"), QStringLiteral("1"));
        f.window->checkoutPaidBy(PaymentMethod::WeChat);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.window->ticket()->lineCount(), 0);
        QCOMPARE(f.text("offlineLabel"), QStringLiteral("离线：与服务器断开，销售保存在本机（待发送 2 张）"));
        QCOMPARE(f.text("Label8"), QStringLiteral("离线"));
        // The receipt's texts come from the till's file.
        const QStringList footer = f.window->composeReceipt().footer;
        QVERIFY(!footer.isEmpty());
        QCOMPARE(footer, TillFile(tillFile(f)).footer());

        // What needs the server says so, once, and does nothing.
        f.key(Qt::Key_F9);
        f.key(Qt::Key_F4);
        QCOMPARE(f.messages.texts(),
                 strings({"与服务器断开时不能退货，服务器恢复后再试。", "与服务器断开时不能日结，服务器恢复后再试。"}));
        f.messages.clear();

        const QString back = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        ThrowawayServer::shared().start();
        QTRY_VERIFY_WITH_TIMEOUT(!f.get<QLabel>("offlineLabel")->isVisible(), 20000);
        QCOMPARE(TillFile(tillFile(f)).waitingCount(), 0);
        // Final numbers follow the online ticket, in the order sold; the
        // provisional ones are kept beside them; each sale has its own time.
        QCOMPARE(ask(f, QStringLiteral("SELECT danjuhao, code, shuliang FROM xiaoshou ORDER BY rowid")),
                 strings({"1|A|1", "2|B|2", "3|it's|1"}));
        QCOMPARE(ask(f, QStringLiteral("SELECT till, lixianhao, danjuhao FROM xiaoshou_lixian ORDER BY danjuhao")),
                 strings({"1|1|2", "1|2|3"}));
        QCOMPARE(ask(f, QStringLiteral("SELECT fangshi FROM fukuan ORDER BY danjuhao")),
                 strings({"现金", "现金", "微信"}));
        QCOMPARE(ask(f, QStringLiteral("SELECT count(*) FROM fukuan WHERE dt <= '%1'").arg(back)), strings({"3"}));
        QCOMPARE(f.text("Label8"), QStringLiteral("4"));
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));

        // A return finds an offline ticket by the number on its receipt.
        const Shop shop = f.window->database().shop();
        for (const auto &[typed, final] : {std::pair{"离线 1-0002", 3}, {"1-0001", 2}, {"1-0009", 0}}) {
            const auto provisional = Returns::provisionalIn(QString::fromUtf8(typed));
            QVERIFY(provisional);
            QCOMPARE(Returns::finalNumberOf(shop, *provisional).valueOr(-1), qint64(final));
        }
        QVERIFY(!Returns::provisionalIn(QStringLiteral("2")));
    }

    // A server process that stops answering (SIGSTOP) is given up after the
    // counter's deadline, at the lookup or at the checkout: the till goes on
    // from its own file.
    void aSilentServerIsGivenUpWithinTheDeadline_data()
    {
        QTest::addColumn<bool>("atCheckout");
        QTest::addColumn<bool>("label");
        QTest::newRow("lookup") << false << false;
        QTest::newRow("a scale's label") << false << true;
        QTest::newRow("checkout") << true << false;
    }
    void aSilentServerIsGivenUpWithinTheDeadline()
    {
        QFETCH(bool, atCheckout);
        QFETCH(bool, label);
        CounterFixture f(true, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(copied(f), 15000);
        if (label) {
            QVERIFY_OK(ScaleGoods::setFormats(f.window->database().shop(), LabelFormat::ready()));
            QVERIFY_OK(ScaleGoods::setWeighed(f.window->database().shop(), QStringLiteral("B"), QStringLiteral("7")));
            f.window->reloadScaleSettings();
        }
        if (atCheckout)
            f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        // The till's own server process: the one holding its number.
        const QStringList holder = ask(f, QStringLiteral("SELECT pid FROM pg_locks WHERE locktype = 'advisory' "
                                                         "AND classid = 20261209 AND objid = 1 AND granted"));
        QCOMPARE(holder.size(), 1);
        const pid_t pid = holder.first().toInt();
        QVERIFY(::kill(pid, SIGSTOP) == 0);
        QElapsedTimer waited;
        waited.start();
        if (atCheckout) {
            checkOut(f, QStringLiteral("10"));
        } else if (label) {
            f.key(Qt::Key_F1);
            f.type("Text1", ScaleLabel::withCheckDigit(QStringLiteral("200000700592")));
            f.key(Qt::Key_Return);
        } else {
            f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        }
        const qint64 ms = waited.elapsed();
        ::kill(pid, SIGCONT);
        qInfo("given up after %lld ms", ms);
        // 3 s and the file's work; the margin is for a loaded machine.
        QVERIFY2(ms < 6000, qPrintable(QString::number(ms)));
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.window->ticket()->lineCount(), atCheckout ? 0 : 1);
        QCOMPARE(TillFile(tillFile(f)).waitingCount(), atCheckout ? 1 : 0);
        QVERIFY(f.get<QLabel>("offlineLabel")->isVisible());
        if (!atCheckout)
            return;
        // The stopped process ends once it runs again: the till takes its
        // number back and sends the ticket.
        QTRY_VERIFY_WITH_TIMEOUT(!f.get<QLabel>("offlineLabel")->isVisible(), 60000);
        QCOMPARE(ask(f, QStringLiteral("SELECT danjuhao, shuliang FROM xiaoshou")), strings({"1|2"}));
    }

    // 取消 ends an analysis also when the server does not answer at all.
    void anAnalysisOnASilentServerEndsWhenCancelled()
    {
        CounterFixture f(true, true);
        std::atomic<int> pid = 0;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(pid > 0, 10000);
            ::kill(pid, SIGSTOP);
            QProgressDialog *progress = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT(progress = f.window->findChild<QProgressDialog *>(QStringLiteral("progress")),
                                     10000);
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        });
        QElapsedTimer waited;
        const bool ended =
            BackgroundWork::run(f.window, f.window->database().shop(), QStringLiteral("…"), [&](const Shop &shop) {
                QSqlQuery q(shop.connection());
                if (q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next())
                    pid = q.value(0).toInt();
                waited.start();
                q.exec(QStringLiteral("SELECT pg_sleep(60)"));
            });
        const qint64 ms = waited.elapsed();
        ::kill(pid, SIGCONT);
        QVERIFY(!ended);
        QVERIFY2(ms < 10000, qPrintable(QString::number(ms)));
    }

    // A till whose server is away when it starts sells from the copy its
    // file holds, and learns its numbers once the server answers.
    void aTillStartedWithoutItsServerSellsFromItsFile()
    {
        CounterFixture f(true, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(copied(f), 15000);
        const ShopConfig server = f.shop.server();
        delete f.window;
        f.window = nullptr;
        ThrowawayServer::shared().stopHard();
        Database::Result opened = Database::openServer(server, true);
        QCOMPARE(opened.status, Database::Status::Unreachable);
        QVERIFY(opened.database);
        CounterWindow window(std::move(opened.database));
        QVERIFY2(window.startError().isEmpty(), qPrintable(window.startError()));
        window.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("B"));
        window.addLine();
        QCOMPARE(window.ticket()->lineCount(), 1);
        QCOMPARE(window.ticket()->amountTotal(), Money::fromCents(1000));
        window.checkoutPaidBy(PaymentMethod::Card);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(TillFile(tillFile(f)).waitingCount(), 1);

        ThrowawayServer::shared().start();
        QTRY_COMPARE_WITH_TIMEOUT(TillFile(tillFile(f)).waitingCount(), 0, 20000);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label8"))->text(), QStringLiteral("2"));
    }

    // Two programs of one till on one PC would share its file: the second is
    // refused, also when the server cannot be reached.
    void aSecondProgramOfTheSameTillIsRefusedAlsoOffline()
    {
        TestShop shop;
        shop.create();
        shop.moveToServer(1, true);
        ThrowawayServer::shared().stopHard();
        const auto restart = qScopeGuard([] { ThrowawayServer::shared().start(); });
        const Database::Result second = Database::openServer(shop.server(), true);
        QCOMPARE(second.status, Database::Status::AlreadyRunning);
        QVERIFY2(second.message.contains(QStringLiteral("收银台 1")), qPrintable(second.message));
    }

    // What a till killed with tickets waiting leaves is its file: the next
    // start sends them. One the server has already (its online commit went
    // through unanswered, and the till kept it) is not stored twice, and is
    // found by the provisional number its receipt shows.
    void ticketsLeftWaitingAreSentOnceAtTheNextStart()
    {
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        shop.moveToServer(1, true);
        TicketLine line;
        line.code = QStringLiteral("A");
        line.name = QStringLiteral("可乐");
        line.quantity = 1;
        line.listPrice = line.price = line.amount = Money::fromCents(250);
        line.time = QDateTime(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC);
        const QUuid sentBefore = QUuid::createUuid();
        const Payment cash{PaymentMethod::Cash, Money::fromCents(500), Money::fromCents(250)};
        {
            TillFile file(TillFile::pathFor(shop.server()));
            QCOMPARE(file.keep({line}, sentBefore, cash, line.time).valueOr(0), 1);
            QCOMPARE(file.keep({line, line}, QUuid::createUuid(), cash, line.time).valueOr(0), 2);
        }
        // The first reached the server, its answer did not reach the till.
        SalesStore(shop.db().shop()).storeTicket(0, {line}, sentBefore, cash);

        CounterWindow window(shop.take());
        QTRY_COMPARE_WITH_TIMEOUT(TillFile(TillFile::pathFor(shop.server())).waitingCount(), 0, 15000);
        QSqlQuery q(window.database().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT string_agg(danjuhao || ':' || dt, ',' ORDER BY rowid) FROM xiaoshou")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(),
                 QStringLiteral("1:2026-12-01 09:30:00,2:2026-12-01 09:30:00,2:2026-12-01 09:30:00"));
        QCOMPARE(Returns::finalNumberOf(window.database().shop(), {1, 1}).valueOr(-1), qint64(1));
        QCOMPARE(Returns::finalNumberOf(window.database().shop(), {1, 2}).valueOr(-1), qint64(2));
    }
};

QTEST_MAIN(TestOutage)
#include "tst_outage.moc"
