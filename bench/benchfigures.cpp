#include "benchfigures.h"

#include "app/backoffice.h"
#include "benchtable.h"
#include "benchwindow.h"
#include "gui/analysis/inventorydialog.h"
#include "gui/analysis/salesanalysisdialog.h"
#include "gui/counter/counterwindow.h"
#include "gui/maintenance/cleanupdialog.h"
#include "gui/screenhost.h"
#include "gui/stock/retaildialog.h"
#include "shop/database.h"
#include "shop/recordset.h"
#include "shop/ticket.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace {

// SQLite alone: the counter's last 20 stored rows inserted again as the next
// ticket, in one transaction, durably, with nothing of Tarvel around it.
class RawInsert
{
public:
    explicit RawInsert(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            qFatal("raw open failed");
        sqlite3_busy_timeout(m_db, 5000);
        sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db,
                           "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)",
                           -1, &m_insert, nullptr);
    }
    ~RawInsert()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }

    double againAsNextTicket(CounterWindow *w)
    {
        QSqlQuery q(w->database().shop().connection());
        q.exec(QStringLiteral("SELECT id, danjuhao, code, shuliang, shoujia, jine, dt FROM xiaoshou "
                              "ORDER BY rowid DESC LIMIT 20"));
        QList<QVariantList> rows;
        while (q.next()) {
            QVariantList row;
            for (int c = 0; c < 7; ++c)
                row << q.value(c);
            rows.prepend(row);
        }
        q.finish();
        if (rows.isEmpty())
            return 0;
        qint64 id = rows.last().at(0).toLongLong() + 1;
        const qint64 number = rows.last().at(1).toLongLong() + 1;
        QList<QByteArray> codes, times;
        for (const QVariantList &row : rows) {
            codes << row.at(2).toString().toUtf8();
            times << row.at(6).toString().toUtf8();
        }
        const double ms = millisecondsOf([&] {
            sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            for (int i = 0; i < rows.size(); ++i) {
                sqlite3_bind_int64(m_insert, 1, id++);
                sqlite3_bind_int64(m_insert, 2, number);
                sqlite3_bind_text(m_insert, 3, codes[i].constData(), int(codes[i].size()), SQLITE_STATIC);
                sqlite3_bind_int64(m_insert, 4, rows[i].at(3).toLongLong());
                sqlite3_bind_int64(m_insert, 5, rows[i].at(4).toLongLong());
                sqlite3_bind_int64(m_insert, 6, rows[i].at(5).toLongLong());
                sqlite3_bind_text(m_insert, 7, times[i].constData(), int(times[i].size()), SQLITE_STATIC);
                if (sqlite3_step(m_insert) != SQLITE_DONE)
                    std::fprintf(stderr, "raw insert: %s\n", sqlite3_errmsg(m_db));
                sqlite3_reset(m_insert);
            }
            if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
                std::fprintf(stderr, "raw commit: %s\n", sqlite3_errmsg(m_db));
        });
        w->setTicketNumber(number + 1);
        return ms;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};

} // namespace

void counterFigures(BenchTable &table, const BenchShops &shops)
{
    Window shop(shops.shop), small(shops.small);
    if (small.codes.isEmpty())
        small.codes = shop.codes; // an empty file: the same codes, each "never purchased"
    const QString same = QStringLiteral("the same on ") + shops.smallName;
    const double loose = shops.guard ? 2 : 1;

    auto lookup = [](Window &on) {
        on.edit("Text1")->setText(on.nextCode());
        return millisecondsOf([&] { on.w->lookupGoods(); });
    };
    table.measure(
        {QStringLiteral("P3"), QStringLiteral("goods lookup, focus into the quantity box"), same, 1.5 * loose, 16},
        shops.guard ? 100 : 300, [&] { return lookup(shop); }, [&] { return lookup(small); });

    auto add = [](Window &on) {
        on.ringUp(19);
        on.edit("Text1")->setText(on.nextCode());
        return millisecondsOf([&] { on.w->addLine(); });
    };
    table.measure(
        {QStringLiteral("P3"), QStringLiteral("add step: the 20th line of a ticket"), same, 1.5 * loose, 16},
        shops.guard ? 30 : 100, [&] { return add(shop); }, [&] { return add(small); });
    if (shop.w->ticket()->lineCount() != 20)
        std::fprintf(stderr, "the ticket has %d lines, not 20\n", shop.w->ticket()->lineCount());
    // The same 20th line with the customer's display on the screen: it may
    // add no more than a tenth.
    auto withDisplay = [&](bool on) {
        shop.w->setCustomerDisplay(on ? QStringLiteral("1") : QString(), QString());
        return add(shop);
    };
    table.measure({QStringLiteral("D1"), QStringLiteral("add step: the 20th line with the customer's display"),
                   QStringLiteral("the same without it (P3)"), 1.1 * loose},
                  shops.guard ? 30 : 100, [&] { return withDisplay(true); }, [&] { return withDisplay(false); });
    shop.w->setCustomerDisplay(QString(), QString());

    RawInsert raw(shops.shop);
    table.measure(
        {QStringLiteral("P4"), QStringLiteral("checkout of a 20-line ticket, durable"),
         QStringLiteral("SQLite inserting the same 20 rows in one transaction, synchronous=FULL"), 1.15 * loose},
        shops.guard ? 20 : 40,
        [&] {
            shop.ringUp(20);
            shop.edit("Text8")->setText(QStringLiteral("1000000"));
            return millisecondsOf([&] { shop.w->checkout(); });
        },
        [&] {
            // The same ring-up comes before the baseline too (and is cleared),
            // so both start with the processor's caches and SQLite's pages in
            // the state a ring-up leaves: only the storing itself is compared.
            shop.ringUp(20);
            shop.w->clearTicket();
            return raw.againAsNextTicket(shop.w.get());
        });
}

namespace {

// One day of the retail records, each file on the day before its last sale.
void retailDay(BenchTable &table, Window &shop, Window &small, const QString &same, double limit)
{
    auto retail = [](Window &on) {
        const QDate day = dayBeforeLastSale(on.w.get());
        auto *dialog = static_cast<RetailDialog *>(on.w->screens()->screen(QStringLiteral("frmlinshou")));
        dialog->show();
        settle();
        return std::pair{dialog, day};
    };
    auto [shopRetail, shopDay] = retail(shop);
    auto [smallRetail, smallDay] = retail(small);
    auto showDay = [](RetailDialog *dialog, QDate day) {
        return millisecondsOf([&] {
            dialog->setDay(day);
            settle();
        });
    };
    Figure &day = table.measure(
        {QStringLiteral("P7"), QString(), same, limit}, 20, [&] { return showDay(shopRetail, shopDay); },
        [&] { return showDay(smallRetail, smallDay); });
    day.what = QStringLiteral("retail records for one day (%1 lines; baseline %2)")
                   .arg(shopRetail->lineCount())
                   .arg(smallRetail->lineCount());
    shop.w->screens()->unloadAll();
    small.w->screens()->unloadAll();
    settle();
}

} // namespace

void screenFigures(BenchTable &table, const BenchShops &shops)
{
    Window shop(shops.shop), small(shops.small);
    const QString same = QStringLiteral("the same on ") + shops.smallName;
    const double limit = shops.guard ? 3 : 1.5;
    if (!shops.guard) // the guard's baseline file has no sales to list
        retailDay(table, shop, small, same, limit);

    for (const char *name : {"frmhuoming", "frmjinhuo"})
        table.measure(
            {QStringLiteral("P7"),
             QStringLiteral("opening %1 (%2)")
                 .arg(QString::fromLatin1(name),
                      name == QByteArray("frmhuoming") ? QStringLiteral("货名管理") : QStringLiteral("进货管理")),
             same, limit},
            20, [&] { return shop.openScreen(name); }, [&] { return small.openScreen(name); });

    // 库存分析's grid: the computed figures put into the grid and shown, the
    // first rows drawn (the figures themselves are P6).
    auto stockGrid = [](Window &on) {
        auto *dialog = static_cast<InventoryDialog *>(on.w->screens()->screen(QStringLiteral("frmkucun")));
        dialog->show();
        settle();
        auto *grid = dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        const double ms = millisecondsOf([&] {
            dialog->fill();
            grid->viewport()->repaint();
            settle();
        });
        return ms;
    };
    table.measure(
        {QStringLiteral("P7"), QStringLiteral("库存分析's grid filled with the computed figures and drawn"), same,
         limit},
        20, [&] { return stockGrid(shop); }, [&] { return stockGrid(small); });
    shop.w->screens()->unloadAll();
    small.w->screens()->unloadAll();
    settle();

    // The purchase grid scrolled to its end, as far as the user can go.
    auto toEnd = [](Window &on) {
        QDialog *dialog = on.w->screens()->screen(QStringLiteral("frmjinhuo"));
        dialog->show();
        settle();
        auto *grid = dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        const double ms = millisecondsOf([&] {
            for (int guard = 0; guard < 100000; ++guard) {
                grid->scrollToBottom();
                settle();
                if (!grid->model()->canFetchMore({}) &&
                    grid->verticalScrollBar()->value() == grid->verticalScrollBar()->maximum())
                    break;
            }
        });
        on.w->screens()->unloadAll();
        settle();
        return ms;
    };
    table.measure(
        {QStringLiteral("P7"), QStringLiteral("purchase grid scrolled to its end"), same, limit}, 5,
        [&] { return toEnd(shop); }, [&] { return toEnd(small); });
}

void analysisFigures(BenchTable &table, const BenchShops &shops)
{
    Window shop(shops.shop);
    const QString pass = QStringLiteral("one pass over all sale lines (sqlite3 shell, same file)");
    auto floor = [&] {
        return shellMilliseconds(shops.shop, QStringLiteral("SELECT SUM(shuliang), SUM(jine) FROM xiaoshou"));
    };

    auto *dialog = static_cast<SalesAnalysisDialog *>(shop.w->screens()->screen(QStringLiteral("frmxiaoshou")));
    dialog->show();
    settle();
    const QDate lastDay = dayBeforeLastSale(shop.w.get());
    const QDate year(lastDay.year() - 1, 1, 1);
    auto summarise = [&](QDate first, QDate last) {
        dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(first);
        dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker2"))->setDate(last);
        return millisecondsOf([&] {
            dialog->summarise();
            settle();
        });
    };
    table.measure(
        {QStringLiteral("P5"), QStringLiteral("sales analysis, one year (%1)").arg(year.year()), pass, 1.5}, 5,
        [&] { return summarise(year, year.addYears(1).addDays(-1)); }, floor);
    const QDate month(year.year(), 6, 1);
    table.measure(
        {QStringLiteral("P5"),
         QStringLiteral("sales analysis, one month (%1)").arg(month.toString(QStringLiteral("yyyy-MM"))), pass, 0.2},
        5, [&] { return summarise(month, month.addMonths(1).addDays(-1)); }, floor);
    shop.w->screens()->unloadAll();
    settle();

    table.measure(
        {QStringLiteral("P6"), QStringLiteral("inventory analysis, all time: opening frmkucun (库存分析)"), pass, 1.5},
        5, [&] { return shop.openScreen("frmkucun"); }, floor);
}

void cleanupFigures(BenchTable &table, const BenchShops &shops)
{
    const QDir work = QFileInfo(shops.shop).dir().filePath(QStringLiteral("../cleanup"));
    QDir().mkpath(work.path());
    const QString file = work.filePath(QStringLiteral("tarv.db"));
    auto fresh = [&] {
        for (const QString &name : work.entryList(QDir::Files))
            QFile::remove(work.filePath(name));
        if (!copyDurably(shops.original, file))
            qFatal("cannot copy %s", qPrintable(shops.original));
    };
    table.measure(
        {QStringLiteral("P8"), QStringLiteral("data cleanup of all sales (with its copy of the file)"),
         QStringLiteral("DELETE FROM xiaoshou in the sqlite3 shell (without the file's change-count triggers)"), 2},
        3,
        [&] {
            fresh();
            Window w(file);
            auto *dialog = static_cast<CleanupDialog *>(w.w->screens()->screen(QStringLiteral("frmqingli")));
            return millisecondsOf([&] { dialog->clean(DataCleanup::Scope::Sales); });
        },
        [&] {
            fresh();
            // SQLite's own cost of emptying the table: a trigger per row is
            // ours, and data cleanup drops it too.
            return shellMilliseconds(file, QStringLiteral("DROP TRIGGER IF EXISTS biandong_xiaoshou_delete; "
                                                          "DROP TRIGGER IF EXISTS biandong_xiaoshou_update; "
                                                          "DELETE FROM xiaoshou"));
        });
    for (const QString &name : work.entryList(QDir::Files))
        QFile::remove(work.filePath(name));
}
