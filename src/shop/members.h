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
std::optional<QList<Member>> list(const Shop &shop, const QString &filter, int most, QString *error);
// The member of a card with its points; an empty inner optional when no
// member has that card.
std::optional<std::optional<Member>> find(const Shop &shop, const QString &card, QString *error);
// Adds a member (`adding`: its card must be new) or changes the one of its card.
bool store(const Shop &shop, const Member &member, bool adding, QString *error);
// Takes a member off the list; the tickets stay as they were sold.
bool remove(const Shop &shop, const QString &card, QString *error);
// A CSV file of 卡号, 姓名, 电话 and optionally 入会日期 (today when empty),
// with or without a heading row, stored whole or not at all: a card already
// a member's, or twice in the file, refuses the file. The number added, or
// nothing with the first problem (line and reason).
std::optional<int> importCsv(const Shop &shop, const QString &path, QDate today, QString *error);

} // namespace Members
