#include "app/startup.h"
#include "gui/counter/counterwindow.h"
#include "modalanswerer.h"
#include "shop/database.h"
#include "testshop.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

// The whole program started through its entry point in a temporary
// directory, answered through its real message boxes.
class TestStartup : public QObject
{
    Q_OBJECT

    QString m_oldDir;

    static void closeWindow(CounterWindow *w)
    {
        QPointer<CounterWindow> guard(w);
        w->close();
        QTRY_VERIFY(guard.isNull()); // deleted on close: the file is free again
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_oldDir = QDir::currentPath();
        TestShop::pinLocale();
    }
    void cleanup() { QDir::setCurrent(m_oldDir); }

    void missingFileAsksAndCreates()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        ModalAnswerer yes(QMessageBox::Yes);
        const Startup s = startTarvel();
        QCOMPARE(s.outcome, Startup::Outcome::Started);
        QVERIFY(s.window);
        QCOMPARE(yes.texts.size(), 1);
        QVERIFY2(yes.texts.first().contains(dir.filePath(QStringLiteral("tarv.db"))), qPrintable(yes.texts.first()));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("tarv.db"))));
        QCOMPARE(s.window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(s.window->findChild<QLabel *>(QStringLiteral("Label8"))->text(), QStringLiteral("1"));
        closeWindow(s.window);
    }

    void startsOnTheServerThatTarvelIniNames()
    {
        TestShop shop;
        shop.create();
        shop.addSale(1, 5, QStringLiteral("A"), 1, Money::fromCents(250));
        shop.moveToServer();
        const ShopConfig server = shop.server();
        shop.take().reset();
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        auto writeIni = [&](const QString &database) {
            QFile ini(dir.filePath(QStringLiteral("tarvel.ini")));
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(QStringLiteral("[database]\ndriver=postgresql\nhost=%1  ; the socket directory\nname=%2\n"
                                     "user=%3\n[till]\nnumber=2\n")
                          .arg(server.host, database, server.user)
                          .toUtf8());
        };
        writeIni(server.name);
        ModalAnswerer ok;
        const Startup s = startTarvel();
        QCOMPARE(s.outcome, Startup::Outcome::Started);
        QVERIFY(ok.texts.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("tarv.db"))));
        QCOMPARE(s.window->findChild<QLabel *>(QStringLiteral("Label8"))->text(), QStringLiteral("6"));
        // A second program as till 2 is refused while the first sells.
        const Startup second = startTarvel();
        QCOMPARE(second.outcome, Startup::Outcome::Failed);
        QCOMPARE(ok.texts.size(), 1);
        QVERIFY2(ok.texts.first().contains(QStringLiteral("收银台 2")), qPrintable(ok.texts.first()));
        closeWindow(s.window);
        // A database that does not exist: said at once, nothing created.
        writeIni(QStringLiteral("no_such_shop"));
        const Startup missing = startTarvel();
        QCOMPARE(missing.outcome, Startup::Outcome::Failed);
        QCOMPARE(ok.texts.size(), 2);
        QVERIFY2(ok.texts.last().contains(QStringLiteral("no_such_shop")), qPrintable(ok.texts.last()));
    }

    void missingFileDeclined()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        ModalAnswerer no(QMessageBox::No);
        const Startup s = startTarvel();
        QCOMPARE(s.outcome, Startup::Outcome::Declined);
        QVERIFY(!s.window);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("tarv.db"))));
    }

    void garbageFileIsReportedAndKept()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        QFile f(dir.filePath(QStringLiteral("tarv.db")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a shop\n");
        f.close();
        ModalAnswerer ok;
        const Startup s = startTarvel();
        QCOMPARE(s.outcome, Startup::Outcome::Failed);
        QCOMPARE(ok.texts.size(), 1);
        QVERIFY(ok.texts.first().contains(dir.filePath(QStringLiteral("tarv.db"))));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("not a shop\n"));
    }

    void secondInstanceIsRefused()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        ModalAnswerer yes(QMessageBox::Yes);
        const Startup first = startTarvel();
        QVERIFY(first.window);
        const Startup second = startTarvel();
        QCOMPARE(second.outcome, Startup::Outcome::Failed);
        QVERIFY(second.error.contains(QStringLiteral("已经在运行")));
        QCOMPARE(yes.texts.size(), 2);
        closeWindow(first.window);
    }

    void unreadableLastSaleEndsInOrder()
    {
        // Starting at ticket 1 would give numbers twice: the program says why and ends.
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        {
            auto created = Database::create(dir.filePath(QString::fromLatin1(Database::FileName)));
            QVERIFY(created.database);
            QSqlQuery q(created.database->shop().connection());
            QVERIFY(q.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                          "VALUES (1, 'x7', 'A', 1, 10000, 10000, '2026-12-01 10:00:00')")));
        }
        ModalAnswerer ok(QMessageBox::Ok);
        const Startup started = startTarvel();
        QCOMPARE(started.outcome, Startup::Outcome::Failed);
        QVERIFY(!started.window);
        QTRY_COMPARE(ok.texts.size(), 1);
        QVERIFY2(ok.texts.first().contains(QStringLiteral("流水号")), qPrintable(ok.texts.first()));
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                !qobject_cast<CounterWindow *>(QApplication::topLevelWidgets().first()));
    }

    void anEmptyPasswordOpensTheShop()
    {
        // Another tool left the password empty: the shop opens, and the
        // super-user mode takes the empty box.
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        {
            auto created = Database::create(dir.filePath(QString::fromLatin1(Database::FileName)));
            QVERIFY(created.database);
            QSqlQuery q(created.database->shop().connection());
            QVERIFY(q.exec(QStringLiteral("UPDATE code SET code = '' WHERE id = 1")));
        }
        ModalAnswerer ok;
        const Startup started = startTarvel();
        QVERIFY2(started.window, qPrintable(ok.texts.join(u'|')));
        QTimer::singleShot(0, [] {
            QWidget *login = QApplication::activeModalWidget();
            QVERIFY(login && login->objectName() == u"frmLogin");
            QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QTest::mouseClick(started.window->findChild<QWidget *>(QStringLiteral("Option2")), Qt::LeftButton);
        QVERIFY(started.window->isSuperUserMode());
        QCOMPARE(ok.texts, QStringList{});
        closeWindow(started.window);
    }

    void qtTextsAreChinese()
    {
        // Qt's own buttons speak the shop's language once the program has started.
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        ModalAnswerer yes(QMessageBox::Yes);
        const Startup started = startTarvel();
        QVERIFY(started.window);
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No);
        const QString yesText = box.button(QMessageBox::Yes)->text();
        QVERIFY2(!yesText.contains(QStringLiteral("Yes")), qPrintable(yesText));
        QVERIFY2(yesText.contains(QStringLiteral("是")), qPrintable(yesText));
        closeWindow(started.window);
    }

    void keyboardSaleEndToEnd()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        {
            TestShop shop;
            Database::Result r = Database::create(dir.filePath(QStringLiteral("tarv.db")));
            QVERIFY(r.database);
            QSqlQuery q(r.database->shop().connection());
            QVERIFY(q.exec(QStringLiteral("INSERT INTO name VALUES ('6901', '矿泉水'), ('69''02', '面包')")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, shou) VALUES "
                                          "(1, '6901', 24, 15000), (2, '69''02', 10, 45000)")));
        }
        ModalAnswerer ok;
        const Startup s = startTarvel();
        QVERIFY(s.window);
        CounterWindow *w = s.window;
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto keys = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
        auto typeText = [](const QString &t) {
            auto *e = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            e->selectAll();
            QTest::keyClicks(e, t);
        };

        // A lookup refused from the focus event shows its box once.
        keys(Qt::Key_F1);
        keys(Qt::Key_F2);
        QTRY_COMPARE(ok.texts, QStringList{QStringLiteral("请先输入货物代码！")});
        QCOMPARE(w->focusWidget()->objectName(), QStringLiteral("Text1"));
        w->activateWindow();
        QTRY_VERIFY(w->isActiveWindow());
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
        QTest::qWait(100);
        QCOMPARE(ok.texts.size(), 1);

        typeText(QStringLiteral("6901"));
        keys(Qt::Key_F2);
        typeText(QStringLiteral("2"));
        keys(Qt::Key_F5);
        keys(Qt::Key_F1);
        typeText(QStringLiteral("69'02"));
        keys(Qt::Key_F2);
        typeText(QStringLiteral("1"));
        keys(Qt::Key_F5);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label12"))->text(), QStringLiteral("¥7.50"));
        keys(Qt::Key_F7);
        typeText(QStringLiteral("10"));
        keys(Qt::Key_F8);
        QCOMPARE(ok.texts.size(), 1);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label17"))->text(), QStringLiteral("¥2.50"));
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label8"))->text(), QStringLiteral("2"));
        closeWindow(w);

        // Read the rows back from the file itself.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(dir.filePath(QStringLiteral("tarv.db")));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(
                QStringLiteral("SELECT id, danjuhao, code, shuliang, shoujia, jine FROM xiaoshou ORDER BY rowid")));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 1);
            QCOMPARE(q.value(1).toInt(), 1);
            QCOMPARE(q.value(2).toString(), QStringLiteral("6901"));
            QCOMPARE(q.value(3).toInt(), 2);
            QCOMPARE(q.value(4).toLongLong(), 15000);
            QCOMPARE(q.value(5).toLongLong(), 30000);
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 2);
            QCOMPARE(q.value(2).toString(), QStringLiteral("69'02"));
            QCOMPARE(q.value(5).toLongLong(), 45000);
            QVERIFY(!q.next());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
