#include "shop/salesfigures.h"

#include "shop/engine.h"
#include "shop/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
Money moneyOf(const QVariant &stored)
{
    return Schema::fromStorage(Schema::ColumnKind::Money, stored).value<Money>();
}
} // namespace

SalesFigures SalesFigures::compute(QSqlDatabase db, QDate first, QDate last)
{
    SalesFigures f;
    // One pass over the range through the covering index on (dt, code,
    // shuliang, jine); rows in the order their codes first occur.
    QSqlQuery q(db);
    readOnce(q, db);
    // Amounts are added as the program reads each one (Schema::sumUnitsSql).
    q.prepare(
        QStringLiteral("SELECT g.code, g.quantity, g.amount, "
                       "(SELECT name FROM name WHERE name.code = g.code ORDER BY name.rowid LIMIT 1), "
                       "(SELECT jinjia FROM jinhuo WHERE jinhuo.code = g.code ORDER BY jinhuo.rowid DESC LIMIT 1) "
                       "FROM (SELECT code, SUM(shuliang) AS quantity, %1 AS amount, MIN(rowid) AS first "
                       "      FROM xiaoshou%2 WHERE dt > ? AND dt < ? GROUP BY code) AS g "
                       "ORDER BY g.first")
            .arg(Schema::sumUnitsSql(db, QStringLiteral("jine")),
                 Schema::indexedBy(db, QStringLiteral("xiaoshou_dt_totals"))));
    q.addBindValue(first.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    q.addBindValue(last.addDays(1).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    if (!q.exec()) {
        f.error = q.lastError().text();
        return f;
    }
    while (q.next()) {
        Row r;
        r.code = q.value(0).toString();
        r.quantity = q.value(1).toLongLong();
        r.amount = moneyOf(q.value(2)).roundedToCents();
        r.name = q.value(3).toString();
        r.price = moneyOf(q.value(4)).roundedToCents();
        const Money cost = r.price.times(r.quantity).value_or(Money());
        r.profit = r.amount.minus(cost).value_or(Money()).roundedToCents();
        f.totalQuantity += r.quantity;
        f.totalAmount = f.totalAmount.plus(r.amount).value_or(f.totalAmount);
        f.totalProfit = f.totalProfit.plus(r.profit).value_or(f.totalProfit);
        f.rows.append(std::move(r));
    }
    f.ok = true;
    return f;
}

QStringList SalesFigures::captions()
{
    return {QStringLiteral("货号"),     QStringLiteral("货名"),     QStringLiteral("销售数量"),
            QStringLiteral("销售金额"), QStringLiteral("进货价格"), QStringLiteral("销售毛利")};
}

QString SalesFigures::text(const Row &row, int column)
{
    switch (column) {
    case 0:
        return row.code;
    case 1:
        return row.name;
    case 2:
        return QString::number(row.quantity);
    case 3:
        return row.amount.toCurrency();
    case 4:
        return row.price.toCurrency();
    case 5:
        return row.profit.toCurrency();
    default:
        return QString();
    }
}
