// Crash consistency of the checkout: the real counter window sells ticket
// after ticket on a real file in a child process, which is killed (SIGKILL)
// at a random moment; after each kill the file is opened again and checked.
//   tarvel_crashtest run [kills] [seed]     (prints "kills survived: N/M")
//   tarvel_crashtest child <dir>            (the selling process)
//   tarvel_crashtest once                   (start, sell three tickets, close:
//                                            for LeakSanitizer)
#include "app/startup.h"
#include "gui/counter/counterwindow.h"
#include "gui/messages.h"
#include "shop/database.h"
#include "shop/salesstore.h"

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
    for (int sold = 0; tickets < 0 || sold < tickets; ++sold) {
        const qint64 ticket = w->ticketNumber();
        for (int i = 0; i < linesOf(ticket); ++i) {
            edit("Text1")->setText(QStringLiteral("G%1").arg((ticket + i) % 20));
            edit("Text3")->setText(QStringLiteral("1"));
            w->lookupGoods();
            w->addLine();
        }
        edit("Text8")->setText(QStringLiteral("100000"));
        w->checkout();
        QCoreApplication::processEvents();
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

// Empty when the file is sound; otherwise what is wrong.
QString check(const QString &path)
{
    Database::Result opened = Database::open(path);
    if (!opened.database)
        return QStringLiteral("cannot open again: ") + opened.message;
    QSqlDatabase db = opened.database->connection();
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
    QString error;
    const qint64 next = SalesStore(db).nextTicketNumber(&error);
    if (!error.isEmpty() || next != highest + 1)
        return QStringLiteral("next ticket number %1 after %2 %3").arg(next).arg(highest).arg(error);
    return QString();
}

void makeShop(const QString &path)
{
    {
        Database::Result created = Database::create(path);
        QSqlQuery q(created.database->connection());
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
    qint64 tickets = 0;
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
            QSqlQuery q(opened.database->connection());
            if (q.exec(QStringLiteral("SELECT COUNT(DISTINCT danjuhao) FROM xiaoshou")) && q.next())
                tickets = q.value(0).toLongLong();
        }
    }
    std::printf("crash test: %lld tickets stored, kills survived: %d/%d\n", tickets, survived, kills);
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
