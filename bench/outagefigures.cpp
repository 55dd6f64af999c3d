// A till on the server through an outage: the first checkout after the server
// went silent, the checkouts kept in the till's own file, and the sending of
// what it kept once the server is back.
#include "benchfigures.h"
#include "benchtable.h"
#include "shop/checkout.h"
#include "shop/database.h"
#include "shop/shopcopy.h"
#include "shop/ticket.h"
#include "throwawayserver.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <csignal>
#include <limits>

namespace {

constexpr int Lines = 5;

void ringUp(Checkout &checkout, int ticket)
{
    for (int i = 0; i < Lines; ++i)
        checkout.addLine(QStringLiteral("G%1").arg((ticket + i) % 10), QStringLiteral("货"), 1 + i % 3,
                         Money::fromCents(250), Money::fromCents(250));
}

Checkout::Stored pay(Checkout &checkout)
{
    const Money total = checkout.ticket()->amountTotal();
    const Checkout::Stored stored =
        checkout.store(PaymentMethod::Cash, *Checkout::settle(total, PaymentMethod::Cash, total));
    checkout.clear();
    return stored;
}

// SQLite alone, as durable as the till's file: one ticket row and its lines
// in one transaction, the statements prepared once.
class RawFileInsert
{
public:
    explicit RawFileInsert(const QString &path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        sqlite3_exec(m_db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; CREATE TABLE t (seq INTEGER PRIMARY KEY, "
                     "token TEXT, method TEXT, paid INTEGER, sold TEXT); CREATE TABLE l (seq INTEGER, pos INTEGER, "
                     "code TEXT, name TEXT, quantity INTEGER, price INTEGER, amount INTEGER, time TEXT)",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "INSERT INTO t VALUES (NULL, ?, '现金', 250, '2026-12-10 10:00:00')", -1, &m_ticket,
                           nullptr);
        sqlite3_prepare_v2(m_db, "INSERT INTO l VALUES (?, ?, 'G1', '货', 1, 250, 250, '2026-12-10 10:00:00')", -1,
                           &m_line, nullptr);
    }
    ~RawFileInsert()
    {
        sqlite3_finalize(m_ticket);
        sqlite3_finalize(m_line);
        sqlite3_close(m_db);
    }
    double insert()
    {
        return millisecondsOf([&] {
            sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            const QByteArray token = QUuid::createUuid().toByteArray();
            sqlite3_bind_text(m_ticket, 1, token.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(m_ticket);
            sqlite3_reset(m_ticket);
            const sqlite3_int64 seq = sqlite3_last_insert_rowid(m_db);
            for (int i = 0; i < Lines; ++i) {
                sqlite3_bind_int64(m_line, 1, seq);
                sqlite3_bind_int(m_line, 2, i);
                sqlite3_step(m_line);
                sqlite3_reset(m_line);
            }
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        });
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_ticket = nullptr;
    sqlite3_stmt *m_line = nullptr;
};

// libpq alone: `tickets` tickets of five lines, one transaction each, in one
// round trip each: the same rows into the same tables of the shop (its
// token, its provisional number, its payment, its lines, the kept facts
// following them), numbered by the client; taken away again afterwards.
double rawServerStore(const ShopConfig &c, int tickets)
{
    const QByteArray info =
        QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(c.host).arg(c.port).arg(c.name, c.user).toUtf8();
    PGconn *conn = PQconnectdb(info.constData());
    constexpr qint64 First = 2000000000;
    std::vector<QByteArray> sql;
    for (int t = 0; t < tickets; ++t) {
        const QByteArray n = QByteArray::number(First + t);
        const QByteArray token = "'" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "'";
        QByteArray lines;
        for (int i = 0; i < Lines; ++i)
            lines += QByteArray(i ? ", " : "") + "(" + QByteArray::number(First + t * Lines + i) + ", " + n + ", 'G" +
                     QByteArray::number(i) + "', " + QByteArray::number(1 + i % 3) + ", 2500000, " +
                     QByteArray::number(2500000 * (1 + i % 3)) + ", '2026-12-10 10:00:00')";
        sql.push_back("BEGIN; INSERT INTO xiaoshou_token (token, danjuhao, till) VALUES (" + token + ", " + n +
                      ", 1); INSERT INTO xiaoshou_lixian (token, till, lixianhao, danjuhao) VALUES (" + token +
                      ", 1, " + n + ", " + n +
                      "); INSERT INTO fukuan (danjuhao, till, fangshi, hangshu, xiaoshoue, tuihuoe, shoukuan, "
                      "zhaoling, dt) VALUES (" +
                      n +
                      ", 1, '现金', 5, 22500000, 0, 22500000, 0, '2026-12-10 10:00:00'); INSERT INTO xiaoshou "
                      "(id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES " +
                      lines + "; COMMIT");
    }
    const double ms = millisecondsOf([&] {
        for (const QByteArray &one : sql) {
            PGresult *r = PQexec(conn, one.constData());
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                qFatal("the baseline's ticket was not stored: %s", PQresultErrorMessage(r));
            PQclear(r);
        }
    });
    const QByteArray gone = QByteArray::number(First);
    for (const char *table : {"xiaoshou", "fukuan", "xiaoshou_token", "xiaoshou_lixian"})
        PQclear(PQexec(conn, "DELETE FROM " + QByteArray(table) + " WHERE danjuhao >= " + gone));
    PQfinish(conn);
    return ms;
}

} // namespace

void outageFigures(BenchTable &table, const BenchShops &shops)
{
    ThrowawayServer server(true);
    QTemporaryDir tillDir;
    ShopConfig config = server.newDatabase(1);
    if (const ShopCopy::Outcome copied = ShopCopy::toServer(shops.small, config); !copied.error.isEmpty())
        qFatal("%s", qPrintable(copied.error));
    config.directory = tillDir.path();
    Database::Result opened = Database::openServer(config);
    if (!opened.database)
        qFatal("%s", qPrintable(opened.message));
    const Shop shop = opened.database->shop();
    Checkout checkout(shop);
    if (!checkout.tillFile())
        qFatal("no till file");
    int ticket = 0;

    table.measure(
        {QStringLiteral("O1"), QStringLiteral("first checkout after the server went silent (SIGSTOP): kept offline"),
         QStringLiteral("the same checkout with the server there"), 0, 3500},
        3,
        [&] {
            QSqlQuery q(shop.connection());
            q.exec(QStringLiteral("SELECT pg_backend_pid()"));
            q.next();
            const pid_t pid = q.value(0).toInt();
            ringUp(checkout, ++ticket);
            ::kill(pid, SIGSTOP);
            Checkout::Stored stored;
            const double ms = millisecondsOf([&] { stored = pay(checkout); });
            ::kill(pid, SIGCONT);
            if (stored.provisional == 0)
                qFatal("not kept offline: %s", qPrintable(stored.error));
            // The stopped process ends once it runs again; the number is free.
            QThread::msleep(300);
            if (shop.recover() != Shop::Recovery::Reconnected)
                qFatal("the server did not come back");
            checkout.backOnline();
            return ms;
        },
        [&] {
            ringUp(checkout, ++ticket);
            return millisecondsOf([&] { pay(checkout); });
        });

    checkout.goOffline();
    RawFileInsert raw(tillDir.filePath(QStringLiteral("raw.db")));
    table.measure(
        {QStringLiteral("O2"), QStringLiteral("checkout of a 5-line ticket kept in the till's file (offline)"),
         QStringLiteral("SQLite inserting the same rows, synchronous=FULL"), 1.15},
        // The disk's flush varies from one commit to the next: many runs.
        100,
        [&] {
            ringUp(checkout, ++ticket);
            return millisecondsOf([&] { pay(checkout); });
        },
        [&] { return raw.insert(); });

    constexpr int Waiting = 1000;
    auto keepWaiting = [&] {
        checkout.goOffline();
        while (checkout.waitingCount() < Waiting) {
            ringUp(checkout, ++ticket);
            pay(checkout);
        }
        checkout.backOnline();
    };
    auto sendAll = [&] {
        Result<Checkout::Sending> sending = Checkout::Sending::Sent;
        while (sending && *sending == Checkout::Sending::Sent)
            sending = checkout.sendWaiting(10);
        if (checkout.waitingCount() > 0)
            qFatal("not all sent: %s", qPrintable(sending.errorText()));
    };
    Figure sending(QStringLiteral("O3"), QStringLiteral("sending 1,000 tickets of 5 lines kept offline"),
                   QStringLiteral("libpq storing the same rows in the same tables, one transaction each"), 2);
    for (int round = 0; round < 3; ++round) {
        keepWaiting();
        sending.a.push_back(millisecondsOf(sendAll));
        sending.b.push_back(rawServerStore(config, Waiting));
    }
    table.add(sending);

    // Another till sells while this one sends: its checkouts that were
    // stored between the sending's first and last ticket.
    Figure others(QStringLiteral("O4"),
                  QStringLiteral("99th percentile of another till's checkouts while 1,000 kept tickets are sent"),
                  QStringLiteral("the same till alone"), 0, 50);
    auto checkoutTimes = [](QProcess *p, qint64 from, qint64 to) {
        std::vector<double> times;
        if (!p->waitForFinished(120000) || p->exitCode() != 0)
            qFatal("tillrun failed: %s", p->readAllStandardError().constData());
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 3 && f[0] == "at" && f[1].toLongLong() >= from && f[1].toLongLong() <= to)
                times.push_back(f[2].toDouble());
        }
        std::sort(times.begin(), times.end());
        return times;
    };
    TillProgram alone = startTill(config, 3, {QStringLiteral("300"), QStringLiteral("3"), QStringLiteral("clock")});
    others.b.push_back(percentile99(checkoutTimes(alone.process.get(), 0, std::numeric_limits<qint64>::max())));
    keepWaiting();
    TillProgram beside = startTill(config, 2, {QStringLiteral("800"), QStringLiteral("2"), QStringLiteral("clock")});
    if (!beside.process->waitForReadyRead(30000))
        qFatal("the other till did not start");
    const qint64 from = QDateTime::currentMSecsSinceEpoch();
    sendAll();
    const qint64 to = QDateTime::currentMSecsSinceEpoch();
    const std::vector<double> during = checkoutTimes(beside.process.get(), from, to);
    if (during.size() < 50)
        qFatal("only %zu checkouts of the other till during the sending", during.size());
    others.a.push_back(percentile99(during));
    table.add(others);
}
