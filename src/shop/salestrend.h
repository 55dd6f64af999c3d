#pragma once

#include "shop/money.h"
#include "shop/salesfigures.h"
#include "shop/shop.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// Sales as a picture (销售分析's chart): sales and gross profit of the chosen
// range per day, per week (Monday to Sunday) for ranges longer than two
// months, per month for ranges longer than a year; and the ten best sellers.
// Built on the grid's own figures: the profit of a line is its amount less
// its quantity at the code's price in the grid, so the buckets add up to the
// grid's totals.
struct SalesTrend
{
    enum class Step { Day, Week, Month };
    struct Bucket
    {
        QDate start;
        Money sales, profit;
    };

    Step step = Step::Day;
    QList<Bucket> buckets;         // every bucket of the range, also those without sales
    QList<SalesFigures::Row> best; // the ten best sellers by amount
    bool ok = true;
    QString error;

    static Step stepFor(QDate first, QDate last);
    static QDate bucketOf(QDate day, Step step);
    QString label(const Bucket &bucket) const;

    static SalesTrend compute(const Shop &shop, QDate first, QDate last, const SalesFigures &grid);
};
