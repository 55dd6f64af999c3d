#pragma once

#include "shop/shop.h"

#include <QObject>
#include <QTimer>

// Keeps an idle till connected to its server: every two seconds it looks,
// without a round trip, whether the server has closed the connection (a
// restart, a crash), and once the server answers again (asked from another
// thread, so a host that does not answer never freezes the window) opens the
// connection again and takes the till's number back, before another program
// can take it and before the cashier's next key. Nothing on the file.
class ServerWatch : public QObject
{
    Q_OBJECT

public:
    explicit ServerWatch(Shop shop, QObject *parent = nullptr);
    ~ServerWatch() override;

    static constexpr int IntervalMs = 2000;

Q_SIGNALS:
    // The connection was opened again (the till holds its number), or could
    // not be: `why` for the user.
    void reconnected();
    void reconnectFailed(const QString &why);
    // The server announced a change of the goods or the purchases.
    void goodsChanged();

private:
    void look();
    void pinged(bool answers);
    void listen();

    Shop m_shop;
    QTimer m_timer;
    bool m_pinging = false;
    static constexpr int RestAfterFailure = 15; // ticks
    static constexpr int NumberWaitMs = 500;
    int m_resting = 0;
};
