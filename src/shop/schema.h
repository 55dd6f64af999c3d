#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// What the file holds and how values are kept in it.
//
// Money columns hold int64 ten-thousandths of a yuan (never floating point);
// dates are ISO text: "yyyy-MM-dd" for dates, "yyyy-MM-dd HH:mm:ss" for the
// sale time. Column names are the same everywhere they occur, so the kind of a
// value is known from its column name alone, also in queries and joins.
namespace Schema {

enum class ColumnKind { Text, Integer, Money, Date, DateTime };

struct Table
{
    QString name;
    QStringList columns;
};

// The five tables with their columns in file order.
const QList<Table> &tables();

// Statements that create the tables and their indexes in an empty file.
QStringList createStatements();
// The indexes alone; run on every file that is opened, so that files made by
// an older version get the ones added since.
QStringList indexStatements();

ColumnKind kindOfColumn(const QString &column);

// Value as the program uses it (Money, QDate, QDateTime, qlonglong, QString)
// from what the file holds, and back.
QVariant fromStorage(ColumnKind kind, const QVariant &stored);
QVariant toStorage(ColumnKind kind, const QVariant &value);

// SQL for a money column's stored value in ten-thousandths as the program
// reads it (see Database::addShopFunctions); integers, as the program
// writes them, go by without a function call.
QString moneyUnitsSql(const QString &column);

// Record source of the receipt's footer rows (ids above the header row), in stored order.
QString footerRowsSource();

// Settings rows of table `code`.
inline constexpr int PasswordRowId = 1;
inline constexpr int HeaderRowId = 20000;

} // namespace Schema
