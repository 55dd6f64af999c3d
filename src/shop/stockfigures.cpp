#include "shop/stockfigures.h"

#include "shop/codefacts.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/serverrows.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace {
Money moneyOf(const QVariant &stored)
{
    return Schema::fromStorage(Schema::ColumnKind::Money, stored).value<Money>();
}
void addRow(StockFigures &f, StockFigures::Row &&r, qint64 soldQuantity, Money soldAmount)
{
    r.soldQuantity = soldQuantity;
    r.soldAmount = soldAmount.roundedToCents();
    r.stock = r.purchased - r.soldQuantity;
    r.value = r.price.times(r.stock).value_or(Money()).roundedToCents();
    f.totalSold += r.soldQuantity;
    f.totalSoldAmount = f.totalSoldAmount.plus(r.soldAmount).value_or(f.totalSoldAmount);
    f.totalPurchased += r.purchased;
    f.totalStock += r.stock;
    f.totalValue = f.totalValue.plus(r.value).value_or(f.totalValue);
    f.rows.append(std::move(r));
}

// Every figure from the kept facts of the file: no statement of its own.
CodeFacts::Outcome computeOnFile(StockFigures &f, QSqlDatabase db)
{
    using namespace CodeFacts;
    return withFacts(
        db, true,
        [&](sqlite3 *, const Facts &facts) {
            if (facts.purchasesUnusual || facts.salesUnusual)
                return Outcome::Unusual;
            f.rows.reserve(facts.purchased.size());
            for (const Kept *p : facts.purchased) {
                const Goods &g = p->second;
                StockFigures::Row r;
                r.code = QString::fromUtf8(p->first.data(), qsizetype(p->first.size()));
                r.purchased = g.purchased;
                r.name = g.name;
                r.price = g.lastPrice.roundedToCents();
                addRow(f, std::move(r), g.soldQuantity, Money::fromUnits(g.soldUnits));
            }
            return Outcome::Done;
        },
        &f.error);
}

// On the server every figure is kept per code (ServerFacts): one row each,
// in the order codes were first purchased, read through libpq itself. False, with no error, when a line
// without a code asks for the statements over the lines.
bool computeOnServer(StockFigures &f, const QSqlDatabase &db)
{
    if (!ServerFacts::coverAllCodes(db, &f.error))
        return false;
    const ServerRows kept(db, "SELECT code, jinhuo_shuliang, name, jinjia, xiaoshou_shuliang, "
                              "CAST(xiaoshou_jine AS bigint) FROM huizong WHERE jinhuo_first IS NOT NULL "
                              "ORDER BY jinhuo_first");
    if (!kept.ok()) {
        f.error = kept.error();
        return false;
    }
    f.rows.reserve(kept.size());
    for (int i = 0; i < kept.size(); ++i) {
        StockFigures::Row r;
        r.code = kept.string(i, 0);
        r.purchased = kept.integer(i, 1);
        r.name = kept.string(i, 2);
        r.price = Money::fromUnits(kept.integer(i, 3)).roundedToCents();
        addRow(f, std::move(r), kept.integer(i, 4), Money::fromUnits(kept.integer(i, 5)));
    }
    f.ok = true;
    return true;
}

} // namespace

StockFigures StockFigures::compute(const Shop &shop)
{
    const QSqlDatabase db = shop.connection();
    StockFigures f;
    if (!onServer(db)) {
        if (CodeFacts::settled(computeOnFile(f, db), f))
            return f;
    }
    if (onServer(db)) {
        if (computeOnServer(f, db) || !f.error.isEmpty())
            return f;
    }
    // Sales per code in one pass over the covering index (code, shuliang, jine).
    struct Sold
    {
        qint64 quantity = 0;
        Money amount;
    };
    QHash<QString, Sold> sold;
    QSqlQuery s(db);
    readOnce(s, db);
    // Amounts are added as the program reads each one (Schema::sumUnitsSql).
    if (!s.exec(QStringLiteral("SELECT code, SUM(shuliang), %1 FROM xiaoshou%2 GROUP BY code")
                    .arg(Schema::sumUnitsSql(db, QStringLiteral("jine")),
                         Schema::indexedBy(db, QStringLiteral("xiaoshou_code_totals"))))) {
        f.error = problemText(s.lastError());
        return f;
    }
    while (s.next())
        sold.insert(s.value(0).toString(), {s.value(1).toLongLong(), moneyOf(s.value(2))});
    s.finish();

    // Purchases per code, in the order codes first occur, with the price of
    // the last purchase of each (the row with the highest rowid of the code).
    QSqlQuery p(db);
    readOnce(p, db);
    if (!p.exec(QStringLiteral("SELECT g.code, g.quantity, "
                               "(SELECT name FROM name WHERE name.code = g.code ORDER BY name.rowid LIMIT 1), "
                               "(SELECT jinjia FROM jinhuo WHERE jinhuo.rowid = g.last) "
                               "FROM (SELECT code, SUM(shuliang) AS quantity, MIN(rowid) AS first, MAX(rowid) AS last "
                               "      FROM jinhuo%1 GROUP BY code) AS g "
                               "ORDER BY g.first")
                    .arg(Schema::indexedBy(db, QStringLiteral("jinhuo_code_totals"))))) {
        f.error = problemText(p.lastError());
        return f;
    }
    while (p.next()) {
        Row r;
        r.code = p.value(0).toString();
        r.purchased = p.value(1).toLongLong();
        r.name = p.value(2).toString();
        r.price = moneyOf(p.value(3)).roundedToCents();
        const Sold out = sold.value(r.code);
        addRow(f, std::move(r), out.quantity, out.amount);
    }
    f.ok = true;
    return f;
}

QStringList StockFigures::captions()
{
    return {QStringLiteral("货号"),     QStringLiteral("货名"),     QStringLiteral("销售数量"),
            QStringLiteral("销售金额"), QStringLiteral("进货总数"), QStringLiteral("库存数量"),
            QStringLiteral("进货价格"), QStringLiteral("库存金额")};
}

QString StockFigures::text(const Row &row, int column)
{
    switch (column) {
    case 0:
        return row.code;
    case 1:
        return row.name;
    case 2:
        return QString::number(row.soldQuantity);
    case 3:
        return row.soldAmount.toCurrency();
    case 4:
        return QString::number(row.purchased);
    case 5:
        return QString::number(row.stock);
    case 6:
        return row.price.toCurrency();
    case 7:
        return row.value.toCurrency();
    default:
        return QString();
    }
}
