#pragma once

#include "shop/money.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class RecordSet;

struct TicketLine
{
    QString code;
    QString name;
    qint32 quantity = 0;
    Money listPrice;
    Money price; // the unit price actually charged
    Money amount;
    QDateTime time; // when the line was put on the ticket
    // A returned line (negative quantity and amount) names the stored line it
    // gives back: the original ticket number and the line's id. Both 0 for a sale.
    qint64 returnOfTicket = 0;
    qint64 returnOfLine = 0;
    // What a return is priced from: the original line's units and amount,
    // and the units of it given back before this line (stored ones and those
    // on earlier lines of this ticket).
    qint64 returnOfSold = 0;
    Money returnOfAmount{};
    qint64 returnedBefore = 0;
    // A weighed goods (from a scale's label): the quantity is grams and the
    // prices are per kg; the amount is the label's.
    bool weighed = false;
    // Charged at a special price (特价) or a member price (会员价): what it
    // saved against the regular one.
    bool special = false;
    bool member = false;
    Money saved{};
    // A line charged the price looked up for it (before its discount rate
    // `rate`): a member's card priced on the ticket later prices it again.
    // None for a price the cashier typed.
    std::optional<Money> lookedUp{};
    QString rate{QStringLiteral("10")};
    bool isReturn() const { return returnOfTicket != 0; }
    // What the line adds to the ticket's count of pieces: a weighed line is one.
    qint64 pieces() const { return weighed ? (quantity < 0 ? -1 : 1) : quantity; }
    // The quantity and a price as the ticket and the receipt show them: a
    // weighed line in kg ("0.456kg") and per kg ("¥12.98/kg").
    QString quantityText() const;
    QString priceText(Money price) const;
};

// The current ticket: a working table of seven fields that the grid shows,
// with the quantity and amount totals kept beside it. Nothing here is stored;
// the checkout copies the lines into the sales table.
class Ticket : public QObject
{
    Q_OBJECT

public:
    explicit Ticket(QObject *parent = nullptr);

    RecordSet *records() const { return m_records; }

    // Appends one line; refuses (returns false) when a total would overflow.
    bool add(const TicketLine &line);
    // Takes one line off the ticket (a voided line); the totals follow, and
    // the later returns of the same original line are priced again, so that
    // the refunds of a line always add up to exactly what it cost.
    bool remove(int index);
    // Charges a sale line again (a member's price): its price, amount and
    // marks; the totals follow.
    bool reprice(int index, const TicketLine &line);
    void clear();

    int lineCount() const;
    TicketLine line(int index) const;
    bool isWeighed(int index) const { return m_returnOf.value(index).weighed; }
    QList<TicketLine> lines() const;

    qint64 quantityTotal() const { return m_quantityTotal; }
    Money amountTotal() const { return m_amountTotal; }

    // Field names of the ticket in grid order.
    static QStringList fieldNames();

private:
    RecordSet *m_records;
    // Beside the grid's seven fields: what each line gives back, if anything.
    struct ReturnOf
    {
        qint64 ticket = 0, line = 0, sold = 0, before = 0;
        Money amount;
        bool weighed = false;
        bool special = false;
        bool member = false;
        Money saved;
        std::optional<Money> lookedUp;
        QString rate;
    };
    static ReturnOf besideOf(const TicketLine &line);
    QList<ReturnOf> m_returnOf;
    qint64 m_quantityTotal = 0;
    Money m_amountTotal;
};
