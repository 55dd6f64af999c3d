#pragma once

#include <QList>
#include <QWidget>

class Money;
class QLabel;
struct TicketLine;

// frmguke, "顾客显示": the window on the till's second screen that faces the
// customer (tarvel.ini [till] customer_display=, the screen's name or number):
// the shop's header, the lines as they are rung up, the total, and after
// the checkout what was paid and the change, in large type. While the till
// is idle: the header and the keeper's line ([till] customer_text=).
class CustomerDisplay : public QWidget
{
    Q_OBJECT

public:
    CustomerDisplay(const QString &header, const QString &idleText, QWidget *parent = nullptr);

    // The screen `named` (its name, or its number from 1), the display
    // shown full on it; false when the till has no such screen.
    bool showOn(const QString &named);

    void setHeader(const QString &header);
    // The ticket as it stands; an empty ticket shows the idle text.
    void showTicket(const QList<TicketLine> &lines, Money total);
    // After the checkout: what the customer paid and the change.
    void showPaid(Money total, Money paid, Money change, bool refund);

    static constexpr int ShownLines = 8;

private:
    QLabel *m_header;
    QLabel *m_lines;
    QLabel *m_total;
    QLabel *m_paid;
    QLabel *m_idle;
    QString m_idleText;
};
