#include "counterfixture.h"
#include "logindialog.h"

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

private Q_SLOTS:
    void goodsPurchaseSaleAndRecord()
    {
        CounterFixture f(false);
        QTimer::singleShot(0, [&] {
            auto *login = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
            QVERIFY(login);
            login->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(Database::defaultPassword());
            QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QTest::mouseClick(f.get("Option2"), Qt::LeftButton);
        QVERIFY(f.window->isSuperUserMode());

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
};

QTEST_MAIN(TestBackOffice)
#include "tst_backoffice.moc"
