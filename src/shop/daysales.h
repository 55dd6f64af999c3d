#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

#include <optional>

// The stored sale lines of one day, as the retail records list them: a
// working table of eight columns with the day totals. Only that day's lines
// are read, through the index on the sale time.
class DaySales
{
public:
    struct Totals
    {
        qint64 tickets = 0;  // runs of equal ticket numbers in stored order
        qint64 quantity = 0; // no 16-bit limit
        Money amount;        // each line counted as the list shows it
    };

    // A listed line as it is stored: its place in the file and the values that
    // make it this line. A delete takes the row only while all of them still
    // match, so a list shown before a cleanup never takes a later sale that
    // got the same place and id.
    struct StoredLine
    {
        qint64 rowid = -1;
        QVariant id, ticket, code, time;
    };

    // One listed line: what the list shows and how it is stored.
    struct Line
    {
        StoredLine stored;
        QString ticket, code, name, quantity;
        std::optional<Money> price; // nothing when the stored price is no amount
        Money amount;
        QDateTime time; // invalid when the stored time is none
        qint64 id = 0;
        QString method;    // how its ticket was paid; empty when not recorded
        QString cashier{}; // the 工号 of who sold its ticket; empty when nobody signed in
    };

    // The list's column captions, in order; the last (id) is not shown. (How
    // a line's ticket was paid is shown beside the list.)
    static QStringList columnNames();
    // A line's field as the list shows it.
    static QString text(const Line &line, int column);

    // The day's lines in stored order, with the totals; only the tickets of
    // the cashier `cashier` (工号) when one is given.
    static Done fill(const Shop &shop, QDate day, QVector<Line> *lines, Totals *totals,
                     const QString &cashier = QString());

    // Deletes the sale line if it is still stored as listed: whether a row
    // was deleted.
    static Result<bool> deleteLine(const Shop &shop, const StoredLine &line);
};
