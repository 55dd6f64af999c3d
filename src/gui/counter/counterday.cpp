#include "gui/counter/counterwindow.h"

#include "gui/counter/countertexts.h"
#include "gui/counter/daydialogs.h"
#include "gui/counter/returndialog.h"
#include "gui/messages.h"
#include "shop/database.h"
#include "shop/salesstore.h"
#include "shop/ticket.h"

#include <QLineEdit>

// The till's day at the counter: returns onto the ticket, the opening cash of
// a new period, and the day's close.

using namespace CounterText;

void CounterWindow::startReturn()
{
    ReturnDialog dialog(m_database->connection(), m_ticket->lines(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The return goes onto the ticket whole or not at all.
    const int before = m_ticket->lineCount();
    for (const TicketLine &line : dialog.returnedLines())
        if (!m_ticket->add(line)) {
            while (m_ticket->lineCount() > before)
                m_ticket->remove(m_ticket->lineCount() - 1);
            Messages::info(this, TooLarge);
            break;
        }
    showTotals();
    focusAndSelect(m_ui.codeEdit);
}

bool CounterWindow::openPeriodIfNeeded()
{
    // A connection lost meanwhile is opened again first: a ticket stored by
    // a checkout that reconnected would otherwise open no period. When the
    // question still cannot be answered, nothing is stored: the ticket stays.
    auto needed = m_dayClose.needsOpening();
    if (!needed) {
        QString lost;
        switch (Database::recover(m_database->connection(), &lost)) {
        case Database::Recovery::Reconnected:
            needed = m_dayClose.needsOpening();
            break;
        case Database::Recovery::Lost:
            Messages::error(this, SalesStore::notStoredWhileLost(lost));
            return false;
        case Database::Recovery::NotLost:
            break;
        }
    }
    if (!needed) {
        Messages::error(this, CloseFailed.arg(m_dayClose.lastError()));
        return false;
    }
    if (!*needed)
        return true;
    OpeningCashDialog ask(this);
    if (ask.exec() != QDialog::Accepted)
        return false;
    if (!m_dayClose.open(ask.opening())) {
        Messages::error(this, CloseFailed.arg(m_dayClose.lastError()));
        return false;
    }
    return true;
}

void CounterWindow::openDayClose()
{
    DayCloseDialog dialog(m_database->connection(), this);
    if (!dialog.refresh())
        return;
    dialog.exec();
    // The dialog may have closed the period: the next sale asks again.
    m_dayClose.forgetOpening();
    focusAndSelect(m_ui.codeEdit);
}
