#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

// The figures of the inventory analysis: per goods code ever purchased (and
// after them those only counted or written off), what was purchased and sold,
// the adjustments of counts and write-offs, the stock (purchased − sold +
// adjusted, negative allowed), the last purchase price and the stock value,
// with the totals. Money is taken as shown, rounded to cents.
struct StockFigures
{
    struct Row
    {
        QString code;
        QString name; // empty when the code is not in the catalogue
        qint64 soldQuantity = 0;
        Money soldAmount;
        qint64 purchased = 0;
        qint64 stock = 0;
        Money price; // jinjia of the last purchase in stored order
        Money value; // stock × price
        qint64 adjusted = 0;
        QString maker; // changjia of the last purchase
        bool weighed = false; // quantities in grams (shown as kg), price per kg
    };

    QList<Row> rows; // in the order in which codes first occur in the purchases
    // The totals of quantities are of the goods sold by the piece.
    qint64 totalSold = 0;
    Money totalSoldAmount;
    qint64 totalPurchased = 0;
    qint64 totalStock = 0;
    Money totalValue;
    qint64 totalAdjusted = 0;
    bool hasAdjustments = false; // the grid then shows them in a column of their own
    bool ok = false;
    QString error;

    static StockFigures compute(const Shop &shop);
    // The grid's column captions, one per field of a row in order (then the
    // purchase price and the stock value, and with adjustments their column).
    static QStringList captions(bool withAdjustments = false);
    static constexpr int AdjustedColumn = 8;
    // A row's field as the grid and the inventory list show it.
    static QString text(const Row &row, int column);
};
