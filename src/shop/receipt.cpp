#include "shop/receipt.h"

#include "shop/displayformat.h"
#include "shop/ticket.h"


Receipt Receipt::fromTicket(const Ticket &ticket)
{
    Receipt r;
    for (const TicketLine &t : ticket.lines()) {
        // Fields are printed as the ticket shows them.
        r.lines.append(
            {t.code, t.name, QString::number(t.quantity), t.price.toCurrency(), formatDateTime(t.time), t.amount});
        r.total = r.total.plus(t.amount).value_or(r.total);
    }
    return r;
}
