#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

// The figures of the inventory analysis: per goods code ever purchased, what
// was purchased and sold, the stock (purchased − sold, negative allowed), the
// last purchase price and the stock value, with the five totals. Money is
// taken as shown, rounded to cents.
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
    };

    QList<Row> rows; // in the order in which codes first occur in the purchases
    qint64 totalSold = 0;
    Money totalSoldAmount;
    qint64 totalPurchased = 0;
    qint64 totalStock = 0;
    Money totalValue;
    bool ok = false;
    QString error;

    static StockFigures compute(const Shop &shop);
    // The grid's column captions, one per field of a row in order (the
    // last two are the purchase price and the stock value).
    static QStringList captions();
    // A row's field as the grid and the inventory list show it.
    static QString text(const Row &row, int column);
};
