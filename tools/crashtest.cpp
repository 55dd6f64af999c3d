// Crash consistency of the checkout: the real counter window sells ticket
// after ticket on a real file in a child process, which is killed (SIGKILL)
// at a random moment; after each kill the file is opened again and checked.
// The tickets are paid in turn by each method, every seventh gives a piece of
// the ticket before it back, and every tenth is followed by the day's close.
//   tarvel_crashtest run [kills] [seed]     (prints "kills survived: N/M")
//   tarvel_crashtest child <dir>            (the selling process)
//   tarvel_crashtest once                   (start, sell three tickets, close:
//                                            for LeakSanitizer)
#include "app/startup.h"
#include "gui/counter/counterwindow.h"
#include "gui/messages.h"
#include "shop/database.h"
#include "shop/dayclose.h"
#include "shop/returns.h"
#include "shop/salesstore.h"
#include "shop/ticket.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

// Lines of a ticket follow from its number, so a check can tell whether a
// ticket was stored whole.
int linesOf(qint64 ticket)
{
    return int(ticket % 5) + 1;
}

struct Quiet : Messages
{
    bool show(QWidget *, const QString &text, const QString &, Icon, Buttons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

void makeShop(const QString &path);

int child(const QString &dir, int tickets = -1)
{
    Quiet quiet;
    Messages::install(&quiet);
    QDir::setCurrent(dir);
    const Startup started = startTarvel();
    if (!started.window)
        return 3;
    CounterWindow *w = started.window;
    auto edit = [w](const char *name) { return w->findChild<QLineEdit *>(QString::fromLatin1(name)); };
    const Shop handle = w->database().shop();
    const QSqlDatabase db = handle.connection();
    for (int sold = 0; tickets < 0 || sold < tickets; ++sold) {
        const qint64 ticket = w->ticketNumber();
        int first = 0;
        if (ticket % 7 == 0) {
            const auto before = Returns::ticketLines(handle, ticket - 1);
            if (before && !before->isEmpty() && before->first().left() > 0) {
                w->ticket()->add(Returns::returnLine(before->first(), ticket - 1, before->first().returned, 1,
                                                     QDateTime::currentDateTime()));
                first = 1;
            }
        }
        for (int i = first; i < linesOf(ticket); ++i) {
            edit("Text1")->setText(QStringLiteral("G%1").arg((ticket + i) % 20));
            edit("Text3")->setText(QStringLiteral("1"));
            w->lookupGoods();
            w->addLine();
        }
        edit("Text8")->setText(QStringLiteral("100000"));
        w->checkoutPaidBy(AllPaymentMethods[size_t(ticket % 4)]);
        QCoreApplication::processEvents();
        if (ticket % 10 == 0) {
            DayClose day(handle);
            if (!day.close(Money::fromCents(ticket)) || !day.open(Money()))
                qFatal("the till's period was not closed and opened again");
        }
    }
    // Closed as the cashier closes it: the window deletes itself.
    w->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Messages::install(nullptr);
    return 0;
}

int once()
{
    QTemporaryDir dir;
    makeShop(dir.filePath(QString::fromLatin1(Database::FileName)));
    const int result = child(dir.path(), 3);
    std::printf("start, sell and close: %s\n", result == 0 ? "done" : "failed");
    return result;
}

// The first row's first value of a query that must give one.
qint64 one(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

// Every ticket has its one payment row with its sums, every returned line its
// return row, no line gives back more than was sold, and every close holds
// the sums of its tickets.
QString checkDay(const QSqlDatabase &db)
{
    const QList<std::pair<const char *, const char *>> rules = {
        {"tickets without their one payment row",
         "SELECT COUNT(*) FROM (SELECT danjuhao, COUNT(*) AS n, SUM(jine) AS net FROM xiaoshou GROUP BY danjuhao) AS t "
         "WHERE (SELECT COUNT(*) FROM fukuan WHERE fukuan.danjuhao = t.danjuhao) <> 1 OR NOT EXISTS (SELECT 1 FROM "
         "fukuan WHERE fukuan.danjuhao = t.danjuhao AND hangshu = t.n AND xiaoshoue - tuihuoe = t.net)"},
        {"payment rows without a ticket",
         "SELECT COUNT(*) FROM fukuan WHERE NOT EXISTS (SELECT 1 FROM xiaoshou WHERE xiaoshou.danjuhao = "
         "fukuan.danjuhao)"},
        {"returned lines without their return row",
         "SELECT (SELECT COUNT(*) FROM xiaoshou WHERE shuliang < 0) - (SELECT COUNT(*) FROM tuihuo t JOIN xiaoshou x "
         "ON x.danjuhao = t.danjuhao AND x.id = t.id AND x.shuliang = -t.shuliang)"},
        {"lines given back more than sold",
         "SELECT COUNT(*) FROM xiaoshou x WHERE x.shuliang < (SELECT COALESCE(SUM(t.shuliang), 0) FROM tuihuo t WHERE "
         "t.yuandanjuhao = x.danjuhao AND t.yuanid = x.id) AND x.shuliang > 0"},
        {"closes whose figures are not their tickets'",
         "SELECT COUNT(*) FROM rijie r WHERE jieshudt IS NOT NULL AND (piaoshu <> (SELECT COUNT(*) FROM fukuan f WHERE "
         "f.rijie = r.id) OR xiaoshoue <> (SELECT COALESCE(SUM(xiaoshoue), 0) FROM fukuan f WHERE f.rijie = r.id))"},
        {"tickets of a close that is not stored",
         "SELECT COUNT(*) FROM fukuan f WHERE rijie IS NOT NULL AND NOT EXISTS (SELECT 1 FROM rijie r WHERE r.id = "
         "f.rijie AND r.jieshudt IS NOT NULL)"},
        {"more than one open period", "SELECT COUNT(*) - 1 FROM rijie WHERE jieshudt IS NULL HAVING COUNT(*) > 1"},
    };
    for (const auto &[what, sql] : rules) {
        const qint64 n = one(db, QString::fromUtf8(sql));
        if (n > 0)
            return QStringLiteral("%1: %2").arg(QString::fromUtf8(what)).arg(n);
    }
    return QString();
}

// Empty when the file is sound; otherwise what is wrong.
QString check(const QString &path)
{
    Database::Result opened = Database::open(path);
    if (!opened.database)
        return QStringLiteral("cannot open again: ") + opened.message;
    const Shop handle = opened.database->shop();
    QSqlDatabase db = handle.connection();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next() || q.value(0).toString() != u"ok")
        return QStringLiteral("integrity_check: ") + q.value(0).toString();
    if (!q.exec(QStringLiteral("SELECT danjuhao, COUNT(*) FROM xiaoshou GROUP BY danjuhao")))
        return q.lastError().text();
    while (q.next())
        if (q.value(1).toInt() != linesOf(q.value(0).toLongLong()))
            return QStringLiteral("ticket %1 has %2 lines, not %3")
                .arg(q.value(0).toString(), q.value(1).toString())
                .arg(linesOf(q.value(0).toLongLong()));
    if (!q.exec(QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT id), MAX(danjuhao) FROM xiaoshou")) || !q.next())
        return q.lastError().text();
    if (q.value(0).toInt() != 0)
        return QStringLiteral("%1 ids given twice").arg(q.value(0).toInt());
    const qint64 highest = q.value(1).toLongLong();
    if (const QString day = checkDay(db); !day.isEmpty())
        return day;
    const auto next = SalesStore(handle).nextTicketNumber();
    if (!next || *next != highest + 1)
        return QStringLiteral("next ticket number %1 after %2 %3")
            .arg(next.valueOr(-1))
            .arg(highest)
            .arg(next.errorText());
    return QString();
}

void makeShop(const QString &path)
{
    {
        Database::Result created = Database::create(path);
        QSqlQuery q(created.database->shop().connection());
        for (int g = 0; g < 20; ++g) {
            q.exec(QStringLiteral("INSERT INTO name (code, name) VALUES ('G%1', '货%1')").arg(g));
            q.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                                  "guoqidt) VALUES (%1, 'G%2', 100, 10000, 25000, 25000, 'x', '2026-01-01', "
                                  "'2027-01-01')")
                       .arg(g + 1)
                       .arg(g));
        }
    }
}

int run(int kills, quint32 seed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(Database::FileName));
    makeShop(path);
    QRandomGenerator random(seed);
    int survived = 0;
    qint64 tickets = 0, returned = 0, closes = 0;
    for (int k = 1; k <= kills; ++k) {
        QProcess seller;
        seller.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        seller.start(QCoreApplication::applicationFilePath(), {QStringLiteral("child"), dir.path()});
        if (!seller.waitForStarted()) {
            std::printf("kill %d: the seller did not start\n", k);
            continue;
        }
        QThread::msleep(random.bounded(150, 700));
        seller.kill(); // SIGKILL to the selling process itself
        seller.waitForFinished();
        const QString problem = check(path);
        if (problem.isEmpty())
            ++survived;
        else
            std::printf("kill %d: %s\n", k, qPrintable(problem));
        QSqlDatabase::removeDatabase(QString()); // nothing left open between runs
    }
    {
        Database::Result opened = Database::open(path);
        if (opened.database) {
            QSqlQuery q(opened.database->shop().connection());
            if (q.exec(QStringLiteral("SELECT COUNT(DISTINCT danjuhao) FROM xiaoshou")) && q.next())
                tickets = q.value(0).toLongLong();
            const QSqlDatabase db = opened.database->shop().connection();
            returned = one(db, QStringLiteral("SELECT COUNT(*) FROM tuihuo"));
            closes = one(db, QStringLiteral("SELECT COUNT(*) FROM rijie WHERE jieshudt IS NOT NULL"));
        }
    }
    std::printf("crash test: %lld tickets stored (%lld returned lines, %lld closes), kills survived: %d/%d\n",
                static_cast<long long>(tickets), static_cast<long long>(returned), static_cast<long long>(closes),
                survived, kills);
    return survived == kills ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == u"child")
        return child(args.value(2));
    if (args.value(1) == u"once")
        return once();
    if (args.value(1) == u"run")
        return run(args.value(2, QStringLiteral("200")).toInt(), args.value(3, QStringLiteral("1")).toUInt());
    std::fputs("usage: tarvel_crashtest run [kills] [seed]\n", stderr);
    return 2;
}
