// One till of the several-tills harness: in a directory whose tarvel.ini
// names the server and the till number, checks out tickets through the
// program's own sales store, a few ms apart, as a busy cashier would.
//   tarvel_tillrun TICKETS SEED   stores TICKETS tickets of 1–6 lines of the
//                                 goods G0…G9; a checkout the server does not
//                                 answer is tried again with the same ticket
//                                 (and token) until it is stored, as the
//                                 cashier presses F8 again
//   tarvel_tillrun TICKETS SEED clock
//                                 the same, printing "at EPOCHMS MS" per
//                                 ticket stored (the wall clock when it was),
//                                 each line at once
//   tarvel_tillrun hold           takes the till number and waits
// Prints one line per stored ticket: "ticket NUMBER LINES MS CODE:QTY…",
// MS the time of the successful checkout call; a ticket kept in the till's
// own file while the server was away prints "kept PROVISIONAL LINES MS …"
// instead, and is sent (as the counter sends it) when the server is back,
// before the program ends.
#include "shop/checkout.h"
#include "shop/database.h"
#include "shop/shopconfig.h"
#include "shop/ticket.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const ShopConfigRead config = ShopConfig::read(QDir::currentPath());
    if (!config.config || config.config->engine != Engine::PostgreSQL) {
        std::fprintf(stderr, "tillrun: no server in tarvel.ini: %s\n", qPrintable(config.error));
        return 2;
    }
    Database::Result opened = Database::openServer(*config.config);
    if (!opened.database) {
        std::fprintf(stderr, "tillrun: %s\n", qPrintable(opened.message));
        return opened.status == Database::Status::AlreadyRunning ? 3 : 1;
    }
    if (args.value(1) == QLatin1String("hold")) {
        std::printf("holding till %d\n", config.config->till);
        std::fflush(stdout);
        QThread::sleep(120);
        return 0;
    }
    const int tickets = args.value(1).toInt();
    QRandomGenerator random(args.value(2).toUInt());
    const bool clock = args.value(3) == QLatin1String("clock");
    const Shop shop = opened.database->shop();
    Checkout checkout(shop);
    // What the counter's watch of the server does: once it answers again the
    // connection is opened again and the waiting tickets are sent.
    QElapsedTimer lastTry;
    lastTry.start();
    auto comeBack = [&] {
        if (checkout.isOffline() && lastTry.elapsed() > 500) {
            lastTry.restart();
            if (shop.recover(nullptr, 500) == Shop::Recovery::Reconnected)
                checkout.backOnline();
        }
        while (!checkout.isOffline() &&
               checkout.sendWaiting(10).valueOr(Checkout::Sending::Lost) == Checkout::Sending::Sent) {
        }
    };
    for (int t = 0; t < tickets; ++t) {
        QStringList items;
        const int count = random.bounded(1, 7);
        for (int i = 0; i < count; ++i) {
            const QString code = QStringLiteral("G%1").arg(random.bounded(10));
            const int quantity = random.bounded(1, 4);
            checkout.addLine(code, code, quantity, Money::fromUnits(25000), Money::fromUnits(25000));
            items.append(QStringLiteral("%1:%2").arg(code).arg(quantity));
        }
        const Money total = checkout.ticket()->amountTotal();
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QElapsedTimer took;
            took.start();
            const Checkout::Stored stored =
                checkout.store(PaymentMethod::Cash, *Checkout::settle(total, PaymentMethod::Cash, total));
            if (stored.ok) {
                if (clock) {
                    std::printf("at %lld %.3f\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                                took.nsecsElapsed() / 1e6);
                    std::fflush(stdout);
                } else if (stored.provisional > 0)
                    std::printf("kept %lld %d %.3f %s\n", static_cast<long long>(stored.provisional), count,
                                took.nsecsElapsed() / 1e6, qPrintable(items.join(u' ')));
                else
                    std::printf("ticket %lld %d %.3f %s\n", static_cast<long long>(stored.ticketNumber), count,
                                took.nsecsElapsed() / 1e6, qPrintable(items.join(u' ')));
                checkout.clear();
                break;
            }
            if (waited.elapsed() > 60000) {
                std::fprintf(stderr, "tillrun: gave up: %s\n", qPrintable(stored.error));
                return 1;
            }
            QThread::msleep(100);
        }
        comeBack();
        QThread::msleep(random.bounded(1, 4));
    }
    QElapsedTimer sending;
    sending.start();
    while (checkout.waitingCount() > 0) {
        if (sending.elapsed() > 120000) {
            std::fprintf(stderr, "tillrun: %lld tickets not sent\n", static_cast<long long>(checkout.waitingCount()));
            return 1;
        }
        comeBack();
        QThread::msleep(50);
    }
    std::fflush(stdout);
    return 0;
}
