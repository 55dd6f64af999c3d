#include "counterfixture.h"

#include "app/backoffice.h"

#include <QApplication>

CounterFixture::CounterFixture(bool withGoods, bool onServer, bool ownFile)
{
    TestShop::pinLocale();
    shop.create();
    if (withGoods) {
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("薯片"));
        shop.addGoods(QStringLiteral("C"), QStringLiteral("毛巾"));
        shop.addGoods(QStringLiteral("it's"), QStringLiteral("苹果"));
        shop.addPurchase(QStringLiteral("A"), 10, Money::fromCents(250));
        shop.addPurchase(QStringLiteral("B"), 4, Money::fromCents(900));
        shop.addPurchase(QStringLiteral("B"), 6, Money::fromCents(1000));
        shop.addPurchase(QStringLiteral("it's"), 1, Money::fromCents(123450));
    }
    if (onServer)
        shop.moveToServer(1, ownFile);
    window = new CounterWindow(shop.take());
    addBackOffice(window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!showActive(window))
        qWarning("counter window did not become active");
}

CounterFixture::~CounterFixture()
{
    delete window;
}

QString CounterFixture::text(const char *name) const
{
    QWidget *w = get(name);
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    qFatal("%s has no text", name);
}

void CounterFixture::type(const char *name, const QString &text)
{
    QLineEdit *e = edit(name);
    e->selectAll();
    QTest::keyClicks(e, text);
}

void CounterFixture::ringUp(const QString &code, const QString &quantity)
{
    key(Qt::Key_F1);
    type("Text1", code);
    key(Qt::Key_F2);
    type("Text3", quantity);
    key(Qt::Key_F5);
}
