#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// 会员: the shop's members by card code (huiyuan), and the tickets they were
// the members of (huiyuan_piao). A member's points are never stored as a
// figure of their own: each of the member's tickets gives one per whole yuan
// of what is still kept of its goods, so a return of that ticket's goods
// takes back its points, and buying and returning never makes any.
struct Member
{
    QString card;
    QString name;
    QString phone;
    QDate joined;
    qint64 points = 0; // as read, from the member's tickets

    // What is wrong with it, in the keeper's words; empty when it can be stored.
    QString problem() const;
};

namespace Members {

// The points a ticket of `amount` (its sale lines) gives: one per whole yuan.
qint64 pointsFor(Money amount);

// The members whose card, name or phone contains `filter` (all when empty),
// by card, at most `most`, each with its points.
Result<QList<Member>> list(const Shop &shop, const QString &filter, int most);
// The member of a card with its points; nothing when no member has that card.
Result<std::optional<Member>> find(const Shop &shop, const QString &card);
// Adds a member (`adding`: its card must be new) or changes the one of its card.
Done store(const Shop &shop, const Member &member, bool adding);
// Takes a member off the list; the tickets stay as they were sold.
Done remove(const Shop &shop, const QString &card);
// A CSV file of 卡号, 姓名, 电话 and optionally 入会日期 (today when empty),
// with or without a heading row, stored whole or not at all: a card already
// a member's, or twice in the file, refuses the file. The number added, or
// the first problem (line and reason).
Result<int> importCsv(const Shop &shop, const QString &path, QDate today);

} // namespace Members
