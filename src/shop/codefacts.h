#pragma once

#include "shop/money.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What the analyses take, per goods code, from the catalogue, the purchases
// and all sales of the shop file, read through SQLite's own interface.
//
// The facts are kept in memory between analyses. The file counts its own
// changes: triggers on name, jinhuo and xiaoshou add one to a counter in
// `biandong` (the catalogue and purchases changed; a sale line was changed
// or deleted), also when another tool writes. The catalogue and purchases
// are read again when their counter moved; the sales totals are read again
// when theirs moved, and otherwise only the lines added since are read.
//
// Codes are compared as the statements compare them: as stored bytes. What
// the fast reading does not take the way the statements do (a code that is
// not text, a quantity that is not an integer, a sum out of range) makes it
// answer Unusual, and the caller uses its statements.
namespace CodeFacts {

struct StringHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
template <typename T> using CodeMap = std::unordered_map<std::string, T, StringHash, std::equal_to<>>;

// What the file says of one code. A code that is neither in the catalogue
// nor purchased nor sold is not kept; one that left the catalogue and the
// purchases keeps its place with empty facts, which read as none.
struct Goods
{
    QString name;      // the first name of the code, by rowid; empty without one
    QString lastMaker; // changjia of its last purchase
    Money lastPrice;   // jinjia of its last purchase, by rowid; 0 without one
    qint64 purchased = 0;
    qint64 adjusted = 0;     // counts and write-offs (tiaozheng)
    qint64 soldQuantity = 0; // all sales
    qint64 soldUnits = 0;    // their amount in ten-thousandths
    int ordinal = 0;         // from 0 up, in the order in which codes were kept
    int purchaseRows = 0;    // of the code in jinhuo
    int nameRows = 0;        // of the code in the catalogue
    bool bought = false;     // among the purchased codes
    bool named = false;      // in the catalogue
};

using Kept = CodeMap<Goods>::value_type;

struct Facts
{
    CodeMap<Goods> goods;
    // The purchased codes, in the order in which they first occur.
    std::vector<const Kept *> purchased;
    // The codes adjusted but never purchased, in the order first adjusted.
    std::vector<const Kept *> adjustedOnly;
    // What was written off of one purchase (by rowid).
    std::unordered_map<qint64, qint64> perBatch;
    bool purchasesUnusual = false;
    // The last rowid the sales include.
    qint64 soldUpTo = 0;
    bool salesUnusual = false;
    bool hasSold = false;

    // The facts of `code`, nothing when the file has none.
    const Goods *find(std::string_view code) const
    {
        const auto it = goods.find(code);
        return it == goods.end() ? nullptr : &it->second;
    }
    // The rows of the purchases joined with the catalogue by code, as the
    // purchase grid lists them.
    qint64 joinedPurchaseRows() const
    {
        qint64 rows = 0;
        for (const Kept *kept : purchased)
            rows += qint64(kept->second.purchaseRows) * kept->second.nameRows;
        return rows;
    }
    // Purchased less sold, with the adjustments.
    qint64 stockOf(std::string_view code) const
    {
        const Goods *g = find(code);
        return g ? g->purchased - g->soldQuantity + g->adjusted : 0;
    }
    // What a purchase still holds after its own write-offs.
    qint64 batchLeft(qint64 rowid, qint64 quantity) const
    {
        const auto it = perBatch.find(rowid);
        return it == perBatch.end() ? quantity : quantity + it->second;
    }
};

enum class Outcome { Done, Unusual, Failed };

// Where the fast reading leaves `figures`: true when it settled them (with
// their figures, or failed with their error); false when the caller is to
// compute them by its statements, from fresh figures.
template <typename Figures> bool settled(Outcome outcome, Figures &figures)
{
    switch (outcome) {
    case Outcome::Done:
        figures.ok = true;
        return true;
    case Outcome::Failed:
        figures.ok = false;
        return true;
    case Outcome::Unusual:
        break;
    }
    figures = Figures(); // what another tool stored is added up by the statements
    return false;
}

// Runs `use` on the facts of the file behind `db` (with or without all sales),
// inside one read of the file, so that what `use` reads itself is of the same
// moment. Failed, with `error`, when the file cannot be read.
Outcome withFacts(const QSqlDatabase &db, bool withSales, const std::function<Outcome(sqlite3 *, const Facts &)> &use,
                  QString *error);

// A sale line as the analyses add it up: a text code, an integer quantity
// and an amount in ten-thousandths (as the program reads a stored amount).
struct Line
{
    qint64 rowid = 0;
    std::string_view code;
    qint64 quantity = 0;
    qint64 amountUnits = 0;
    bool counted = true; // false: the amount is empty and adds nothing
};
// The line of a statement whose columns are rowid, code, shuliang, jine;
// nothing when it is not one the fast reading takes.
bool lineOf(sqlite3_stmt *stmt, Line *line);
// A column as Qt's SQLite driver gives it.
QVariant valueOf(sqlite3_stmt *stmt, int column);
// a + b, false when the sum leaves 64 bits.
bool add(qint64 &sum, qint64 value);

} // namespace CodeFacts
