#include "counterfixture.h"
#include "print/cashdrawer.h"
#include "shop/trail.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

// The cash drawer: the ESC/POS pulse goes out for a cash ticket and for
// nothing else, to a device or raw through a real CUPS queue.
class TestDrawer : public QObject
{
    Q_OBJECT

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    static void payBy(CounterFixture &f, Qt::Key key, const QString &cash = QString())
    {
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        if (!cash.isEmpty()) {
            f.key(Qt::Key_F7);
            f.type("Text8", cash);
        }
        f.key(key);
    }

private Q_SLOTS:
    void pulse() { QCOMPARE(CashDrawer::pulse().toHex(' '), QByteArray("1b 70 00 19 fa")); }

    // Cash and cash given back open it; 微信, 支付宝 and 银行卡 never do.
    void onlyCashOpensIt()
    {
        CounterFixture f;
        const QString device = f.shop.dir() + QStringLiteral("/drawer");
        QFile made(device);
        QVERIFY(made.open(QIODevice::WriteOnly));
        made.close();
        f.window->setDrawer(device);
        payBy(f, Qt::Key_F10);
        payBy(f, Qt::Key_F11);
        payBy(f, Qt::Key_F12);
        QCOMPARE(f.shop.count(QStringLiteral("fukuan")), 3);
        QCOMPARE(readAll(device), QByteArray());
        payBy(f, Qt::Key_F8, QStringLiteral("5"));
        QCOMPARE(f.shop.count(QStringLiteral("fukuan")), 4);
        QCOMPARE(readAll(device), CashDrawer::pulse());
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));

        // A drawer that is gone: the ticket is stored, and the cashier told.
        f.window->setDrawer(device + QStringLiteral("-gone"));
        payBy(f, Qt::Key_F8, QStringLiteral("5"));
        QCOMPARE(f.shop.count(QStringLiteral("fukuan")), 5);
        QVERIFY2(f.messages.last().startsWith(QStringLiteral("小票已保存，但钱箱没有打开")),
                 qPrintable(f.messages.last()));
    }

    // 钱箱: only with the keeper's password, and the trail records it.
    void byKeyWithThePassword()
    {
        CounterFixture f;
        const QString device = f.shop.dir() + QStringLiteral("/drawer");
        QFile made(device);
        QVERIFY(made.open(QIODevice::WriteOnly));
        made.close();
        f.window->setDrawer(device);
        auto answer = [](const QString &password) {
            QTimer::singleShot(50, [password] {
                auto *ask = QApplication::activeModalWidget();
                QVERIFY(ask && ask->objectName() == QStringLiteral("frmqianxiang"));
                ask->findChild<QLineEdit *>()->setText(password);
                QTest::keyClick(ask->findChild<QLineEdit *>(), Qt::Key_Return);
            });
        };
        answer(QStringLiteral("wrong"));
        QTest::mouseClick(f.get("cmdQianxiang"), Qt::LeftButton);
        QCOMPARE(readAll(device), QByteArray());
        QCOMPARE(f.messages.last(), QStringLiteral("密码错误，钱箱没有打开。"));
        answer(Database::defaultPassword());
        QTest::mouseClick(f.get("cmdQianxiang"), Qt::LeftButton);
        QCOMPARE(readAll(device), CashDrawer::pulse());
        const auto records =
            Trail::list(f.window->database().shop(), QDate::currentDate(), QDate::currentDate(), QString());
        QVERIFY_OK(records);
        QCOMPARE(records->size(), 1);
        QCOMPARE(records->first().kind, QStringLiteral("开钱箱"));
    }

    // A raw CUPS queue to a network receipt printer (port 9100 style), played
    // by a listener here: the bytes that reach it are the pulse, exactly.
    void throughACupsQueue()
    {
        QTcpServer printer;
        QVERIFY(printer.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&printer, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = printer.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [s, &received] { received += s->readAll(); });
        });
        const QString queue = QStringLiteral("TarvelDrawer%1").arg(printer.serverPort());
        const int made = QProcess::execute(QStringLiteral("lpadmin"),
                                           {QStringLiteral("-p"), queue, QStringLiteral("-v"),
                                            QStringLiteral("socket://127.0.0.1:%1").arg(printer.serverPort()),
                                            QStringLiteral("-E"), QStringLiteral("-m"), QStringLiteral("raw")});
        if (made != 0) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("lpadmin could not make a raw queue");
            QSKIP("no CUPS to make a raw queue with");
        }
        const auto removeQueue = qScopeGuard([&] {
            QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue});
        });
        CounterFixture f;
        f.window->setDrawer(queue);
        payBy(f, Qt::Key_F8, QStringLiteral("5"));
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QTRY_COMPARE_WITH_TIMEOUT(received.toHex(' '), CashDrawer::pulse().toHex(' '), 30000);
    }
};

QTEST_MAIN(TestDrawer)
#include "tst_drawer.moc"
