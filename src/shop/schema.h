#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

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
// The same tables on the PostgreSQL server, with the server's types (money
// bigint ten-thousandths, dates date, the sale time timestamp(0)) and an
// identity column `rowid` that stands for SQLite's rowid, so "stored order"
// and "the last row" mean the same on both engines; and the table of the
// tokens of stored tickets (TicketTokens), which keeps a checkout whose
// answer was lost from being stored twice.
QStringList serverCreateStatements();
inline constexpr const char *TicketTokens = "xiaoshou_token";
// On the server, the tokens of stored closes: a close whose answer was lost
// is found stored when it is tried again.
inline constexpr const char *CloseTokens = "rijie_token";
// On the server, the tickets a till sold while it could not reach it: the
// number its receipt showed (lixianhao, per till) beside the final one.
inline constexpr const char *OfflineTickets = "xiaoshou_lixian";
// The tables added since the five: returns (tuihuo: which original ticket
// line a returned line of xiaoshou gives back), how each ticket was paid
// (fukuan, with the ticket's sums and the close it belongs to), the closes
// of the tills' periods (rijie) and the goods' minimum stock (zuidi). Files
// made before them get them when opened; other tools that know only the five
// tables keep working.
const QList<Table> &addedTables();
// Every table a copy of the shop carries: the five and the added ones.
QList<Table> copiedTables();
// CREATE … IF NOT EXISTS for the added tables and their indexes, on the file.
QStringList addedStatements();
// The triggers by which the file counts changes of name, jinhuo and
// xiaoshou in `biandong`, and the names of those on one table.
QStringList changeCountStatements();
QStringList changeCountTriggers(const QString &table);
// The same on the server: each with the name of the table or index it makes,
// so that only what is missing is made (a CREATE INDEX IF NOT EXISTS locks
// the table even when the index is there).
QList<std::pair<QString, QString>> serverAddedStatements();

// On the server, the lock under which "the last row + 1" of `table` is read
// and the new rows written: every writer of the program that numbers the
// table waits for the one holding it (a lock of its own per table), and a
// writer of an older version, which locks the table itself (SHARE ROW
// EXCLUSIVE), waits for it and is waited for. It asks no more of the role
// than INSERT on the table, so a till's role that may not change sales can
// number them.
QString numberingLock(const QString &table);

// The indexes alone; run on every file that is opened, so that files made by
// an older version get the ones added since.
QStringList indexStatements();

ColumnKind kindOfColumn(const QString &column);

// Value as the program uses it (Money, QDate, QDateTime, qlonglong, QString)
// from what the file holds, and back.
QVariant fromStorage(ColumnKind kind, const QVariant &stored);
// A date or time as it is stored and shown ("yyyy-MM-dd", "yyyy-MM-dd
// HH:mm:ss"), as its wall-clock parts kept as UTC: no time zone is asked.
// Invalid when the text is neither.
QDate dateIn(const QString &text);
QDateTime timeIn(const QString &text);
QVariant toStorage(ColumnKind kind, const QVariant &value);

// SQL for a money column's stored value in ten-thousandths as the program
// reads it (see Database::addShopFunctions); integers, as the program
// writes them, go by without a function call.
QString moneyUnitsSql(const QString &column);
// SUM of a money column in ten-thousandths, as a whole number on either
// engine (the server's SUM of bigint is numeric).
QString sumUnitsSql(const QSqlDatabase &db, const QString &column);
// " INDEXED BY index" on the file, where SQLite's planner would not pick the
// covering index by itself; nothing on the server, whose planner does.
QString indexedBy(const QSqlDatabase &db, const QString &index);

// The comparison under which a NULL equals a NULL: "IS" on the file, "IS NOT
// DISTINCT FROM" on the server.
QString sameAs(const QSqlDatabase &db);

// Record source of the receipt's footer rows (ids above the header row), in stored order.
QString footerRowsSource();

// Settings rows of table `code`.
inline constexpr int PasswordRowId = 1;
inline constexpr int HeaderRowId = 20000;

} // namespace Schema
