#pragma once

#include <QString>

class QSqlDatabase;

// What the analyses need of each code, kept on the server in table huizong
// by triggers on name, jinhuo and xiaoshou, so every till's and every other
// tool's writes count, in the writing transaction itself: the first name in
// the catalogue, the first and last purchase (its price and maker), the
// units purchased, and the units and amount sold over all time. An analysis
// reads one row per code instead of grouping all lines.
namespace ServerFacts {

inline constexpr const char *Table = "huizong";

// Makes the table, its functions and triggers when the shop has none yet,
// filled from the shop's rows while the tables are locked against writes;
// empty, or the reason it could not.
QString ensure(const QSqlDatabase &db);

// The same inside a transaction the caller holds (the copy onto the server),
// without looking whether it is there.
QString build(const QSqlDatabase &db);

// False when a purchase or a sale has no code: the kept rows have none for
// them, so the analyses take their statements over the lines instead.
bool coverAllCodes(const QSqlDatabase &db, QString *error);

} // namespace ServerFacts
