#include "shop/checkout.h"

#include "shop/database.h"
#include "shop/pricing.h"
#include "shop/ticket.h"

Checkout::Checkout(Shop shop, QObject *ticketParent)
    : m_shop(shop)
    , m_sales(shop)
    , m_dayClose(shop)
    , m_owned(ticketParent ? nullptr : std::make_unique<Ticket>())
    , m_ticket(ticketParent ? new Ticket(ticketParent) : m_owned.get())
{ }

Checkout::~Checkout() = default;

qint64 Checkout::nextNumber(QString *error) const
{
    QString problem;
    const qint64 next = m_sales.nextTicketNumber(&problem);
    if (!problem.isEmpty()) {
        *error = problem;
        return 0;
    }
    return next;
}

bool Checkout::addLine(const QString &code, const QString &name, qint32 quantity, Money listPrice, Money price)
{
    const auto amount = Pricing::lineAmount(quantity, price);
    if (!amount)
        return false;
    TicketLine line;
    line.code = code;
    line.name = name;
    line.quantity = quantity;
    line.listPrice = listPrice;
    line.price = price;
    line.amount = *amount;
    line.time = QDateTime::currentDateTime();
    return m_ticket->add(line);
}

std::optional<Checkout::Settlement> Checkout::settle(Money total, PaymentMethod method, Money cash)
{
    Settlement s;
    s.paid = total;
    if (method == PaymentMethod::Cash) {
        if (cash < total)
            return std::nullopt;
        s.paid = cash;
        s.change = cash.minus(total).value_or(Money());
    }
    s.refund = total < Money();
    s.shown = method == PaymentMethod::Cash ? s.change : s.refund ? Money().minus(total).value_or(Money()) : Money();
    return s;
}

Checkout::Opening Checkout::opening(QString *why)
{
    // A connection lost meanwhile is opened again first: a ticket stored by
    // a checkout that reconnected would otherwise open no period.
    auto needed = m_dayClose.needsOpening();
    if (!needed) {
        QString lost;
        switch (m_shop.recover(&lost)) {
        case Shop::Recovery::Reconnected:
            needed = m_dayClose.needsOpening();
            break;
        case Shop::Recovery::Lost:
            *why = SalesStore::notStoredWhileLost(lost);
            return Opening::Lost;
        case Shop::Recovery::NotLost:
            break;
        }
    }
    if (!needed) {
        *why = m_dayClose.lastError();
        return Opening::Failed;
    }
    return *needed ? Opening::Needed : Opening::NotNeeded;
}

bool Checkout::open(Money openingCash, QString *error)
{
    if (m_dayClose.open(openingCash))
        return true;
    *error = m_dayClose.lastError();
    return false;
}

SalesStore::Stored Checkout::store(PaymentMethod method, const Settlement &settlement)
{
    if (m_token.isNull())
        m_token = QUuid::createUuid();
    const SalesStore::Stored stored =
        m_sales.storeTicket(m_number, m_ticket->lines(), m_token, Payment{method, settlement.paid, settlement.change});
    if (stored.ok) {
        m_token = QUuid();
        // On a shared server another till may have taken the number shown.
        m_number = stored.ticketNumber + 1;
    }
    return stored;
}

void Checkout::clear()
{
    m_ticket->clear();
    m_token = QUuid();
}
