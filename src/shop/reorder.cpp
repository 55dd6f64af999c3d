#include "shop/reorder.h"
#include "shop/columns.h"

#include "shop/adjustments.h"
#include "shop/codefacts.h"
#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/transaction.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace MinimumStock {

Result<std::optional<qint64>> of(const Shop &shop, const QString &code)
{
    return shop.again([&]() -> Result<std::optional<qint64>> {
        const QSqlDatabase db = shop.connection();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT shuliang FROM zuidi WHERE code = ? ORDER BY rowid DESC LIMIT 1"));
        q.addBindValue(code);
        if (!q.exec())
            return failureOf(q);
        if (!q.next() || q.value(0).isNull())
            return std::optional<qint64>();
        return std::optional<qint64>(q.value(0).toLongLong());
    });
}

Done set(const Shop &shop, const QString &code, std::optional<qint64> minimum)
{
    const QSqlDatabase db = shop.connection();
    Transaction tx(shop);
    QSqlQuery q(db);
    if (!tx.isActive())
        return Error{tx.lastError()};
    q.prepare(QStringLiteral("DELETE FROM zuidi WHERE code = ?"));
    q.addBindValue(code);
    bool ok = q.exec();
    if (ok && minimum) {
        q.prepare(QStringLiteral("INSERT INTO zuidi (code, shuliang) VALUES (?, ?)"));
        q.addBindValue(code);
        q.addBindValue(qlonglong(*minimum));
        ok = q.exec();
    }
    if (!ok)
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

} // namespace MinimumStock

namespace {

void sortByMaker(QList<ReorderFigures::Row> &rows)
{
    std::sort(rows.begin(), rows.end(), [](const ReorderFigures::Row &a, const ReorderFigures::Row &b) {
        return a.maker != b.maker ? a.maker < b.maker : a.code < b.code;
    });
}

} // namespace

namespace {

using ReorderRow = ReorderFigures::Row;
const std::array<Column<ReorderRow>, 6> ReorderColumns{{
    {u"厂家", [](const ReorderRow &r) { return r.maker; }},
    {u"货号", [](const ReorderRow &r) { return r.code; }},
    {u"货名", [](const ReorderRow &r) { return r.name; }},
    {u"库存", [](const ReorderRow &r) { return Weighing::quantityText(r.stock, r.weighed); }},
    {u"最低库存", [](const ReorderRow &r) { return Weighing::quantityText(r.minimum, r.weighed); }},
    {u"近30天销量", [](const ReorderRow &r) { return Weighing::quantityText(r.soldRecently, r.weighed); }},
}};

} // namespace

QStringList ReorderFigures::captions()
{
    return captionsOf(ReorderColumns);
}

QString ReorderFigures::text(const Row &row, int column)
{
    return textOf(ReorderColumns, row, column);
}

ReorderFigures ReorderFigures::compute(const Shop &shop, QDate today)
{
    ReorderFigures f = computeRows(shop, today);
    if (f.ok) {
        if (const Done marked = ScaleGoods::markWeighed(shop, f.rows); !marked) {
            f.ok = false;
            f.error = marked.errorText();
        }
    }
    return f;
}

namespace {

// The goods with a minimum, and what each sold lately.
struct Minimums
{
    QHash<QString, qint64> minimum; // the last written for a code counts
    QStringList codes;              // in the order first given one
    QHash<QString, qint64> recent;  // sold in the last days
};

Result<Minimums> readMinimums(const QSqlDatabase &db, QDate since)
{
    Minimums m;
    QSqlQuery q(db);
    readOnce(q, db);
    if (!q.exec(QStringLiteral("SELECT code, shuliang FROM zuidi WHERE shuliang IS NOT NULL ORDER BY rowid")))
        return failureOf(q);
    while (q.next()) {
        const QString code = q.value(0).toString();
        if (!m.minimum.contains(code))
            m.codes.append(code);
        m.minimum.insert(code, q.value(1).toLongLong());
    }
    q.finish();
    // From the range of the sale-time index.
    readOnce(q, db);
    q.prepare(QStringLiteral("SELECT code, SUM(shuliang) FROM xiaoshou%1 WHERE dt >= ? GROUP BY code")
                  .arg(Schema::indexedBy(db, QStringLiteral("xiaoshou_dt_totals"))));
    q.addBindValue(Schema::toStorage(Schema::ColumnKind::Date, since));
    if (!q.exec())
        return failureOf(q);
    while (q.next())
        m.recent.insert(q.value(0).toString(), q.value(1).toLongLong());
    return m;
}

// A code at or below its minimum goes on the list.
void listIfLow(ReorderFigures &f, const Minimums &m, const QString &code, qint64 stock, const QString &name,
               const QString &maker)
{
    if (stock <= m.minimum.value(code))
        f.rows.append({maker, code, name, stock, m.minimum.value(code), m.recent.value(code)});
}

// On the file: the stock, name and last maker from the kept facts.
CodeFacts::Outcome fromFacts(const QSqlDatabase &db, const Minimums &m, ReorderFigures &f)
{
    using namespace CodeFacts;
    return withFacts(
        db, true,
        [&](sqlite3 *, const Facts &facts) {
            if (facts.purchasesUnusual || facts.salesUnusual)
                return Outcome::Unusual;
            const Goods none;
            for (const QString &code : m.codes) {
                const Goods *goods = facts.find(code.toStdString());
                if (!goods)
                    goods = &none;
                listIfLow(f, m, code, goods->purchased - goods->soldQuantity + goods->adjusted, goods->name,
                          goods->lastMaker);
            }
            return Outcome::Done;
        },
        &f.error);
}

// Many minimums: every code's stock, name and last maker in one statement
// (on the server from the kept figures of each code).
Done fromOneStatement(const QSqlDatabase &db, const Minimums &m, const Adjustments::Totals &adjusted, ReorderFigures &f)
{
    QSqlQuery q(db);
    readOnce(q, db);
    const QString kept = QStringLiteral(
        "SELECT z.code, COALESCE(h.jinhuo_shuliang, 0) - COALESCE(h.xiaoshou_shuliang, 0), h.name, h.changjia "
        "FROM (SELECT DISTINCT code FROM zuidi WHERE shuliang IS NOT NULL) AS z "
        "LEFT JOIN huizong h ON h.code = z.code");
    const QString walked = QStringLiteral(
        "SELECT z.code, COALESCE(p.quantity, 0) - COALESCE(s.quantity, 0), "
        "(SELECT name FROM name WHERE name.code = z.code ORDER BY name.rowid LIMIT 1), "
        "(SELECT changjia FROM jinhuo WHERE jinhuo.rowid = p.last) "
        "FROM (SELECT DISTINCT code FROM zuidi WHERE shuliang IS NOT NULL) AS z "
        "LEFT JOIN (SELECT code, SUM(shuliang) AS quantity, MAX(rowid) AS last FROM jinhuo GROUP BY code) AS p "
        "ON p.code = z.code "
        "LEFT JOIN (SELECT code, SUM(shuliang) AS quantity FROM xiaoshou GROUP BY code) AS s "
        "ON s.code = z.code");
    if (!q.exec(onServer(db) ? kept : walked))
        return failureOf(q);
    struct Known
    {
        qint64 stock;
        QString name, maker;
    };
    QHash<QString, Known> known;
    while (q.next())
        known.insert(q.value(0).toString(), {q.value(1).toLongLong(), q.value(2).toString(), q.value(3).toString()});
    q.finish();
    for (const QString &code : m.codes) {
        const Known k = known.value(code);
        listIfLow(f, m, code, k.stock + adjusted.perCode.value(code), k.name, k.maker);
    }
    return {};
}

// A few minimums: each code from an index, which reads far less.
Done fromEachCode(const QSqlDatabase &db, const Minimums &m, const Adjustments::Totals &adjusted, ReorderFigures &f)
{
    QSqlQuery one(db);
    one.prepare(QStringLiteral("SELECT (SELECT COALESCE(SUM(shuliang), 0) FROM jinhuo WHERE code = ?) - "
                               "(SELECT COALESCE(SUM(shuliang), 0) FROM xiaoshou WHERE code = ?), "
                               "(SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1), "
                               "(SELECT changjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC LIMIT 1)"));
    for (const QString &code : m.codes) {
        for (int i = 0; i < 4; ++i)
            one.addBindValue(code);
        if (!one.exec() || !one.next())
            return failureOf(one);
        listIfLow(f, m, code, one.value(0).toLongLong() + adjusted.perCode.value(code), one.value(1).toString(),
                  one.value(2).toString());
        one.finish();
    }
    return {};
}

} // namespace

ReorderFigures ReorderFigures::computeRows(const Shop &shop, QDate today)
{
    const QSqlDatabase db = shop.connection();
    ReorderFigures f;
    auto failed = [&f](const Error &why) {
        f = ReorderFigures();
        f.ok = false;
        f.error = why.text();
        return f;
    };
    const auto wanted = readMinimums(db, today.addDays(-RecentDays + 1));
    if (!wanted)
        return failed(wanted.error());
    if (!onServer(db) && CodeFacts::settled(fromFacts(db, *wanted, f), f)) {
        if (f.ok)
            sortByMaker(f.rows);
        return f;
    }
    const auto adjusted = Adjustments::read(db);
    if (!adjusted)
        return failed(adjusted.error());
    const Done listed = wanted->codes.size() > ManyMinimums ? fromOneStatement(db, *wanted, *adjusted, f)
                                                            : fromEachCode(db, *wanted, *adjusted, f);
    if (!listed)
        return failed(listed.error());
    sortByMaker(f.rows);
    return f;
}
