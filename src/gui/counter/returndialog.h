#pragma once

#include "shop/returns.h"
#include "shop/settings.h"
#include "shop/ticket.h"

#include "shop/shop.h"
#include <QDialog>
#include <QList>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// frmtuihuo, "退货": the keeper's password and the number of the original
// ticket; its sale lines with what is left to return of each, and the
// quantities coming back. Accepted, it holds the returned lines for the
// counter's ticket. Nothing is stored here: the checkout stores the return.
class ReturnDialog : public QDialog
{
    Q_OBJECT

public:
    // `onTicket`: the lines already on the counter's ticket, whose returns
    // count as given back.
    ReturnDialog(Shop shop, QList<TicketLine> onTicket, QWidget *parent = nullptr);

    QList<TicketLine> returnedLines() const { return m_returned; }

private:
    void find();
    void returnAll();
    void confirm();
    // Units of `line` of ticket m_ticket already on the counter's ticket as returns.
    qint64 pending(const Returns::SoldLine &line) const;
    // Which of the tickets of `number` the cashier means (the newest offered
    // first); nothing when the choice was cancelled.
    std::optional<qsizetype> pick(const QList<Returns::SoldTicket> &tickets, qint64 number);

    Shop m_shop;
    Settings m_settings;
    QList<TicketLine> m_onTicket;
    bool m_passwordOk = false;
    qint64 m_ticket = 0;
    QList<Returns::SoldLine> m_lines;
    QList<TicketLine> m_returned;

    QLineEdit *m_password;
    QLineEdit *m_ticketNumber;
    QLabel *m_soldOn;
    QPushButton *m_find;
    QTableWidget *m_grid;
    QPushButton *m_all;
    QPushButton *m_ok;
};
