#include "shop/serverwatch.h"

#include "shop/engine.h"
#include "shop/shopconfig.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <libpq-fe.h>

ServerWatch::ServerWatch(Shop shop, QObject *parent) : QObject(parent), m_shop(std::move(shop))
{
    if (!m_shop.onServer())
        return;
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ServerWatch::look);
    m_timer.start();
    listen();
}

void ServerWatch::listen()
{
    if (PGconn *conn = serverHandleOf(m_shop.connection()))
        PQclear(PQexec(conn, "LISTEN huizong_goods"));
}

ServerWatch::~ServerWatch() = default;

void ServerWatch::look()
{
    if (m_pinging)
        return;
    if (m_resting > 0) {
        --m_resting;
        return;
    }
    PGconn *conn = serverHandleOf(m_shop.connection());
    // Reads what the server sent meanwhile: its goodbye on a restart, or the
    // end of the connection. Never waits.
    if (conn && PQstatus(conn) == CONNECTION_OK && PQconsumeInput(conn) == 1 && PQstatus(conn) == CONNECTION_OK) {
        bool changed = false;
        while (PGnotify *notice = PQnotifies(conn)) {
            changed = true;
            PQfreemem(notice);
        }
        if (changed)
            Q_EMIT goodsChanged();
        return;
    }
    const std::optional<ShopConfig> server = m_shop.server();
    if (!server)
        return;
    // Whether the server takes connections again, asked where a silent host
    // may keep the question waiting.
    m_pinging = true;
    QPointer<ServerWatch> self(this);
    QThreadPool::globalInstance()->start([self, config = *server] {
        const bool answers = config.ping() == ShopConfig::Answer::Accepting;
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self, answers] {
                    if (self)
                        self->pinged(answers);
                },
                Qt::QueuedConnection);
    });
}

void ServerWatch::pinged(bool answers)
{
    m_pinging = false;
    if (!answers)
        return; // looked at again at the next tick
    QString why;
    // A number still held by this till's own session of before (its server
    // process hung) is not waited for long: the till sells on meanwhile.
    switch (m_shop.recover(&why, NumberWaitMs)) {
    case Shop::Recovery::Reconnected:
        listen();
        Q_EMIT reconnected();
        break;
    case Shop::Recovery::Lost:
        // Another program took the number meanwhile, say: not asked again
        // every two seconds (each try waits for the number), but the
        // cashier's next checkout tries at once.
        m_resting = RestAfterFailure;
        Q_EMIT reconnectFailed(why);
        break;
    case Shop::Recovery::NotLost:
        break;
    }
}
