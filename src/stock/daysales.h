#pragma once

#include "money.h"

#include <QDate>
#include <QSqlDatabase>
#include <QVector>

class RecordSet;

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

    // Gives an empty working table the day list's columns.
    static void addColumns(RecordSet *list);
    static QStringList columnNames();

    // Fills `list` (a working table with the day list's columns) with the day's lines, with
    // the place of each line in the file in `rowids`. False on a database error.
    static bool fill(QSqlDatabase db, QDate day, RecordSet *list, QVector<qint64> *rowids, Totals *totals,
                     QString *error);

    // Deletes the sale line at `rowid` if it is still the line with `id`.
    // Returns whether a row was deleted; nothing on a database error.
    static std::optional<bool> deleteLine(QSqlDatabase db, qint64 rowid, qint64 id, QString *error);
};
