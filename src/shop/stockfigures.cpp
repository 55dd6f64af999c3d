#include "shop/stockfigures.h"
#include "shop/columns.h"

#include "shop/adjustments.h"
#include "shop/codefacts.h"
#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/serverrows.h"

#include <QHash>
#include <QSet>

#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace {
Money moneyOf(const QVariant &stored)
{
    return Schema::fromStorage(Schema::ColumnKind::Money, stored).value<Money>();
}
void addRow(StockFigures &f, StockFigures::Row &&r, qint64 soldQuantity, Money soldAmount, qint64 adjusted)
{
    r.soldQuantity = soldQuantity;
    r.soldAmount = soldAmount.roundedToCents();
    r.adjusted = adjusted;
    r.stock = r.purchased - r.soldQuantity + r.adjusted;
    f.totalAdjusted += r.adjusted;
    r.value = r.price.times(r.stock).value_or(Money()).roundedToCents();
    f.totalSold += r.soldQuantity;
    f.totalSoldAmount = f.totalSoldAmount.plus(r.soldAmount).value_or(f.totalSoldAmount);
    f.totalPurchased += r.purchased;
    f.totalStock += r.stock;
    f.totalValue = f.totalValue.plus(r.value).value_or(f.totalValue);
    f.rows.append(std::move(r));
}

// Codes counted or written off that were never purchased, after the others,
// with what they sold (`soldOf` the units and the amount of a code).
struct Sold
{
    qint64 quantity = 0;
    Money amount;
    bool ok = true;
};
bool addUnbought(StockFigures &f, const QSqlDatabase &db, const Adjustments::Totals &adjusted,
                 const std::function<Sold(const QString &)> &soldOf)
{
    f.hasAdjustments = adjusted.any();
    if (!adjusted.any())
        return true;
    QSet<QString> listed;
    for (const StockFigures::Row &r : std::as_const(f.rows))
        listed.insert(r.code);
    QSqlQuery name(db);
    name.prepare(QStringLiteral("SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1"));
    for (const QString &code : adjusted.codes) {
        if (listed.contains(code))
            continue;
        name.addBindValue(code);
        const Sold sold = soldOf(code);
        if (!sold.ok || !name.exec()) {
            if (f.error.isEmpty())
                f.error = problemText(name.lastError());
            return false;
        }
        StockFigures::Row r;
        r.code = code;
        if (name.next())
            r.name = name.value(0).toString();
        name.finish();
        addRow(f, std::move(r), sold.quantity, sold.amount, adjusted.perCode.value(code));
    }
    return true;
}

// Every figure from the kept facts of the file, the adjustments among them:
// no statement of its own.
CodeFacts::Outcome computeOnFile(StockFigures &f, QSqlDatabase db)
{
    using namespace CodeFacts;
    return withFacts(
        db, true,
        [&](sqlite3 *, const Facts &facts) {
            if (facts.purchasesUnusual || facts.salesUnusual)
                return Outcome::Unusual;
            f.rows.reserve(qsizetype(facts.purchased.size() + facts.adjustedOnly.size()));
            const auto add = [&f](const Kept *kept) {
                const Goods &g = kept->second;
                StockFigures::Row r;
                r.code = QString::fromUtf8(kept->first.data(), qsizetype(kept->first.size()));
                r.purchased = g.purchased;
                r.name = g.name;
                r.price = g.lastPrice.roundedToCents();
                r.maker = g.lastMaker;
                addRow(f, std::move(r), g.soldQuantity, Money::fromUnits(g.soldUnits), g.adjusted);
                f.hasAdjustments = f.hasAdjustments || g.adjusted != 0;
            };
            for (const Kept *p : facts.purchased)
                add(p);
            for (const Kept *a : facts.adjustedOnly)
                add(a);
            f.hasAdjustments = f.hasAdjustments || !facts.adjustedOnly.empty();
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
    const auto adjusted = Adjustments::read(db);
    f.error = adjusted.errorText();
    if (!adjusted)
        return false;
    const ServerRows kept(db, "SELECT code, jinhuo_shuliang, name, jinjia, xiaoshou_shuliang, "
                              "CAST(xiaoshou_jine AS bigint), changjia FROM huizong WHERE jinhuo_first IS NOT NULL "
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
        r.maker = kept.string(i, 6);
        addRow(f, std::move(r), kept.integer(i, 4), Money::fromUnits(kept.integer(i, 5)),
               adjusted->perCode.value(r.code));
    }
    QSqlQuery sold(db);
    sold.prepare(QStringLiteral("SELECT xiaoshou_shuliang, CAST(xiaoshou_jine AS bigint) FROM huizong WHERE code = ?"));
    const auto soldOf = [&](const QString &code) {
        sold.addBindValue(code);
        if (!sold.exec()) {
            f.error = problemText(sold.lastError());
            return Sold{0, Money(), false};
        }
        const Sold found =
            sold.next() ? Sold{sold.value(0).toLongLong(), Money::fromUnits(sold.value(1).toLongLong())} : Sold{};
        sold.finish();
        return found;
    };
    if (!addUnbought(f, db, *adjusted, soldOf))
        return false;
    f.ok = true;
    return true;
}

} // namespace

namespace {

StockFigures computeRows(const Shop &shop);

// The goods sold by weight: their quantities are grams, their price per kg.
// Their value is taken again, and the totals of pieces leave them out.
void markWeighed(const Shop &shop, StockFigures &f)
{
    if (!f.ok)
        return;
    const auto weighed = ScaleGoods::weighed(shop);
    if (!weighed) {
        f.ok = false;
        f.error = weighed.errorText();
        return;
    }
    for (StockFigures::Row &r : f.rows) {
        if (!weighed->contains(r.code))
            continue;
        r.weighed = true;
        const Money value = Weighing::times(r.price, r.stock, true).value_or(Money()).roundedToCents();
        f.totalValue = f.totalValue.minus(r.value).value_or(f.totalValue).plus(value).value_or(f.totalValue);
        r.value = value;
        f.totalSold -= r.soldQuantity;
        f.totalPurchased -= r.purchased;
        f.totalStock -= r.stock;
        f.totalAdjusted -= r.adjusted;
    }
}

} // namespace

StockFigures StockFigures::compute(const Shop &shop)
{
    StockFigures f = computeRows(shop);
    markWeighed(shop, f);
    return f;
}

namespace {

StockFigures computeRows(const Shop &shop)
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
    const auto adjusted = Adjustments::read(db);
    f.error = adjusted.errorText();
    if (!adjusted)
        return f;
    // Sales per code in one pass over the covering index (code, shuliang, jine).
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
        sold.insert(s.value(0).toString(), {s.value(1).toLongLong(), moneyOf(s.value(2)), true});
    s.finish();

    // Purchases per code, in the order codes first occur, with the price of
    // the last purchase of each (the row with the highest rowid of the code).
    QSqlQuery p(db);
    readOnce(p, db);
    if (!p.exec(QStringLiteral("SELECT g.code, g.quantity, "
                               "(SELECT name FROM name WHERE name.code = g.code ORDER BY name.rowid LIMIT 1), "
                               "(SELECT jinjia FROM jinhuo WHERE jinhuo.rowid = g.last), "
                               "(SELECT changjia FROM jinhuo WHERE jinhuo.rowid = g.last) "
                               "FROM (SELECT code, SUM(shuliang) AS quantity, MIN(rowid) AS first, MAX(rowid) AS last "
                               "      FROM jinhuo%1 GROUP BY code) AS g "
                               "ORDER BY g.first")
                    .arg(Schema::indexedBy(db, QStringLiteral("jinhuo_code_totals"))))) {
        f.error = problemText(p.lastError());
        return f;
    }
    while (p.next()) {
        StockFigures::Row r;
        r.code = p.value(0).toString();
        r.purchased = p.value(1).toLongLong();
        r.name = p.value(2).toString();
        r.price = moneyOf(p.value(3)).roundedToCents();
        r.maker = p.value(4).toString();
        const Sold out = sold.value(r.code);
        addRow(f, std::move(r), out.quantity, out.amount, adjusted->perCode.value(r.code));
    }
    p.finish();
    f.ok = addUnbought(f, db, *adjusted, [&sold](const QString &code) { return sold.value(code); });
    return f;
}

} // namespace

namespace {

using StockRow = StockFigures::Row;
// The last column, the counts' and write-offs' adjustments, is shown only
// where there are any.
const std::array<Column<StockRow>, StockFigures::AdjustedColumn + 1> StockColumns{{
    {u"货号", [](const StockRow &r) { return r.code; }},
    {u"货名", [](const StockRow &r) { return r.name; }},
    {u"销售数量", [](const StockRow &r) { return Weighing::quantityText(r.soldQuantity, r.weighed); }},
    {u"销售金额", [](const StockRow &r) { return r.soldAmount.toCurrency(); }},
    {u"进货总数", [](const StockRow &r) { return Weighing::quantityText(r.purchased, r.weighed); }},
    {u"库存数量", [](const StockRow &r) { return Weighing::quantityText(r.stock, r.weighed); }},
    {u"进货价格",
     [](const StockRow &r) { return r.weighed ? r.price.toCurrency() + QStringLiteral("/kg") : r.price.toCurrency(); }},
    {u"库存金额", [](const StockRow &r) { return r.value.toCurrency(); }},
    {u"盘点报损", [](const StockRow &r) { return Weighing::quantityText(r.adjusted, r.weighed); }},
}};

} // namespace

QStringList StockFigures::captions(bool withAdjustments)
{
    QStringList all = captionsOf(StockColumns);
    if (!withAdjustments)
        all.removeLast();
    return all;
}

QString StockFigures::text(const Row &row, int column)
{
    return textOf(StockColumns, row, column);
}
