#pragma once

#include "shop/payment.h"
#include "shop/shop.h"
#include "shop/ticket.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QUuid>

#include <optional>

// The sale lines of paid tickets in table xiaoshou.
class SalesStore
{
public:
    explicit SalesStore(Shop shop);

    struct LastRow
    {
        qint64 id = 0;
        qint64 ticketNumber = 0;
    };
    // The last row in stored order, if any.
    Result<std::optional<LastRow>> lastRow() const;

    // The number the counter starts with: last row's ticket number + 1, or 1.
    Result<qint64> nextTicketNumber() const;

    struct Stored
    {
        bool ok = false;
        qint64 firstId = 0;
        qint64 ticketNumber = 0; // the number the ticket was stored under
        QString error;
        // Not stored because the server could not be reached (gone, or
        // silent past the deadline): the ticket may be kept to send later.
        bool lost = false;
    };
    // Stores the ticket's lines under one ticket number, whole or not at all.
    // Ids follow the rule "last row + 1", counted on from the first new id.
    //
    // On the file the ticket gets the number shown. On the server, where
    // other tills sell at the same time, the number is the last stored one
    // + 1, settled under the table's lock inside the transaction; `token`,
    // made once per ticket by the till, is stored with it, so a ticket whose
    // commit answer was lost is found stored and never stored twice. A lost
    // connection is opened again and the store tried once more.
    //
    // With the lines go, in the same transaction, the ticket's payment
    // (fukuan: how it was paid and its sums; cash, paid as much as the total,
    // when none is given) and for every returned line the original line it
    // gives back (tuihuo), after checking that so much is left to return.
    //
    // A ticket the till sold while the server was away (`offline`) is stored
    // with the time it was paid and, in xiaoshou_lixian, the provisional
    // number its receipt showed.
    struct Offline
    {
        qint64 provisional = 0;
        QDateTime sold;
    };
    Stored storeTicket(qint64 ticketNumber, const QList<TicketLine> &lines, const QUuid &token = QUuid(),
                       const std::optional<Payment> &payment = std::nullopt,
                       const std::optional<Offline> &offline = std::nullopt);
    // The cashier's message when the server was lost and the ticket stays.
    static QString notStoredWhileLost(const QString &lost);

    // Tickets the till kept while offline, sent in the order given, each in
    // its own transaction and numbered as any checkout, all in one round
    // trip (server engine). A member's ticket (the payment's card) is
    // recorded as the member's in huiyuan_piao in the same transaction.
    // An answer per ticket up to the first that was
    // not stored; those after it were not tried.
    struct Kept
    {
        QList<TicketLine> lines;
        QUuid token;
        Payment payment;
        Offline offline;
    };
    QList<Stored> storeKept(const QList<Kept> &tickets);

    // The ticket's row of fukuan: its sums and how it was paid.
    struct PaymentRow
    {
        QString method;
        qint64 lines = 0;
        Money sales;   // the amounts of its sale lines
        Money returns; // what its returned lines give back (not negative)
        Money paid, change;
        QDateTime time;
        QString member{};  // a member's ticket: the card, stored in huiyuan_piao
        QString cashier{}; // who sold it: the 工号, stored in shouyin_piao
    };
    static PaymentRow paymentRow(const QList<TicketLine> &lines, const std::optional<Payment> &payment);
    // The trail's record of a ticket's returned lines; empty when it has none.
    static QString returnsInWords(const QList<TicketLine> &lines);

private:
    Stored storeInFile(qint64 ticketNumber, const QList<TicketLine> &lines, const PaymentRow &payment);
    // Through libpq (serversale.cpp): the table locked, the ticket stored in
    // one statement that numbers it, and the commit, in one round trip (two
    // for a ticket with returns, which are checked under the lock).
    Stored storeOnServer(const QList<TicketLine> &lines, const QUuid &token, const PaymentRow &payment,
                         qint64 provisional);
    QList<Stored> storeKeptOnServer(const QList<Kept> &tickets);

    Shop m_shop;
    QSqlDatabase m_db;
    // Prepared once: asked at every checkout.
    mutable QSqlQuery m_last;
};
