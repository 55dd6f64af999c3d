#pragma once

#include "shop/ticket.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

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
        QString error;
    };
    // Stores the ticket's lines under one ticket number, whole or not at all.
    // Ids follow the rule "last row + 1", counted on from the first new id.
    Stored storeTicket(qint64 ticketNumber, const QList<TicketLine> &lines);

private:
    QSqlDatabase m_db;
    // Prepared once: asked at every checkout.
    mutable QSqlQuery m_last;
};
