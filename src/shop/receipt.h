#pragma once

#include "shop/money.h"

#include <QList>
#include <QString>
#include <QStringList>

class Ticket;

// One receipt as it is laid out: header, lines, summary and footer texts.
struct Receipt
{
    struct Line
    {
        QString code, name, quantity, price, time;
        Money amount;
    };

    QString header;
    QList<Line> lines;
    Money total;    // the sum of the line amounts
    QString paid;   // "Currency" text, or empty
    QString change; // "Currency" text, or empty
    QStringList footer;
    // Printed on roll receipts under the header: a receipt kept for returns
    // names its sale.
    QString ticketNumber;
    QString time; // "yyyy-MM-dd HH:mm:ss"

    // The lines of the ticket with its total; header, paid, change and footer
    // are filled by the caller.
    static Receipt fromTicket(const Ticket &ticket);
};
