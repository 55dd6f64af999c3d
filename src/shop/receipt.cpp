#include "shop/receipt.h"

#include "shop/displayformat.h"
#include "shop/ticket.h"

Receipt Receipt::fromTicket(const Ticket &ticket)
{
    Receipt r;
    QStringList originals;
    for (const TicketLine &t : ticket.lines()) {
        // Fields are printed as the ticket shows them.
        r.lines.append({t.code, t.name, t.quantityText(), t.priceText(t.price), formatDateTime(t.time), t.amount,
                        t.special  ? QStringLiteral("特价　节省 %1").arg(t.saved.toYuan())
                        : t.member ? QStringLiteral("会员价　节省 %1").arg(t.saved.toYuan())
                                   : QString()});
        r.total = r.total.plus(t.amount).value_or(r.total);
        if (t.isReturn() && !originals.contains(QString::number(t.returnOfTicket)))
            originals.append(QString::number(t.returnOfTicket));
    }
    if (!originals.isEmpty())
        r.returnNote = QStringLiteral("退货　原流水号：") + originals.join(QStringLiteral("，"));
    if (r.total.units() < 0)
        r.changeCaption = QStringLiteral("应退：");
    return r;
}

QString Receipt::saleLine() const
{
    return QStringLiteral("流水号：") + ticketNumber +
           (till.isEmpty() ? QString() : QStringLiteral("　收银台：") + till);
}
