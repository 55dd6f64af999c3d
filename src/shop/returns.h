#pragma once

#include "shop/money.h"
#include "shop/shop.h"
#include "shop/ticket.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// Goods brought back against the receipt of their sale. A returned line goes
// into xiaoshou as a sale line with negative quantity and amount, at the price
// paid on the original ticket, under the return ticket's own number; table
// tuihuo names the original line it gives back, so what is left to return is
// known. A tuihuo row counts only while its returned line is still stored.
namespace Returns {

// A sale line of a stored ticket, as a return sees it.
struct SoldLine
{
    qint64 id = 0; // xiaoshou.id of the line
    QString code, name;
    qint64 sold = 0;     // units sold on the line
    qint64 returned = 0; // units given back from it so far
    Money price;         // unit price charged
    Money amount;        // what the line cost the customer
    QDateTime time;
    qint64 rowid = 0;     // where it is stored
    bool weighed = false; // a goods sold by weight: its units are grams
    qint64 left() const { return sold - returned; }
};

// One stored ticket of a number: when and on which till it was sold (0: not
// known, as for tickets stored before payments were), and its sale lines.
struct SoldTicket
{
    QDateTime time;
    int till = 0;
    QList<SoldLine> lines;
};

// The sale lines (quantity above zero) of ticket `number` in stored order,
// with what was returned from each; an empty list when there are none.
Result<QList<SoldLine>> ticketLines(const Shop &shop, qint64 number);

// The stored tickets of `number`, the oldest first: after a cleanup, or in
// data of another tool, several tickets may share a number. A ticket's lines
// are stored together; its time and till are those of its payment.
Result<QList<SoldTicket>> ticketsOf(const Shop &shop, qint64 number);

// What `units` more units of `line` give back when `before` units of it were
// returned already: the line's amount shared out in cents, so that the
// returns of a whole line add up to exactly its amount.
Money refund(const SoldLine &line, qint64 before, qint64 units);

// The ticket line that returns `units` of `line` of ticket `ticket`.
TicketLine returnLine(const SoldLine &line, qint64 ticket, qint64 before, qint64 units, const QDateTime &time);
// The original line a return line was priced from, as far as pricing needs it.
SoldLine basisOf(const TicketLine &returned);

// Run inside the transaction that stores `lines`: empty when every returned
// line stays within what is left of its original line and is priced after
// the units stored as returned before it, otherwise the cashier's message
// (or the database's error).
QString checkLeft(const Shop &shop, const QList<TicketLine> &lines);

// The cashier's messages.
QString unknownTicket(qint64 number);

// A ticket sold while its till could not reach the server is found by the
// number its receipt showed, "离线 2-0007" or "2-0007": till and provisional
// number. Nothing when the text is not such a number.
struct Provisional
{
    int till = 0;
    qint64 number = 0;
};
std::optional<Provisional> provisionalIn(const QString &text);
// The final number the server gave it; 0 when it has not (yet) reached the
// server.
Result<qint64> finalNumberOf(const Shop &shop, const Provisional &provisional);
QString unknownProvisional(const QString &text);
QString allReturned(qint64 number);
QString tooMany(const QString &code, qint64 left, bool weighed = false);
QString pricedBeforeOtherReturn(const QString &code);

} // namespace Returns
