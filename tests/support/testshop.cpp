#include "testshop.h"

#include "shop/schema.h"
#include "shop/shopcopy.h"
#include "throwawayserver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QWidget>

TestShop::TestShop() = default;

QString TestShop::path() const
{
    return m_dir.filePath(QString::fromLatin1(Database::FileName));
}

Database &TestShop::create()
{
    Database::Result r = Database::create(path());
    if (!r.database)
        qFatal("cannot create test shop: %s", qPrintable(r.message));
    m_db = std::move(r.database);
    m_raw = m_db.get();
    return *m_db;
}

void TestShop::moveToServer(int till, bool ownFile)
{
    if (!m_db)
        qFatal("moveToServer: the shop was handed over already");
    m_db.reset();
    m_raw = nullptr;
    ShopConfig config = ThrowawayServer::shared().newDatabase(till);
    if (ownFile)
        config.directory = dir();
    // Odd values a test planted go along as the program reads them.
    const ShopCopy::Outcome copied = ShopCopy::toServer(path(), config, {}, true);
    if (!copied.error.isEmpty())
        qFatal("cannot copy the test shop to the server: %s", qPrintable(copied.error));
    Database::Result r = Database::openServer(config);
    if (!r.database)
        qFatal("cannot open the test shop on the server: %s", qPrintable(r.message));
    m_server = config;
    m_db = std::move(r.database);
    m_raw = m_db.get();
}

void TestShop::exec(const QString &sql)
{
    QSqlQuery q(m_raw->shop().connection());
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

void TestShop::addGoods(const QString &code, const QString &name)
{
    QSqlQuery q(m_raw->shop().connection());
    q.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    q.addBindValue(code);
    q.addBindValue(name);
    if (!q.exec())
        qFatal("addGoods: %s", qPrintable(q.lastError().text()));
}

void TestShop::addPurchase(const QString &code, int quantity, Money price)
{
    QSqlQuery q(m_raw->shop().connection());
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES ((SELECT COUNT(*) + 1 FROM jinhuo), ?, ?, ?, ?, ?, '', "
                             "'2026-01-01', '2027-01-01')"));
    q.addBindValue(code);
    q.addBindValue(quantity);
    q.addBindValue(qint64(price.units()));
    q.addBindValue(qint64(price.units()));
    q.addBindValue(qint64(price.units()));
    if (!q.exec())
        qFatal("addPurchase: %s", qPrintable(q.lastError().text()));
}

void TestShop::addSale(qint64 id, qint64 ticket, const QString &code, int quantity, Money price)
{
    QSqlQuery q(m_raw->shop().connection());
    q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                             "VALUES (?, ?, ?, ?, ?, ?, '2026-12-01 10:00:00')"));
    q.addBindValue(id);
    q.addBindValue(ticket);
    q.addBindValue(code);
    q.addBindValue(quantity);
    q.addBindValue(qint64(price.units()));
    q.addBindValue(qint64(price.times(quantity)->units()));
    if (!q.exec())
        qFatal("addSale: %s", qPrintable(q.lastError().text()));
}

qint64 TestShop::count(const QString &table)
{
    QSqlQuery q(m_raw->shop().connection());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)) || !q.next())
        qFatal("count failed");
    return q.value(0).toLongLong();
}

void TestShop::pinLocale()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
}

void addEngineColumn()
{
    QTest::addColumn<bool>("server");
    QTest::newRow("file") << false;
    QTest::newRow("server") << true;
}

QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList all;
    for (const char *t : texts)
        all.append(QString::fromUtf8(t));
    return all;
}

void typeText(QWidget *widget, const QString &text)
{
    for (const uint c : text.toUcs4()) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &release);
    }
}

bool showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QString currencyText(const QString &number)
{
    return QChar(0x00A5) + number;
}
