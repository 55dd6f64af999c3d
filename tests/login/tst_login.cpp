#include "counterfixture.h"
#include "gui/login/logindialog.h"
#include "gui/login/passworddialog.h"
#include "gui/screenhost.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTimer>

// Login, user modes and the password change.
class TestLogin : public QObject
{
    Q_OBJECT

    // Selects "超级用户" and, while the login dialog is up, types each password
    // in turn and presses "确定"; then presses "取消" if it is still open.
    // Returns what the password box held after each try.
    static QStringList login(CounterFixture &f, const QStringList &passwords, bool closeBox = false,
                             bool checkFocus = false)
    {
        QStringList boxAfter;
        QTimer::singleShot(0, [&] {
            auto *dialog = f.window->findChild<LoginDialog *>(QStringLiteral("frmLogin"));
            QVERIFY(dialog && dialog->isVisible());
            auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
            QCOMPARE(box->text(), QString());
            if (checkFocus) {
                // Becoming active puts the focus in the password box.
                dialog->activateWindow();
                QTRY_COMPARE(QApplication::activeWindow(), dialog);
                QCOMPARE(QApplication::focusWidget(), box);
            }
            for (const QString &p : passwords) {
                box->setText(p);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
                boxAfter.append(box->text());
            }
            if (dialog->isVisible()) {
                if (closeBox)
                    dialog->close();
                else
                    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            }
        });
        QTest::mouseClick(f.get("Option2"), Qt::LeftButton);
        return boxAfter;
    }

    static void setStoredPassword(CounterFixture &f, const QString &password)
    {
        QSqlQuery q(f.shop.db().shop().connection());
        q.prepare(QStringLiteral("UPDATE code SET code = ? WHERE id = 1"));
        q.addBindValue(password);
        QVERIFY(q.exec());
    }

    static QRect visibleRect(QWidget *w, QWidget *window)
    {
        QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
            r &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
        return r & window->rect();
    }

    // Pairs of visible controls of the counter whose rectangles overlap.
    static QStringList overlaps(QWidget *window)
    {
        QList<QWidget *> controls;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(window) || w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"))
                continue;
            // A container counts against what is outside it, not its own content.
            controls.append(w);
        }
        QStringList found;
        for (qsizetype i = 0; i < controls.size(); ++i) {
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                QWidget *a = controls.at(i), *b = controls.at(j);
                if (a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                // Only what can be seen: each rectangle cut by its containers.
                if ((visibleRect(a, window) & visibleRect(b, window)).isValid())
                    found.append(a->objectName() + u'/' + b->objectName());
            }
        }
        return found;
    }

private Q_SLOTS:
    void noControlCoversAnotherInEitherMode_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("780x540") << QSize(780, 540);
        QTest::newRow("1280x1024") << QSize(1280, 1024);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void noControlCoversAnotherInEitherMode()
    {
        QFETCH(QSize, size);
        CounterFixture f;
        f.window->resize(size);
        QCOMPARE(f.window->size(), size);
        // The content fills the window: the ticket grid grows with it.
        QVERIFY(f.get("DataGrid1")->width() >= 660 * size.width() / 780 - 2);
        QCOMPARE(overlaps(f.window), QStringList{});
        login(f, {Database::defaultPassword()});
        QVERIFY(f.window->isSuperUserMode());
        QCOMPARE(overlaps(f.window), QStringList{});
        QTest::mouseClick(f.get("Option1"), Qt::LeftButton);
        QCOMPARE(overlaps(f.window), QStringList{});
    }

    void correctPasswordShowsPanelAndMovesRows()
    {
        CounterFixture f;
        const QPoint entry = f.get("Frame3")->pos();
        const QPoint ticket = f.get("Frame2")->pos();
        login(f, {Database::defaultPassword()}, false, true);
        QVERIFY(f.messages.boxes.isEmpty());
        QVERIFY(f.window->isSuperUserMode());
        QVERIFY(f.get("Frame4")->isVisible());
        QCOMPARE(f.get("Frame3")->pos(), entry + QPoint(0, 400 / 15));
        QCOMPARE(f.get("Frame2")->pos(), ticket + QPoint(0, 400 / 15));
        // Nine buttons left to right with their captions, now inside the window.
        const QStringList names = QStringLiteral("Command2 Command3 Command4 Command5 Command6 Command7 Command8 "
                                                 "Command9 Command12")
                                      .split(u' ');
        const QStringList captions =
            QStringLiteral("货名管理 进货管理 零售管理 销售分析 库存分析 修改密码 票据设计 数据清理 联系作者")
                .split(u' ');
        int lastX = -1;
        for (int i = 0; i < names.size(); ++i) {
            auto *b = f.get<QPushButton>(qPrintable(names[i]));
            QCOMPARE(b->text(), captions[i]);
            QVERIFY(b->isVisible());
            const QPoint inWindow = b->mapTo(f.window, QPoint(0, 0));
            QVERIFY(inWindow.x() > lastX);
            QVERIFY(inWindow.y() >= 0);
            lastX = inWindow.x();
        }

        QTest::mouseClick(f.get("Option1"), Qt::LeftButton);
        QVERIFY(!f.window->isSuperUserMode());
        QCOMPARE(f.get("Frame3")->pos(), entry);
        QCOMPARE(f.get("Frame2")->pos(), ticket);
        // Already normal: selecting it again moves nothing.
        f.get<QRadioButton>("Option1")->setChecked(true);
        QCOMPARE(f.get("Frame3")->pos(), entry);
    }

    void wrongPasswordsThenCancel_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("wrong") << QStringLiteral("1234") << QStringLiteral("4321") << false;
        QTest::newRow("differs in case") << QStringLiteral("Secret") << QStringLiteral("secret") << false;
        QTest::newRow("close box counts as cancel") << QStringLiteral("1234") << QStringLiteral("x") << true;
    }

    void wrongPasswordsThenCancel()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, closeBox);
        CounterFixture f;
        setStoredPassword(f, stored);
        const QPoint entry = f.get("Frame3")->pos();
        const QStringList boxAfter = login(f, {typed, typed}, closeBox);
        QCOMPARE(boxAfter, (QStringList{QString(), QString()}));
        QCOMPARE(f.messages.boxes.size(), 2);
        QCOMPARE(f.messages.boxes[0].text, QStringLiteral("无效的密码，请重试!"));
        QCOMPARE(f.messages.boxes[0].title, QStringLiteral("登录"));
        QCOMPARE(f.messages.boxes[0].icon, Messages::Icon::Critical);
        QVERIFY(f.get<QRadioButton>("Option1")->isChecked());
        QVERIFY(!f.window->isSuperUserMode());
        QCOMPARE(f.get("Frame3")->pos(), entry);
        // The next try starts with an empty box and works.
        login(f, {stored});
        QVERIFY(f.window->isSuperUserMode());
    }

    void emptyStoredPasswordAcceptsEmptyBox()
    {
        CounterFixture f;
        setStoredPassword(f, QString());
        login(f, {QString()});
        QVERIFY(f.window->isSuperUserMode());
    }

    void passwordChange_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("server");
        QTest::newRow("ten characters") << QStringLiteral("0123456789") << QStringLiteral("0123456789")
                                        << QStringLiteral("修改成功！") << false;
        QTest::newRow("eleven characters") << QStringLiteral("0123456789A") << QStringLiteral("0123456789A")
                                           << QStringLiteral("密码长度超过10位！请重新输入！") << false;
        QTest::newRow("ten Chinese characters")
            << QStringLiteral("超市收款后台管理程序") << QStringLiteral("超市收款后台管理程序")
            << QStringLiteral("修改成功！") << false;
        QTest::newRow("apostrophe") << QStringLiteral("it's") << QStringLiteral("it's") << QStringLiteral("修改成功！")
                                    << false;
        QTest::newRow("one box empty") << QStringLiteral("abc") << QString()
                                       << QStringLiteral("两次密码不一致！请重新输入！") << false;
        QTest::newRow("both empty") << QString() << QString() << QStringLiteral("密码不能为空！请重新输入！") << false;
        QTest::newRow("different") << QStringLiteral("abc") << QStringLiteral("abd")
                                   << QStringLiteral("两次密码不一致！请重新输入！") << false;
        // The mismatch is told before the length.
        QTest::newRow("too long and different") << QStringLiteral("0123456789A") << QStringLiteral("0123456789B")
                                                << QStringLiteral("两次密码不一致！请重新输入！") << false;
        // Characters outside the BMP count as one each (two UTF-16 units).
        const QString emoji = QStringLiteral("😀");
        const QString ten = emoji.repeated(10);
        QTest::newRow("ten emoji") << ten << ten << QStringLiteral("修改成功！") << false;
        QTest::newRow("apostrophe, on the server")
            << QStringLiteral("it's") << QStringLiteral("it's") << QStringLiteral("修改成功！") << true;
        QTest::newRow("eleven emoji") << ten + emoji << ten + emoji << QStringLiteral("密码长度超过10位！请重新输入！")
                                      << false;
    }

    void passwordChange()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, message);
        QFETCH(bool, server);
        CounterFixture f(true, server);
        login(f, {Database::defaultPassword()});
        const bool saved = message == QStringLiteral("修改成功！");
        QString shownBefore;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->objectName(), QStringLiteral("gaimima"));
            QCOMPARE(dialog->windowTitle(), QStringLiteral("修改密码"));
            shownBefore = dialog->findChild<QLabel *>(QStringLiteral("Label2"))->text();
            dialog->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(first);
            dialog->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(second);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            stillOpen = dialog->isVisible();
            if (stillOpen) {
                QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), first);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
            }
        });
        QTest::mouseClick(f.get("Command7"), Qt::LeftButton);
        QCOMPARE(shownBefore, Database::defaultPassword());
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.messages.boxes.first().title, QStringLiteral("提示"));
        QCOMPARE(stillOpen, !saved);

        QSqlQuery q(f.shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code FROM code WHERE id = 1"));
        q.next();
        QCOMPARE(q.value(0).toString(), saved ? first : Database::defaultPassword());

        // Without restarting: the old password no longer works, the new one does.
        QTest::mouseClick(f.get("Option1"), Qt::LeftButton);
        f.messages.clear();
        if (saved) {
            login(f, {Database::defaultPassword()});
            QVERIFY(!f.window->isSuperUserMode());
            login(f, {first});
            QVERIFY(f.window->isSuperUserMode());
            // Opened again: the new password beside "原密码：" and two empty boxes.
            QString shown, box1 = QStringLiteral("x"), box2 = QStringLiteral("x");
            QTimer::singleShot(0, [&] {
                auto *dialog = QApplication::activeModalWidget();
                shown = dialog->findChild<QLabel *>(QStringLiteral("Label2"))->text();
                box1 = dialog->findChild<QLineEdit *>(QStringLiteral("Text1"))->text();
                box2 = dialog->findChild<QLineEdit *>(QStringLiteral("Text2"))->text();
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
            });
            QTest::mouseClick(f.get("Command7"), Qt::LeftButton);
            QCOMPARE(shown, first);
            QVERIFY(box1.isEmpty() && box2.isEmpty());
        }
    }

    void screensKeepStateWhenHiddenAndReloadAfterCloseBox()
    {
        CounterFixture f;
        login(f, {Database::defaultPassword()});
        QPointer<QDialog> first;
        QTimer::singleShot(0, [&] {
            first = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            first->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("kept"));
            QTest::mouseClick(first->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
        });
        QTest::mouseClick(f.get("Command7"), Qt::LeftButton);
        QString typed;
        QTimer::singleShot(0, [&] {
            auto *again = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QCOMPARE(again, first.data());
            typed = again->findChild<QLineEdit *>(QStringLiteral("Text1"))->text();
            again->close(); // the window's own close box unloads it
        });
        QTest::mouseClick(f.get("Command7"), Qt::LeftButton);
        QCOMPARE(typed, QStringLiteral("kept"));
        QVERIFY(first.isNull());
        QVERIFY(!f.window->screens()->loaded(QStringLiteral("gaimima")));
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
