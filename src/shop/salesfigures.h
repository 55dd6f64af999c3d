#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The figures of the sales analysis: per goods code sold in a range of days,
// the quantity and amount sold, the last purchase price and the gross profit,
// with the three totals. Money is taken as shown, rounded to cents, so the
// totals are the sums of the figures on screen.
struct SalesFigures
{
    struct Row
    {
        QString code;
        QString name; // empty when the code is not in the catalogue
        qint64 quantity = 0;
        Money amount; // as shown
        Money price;  // jinjia of the last purchase in stored order, 0 without one
        Money profit; // amount − price × quantity
        bool weighed = false; // quantity in grams, price per kg
    };

    QList<Row> rows; // in the order in which the codes first occur among the lines

    // The same lines per day, when the file's own reading gave them (the
    // chart's figures without a second pass): the amount sold, and the
    // quantity times the row's price, in ten-thousandths.
    struct Day
    {
        QDate day; // invalid: a sale time that is no date
        qint64 salesUnits = 0;
        qint64 costUnits = 0;
    };
    QList<Day> days;
    bool hasDays = false;
    QDate first, last; // the range of the figures
    qint64 totalQuantity = 0; // of the goods sold by the piece
    Money totalAmount;
    Money totalProfit;
    bool ok = false;
    QString error;

    // The grid's column captions, one per field of a row in order.
    static QStringList captions();
    // A row's field as the grid shows it.
    static QString text(const Row &row, int column);

    // Sale lines stamped strictly after the first moment of `first` and
    // strictly before the first moment of the day after `last`.
    static SalesFigures compute(const Shop &shop, QDate first, QDate last);
};
