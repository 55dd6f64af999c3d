#pragma once

#include "shop/database.h"
#include "shop/money.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>

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

    static void pinLocale();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
    Database *m_raw = nullptr; // stays valid while whoever took it keeps it
};

// A list of UTF-8 literals as strings (the build has no implicit conversion).
QStringList strings(std::initializer_list<const char *> texts);

// Types any text, Chinese included, key by key into a widget (QTest's own
// key clicks take Latin-1 only).
void typeText(QWidget *widget, const QString &text);

// Shows the window, makes it active and waits for it.
bool showActive(QWidget *window);
// The yuan sign of the "Currency" format under zh_CN.
QString currencyText(const QString &number);
