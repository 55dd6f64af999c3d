#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// The purchases as the purchase screen writes them: a new purchase with the
// next id ("last row + 1", taken inside the same transaction), and the delete
// of one listed purchase.
class PurchaseStore
{
public:
    explicit PurchaseStore(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()) { }

    struct Purchase
    {
        QString code;
        int quantity = 0;
        Money purchasePrice;
        Money sellingPrice;
        QString maker;
        QDate purchased;
        QDate expires;
        // A member price (huiyuanjia) below the selling price; none: the
        // selling price is also the members'.
        std::optional<Money> memberPrice{};
    };
    // Stores the purchase whole or not at all.
    Done add(const Purchase &p);

    enum class Removal { Deleted, GoodsSold, Gone };
    // Deletes the purchase at `rowid` while it still has `id`, unless goods
    // with `code` were sold.
    Result<Removal> remove(qint64 rowid, qint64 id, const QString &code);

private:
    Shop m_shop;
    QSqlDatabase m_db;
};
