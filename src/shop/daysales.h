#pragma once

#include "shop/money.h"

#include <QDate>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

#include <optional>

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

    // A listed line as it is stored: its place in the file and the values that
    // make it this line. A delete takes the row only while all of them still
    // match, so a list shown before a cleanup never takes a later sale that
    // got the same place and id.
    struct StoredLine
    {
        qint64 rowid = -1;
        QVariant id, ticket, code, time;
    };

    // Gives an empty working table the day list's columns.
    static void addColumns(RecordSet *list);
    static QStringList columnNames();

    // Fills `list` (a working table with the day list's columns) with the day's lines, with
    // each line as stored in `lines`. False on a database error.
    static bool fill(QSqlDatabase db, QDate day, RecordSet *list, QVector<StoredLine> *lines, Totals *totals,
                     QString *error);

    // Deletes the sale line if it is still stored as listed. Returns whether
    // a row was deleted; nothing on a database error.
    static std::optional<bool> deleteLine(QSqlDatabase db, const StoredLine &line, QString *error);
};
