#include "shop/salestrend.h"

#include "shop/engine.h"
#include "shop/schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

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

SalesTrend SalesTrend::compute(const QSqlDatabase &db, QDate first, QDate last, const SalesFigures &grid)
{
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
        price.insert(r.code, r.price.units());

    // One pass over the range of the covering sale-time index, as the grid's.
    QSqlQuery q(db);
    readOnce(q, db);
    q.prepare(QStringLiteral("SELECT dt, code, shuliang, %1 FROM xiaoshou%2 WHERE dt >= ? AND dt < ?")
                  .arg(onServer(db) ? QStringLiteral("jine") : Schema::moneyUnitsSql(QStringLiteral("jine")),
                       Schema::indexedBy(db, QStringLiteral("xiaoshou_dt_totals"))));
    q.addBindValue(Schema::toStorage(Schema::ColumnKind::Date, first));
    q.addBindValue(Schema::toStorage(Schema::ColumnKind::Date, last.addDays(1)));
    if (!q.exec()) {
        t.ok = false;
        t.error = q.lastError().text();
        return t;
    }
    QList<std::pair<qint64, qint64>> units(t.buckets.size()); // sales, cost
    QString lastText;
    qsizetype bucket = -1;
    while (q.next()) {
        // Lines come in time order: the bucket changes rarely.
        const QString dt = q.value(0).toString().left(10);
        if (dt != lastText) {
            lastText = dt;
            const QDate day = QDate::fromString(dt, QStringLiteral("yyyy-MM-dd"));
            bucket = day.isValid() ? at.value(bucketOf(day, t.step), -1) : -1;
        }
        if (bucket < 0)
            continue;
        units[bucket].first += q.value(3).toLongLong();
        units[bucket].second += q.value(2).toLongLong() * price.value(q.value(1).toString());
    }
    for (qsizetype i = 0; i < t.buckets.size(); ++i) {
        t.buckets[i].sales = Money::fromUnits(units[i].first);
        t.buckets[i].profit = Money::fromUnits(units[i].first - units[i].second);
    }
    t.best = grid.rows;
    std::stable_sort(t.best.begin(), t.best.end(),
                     [](const SalesFigures::Row &a, const SalesFigures::Row &b) { return a.amount > b.amount; });
    if (t.best.size() > 10)
        t.best.resize(10);
    return t;
}
