#include "counterfixture.h"
#include "gui/counter/customerdisplay.h"
#include "shop/customerview.h"
#include "shop/ticket.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>

// The customer's display: a real window on the till's second (virtual)
// screen, showing the lines as they are rung up, the total and the change.
class TestCustomerDisplay : public QObject
{
    Q_OBJECT

    static QString label(QWidget *w, const char *name)
    {
        auto *l = w->findChild<QLabel *>(QString::fromLatin1(name));
        return l && l->isVisibleTo(w) ? l->text() : QString();
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void lineText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<qint64>("priceCents");
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("pieces") << QStringLiteral("可乐") << 2 << qint64(250) << false
                                << QStringLiteral("可乐　2 × ¥2.50　¥5.00");
        QTest::newRow("weighed") << QStringLiteral("苹果") << 1500 << qint64(800) << true
                                 << QStringLiteral("苹果　1.500kg × ¥8.00/kg　¥12.00");
        QTest::newRow("no name: the code")
            << QString() << 1 << qint64(100) << false << QStringLiteral("X1　1 × ¥1.00　¥1.00");
    }

    void lineText()
    {
        QFETCH(QString, name);
        QFETCH(int, quantity);
        QFETCH(qint64, priceCents);
        QFETCH(bool, weighed);
        QFETCH(QString, shown);
        TicketLine l;
        l.code = QStringLiteral("X1");
        l.name = name;
        l.quantity = quantity;
        l.weighed = weighed;
        l.price = Money::fromCents(priceCents);
        l.amount = Money::fromCents(weighed ? priceCents * quantity / 1000 : priceCents * quantity);
        QCOMPARE(CustomerView::lineText(l), shown);
    }

    void onTheSecondScreen()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        CounterFixture f;
        f.window->setCustomerDisplay(QStringLiteral("2"), QStringLiteral("欢迎光临"));
        CustomerDisplay *shown = f.window->customerDisplay();
        QVERIFY(shown);
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QCOMPARE(shown->screen(), QGuiApplication::screens().at(1));
        QCOMPARE(label(shown, "lblXianshi"), QStringLiteral("欢迎光临"));
        // The counter keeps the focus: the customer's window takes none.
        QVERIFY(f.window->isActiveWindow() || QTest::qWaitForWindowActive(f.window));

        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.ringUp(QStringLiteral("B"), QStringLiteral("1"));
        QCOMPARE(label(shown, "lblHang"), QStringLiteral("可乐　2 × ¥2.50　¥5.00\n薯片　1 × ¥10.00　¥10.00"));
        QCOMPARE(label(shown, "lblHeji"), QStringLiteral("合计 ¥15.00"));
        QCOMPARE(label(shown, "lblXianshi"), QString());

        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("20"));
        f.key(Qt::Key_F8);
        QCOMPARE(f.shop.count(QStringLiteral("fukuan")), 1);
        QCOMPARE(label(shown, "lblFukuan"), QStringLiteral("付款 ¥20.00　找零 ¥5.00"));
        QCOMPARE(label(shown, "lblHeji"), QStringLiteral("合计 ¥15.00"));
        const QString picture = qEnvironmentVariable("TARVEL_DISPLAY_PICTURE");
        if (!picture.isEmpty())
            shown->grab().save(picture);

        // The next ticket starts on it again.
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(label(shown, "lblFukuan"), QString());
        QCOMPARE(label(shown, "lblHang"), QStringLiteral("可乐　1 × ¥2.50　¥2.50"));
    }

    void noSuchScreen()
    {
        CounterFixture f;
        f.window->setCustomerDisplay(QStringLiteral("HDMI-9"), QString());
        QVERIFY(!f.window->customerDisplay());
        QVERIFY2(f.messages.last().contains(QStringLiteral("HDMI-9")), qPrintable(f.messages.last()));
    }
};

// Two virtual screens side by side, as a till with the customer's display.
int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [
        {"name": "Till", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "Customer", "x": 1024, "y": 0, "width": 800, "height": 480, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
    ]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toUtf8());
    QApplication app(argc, argv);
    TestCustomerDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_customerdisplay.moc"
