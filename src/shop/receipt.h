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
        QString note; // under the line: a special's mark and what it saved
    };

    QString header;
    QList<Line> lines;
    Money total;    // the sum of the line amounts
    QString paid;   // "Currency" text, or empty
    QString change; // "Currency" text, or empty
    // "找零：", or "应退：" when the ticket gives money back (its total is below zero).
    QString changeCaption = QStringLiteral("找零：");
    // "付款方式：微信" once the ticket is paid; empty in a preview.
    QString method;
    // "退货　原流水号：N" when the ticket returns goods of ticket N (several: N, M).
    QString returnNote;
    // "会员：张三　本单积分 12　累计积分 130" on a member's ticket.
    QString member;
    QStringList footer;
    // Printed on roll receipts under the header: a receipt kept for returns
    // names its sale.
    QString ticketNumber;
    QString till; // the till's number; with several tills the number alone may not find the sale
    QString time; // "yyyy-MM-dd HH:mm:ss"
    // "流水号：N　收银台：T", as both receipts print it under the header.
    QString saleLine() const;

    // The lines of the ticket with its total; header, paid, change and footer
    // are filled by the caller.
    static Receipt fromTicket(const Ticket &ticket);
};
