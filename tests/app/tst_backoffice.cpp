#include "counterfixture.h"
#include "gui/login/logindialog.h"
#include "modalanswerer.h"
#include "shop/dayclose.h"
#include "shop/returns.h"
#include "throwawayserver.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>

// The shop keeper's way through the program: goods and a purchase entered
// through the back-office screens, a sale at the counter, and that sale found
// in the retail records.
class TestBackOffice : public QObject
{
    Q_OBJECT

    // Clicks a management button and runs `work` inside the modal screen it opens.
    template <typename Work> static void inScreen(CounterFixture &f, const char *button, Work work)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            // The application takes the screen as its active window a moment
            // later; only then does a click move the focus, as it does for a person.
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget *>(dialog), 2000);
            work(dialog);
            ran = true;
            if (dialog->isVisible())
                dialog->close();
        });
        QTest::mouseClick(f.get<QPushButton>(button), Qt::LeftButton);
        QVERIFY(ran);
    }

    static void click(QDialog *d, const char *name)
    {
        QTest::mouseClick(d->findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    static QLineEdit *edit(QDialog *d, const char *name)
    {
        return d->findChild<QLineEdit *>(QString::fromLatin1(name));
    }

    static void enterSuperUserMode(CounterFixture &f)
    {
        QTimer::singleShot(0, [&] {
            auto *login = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
            QVERIFY(login);
            login->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(Database::defaultPassword());
            QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QTest::mouseClick(f.get("Option2"), Qt::LeftButton);
        QVERIFY(f.window->isSuperUserMode());
    }

private Q_SLOTS:
    void goodsPurchaseSaleAndRecord_data() { addEngineColumn(); }
    void goodsPurchaseSaleAndRecord()
    {
        QFETCH(bool, server);
        CounterFixture f(false, server);
        enterSuperUserMode(f);

        inScreen(f, "Command2", [](QDialog *d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmhuoming"));
            edit(d, "Text1")->setText(QStringLiteral("6901"));
            d->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("矿泉水 550ml"));
            click(d, "OKButton");
        });
        inScreen(f, "Command3", [](QDialog *d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmjinhuo"));
            edit(d, "Text1")->setFocus();
            edit(d, "Text1")->setText(QStringLiteral("6901"));
            // Leaving the code box finds the goods added a moment ago.
            QTest::keyClick(edit(d, "Text1"), Qt::Key_Tab);
            QCOMPARE(edit(d, "Text5")->text(), QStringLiteral("矿泉水 550ml"));
            edit(d, "Text2")->setText(QStringLiteral("48"));
            edit(d, "Text3")->setText(QStringLiteral("0.90"));
            edit(d, "Text7")->setText(QStringLiteral("1.50"));
            edit(d, "Text6")->setText(QStringLiteral("农夫山泉"));
            click(d, "OKButton");
            click(d, "Command1");
        });
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));

        f.ringUp(QStringLiteral("6901"), QStringLiteral("2"));
        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("5"));
        f.key(Qt::Key_F8);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.text("Label17"), QStringLiteral("¥2.00"));

        QStringList listed;
        inScreen(f, "Command4", [&](QDialog *d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmlinshou"));
            auto *model = d->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model();
            QCOMPARE(model->rowCount(), 1);
            for (int c = 0; c < 6; ++c)
                listed.append(model->index(0, c).data().toString());
            listed.append(d->findChild<QLabel *>(QStringLiteral("Label8"))->text());
        });
        QCOMPARE(listed, strings({"1", "6901", "矿泉水 550ml", "2", "¥1.50", "¥3.00", "¥3.00"}));
    }

    void purchaseScreenTakesEveryClick_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("action");
        QTest::newRow("empty code, 关闭") << QString() << QStringLiteral("Command1");
        QTest::newRow("unknown code, 关闭") << QStringLiteral("9999") << QStringLiteral("Command1");
        QTest::newRow("unknown code, 取消") << QStringLiteral("9999") << QStringLiteral("CancelButton");
        QTest::newRow("empty code, 删除") << QString() << QStringLiteral("Command2");
        QTest::newRow("unknown code, on to the quantity") << QStringLiteral("9999") << QStringLiteral("Tab");
    }

    void purchaseScreenTakesEveryClick()
    {
        // Real message boxes and real mouse clicks: a box that came up in the
        // middle of a click would swallow it.
        QFETCH(QString, code);
        QFETCH(QString, action);
        CounterFixture f;
        Messages::install(nullptr);
        ModalAnswerer answerer;
        enterSuperUserMode(f);
        const qint64 purchases = f.shop.count(QStringLiteral("jinhuo"));
        bool hidden = false;
        QString name;
        QString codeLeft;
        inScreen(f, "Command3", [&](QDialog *d) {
            QLineEdit *codeBox = edit(d, "Text1");
            // Known goods first, so that a name is shown.
            QTest::mouseClick(codeBox, Qt::LeftButton);
            QTest::keyClicks(codeBox, QStringLiteral("A"));
            QTest::keyClick(codeBox, Qt::Key_Tab);
            QCOMPARE(edit(d, "Text5")->text(), QStringLiteral("可乐"));
            QTest::mouseClick(codeBox, Qt::LeftButton);
            codeBox->selectAll();
            QTest::keyClick(codeBox, Qt::Key_Backspace);
            QTest::keyClicks(codeBox, code);
            QCOMPARE(QApplication::focusWidget(), codeBox);
            if (action == u"Tab")
                QTest::keyClick(codeBox, Qt::Key_Tab);
            else
                click(d, action.toLatin1().constData());
            hidden = !d->isVisible();
            name = edit(d, "Text5")->text();
            codeLeft = codeBox->text();
        });
        if (action == u"Tab") {
            QCOMPARE(answerer.texts,
                     QStringList{QStringLiteral("没有这个货物代码，请重新输入或进入 货名管理 添加新代码！")});
            QCOMPARE(name, QString()); // no name of other goods beside the unknown code
            return;
        }
        QCOMPARE(answerer.texts, QStringList{});
        QCOMPARE(hidden, action == u"Command1");
        if (action == u"CancelButton")
            QCOMPARE(codeLeft, QString());
        QCOMPARE(f.shop.count(QStringLiteral("jinhuo")), action == u"Command2" ? purchases - 1 : purchases);
    }

    void everyScreenServesAfterTheServerRestarts()
    {
        CounterFixture f(true, true);
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("5"));
        f.key(Qt::Key_F8);
        enterSuperUserMode(f);
        QTest::mouseClick(f.get("Option1"), Qt::LeftButton);
        QVERIFY(!f.window->isSuperUserMode());
        auto goodsShown = [&] {
            int rows = -1;
            inScreen(f, "Command2", [&](QDialog *d) {
                rows = d->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount();
                // Each activation reads again; a failure is told once, however
                // often the screen is activated (closing the box activates it).
                QApplication::setActiveWindow(f.window);
                QApplication::setActiveWindow(d);
                QApplication::setActiveWindow(f.window);
                QApplication::setActiveWindow(d);
            });
            return rows;
        };
        QCOMPARE(goodsShown(), 4);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));

        // While the server is down: one plain message, no chain of boxes, and
        // the right password is not called wrong.
        ThrowawayServer::shared().stopHard();
        QTimer::singleShot(0, [] {
            auto *login = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
            QVERIFY(login);
            login->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(Database::defaultPassword());
            QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            login->close();
        });
        QTest::mouseClick(f.get("Option2"), Qt::LeftButton);
        QVERIFY(!f.window->isSuperUserMode());
        QCOMPARE(f.messages.boxes.size(), 1);
        QVERIFY2(f.messages.last().contains(QStringLiteral("无法读取超级用户密码")), qPrintable(f.messages.last()));
        QVERIFY(!f.messages.last().contains(QStringLiteral("无效的密码")));

        // Back again: every screen reads and writes without a restart.
        ThrowawayServer::shared().start();
        f.messages.clear();
        enterSuperUserMode(f);
        QCOMPARE(goodsShown(), 4);
        inScreen(f, "Command4", [&](QDialog *d) {
            QCOMPARE(d->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount(), 1);
        });
        ThrowawayServer::shared().stopHard();
        ThrowawayServer::shared().start();
        const Shop shop = f.window->database().shop();
        QVERIFY_OK(DayClose(shop).current());
        QVERIFY_OK(Returns::ticketsOf(shop, 1));
        ThrowawayServer::shared().stopHard();
        ThrowawayServer::shared().start();
        QVERIFY_OK(DayClose(shop).close(Money()));
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
    }
};

QTEST_MAIN(TestBackOffice)
#include "tst_backoffice.moc"
