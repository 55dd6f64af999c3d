#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// The counter's view of the catalogue and the purchases. Every answer comes
// from an indexed query on the live file, so goods added in the back office
// are found at once and nothing loads a whole table.
class GoodsCatalogue
{
public:
    explicit GoodsCatalogue(Shop shop);

    struct Purchases
    {
        qint64 rows = 0;
        qint64 totalQuantity = 0; // sum of all deliveries; sales are not subtracted
        Money lastPrice;          // selling price of the last purchase row in stored order
        // 特价 running on the day of the lookup: the one added last for
        // everyone, or for a member's ticket the one added last of all.
        std::optional<Money> special;
        // A member's ticket: the last purchase's member price (huiyuanjia)
        // where it is below its selling price.
        std::optional<Money> memberPrice;

        // What the counter charges before the discount rate, and why: the
        // special while one runs, else the selling price; the member price
        // where that is lower still.
        enum class Kind { Regular, Special, Member };
        struct Charge
        {
            Money price;
            Kind kind = Kind::Regular;
        };
        Charge charge() const;
        Money sellingPrice() const { return charge().price; }
    };

    Result<bool> isEmpty() const;
    // The name of the first catalogue row with exactly this code; nothing
    // when there is no such row.
    Result<std::optional<QString>> nameOf(const QString &code) const;
    // With the special running on `day` (today when invalid); `member`: for
    // a member's ticket, with the members' prices.
    Result<Purchases> purchasesOf(const QString &code, QDate day = QDate(), bool member = false) const;
    // Whether any purchase / any sale line refers to the code.
    Result<bool> isPurchased(const QString &code) const;
    Result<bool> isSold(const QString &code) const;

    // The counter's lookup of a code, in the order the cashier is told:
    // an empty catalogue first, then an empty code, an unknown code, goods
    // never purchased. The name is filled from UnknownCode on.
    struct Lookup
    {
        enum Outcome { Found, NoCatalogue, NoCode, UnknownCode, NotPurchased } outcome = NoCode;
        bool named = false; // the code was found in the catalogue
        QString name;
        Purchases purchases;
    };
    Result<Lookup> lookup(const QString &code, bool member = false) const;

private:
    Result<bool> exists(const char *sql, const QString &code) const;
    Result<Lookup> lookupOnce(const QString &code, bool member) const;

    Shop m_shop;
    QSqlDatabase m_db;
};
