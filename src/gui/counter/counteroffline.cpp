#include "gui/counter/counterwindow.h"

#include "gui/messages.h"
#include "shop/database.h"
#include "shop/serverwatch.h"
#include "shop/tillcopy.h"
#include "shop/tillfile.h"

#include <QLabel>

// Selling through an outage of the server: the counter says so on its status
// line, once, and goes on from the till's own file; what it sold meanwhile is
// sent when the server is back, a few tickets at a time between the cashier's
// keys.

namespace {

const QString OfflineLine = QStringLiteral("离线：与服务器断开，销售保存在本机（待发送 %1 张）");
const QString SendingLine = QStringLiteral("正在把离线销售发送到服务器（待发送 %1 张）");
const QString SendFailedLine = QStringLiteral("离线销售没能发送到服务器（待发送 %1 张）：%2");
// Tickets sent in one turn before the cashier's keys are looked at again.
constexpr int SentPerTurn = 10;
// After a ticket the server refused, the next try waits this long.
constexpr int RetryAfterMs = 30000;

} // namespace

void CounterWindow::startOfflineSelling(ServerWatch *watch)
{
    TillFile *file = m_checkout.tillFile();
    if (!file)
        return;
    m_tillCopy = new TillCopy(m_database->shop(), file->path(), this);
    connect(watch, &ServerWatch::goodsChanged, m_tillCopy, &TillCopy::refreshSoon);
    connect(watch, &ServerWatch::reconnected, this, [this] {
        const bool startedOffline = m_checkout.isOffline() && m_checkout.number() == 0;
        m_checkout.backOnline();
        // A till that started without its server learns its numbers now.
        if (startedOffline) {
            if (const auto next = m_checkout.nextNumber())
                m_checkout.setNumber(*next);
            reloadReceiptHeader();
            m_checkout.reloadLabelFormats();
        }
        m_sendProblem.clear();
        m_tillCopy->refreshSoon();
        sendWaiting();
    });
    m_sending = new QTimer(this);
    m_sending->setSingleShot(true);
    connect(m_sending, &QTimer::timeout, this, [this] { sendWaiting(); });
    // Tickets left waiting by a run that ended before it could send them.
    if (m_checkout.waitingCount() > 0)
        m_sending->start(0);
    showOffline();
}

void CounterWindow::showOffline()
{
    const qint64 waiting = m_checkout.waitingCount();
    QString line;
    if (m_checkout.isOffline())
        line = OfflineLine.arg(waiting);
    else if (!m_sendProblem.isEmpty())
        line = SendFailedLine.arg(waiting).arg(m_sendProblem);
    else if (waiting > 0)
        line = SendingLine.arg(waiting);
    setTicketNumber(m_checkout.number());
    m_ui.offlineLabel->setText(line);
    m_ui.offlineLabel->setVisible(!line.isEmpty());
    showMember(m_ui.memberLabel->text());
}

void CounterWindow::sendWaiting()
{
    if (!m_sending)
        return;
    const auto sending = m_checkout.sendWaiting(SentPerTurn);
    if (!sending) {
        m_sendProblem = sending.errorText();
        m_sending->start(RetryAfterMs);
        showOffline();
        return;
    }
    switch (*sending) {
    case Checkout::Sending::Sent:
        m_sendProblem.clear();
        showOffline();
        if (m_checkout.waitingCount() > 0)
            m_sending->start(0);
        return;
    case Checkout::Sending::NoneWaiting:
        break;
    case Checkout::Sending::Lost:
        // The watch of the server brings the till back and sends again.
        break;
    }
    showOffline();
}

QString CounterWindow::needsServer(const QString &what) const
{
    if (m_checkout.isOffline())
        return QStringLiteral("与服务器断开时不能%1，服务器恢复后再试。").arg(what);
    if (const qint64 waiting = m_checkout.waitingCount(); waiting > 0)
        return QStringLiteral("还有 %1 张离线销售正在发送到服务器，发送完后才能%2。").arg(waiting).arg(what);
    return QString();
}
