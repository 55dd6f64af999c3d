// The shop on a PostgreSQL server of the benchmark's own (durable, on its
// Unix socket): the checkout against libpq alone, three tills at once, and
// the analyses and lists against one pass over the lines through libpq.
#include "benchfigures.h"
#include "benchtable.h"
#include "benchwindow.h"
#include "gui/analysis/salesanalysisdialog.h"
#include "gui/screenhost.h"
#include "shop/database.h"
#include "shop/expiry.h"
#include "shop/reorder.h"
#include "shop/shopcopy.h"
#include "throwawayserver.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>

namespace {

// libpq alone: the counter's last 20 stored rows inserted again as the next
// ticket, in one transaction, one statement a row.
class RawServerInsert
{
public:
    explicit RawServerInsert(const ShopConfig &c)
    {
        const QByteArray info =
            QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(c.host).arg(c.port).arg(c.name, c.user).toUtf8();
        m_conn = PQconnectdb(info.constData());
        if (PQstatus(m_conn) != CONNECTION_OK)
            qFatal("libpq: %s", PQerrorMessage(m_conn));
    }
    ~RawServerInsert() { PQfinish(m_conn); }

    double againAsNextTicket(CounterWindow *w)
    {
        QSqlQuery q(w->database().shop().connection());
        q.exec(QStringLiteral("SELECT id, danjuhao, code, shuliang, shoujia, jine, dt FROM xiaoshou "
                              "ORDER BY rowid DESC LIMIT 20"));
        QList<QList<QByteArray>> rows;
        while (q.next()) {
            QList<QByteArray> row;
            for (int c = 0; c < 6; ++c)
                row << q.value(c).toString().toUtf8();
            row << q.value(6).toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            rows.prepend(row);
        }
        if (rows.isEmpty())
            return 0;
        qint64 id = rows.last().at(0).toLongLong() + 1;
        const QByteArray number = QByteArray::number(rows.last().at(1).toLongLong() + 1);
        return millisecondsOf([&] {
            run("BEGIN");
            for (QList<QByteArray> &row : rows) {
                row[0] = QByteArray::number(id++);
                row[1] = number;
                const char *values[7];
                for (int i = 0; i < 7; ++i)
                    values[i] = row[i].constData();
                PGresult *r = PQexecParams(m_conn,
                                           "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                           "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                                           7, nullptr, values, nullptr, nullptr, 0);
                if (PQresultStatus(r) != PGRES_COMMAND_OK)
                    std::fprintf(stderr, "libpq insert: %s\n", PQerrorMessage(m_conn));
                PQclear(r);
            }
            run("COMMIT");
        });
    }

    // One statement through libpq, its rows read.
    double timed(const char *sql)
    {
        return millisecondsOf([&] {
            PGresult *r = PQexec(m_conn, sql);
            if (PQresultStatus(r) != PGRES_TUPLES_OK)
                std::fprintf(stderr, "libpq %s: %s\n", sql, PQerrorMessage(m_conn));
            PQclear(r);
        });
    }

private:
    void run(const char *sql)
    {
        PGresult *r = PQexec(m_conn, sql);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            std::fprintf(stderr, "libpq %s: %s\n", sql, PQerrorMessage(m_conn));
        PQclear(r);
    }
    PGconn *m_conn = nullptr;
};

// The checkout times of `tills` till programs started at once, each storing
// `tickets` tickets; sorted.
std::vector<double> tillRun(const ShopConfig &server, int tills, int tickets)
{
    std::vector<TillProgram> running;
    for (int t = 0; t < tills; ++t)
        running.push_back(startTill(server, 10 + t, {QString::number(tickets), QString::number(t + 1)}));
    std::vector<double> times;
    for (TillProgram &till : running) {
        QProcess *p = till.process.get();
        if (!p->waitForFinished(600000) || p->exitCode() != 0)
            qFatal("tillrun failed: %s", p->readAllStandardError().constData());
        for (const QByteArray &line : p->readAllStandardOutput().split('\n'))
            if (line.startsWith("ticket "))
                times.push_back(line.split(' ').at(3).toDouble());
    }
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

TillProgram startTill(const ShopConfig &server, int till, const QStringList &arguments)
{
    TillProgram program{std::make_unique<QTemporaryDir>(), std::make_unique<QProcess>()};
    QFile ini(program.dir->filePath(QStringLiteral("tarvel.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write tarvel.ini");
    ini.write(QStringLiteral("[database]\ndriver=postgresql\nhost=%1\nport=%2\nname=%3\nuser=%4\n[till]\nnumber=%5\n")
                  .arg(server.host)
                  .arg(server.port)
                  .arg(server.name, server.user)
                  .arg(till)
                  .toUtf8());
    ini.close();
    program.process->setWorkingDirectory(program.dir->path());
    program.process->start(QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/tarvel_tillrun"),
                           arguments);
    return program;
}

double percentile99(const std::vector<double> &sorted)
{
    return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
}

void serverFigures(BenchTable &table, const BenchShops &shops)
{
    ThrowawayServer server(true);
    const ShopConfig config = server.newDatabase(1);
    QElapsedTimer copying;
    copying.start();
    const ShopCopy::Outcome copied = ShopCopy::toServer(shops.shop, config);
    if (!copied.error.isEmpty())
        qFatal("%s", qPrintable(copied.error));
    std::fprintf(stderr, "the shop copied onto the server in %.1f s\n", copying.elapsed() / 1000.0);
    Database::Result opened = Database::openServer(config);
    if (!opened.database)
        qFatal("%s", qPrintable(opened.message));
    Window onServer(std::move(opened.database));

    // The analyses and lists against the same work's floor done through libpq.
    RawServerInsert raw(config);
    const QString pass = QStringLiteral("one pass over all sale lines (libpq, same server)");
    auto salesPass = [&] { return raw.timed("SELECT SUM(shuliang), SUM(jine) FROM xiaoshou"); };
    auto *serverSales =
        static_cast<SalesAnalysisDialog *>(onServer.w->screens()->screen(QStringLiteral("frmxiaoshou")));
    serverSales->show();
    settle();
    const QDate lastDay = dayBeforeLastSale(onServer.w.get());
    const QDate year(lastDay.year() - 1, 1, 1);
    auto summarise = [](SalesAnalysisDialog *dialog, QDate first, QDate last) {
        dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(first);
        dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker2"))->setDate(last);
        return millisecondsOf([&] {
            dialog->summarise();
            settle();
        });
    };
    const QDate yearEnd = year.addYears(1).addDays(-1);
    table.measure(
        {QStringLiteral("S3"), QStringLiteral("sales analysis, one year (%1), on the server").arg(year.year()), pass,
         1.5},
        5, [&] { return summarise(serverSales, year, yearEnd); }, salesPass);
    const QDate month(year.year(), 6, 1);
    const QDate monthEnd = month.addMonths(1).addDays(-1);
    table.measure(
        {QStringLiteral("S3"),
         QStringLiteral("sales analysis, one month (%1), on the server").arg(month.toString(QStringLiteral("yyyy-MM"))),
         pass, 0.2},
        5, [&] { return summarise(serverSales, month, monthEnd); }, salesPass);
    onServer.w->screens()->unloadAll();
    settle();
    table.measure(
        {QStringLiteral("S3"), QStringLiteral("inventory analysis, all time, on the server"), pass, 1.5}, 5,
        [&] { return onServer.openScreen("frmkucun"); }, salesPass);

    const Shop handle = onServer.w->database().shop();
    const QSqlDatabase db = handle.connection();
    QSqlQuery q(db);
    q.exec(QStringLiteral("DELETE FROM zuidi"));
    q.exec(QStringLiteral("INSERT INTO zuidi (code, shuliang) SELECT code, 10 FROM name"));
    const QString both = QStringLiteral("one pass over all purchases and sales (libpq, same server)");
    auto bothPass = [&] {
        return raw.timed("SELECT (SELECT SUM(shuliang) FROM jinhuo), (SELECT SUM(shuliang) FROM xiaoshou)");
    };
    const QDate today = lastDay.addDays(1);
    table.measure(
        {QStringLiteral("S3"), QStringLiteral("expiry list, 30 days, on the server"), both, 2}, 5,
        [&] { return millisecondsOf([&] { ExpiryFigures::compute(handle, today, 30); }); }, bothPass);
    table.measure(
        {QStringLiteral("S3"), QStringLiteral("reorder list, a minimum for all 20,000 goods, on the server"), both, 2},
        5, [&] { return millisecondsOf([&] { ReorderFigures::compute(handle, today); }); }, bothPass);

    // The checkout against libpq alone.
    table.measure(
        {QStringLiteral("S1"), QStringLiteral("checkout of a 20-line ticket on the server (Unix socket)"),
         QStringLiteral("libpq inserting the same 20 rows in one transaction"), 1.5},
        40,
        [&] {
            onServer.ringUp(20);
            onServer.edit("Text8")->setText(QStringLiteral("1000000"));
            return millisecondsOf([&] { onServer.w->checkout(); });
        },
        [&] { return raw.againAsNextTicket(onServer.w.get()); });

    // 货名管理 opened the moment the server is back from a restart: its
    // connection is found lost and opened again, and the goods are shown.
    if (table.wants(QStringLiteral("O5"))) {
        Figure back(QStringLiteral("O5"),
                    QStringLiteral("货名管理 opened as soon as the server is back from a restart"),
                    QStringLiteral("the same, the server never away"), 0, 3000);
        auto goodsShown = [&] {
            return millisecondsOf([&] {
                QWidget *screen = onServer.w->screens()->screen(QStringLiteral("frmhuoming"));
                screen->show();
                settle();
                if (screen->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount() == 0)
                    qFatal("货名管理 shows no goods");
            });
        };
        for (int round = 0; round < 3; ++round) {
            server.stopHard();
            server.start();
            back.a.push_back(goodsShown());
            onServer.w->screens()->unloadAll();
            settle();
            back.b.push_back(goodsShown());
            onServer.w->screens()->unloadAll();
            settle();
        }
        table.add(back);
    }

    // Three tills at once against one till alone.
    if (!table.wants(QStringLiteral("S2")))
        return;
    Figure three(QStringLiteral("S2"), QStringLiteral("99th percentile of 600 checkouts, three tills at once"),
                 QStringLiteral("the same of 200 checkouts, one till alone"), 0, 50);
    three.a.push_back(percentile99(tillRun(config, 3, 200)));
    three.b.push_back(percentile99(tillRun(config, 1, 200)));
    table.add(three);
}
