#pragma once

#include "shop/shop.h"
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// 临期商品: goods in stock of which some expire within the coming days. A
// code's stock is taken as its latest purchases (first in, first out): 10 in
// stock of which the last purchase brought 6 and the one before 20 are those
// 6 and 4 of the 20, each with its purchase's expiry date (guoqidt).
struct ExpiryFigures
{
    struct Row
    {
        QString code, name;
        qint64 stock = 0;    // the code's whole stock
        qint64 quantity = 0; // how much of it expires on `expires`
        QDate expires;
        qint64 daysLeft = 0;  // below zero: expired so many days ago
        qint64 batch = 0;     // the purchase (rowid) this part lies on
        bool weighed = false; // quantities in grams, shown as kg
    };

    QList<Row> rows; // the soonest first, so the expired lead
    bool ok = true;
    QString error;

    // Past this many rows, the names are read in one pass over the catalogue
    // rather than one statement per row.
    static constexpr int ManyNames = 100;

    static QStringList captions();
    static QString text(const Row &row, int column);

    // The parts of every code's stock that expire by today + days.
    static ExpiryFigures compute(const Shop &shop, QDate today, int days);
    // The same before the goods sold by weight are marked.
    static ExpiryFigures computeRows(const Shop &shop, QDate today, int days);
};
