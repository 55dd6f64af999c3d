// One till of the several-tills harness: in a directory whose tarvel.ini
// names the server and the till number, checks out tickets through the
// program's own sales store, a few ms apart, as a busy cashier would.
//   tarvel_tillrun TICKETS SEED   stores TICKETS tickets of 1–6 lines of the
//                                 goods G0…G9; a checkout the server does not
//                                 answer is tried again with the same ticket
//                                 (and token) until it is stored, as the
//                                 cashier presses F8 again
//   tarvel_tillrun hold           takes the till number and waits
// Prints one line per stored ticket: "ticket NUMBER LINES MS CODE:QTY…",
// MS the time of the successful checkout call.
#include "shop/database.h"
#include "shop/salesstore.h"
#include "shop/shopconfig.h"

#include <QCoreApplication>
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
    SalesStore store(opened.database->shop());
    for (int t = 0; t < tickets; ++t) {
        QList<TicketLine> lines;
        QStringList items;
        const int count = random.bounded(1, 7);
        for (int i = 0; i < count; ++i) {
            TicketLine l;
            l.code = QStringLiteral("G%1").arg(random.bounded(10));
            l.quantity = random.bounded(1, 4);
            l.price = Money::fromUnits(25000);
            l.amount = Money::fromUnits(25000 * qint64(l.quantity));
            l.time = QDateTime::currentDateTimeUtc();
            lines.append(l);
            items.append(QStringLiteral("%1:%2").arg(l.code).arg(l.quantity));
        }
        const QUuid token = QUuid::createUuid();
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QElapsedTimer took;
            took.start();
            const SalesStore::Stored stored = store.storeTicket(0, lines, token);
            if (stored.ok) {
                std::printf("ticket %lld %d %.3f %s\n", static_cast<long long>(stored.ticketNumber), count,
                            took.nsecsElapsed() / 1e6, qPrintable(items.join(u' ')));
                break;
            }
            if (waited.elapsed() > 60000) {
                std::fprintf(stderr, "tillrun: gave up: %s\n", qPrintable(stored.error));
                return 1;
            }
            QThread::msleep(100);
        }
        QThread::msleep(random.bounded(1, 4));
    }
    std::fflush(stdout);
    return 0;
}
