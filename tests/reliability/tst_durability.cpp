#include "counterfixture.h"
#include "gui/maintenance/cleanupdialog.h"
#include "gui/maintenance/receiptdesigndialog.h"
#include "gui/screenhost.h"
#include "gui/stock/cataloguedialog.h"
#include "gui/stock/purchasedialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>

// What a screen reports as stored is in the file for a second connection
// opened right after: the checkout and every back-office write.
class TestDurability : public QObject
{
    Q_OBJECT

    static inline int s_checked = 0;

    // A value read through a connection of its own, opened for this one question.
    static QString fresh(const QString &path, const QString &sql)
    {
        ++s_checked;
        QString value;
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fresh"));
            other.setDatabaseName(path);
            if (other.open()) {
                QSqlQuery q(other);
                if (q.exec(sql) && q.next())
                    value = q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fresh"));
        return value;
    }

    template <typename Work> static void inScreen(CounterFixture &f, const QString &name, Work work)
    {
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            work(d);
            d->close();
        });
        f.window->screens()->open(name);
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
    void everyReportedWriteIsInTheFile()
    {
        CounterFixture f;
        const QString path = f.shop.path();

        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.edit("Text8")->setText(QStringLiteral("10"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.text("Label17"), QStringLiteral("¥5.00")); // reported: the change is shown
        QCOMPARE(fresh(path, QStringLiteral("SELECT SUM(jine) FROM xiaoshou")), QStringLiteral("50000"));

        inScreen(f, QStringLiteral("frmhuoming"), [&](QDialog *d) {
            edit(d, "Text1")->setText(QStringLiteral("N1"));
            d->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("新货"));
            click(d, "OKButton");
            QCOMPARE(fresh(path, QStringLiteral("SELECT name FROM name WHERE code = 'N1'")), QStringLiteral("新货"));
            click(d, "Command2");
            edit(d, "Text4")->selectAll();
            typeText(edit(d, "Text4"), QStringLiteral("改名"));
            click(d, "Command4");
            QCOMPARE(fresh(path, QStringLiteral("SELECT name FROM name WHERE code = 'N1'")), QStringLiteral("改名"));
            d->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("常用"));
            click(d, "Command5");
            QCOMPARE(fresh(path, QStringLiteral("SELECT kuaijie FROM kuaijie")), QStringLiteral("常用"));
        });
        inScreen(f, QStringLiteral("frmjinhuo"), [&](QDialog *d) {
            for (auto [box, text] :
                 {std::pair{"Text1", "N1"}, {"Text2", "5"}, {"Text3", "1"}, {"Text7", "2"}, {"Text6", "厂"}})
                edit(d, box)->setText(QString::fromUtf8(text));
            click(d, "OKButton");
            QCOMPARE(fresh(path, QStringLiteral("SELECT shuliang FROM jinhuo WHERE code = 'N1'")), QStringLiteral("5"));
        });
        inScreen(f, QStringLiteral("frmxiaopiao"), [&](QDialog *d) {
            edit(d, "Text1")->setText(QStringLiteral("新店名"));
            click(d, "Command1");
            QCOMPARE(fresh(path, QStringLiteral("SELECT content FROM code WHERE id = 20000")),
                     QStringLiteral("新店名"));
            click(d, "jiabutton");
            QCOMPARE(fresh(path, QStringLiteral("SELECT MAX(id) FROM code")), QStringLiteral("20003"));
        });
        inScreen(f, QStringLiteral("frmqingli"), [&](QDialog *d) {
            click(d, "Command1");
            QCOMPARE(fresh(path, QStringLiteral("SELECT COUNT(*) FROM xiaoshou")), QStringLiteral("0"));
        });
        QVERIFY2(f.messages.texts().contains(QStringLiteral("修改成功！")), qPrintable(f.messages.texts().join(u'|')));
        qInfo("FIGURE R2 durability: %d reported writes found by a second connection", s_checked);
    }
};

QTEST_MAIN(TestDurability)
#include "tst_durability.moc"
