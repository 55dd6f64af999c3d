#include "shop/goodscatalogue.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"

#include <QSqlError>
#include <QSqlQuery>

GoodsCatalogue::GoodsCatalogue(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()) { }

Result<bool> GoodsCatalogue::isEmpty() const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name)")) || !q.next())
        return failureOf(q);
    return !q.value(0).toBool();
}

Result<std::optional<QString>> GoodsCatalogue::nameOf(const QString &code) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1"));
    q.addBindValue(code);
    if (!q.exec())
        return failureOf(q);
    if (!q.next())
        return std::optional<QString>();
    return std::optional<QString>(q.value(0).toString());
}

GoodsCatalogue::Purchases::Charge GoodsCatalogue::Purchases::charge() const
{
    Charge c{lastPrice, Kind::Regular};
    if (special) // a special holds while it runs, even above the regular price
        c = {*special, Kind::Special};
    if (memberPrice && *memberPrice < c.price)
        c = {*memberPrice, Kind::Member};
    return c;
}

Result<GoodsCatalogue::Purchases> GoodsCatalogue::purchasesOf(const QString &code, QDate day, bool member) const
{
    QSqlQuery q(m_db);
    // One statement: the purchases' totals, the last purchase's prices and
    // the special running on the day, the one added last that this ticket
    // may have (a members' one only for a member's ticket).
    q.prepare(QStringLiteral("SELECT a.c, a.s, l.shou, l.huiyuanjia, "
                             "(SELECT jiage FROM tejia WHERE code = ? AND jieshuri >= ? AND kaishiri <= ? "
                             "AND (huiyuan = 0 OR ? = 1) ORDER BY id DESC LIMIT 1) "
                             "FROM (SELECT COUNT(*) AS c, SUM(shuliang) AS s FROM jinhuo WHERE code = ?) a "
                             "LEFT JOIN (SELECT shou, huiyuanjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC "
                             "LIMIT 1) l ON 1 = 1"));
    if (!day.isValid())
        day = QDate::currentDate();
    for (const QVariant &v :
         {QVariant(code), QVariant(day), QVariant(day), QVariant(member ? 1 : 0), QVariant(code), QVariant(code)})
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return failureOf(q);
    auto money = [](const QVariant &v) { return Schema::fromStorage(Schema::ColumnKind::Money, v).value<Money>(); };
    Purchases p;
    p.rows = q.value(0).toLongLong();
    p.totalQuantity = q.value(1).toLongLong();
    p.lastPrice = money(q.value(2));
    if (member && !q.value(3).isNull())
        if (const Money price = money(q.value(3)); price < p.lastPrice)
            p.memberPrice = price;
    if (!q.value(4).isNull())
        p.special = money(q.value(4));
    return p;
}

Result<bool> GoodsCatalogue::exists(const char *sql, const QString &code) const
{
    QSqlQuery q(m_db);
    q.prepare(QString::fromLatin1(sql));
    q.addBindValue(code);
    if (!q.exec() || !q.next())
        return failureOf(q);
    return q.value(0).toBool();
}

Result<bool> GoodsCatalogue::isPurchased(const QString &code) const
{
    return exists("SELECT EXISTS (SELECT 1 FROM jinhuo WHERE code = ?)", code);
}

Result<bool> GoodsCatalogue::isSold(const QString &code) const
{
    return exists("SELECT EXISTS (SELECT 1 FROM xiaoshou WHERE code = ?)", code);
}

Result<GoodsCatalogue::Lookup> GoodsCatalogue::lookup(const QString &code, bool member) const
{
    Result<Lookup> found = lookupOnce(code, member);
    if (found)
        return found;
    QString lost;
    switch (m_shop.recover(&lost)) {
    case Shop::Recovery::NotLost:
        return found;
    case Shop::Recovery::Lost:
        return Error{Database::connectionLost(lost)};
    case Shop::Recovery::Reconnected:
        return lookupOnce(code, member);
    }
    return found;
}

Result<GoodsCatalogue::Lookup> GoodsCatalogue::lookupOnce(const QString &code, bool member) const
{
    Lookup found;
    const auto empty = isEmpty();
    if (!empty)
        return empty.error();
    if (*empty) {
        found.outcome = Lookup::NoCatalogue;
        return found;
    }
    if (code.isEmpty()) {
        found.outcome = Lookup::NoCode;
        return found;
    }
    const auto name = nameOf(code);
    if (!name)
        return name.error();
    if (!*name) {
        found.outcome = Lookup::UnknownCode;
        return found;
    }
    found.named = true;
    found.name = **name;
    const auto purchases = purchasesOf(code, QDate(), member);
    if (!purchases)
        return purchases.error();
    found.purchases = *purchases;
    found.outcome = purchases->rows == 0 ? Lookup::NotPurchased : Lookup::Found;
    return found;
}
