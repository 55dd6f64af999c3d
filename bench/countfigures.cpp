// C1–C5: the stock count and the adjustments on the five-year shop. Opening
// the count of all goods against the inventory analysis, posting 20,000
// differences against SQLite inserting the same rows, and every stock
// figure with 100,000 adjustments against the same without any.
#include "benchfigures.h"
#include "benchtable.h"

#include "gui/analysis/inventorydialog.h"
#include "gui/stock/stockcountdialog.h"
#include "shop/database.h"
#include "shop/expiry.h"
#include "shop/reorder.h"
#include "shop/stockcount.h"
#include "shop/stockfigures.h"

#include <QCoreApplication>
#include <QDate>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {

// A count of every goods, each counted one off its book now and then.
qint64 countEverything(const Shop &shop, const StockFigures &figures)
{
    const auto id = StockCount::start(shop, QString());
    if (!id)
        qFatal("no count: %s", qPrintable(id.errorText()));
    QList<std::pair<QString, qint64>> counted;
    for (int i = 0; i < figures.rows.size(); ++i)
        counted.append({figures.rows[i].code, std::max<qint64>(0, figures.rows[i].stock + (i % 3) - 1)});
    if (const Done set = StockCount::setMany(shop, *id, counted); !set)
        qFatal("count not set: %s", qPrintable(set.errorText()));
    return *id;
}

} // namespace

void countFigures(BenchTable &table, const BenchShops &shops)
{
    const QStringList ids = {QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3"), QStringLiteral("C4"),
                             QStringLiteral("C5")};
    if (std::none_of(ids.begin(), ids.end(), [&](const QString &id) { return table.wants(id); }))
        return;
    // A copy of its own: the counts and adjustments stay out of the other figures.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarv.db"));
    if (!copyDurably(shops.shop, path))
        qFatal("cannot copy %s", qPrintable(shops.shop));
    Database::Result opened = Database::open(path);
    if (!opened.database)
        qFatal("%s", qPrintable(opened.message));
    const Shop shop = opened.database->shop();
    const StockFigures figures = StockFigures::compute(shop);

    // Each screen made, shown and drawn, as the keeper opens it.
    countEverything(shop, figures);
    const auto opening = [](auto make) {
        return millisecondsOf([&] {
            auto screen = make();
            screen->show();
            QCoreApplication::processEvents();
        });
    };
    table.measure(
        {QStringLiteral("C1"),
         QStringLiteral("opening 盘点 (frmpandian) on a count of all %1 goods").arg(figures.rows.size()),
         QStringLiteral("opening 库存分析 (frmkucun)"), 1.5},
        5, [&] { return opening([&] { return std::make_unique<StockCountDialog>(shop); }); },
        [&] { return opening([&] { return std::make_unique<InventoryDialog>(shop); }); });

    // Each run posts a count of its own; the baseline inserts as many rows
    // into the same table, with its index, in a file of its own.
    QList<qint64> counts;
    for (int r = 0; r < 3; ++r)
        counts.append(countEverything(shop, figures));
    int run = 0, shellRun = 0;
    const qint64 differing = (figures.rows.size() * 2 + 2) / 3;
    table.measure(
        {QStringLiteral("C2"), QStringLiteral("过账 of the count: about %1 differences stored").arg(differing),
         QStringLiteral("the same rows inserted into tiaozheng in one transaction (sqlite3 shell)"), 2},
        3,
        [&] {
            return millisecondsOf([&] {
                if (const auto posted = StockCount::post(shop, counts[run++]); !posted)
                    qFatal("not posted: %s", qPrintable(posted.errorText()));
            });
        },
        [&] {
            const QString scratch = dir.filePath(QStringLiteral("shell%1.db").arg(++shellRun));
            return shellMilliseconds(
                scratch,
                QStringLiteral("CREATE TABLE tiaozheng (dt TEXT, code TEXT, shuliang INTEGER, jinjia INTEGER, "
                               "jine INTEGER, leibie TEXT, yuanyin TEXT, pandian INTEGER, pici INTEGER, "
                               "till INTEGER); CREATE INDEX tiaozheng_code ON tiaozheng(code, pici, shuliang); "
                               "BEGIN; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < %1) INSERT INTO tiaozheng SELECT '2026-12-11 10:00:00', "
                               "'690' || i, 1 - i % 3, 250000, 250000, '盘点', '盘点 1', 1, NULL, 1 FROM n; "
                               "COMMIT;")
                    .arg(differing - 1));
        });

    // 100,000 adjustments over the goods, against the same shop without them.
    const QString bare = dir.filePath(QStringLiteral("bare.db"));
    if (!copyDurably(shops.shop, bare))
        qFatal("cannot copy %s", qPrintable(shops.shop));
    Database::Result without = Database::open(bare);
    const Shop plain = without.database->shop();
    {
        QSqlQuery q(shop.connection());
        q.exec(QStringLiteral("DELETE FROM tiaozheng"));
        q.exec(QStringLiteral("BEGIN"));
        q.prepare(QStringLiteral("INSERT INTO tiaozheng (dt, code, shuliang, jinjia, jine, leibie, yuanyin) "
                                 "VALUES ('2026-01-01 10:00:00', ?, ?, 10000, 10000, '报损', '损坏')"));
        for (int a = 0; a < 100000; ++a) {
            q.addBindValue(figures.rows[(a * 7919) % figures.rows.size()].code);
            q.addBindValue(-(a % 3) - 1);
            q.exec();
        }
        q.exec(QStringLiteral("COMMIT"));
    }
    for (const Shop &s : {shop, plain}) {
        QSqlQuery q(s.connection());
        q.exec(QStringLiteral("DELETE FROM zuidi"));
        q.exec(QStringLiteral("INSERT INTO zuidi (code, shuliang) SELECT code, 10 FROM name"));
    }
    const QDate today = QDate::currentDate();
    const QString same = QStringLiteral("the same without adjustments");
    table.measure(
        {QStringLiteral("C3"), QStringLiteral("inventory analysis with 100,000 adjustments"), same, 1.2}, 5,
        [&] { return millisecondsOf([&] { StockFigures::compute(shop); }); },
        [&] { return millisecondsOf([&] { StockFigures::compute(plain); }); });
    table.measure(
        {QStringLiteral("C4"), QStringLiteral("expiry list, 30 days, with 100,000 adjustments"), same, 1.2}, 5,
        [&] { return millisecondsOf([&] { ExpiryFigures::compute(shop, today, 30); }); },
        [&] { return millisecondsOf([&] { ExpiryFigures::compute(plain, today, 30); }); });
    table.measure(
        {QStringLiteral("C5"), QStringLiteral("reorder list with 100,000 adjustments"), same, 1.2}, 5,
        [&] { return millisecondsOf([&] { ReorderFigures::compute(shop, today); }); },
        [&] { return millisecondsOf([&] { ReorderFigures::compute(plain, today); }); });
}
