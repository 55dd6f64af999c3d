#pragma once

#include "shop/database.h"
#include "shop/money.h"
#include "shop/result.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>
#include <memory>
#include <optional>

// A call that gives a Result, checked with its error as the test's message.
#define QVERIFY_OK(call)                                                                                               \
    do {                                                                                                               \
        const auto checked_ = (call);                                                                                  \
        QVERIFY2(checked_.ok(), qPrintable(checked_.errorText()));                                                     \
    } while (false)

class CounterWindow;

// A shop file in a temporary directory, with helpers to fill it the way the
// back office would.
class TestShop
{
public:
    TestShop();

    QString dir() const { return m_dir.path(); }
    QString path() const;

    // Creates the file and keeps it open (returns the open database).
    Database &create();
    Database &db() { return *m_raw; }
    // Hands the open database over, e.g. to a counter window.
    std::unique_ptr<Database> take() { return std::move(m_db); }

    void addGoods(const QString &code, const QString &name);
    void addPurchase(const QString &code, int quantity, Money price);
    void addSale(qint64 id, qint64 ticket, const QString &code, int quantity, Money price);
    void exec(const QString &sql);
    qint64 count(const QString &table);

    // Moves the shop onto a new database of the test server the way the copy
    // command does and opens it there as the given till; the helpers work on
    // it after that as before. The file stays as it was. With `ownFile` the
    // till keeps its own file in the test's directory, as beside tarvel.ini.
    void moveToServer(int till = 1, bool ownFile = false);
    bool onServer() const { return m_server.has_value(); }
    const ShopConfig &server() const { return *m_server; }

    static void pinLocale();

private:
    QTemporaryDir m_dir;
    std::optional<ShopConfig> m_server;
    std::unique_ptr<Database> m_db;
    Database *m_raw = nullptr; // stays valid while whoever took it keeps it
};

// A list of UTF-8 literals as strings (the build has no implicit conversion).
QStringList strings(std::initializer_list<const char *> texts);

// Where a test runs on both engines: a column "server" with a row for the
// file and one for the server.
void addEngineColumn();

// Types any text, Chinese included, key by key into a widget (QTest's own
// key clicks take Latin-1 only).
void typeText(QWidget *widget, const QString &text);

// Shows the window, makes it active and waits for it.
bool showActive(QWidget *window);
// The yuan sign of the "Currency" format under zh_CN.
QString currencyText(const QString &number);
