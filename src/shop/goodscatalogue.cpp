#include "shop/goodscatalogue.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"

#include <QSqlError>
#include <QSqlQuery>

GoodsCatalogue::GoodsCatalogue(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()) { }

std::optional<bool> GoodsCatalogue::isEmpty() const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name)")) || !q.next()) {
        m_error = problemText(q.lastError());
        return std::nullopt;
    }
    return !q.value(0).toBool();
}

std::optional<std::optional<QString>> GoodsCatalogue::nameOf(const QString &code) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1"));
    q.addBindValue(code);
    if (!q.exec()) {
        m_error = problemText(q.lastError());
        return std::nullopt;
    }
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

std::optional<GoodsCatalogue::Purchases> GoodsCatalogue::purchasesOf(const QString &code, QDate day, bool member) const
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
    if (!q.exec() || !q.next()) {
        m_error = problemText(q.lastError());
        return std::nullopt;
    }
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

std::optional<bool> GoodsCatalogue::exists(const char *sql, const QString &code) const
{
    QSqlQuery q(m_db);
    q.prepare(QString::fromLatin1(sql));
    q.addBindValue(code);
    if (!q.exec() || !q.next()) {
        m_error = problemText(q.lastError());
        return std::nullopt;
    }
    return q.value(0).toBool();
}

std::optional<bool> GoodsCatalogue::isPurchased(const QString &code) const
{
    return exists("SELECT EXISTS (SELECT 1 FROM jinhuo WHERE code = ?)", code);
}

std::optional<bool> GoodsCatalogue::isSold(const QString &code) const
{
    return exists("SELECT EXISTS (SELECT 1 FROM xiaoshou WHERE code = ?)", code);
}

GoodsCatalogue::Lookup GoodsCatalogue::lookup(const QString &code, bool member) const
{
    Lookup found = lookupOnce(code, member);
    if (found.outcome != Lookup::Failed)
        return found;
    // A server connection lost (a restart, a cable) is opened again and the
    // lookup asked once more; a server still away is reported in plain words.
    QString lost;
    switch (m_shop.recover(&lost)) {
    case Shop::Recovery::NotLost:
        return found;
    case Shop::Recovery::Lost:
        m_error = Database::connectionLost(lost);
        return found;
    case Shop::Recovery::Reconnected:
        return lookupOnce(code, member);
    }
    return found;
}

GoodsCatalogue::Lookup GoodsCatalogue::lookupOnce(const QString &code, bool member) const
{
    Lookup found;
    const auto empty = isEmpty();
    if (!empty)
        return found;
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
        return found;
    if (!*name) {
        found.outcome = Lookup::UnknownCode;
        return found;
    }
    found.named = true;
    found.name = **name;
    const auto purchases = purchasesOf(code, QDate(), member);
    if (!purchases)
        return found;
    found.purchases = *purchases;
    found.outcome = purchases->rows == 0 ? Lookup::NotPurchased : Lookup::Found;
    return found;
}
