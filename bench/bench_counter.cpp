// Times the counter's hot paths, the opening of every back-office screen and
// the analyses on a shop file of five busy years:
// 20,000 goods, 100,000 purchases, 1,000,000 sale lines.
//   build/bench/bench_counter [rows-of-sales]     (QT_QPA_PLATFORM=offscreen)
#include "counterwindow.h"
#include "database.h"
#include "goodscatalogue.h"
#include "messages.h"
#include "pricing.h"
#include "purchaselist.h"
#include "recordset.h"
#include "retaildialog.h"
#include "salesfigures.h"
#include "salesstore.h"
#include "screenhost.h"
#include "stockfigures.h"
#include "ticket.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Silent : Messages
{
    bool show(QWidget *, const QString &text, const QString &, Icon, Buttons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

void fill(Database &db, int goods, int purchases, int sales)
{
    QSqlDatabase c = db.connection();
    QSqlQuery q(c);
    q.exec(QStringLiteral("BEGIN"));
    q.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    for (int i = 0; i < goods; ++i) {
        q.addBindValue(QStringLiteral("69%1").arg(i, 11, 10, QChar(u'0')));
        q.addBindValue(QStringLiteral("商品%1").arg(i));
        q.exec();
    }
    auto *rng = QRandomGenerator::global();
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES (?, ?, ?, ?, ?, ?, 'x', '2024-01-01', '2030-01-01')"));
    for (int i = 0; i < purchases; ++i) {
        const qint64 price = 100 * rng->bounded(1, 100000);
        q.addBindValue(i + 1);
        q.addBindValue(QStringLiteral("69%1").arg(i % goods, 11, 10, QChar(u'0')));
        q.addBindValue(rng->bounded(1, 100));
        q.addBindValue(price / 2);
        q.addBindValue(price);
        q.addBindValue(price);
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime start(QDate(2021, 1, 1), QTime(8, 0));
    for (int i = 0; i < sales; ++i) {
        q.addBindValue(i + 1);
        q.addBindValue(i / 5 + 1);
        q.addBindValue(QStringLiteral("69%1").arg(rng->bounded(goods), 11, 10, QChar(u'0')));
        q.addBindValue(1);
        q.addBindValue(25000);
        q.addBindValue(25000);
        q.addBindValue(start.addSecs(qint64(i) * 150).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        q.exec();
    }
    q.exec(QStringLiteral("COMMIT"));
}

struct Stats
{
    double median, p99, max;
};

template <typename F> Stats measure(int runs, F &&f)
{
    std::vector<double> us;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        f(i);
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)], us.back()};
}

void report(const char *what, Stats s)
{
    std::printf("%-44s median %9.1f us   p99 %9.1f us   max %9.1f us\n", what, s.median, s.p99, s.max);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const int sales = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int goods = 20000, purchases = 100000;
    Silent silent;
    Messages::install(&silent);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarv.db"));
    QElapsedTimer t;
    t.start();
    {
        Database::Result r = Database::create(path);
        fill(*r.database, goods, purchases, sales);
    }
    std::printf("file: %d goods, %d purchases, %d sale lines, filled in %.1f s\n", goods, purchases, sales,
                t.elapsed() / 1000.0);

    t.start();
    Database::Result opened = Database::open(path);
    const double openMs = t.nsecsElapsed() / 1e6;
    t.start();
    auto *window = new CounterWindow(std::move(opened.database));
    std::printf("open and check the file: %.1f ms; counter window with ticket number %s: %.1f ms\n", openMs,
                qPrintable(window->findChild<QLabel *>(QStringLiteral("Label8"))->text()), t.nsecsElapsed() / 1e6);
    window->show();

    QSqlDatabase c = window->database().connection();
    GoodsCatalogue catalogue(c);
    auto *rng = QRandomGenerator::global();
    auto code = [&](int) { return QStringLiteral("69%1").arg(rng->bounded(goods), 11, 10, QChar(u'0')); };

    report("catalogue: name of a code", measure(2000, [&](int i) { catalogue.nameOf(code(i)); }));
    report("purchases of a code (count, sum, last)", measure(2000, [&](int i) { catalogue.purchasesOf(code(i)); }));
    report("keystroke: discounted price",
           measure(10000, [&](int) { Pricing::discountedPrice(QStringLiteral("12.50"), QStringLiteral("8.5")); }));

    auto *codeEdit = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *quantityEdit = window->findChild<QLineEdit *>(QStringLiteral("Text3"));
    report("counter: goods lookup (widgets filled)", measure(1000, [&](int i) {
               codeEdit->setText(code(i));
               window->lookupGoods();
           }));
    report("counter: keystroke in quantity box",
           measure(5000, [&](int i) { quantityEdit->setText(QString::number(i % 100 + 1)); }));
    window->clearTicket();
    report("counter: add step (lookup + line + totals)", measure(1000, [&](int i) {
               codeEdit->setText(code(i));
               window->addLine();
           }));
    window->clearTicket();

    SalesStore store(c);
    report("last sale row", measure(2000, [&](int) { store.lastRow(); }));

    // A 20-line ticket stored whole, against SQLite committing 20 plain rows.
    QList<TicketLine> lines;
    for (int i = 0; i < 20; ++i)
        lines.append({code(i), QString(), 1, Money::fromCents(250), Money::fromCents(250), Money::fromCents(250),
                      QDateTime::currentDateTime()});
    qint64 ticketNo = store.nextTicketNumber();
    report("checkout store: 20-line ticket", measure(50, [&](int) { store.storeTicket(ticketNo++, lines); }));
    // The same 20 rows into the same table and indexes, with nothing of ours around them.
    report("baseline: SQLite commits 20 rows durably", measure(50, [&](int) {
               QSqlQuery b(c);
               b.exec(QStringLiteral("BEGIN IMMEDIATE"));
               b.prepare(QStringLiteral("INSERT INTO xiaoshou VALUES (?, ?, ?, ?, ?, ?, ?)"));
               for (const TicketLine &l : lines) {
                   b.addBindValue(1);
                   b.addBindValue(1);
                   b.addBindValue(l.code);
                   b.addBindValue(1);
                   b.addBindValue(25000);
                   b.addBindValue(25000);
                   b.addBindValue(QStringLiteral("2026-01-01 00:00:00"));
                   b.exec();
               }
               b.exec(QStringLiteral("COMMIT"));
           }));
    // The back office on the same file: each screen created and loaded as its
    // button does it (median of a few fresh loads).
    auto openScreen = [&](const char *name) {
        return measure(5, [&](int) {
            QDialog *d = window->screens()->screen(QString::fromLatin1(name));
            d->close(); // the close box: the next opening loads afresh
            window->screens()->unloadAll();
        });
    };
    for (const char *name : {"frmhuoming", "frmjinhuo", "frmlinshou", "frmxiaoshou", "frmxiaopiao", "frmqingli"})
        report(qPrintable(QStringLiteral("open screen %1").arg(QString::fromLatin1(name))), openScreen(name));
    report("open screen frmkucun (all-time stock)", measure(3, [&](int) {
               window->screens()->screen(QStringLiteral("frmkucun"));
               window->screens()->unloadAll();
           }));
    {
        auto *retail = static_cast<RetailDialog *>(window->screens()->screen(QStringLiteral("frmlinshou")));
        report("retail records: one busy day", measure(20, [&](int i) { retail->setDay(QDate(2023, 6, 1 + i % 28)); }));
        std::printf("   (%d lines on that day)\n", retail->dayList()->count());
        window->screens()->unloadAll();
    }
    report("purchase grid: scroll to the end", measure(3, [&](int) {
               PurchaseList list(c);
               list.reload();
               while (list.canFetchMore({}))
                   list.fetchMore({});
           }));
    report("floor: SUM(shuliang), SUM(jine) over all sales", measure(5, [&](int) {
               QSqlQuery f(c);
               f.exec(QStringLiteral("SELECT SUM(shuliang), SUM(jine) FROM xiaoshou"));
               f.next();
           }));
    report("inventory figures, all time", measure(5, [&](int) { StockFigures::compute(c); }));
    report("sales analysis, one year",
           measure(5, [&](int) { SalesFigures::compute(c, QDate(2023, 1, 1), QDate(2023, 12, 31)); }));
    report("sales analysis, one month",
           measure(5, [&](int) { SalesFigures::compute(c, QDate(2023, 3, 1), QDate(2023, 3, 31)); }));

    c = QSqlDatabase();
    delete window;
    return 0;
}
