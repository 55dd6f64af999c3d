#pragma once

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
    explicit SalesStore(QSqlDatabase db);

    struct LastRow
    {
        qint64 id = 0;
        qint64 ticketNumber = 0;
    };
    // The last row in stored order, if any; nothing in `error` means none.
    std::optional<LastRow> lastRow(QString *error = nullptr) const;

    // The number the counter starts with: last row's ticket number + 1, or 1.
    qint64 nextTicketNumber(QString *error = nullptr) const;

    struct Stored
    {
        bool ok = false;
        qint64 firstId = 0;
        qint64 ticketNumber = 0; // the number the ticket was stored under
        QString error;
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
    Stored storeTicket(qint64 ticketNumber, const QList<TicketLine> &lines, const QUuid &token = QUuid());

private:
    Stored storeInFile(qint64 ticketNumber, const QList<TicketLine> &lines);
    // In three round trips through libpq (serversale.cpp): the token looked
    // for, the table locked and its last row read; the lines and the token
    // stored in one statement; the commit.
    Stored storeOnServer(const QList<TicketLine> &lines, const QUuid &token);

    QSqlDatabase m_db;
    // Prepared once: asked at every checkout.
    mutable QSqlQuery m_last;
};
