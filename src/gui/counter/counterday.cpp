#include "gui/counter/counterwindow.h"

#include "gui/counter/countertexts.h"
#include "gui/counter/daydialogs.h"
#include "gui/counter/returndialog.h"
#include "gui/messages.h"
#include "shop/database.h"
#include "shop/ticket.h"

#include <QLineEdit>

// The till's day at the counter: returns onto the ticket, the opening cash of
// a new period, and the day's close.

using namespace CounterText;

void CounterWindow::startReturn()
{
    if (m_checkout.isOffline()) {
        Messages::info(this, needsServer(QStringLiteral("退货")));
        return;
    }
    if (!ensureSignedIn())
        return;
    ReturnDialog dialog(m_database->shop(), m_ticket->lines(), this);
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
    QString why;
    switch (m_checkout.opening(&why)) {
    case Checkout::Opening::NotNeeded:
        return true;
    case Checkout::Opening::Lost:
        Messages::error(this, why);
        return false;
    case Checkout::Opening::Failed:
        Messages::error(this, CloseFailed.arg(why));
        return false;
    case Checkout::Opening::Needed:
        break;
    }
    OpeningCashDialog ask(this);
    if (ask.exec() != QDialog::Accepted)
        return false;
    if (const Done opened = m_checkout.open(ask.opening()); !opened) {
        Messages::error(this, CloseFailed.arg(opened.errorText()));
        return false;
    }
    return true;
}

void CounterWindow::openDayClose()
{
    // The close counts every ticket of the period: also those still waiting.
    if (const QString refused = needsServer(QStringLiteral("日结")); !refused.isEmpty()) {
        Messages::info(this, refused);
        return;
    }
    if (!ensureSignedIn(false))
        return;
    DayCloseDialog dialog(m_database->shop(), this);
    if (!dialog.refresh())
        return;
    dialog.exec();
    // The dialog may have closed the period: the next sale asks again.
    m_checkout.forgetOpening();
    afterDayClose(dialog.hasClosed());
    focusAndSelect(m_ui.codeEdit);
}
