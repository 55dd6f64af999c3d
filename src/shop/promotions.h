#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// 特价: a special price of one goods from its first to its last day (both
// whole days), for everyone or for members only (tejia). While it runs the
// counter takes it instead of the purchase's selling price; where two run
// for the same goods, the one added last holds.
struct Special
{
    qint64 id = 0;
    QString code;
    QString name; // from the catalogue, for the list
    Money price;
    QDate first, last;
    bool membersOnly = false;

    enum class State { Current, Coming, Ended };
    State stateOn(QDate day) const;
    bool runsOn(QDate day) const { return stateOn(day) == State::Current; }
    static QString stateText(State state);
    // What is wrong with it, in the keeper's words; empty when it can be stored.
    QString problem() const;
};

namespace Specials {

// Every special with its goods' name, the latest first.
Result<QList<Special>> list(const Shop &shop);
// Adds (id 0) or changes (by id) a special; an unknown goods code is refused.
Done store(const Shop &shop, const Special &special);
// Ends a running or coming special before today: it no longer runs today.
Done endEarly(const Shop &shop, qint64 id, QDate today);
// A CSV file of 货号, 特价, 开始日期, 结束日期 and optionally 会员 (是/1),
// with or without a heading row, stored whole or not at all; the number of
// specials added, or the first problem (line and reason).
Result<int> importCsv(const Shop &shop, const QString &path);

} // namespace Specials
