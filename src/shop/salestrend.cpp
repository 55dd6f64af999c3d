#include "shop/salestrend.h"

#include "shop/codefacts.h"
#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <QScopeGuard>

#include <algorithm>

#include <sqlite3.h>

namespace {

// A row's price per thousand of its quantity: per 1000 pieces, or per kg.
qint64 perThousand(const SalesFigures::Row &r)
{
    return r.weighed ? r.price.units() : r.price.units() * 1000;
}

// The range's lines through SQLite's own interface into the buckets' sales and
// costs; false when a line is not one the fast reading takes (or on an error,
// which the statement then reports).
bool addUpOnFile(const QSqlDatabase &db, QDate first, QDate last, const SalesFigures &grid,
                 const std::function<qsizetype(std::string_view)> &bucketOfDay, QList<std::pair<qint64, qint64>> &units)
{
    sqlite3 *handle = fileHandleOf(db);
    sqlite3_stmt *stmt = nullptr;
    if (!handle || sqlite3_prepare_v2(handle,
                                      "SELECT rowid, code, shuliang, jine, dt FROM xiaoshou INDEXED BY "
                                      "xiaoshou_dt_totals WHERE dt > ? AND dt < ?",
                                      -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    const auto finalize = qScopeGuard([stmt] { sqlite3_finalize(stmt); });
    const QByteArray from = first.toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
    const QByteArray to = last.addDays(1).toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
    sqlite3_bind_text(stmt, 1, from.constData(), int(from.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, to.constData(), int(to.size()), SQLITE_STATIC);
    CodeFacts::CodeMap<qint64> price;
    for (const SalesFigures::Row &r : grid.rows)
        price.try_emplace(r.code.toStdString(), perThousand(r));
    CodeFacts::Line line;
    std::string lastDay;
    qsizetype bucket = -1;
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!CodeFacts::lineOf(stmt, &line))
            return false;
        const auto *dt = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 4));
        const std::string_view day(dt ? dt : "", std::min(10, sqlite3_column_bytes(stmt, 4)));
        // Lines come in time order: the bucket changes rarely.
        if (day != lastDay) {
            lastDay.assign(day);
            bucket = bucketOfDay(day);
        }
        if (bucket < 0)
            continue;
        const auto known = price.find(line.code);
        if (line.counted)
            units[bucket].first += line.amountUnits;
        units[bucket].second += line.quantity * (known == price.end() ? 0 : known->second);
    }
    return step == SQLITE_DONE;
}

// The same through Qt's driver, on the server and for what the fast reading
// does not take.
bool addUpByStatement(const QSqlDatabase &db, QDate first, QDate last, const QHash<QString, qint64> &price,
                      const std::function<qsizetype(std::string_view)> &bucketOfDay,
                      QList<std::pair<qint64, qint64>> &units, QString *error)
{
    // One pass over the range of the covering sale-time index, the grid's range.
    QSqlQuery q(db);
    readOnce(q, db);
    q.prepare(QStringLiteral("SELECT dt, code, shuliang, %1 FROM xiaoshou%2 WHERE dt > ? AND dt < ?")
                  .arg(onServer(db) ? QStringLiteral("jine") : Schema::moneyUnitsSql(QStringLiteral("jine")),
                       Schema::indexedBy(db, QStringLiteral("xiaoshou_dt_totals"))));
    q.addBindValue(first.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    q.addBindValue(last.addDays(1).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    if (!q.exec()) {
        *error = problemText(q.lastError());
        return false;
    }
    QString lastText;
    qsizetype bucket = -1;
    while (q.next()) {
        // Lines come in time order: the bucket changes rarely.
        const QString dt = q.value(0).toString().left(10);
        if (dt != lastText) {
            lastText = dt;
            const QByteArray text = dt.toUtf8();
            bucket = bucketOfDay(std::string_view(text.constData(), size_t(text.size())));
        }
        if (bucket < 0)
            continue;
        units[bucket].first += q.value(3).toLongLong();
        units[bucket].second += q.value(2).toLongLong() * price.value(q.value(1).toString());
    }
    return true;
}

} // namespace

SalesTrend::Step SalesTrend::stepFor(QDate first, QDate last)
{
    const qint64 days = first.daysTo(last) + 1;
    return days <= 62 ? Step::Day : days <= 366 ? Step::Week : Step::Month;
}

QDate SalesTrend::bucketOf(QDate day, Step step)
{
    switch (step) {
    case Step::Day:
        return day;
    case Step::Week:
        return day.addDays(1 - day.dayOfWeek());
    case Step::Month:
        return QDate(day.year(), day.month(), 1);
    }
    return day;
}

QString SalesTrend::label(const Bucket &bucket) const
{
    switch (step) {
    case Step::Day:
        return bucket.start.toString(QStringLiteral("MM-dd"));
    case Step::Week:
        return bucket.start.toString(QStringLiteral("MM-dd")) + QStringLiteral("周");
    case Step::Month:
        return bucket.start.toString(QStringLiteral("yyyy-MM"));
    }
    return QString();
}

SalesTrend SalesTrend::compute(const Shop &shop, QDate first, QDate last, const SalesFigures &grid)
{
    const QSqlDatabase db = shop.connection();
    SalesTrend t;
    t.step = stepFor(first, last);
    QHash<QDate, qsizetype> at;
    for (QDate d = bucketOf(first, t.step); d <= last; d = t.step == Step::Day    ? d.addDays(1)
                                                           : t.step == Step::Week ? d.addDays(7)
                                                                                  : d.addMonths(1)) {
        at.insert(d, t.buckets.size());
        t.buckets.append({d, Money(), Money()});
    }
    QHash<QString, qint64> price;
    for (const SalesFigures::Row &r : grid.rows)
        price.insert(r.code, perThousand(r));

    // sales; cost in thousandths (a weighed goods' quantity is grams, its price per kg)
    QList<std::pair<qint64, qint64>> units(t.buckets.size());
    auto bucketOfDay = [&](std::string_view text) -> qsizetype {
        const QDate day =
            QDate::fromString(QString::fromUtf8(text.data(), qsizetype(text.size())), QStringLiteral("yyyy-MM-dd"));
        return day.isValid() ? at.value(bucketOf(day, t.step), -1) : -1;
    };
    if (grid.hasDays && grid.first == first && grid.last == last) {
        // The grid's own pass gave the days.
        for (const SalesFigures::Day &d : grid.days) {
            const qsizetype bucket = d.day.isValid() ? at.value(bucketOf(d.day, t.step), -1) : -1;
            if (bucket < 0)
                continue;
            units[bucket].first += d.salesUnits;
            units[bucket].second += d.costUnits * 1000;
        }
    } else if (onServer(db) || !addUpOnFile(db, first, last, grid, bucketOfDay, units)) {
        units.fill({0, 0});
        if (!addUpByStatement(db, first, last, price, bucketOfDay, units, &t.error)) {
            t.ok = false;
            return t;
        }
    }
    for (qsizetype i = 0; i < t.buckets.size(); ++i) {
        t.buckets[i].sales = Money::fromUnits(units[i].first);
        t.buckets[i].profit = Money::fromUnits(units[i].first - units[i].second / 1000);
    }
    t.best = grid.rows;
    std::stable_sort(t.best.begin(), t.best.end(),
                     [](const SalesFigures::Row &a, const SalesFigures::Row &b) { return a.amount > b.amount; });
    if (t.best.size() > 10)
        t.best.resize(10);
    return t;
}
