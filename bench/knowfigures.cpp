// K1–K5: knowing the shop on the five-year shop. The expiry and reorder
// lists against one pass over all purchases and sales, the chart of a year
// against the year's sales analysis alone, and the spreadsheets' own limits.
#include "benchfigures.h"
#include "benchtable.h"
#include "benchwindow.h"

#include "gui/screenhost.h"
#include "gui/sheetexport.h"
#include "shop/csvimport.h"
#include "shop/database.h"
#include "shop/expiry.h"
#include "shop/reorder.h"
#include "shop/salestrend.h"

#include <QDialog>
#include <QFile>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>

void knowFigures(BenchTable &table, const BenchShops &shops)
{
    const QStringList ids = {QStringLiteral("K1"), QStringLiteral("K2"), QStringLiteral("K3"), QStringLiteral("K4"),
                             QStringLiteral("K5")};
    if (std::none_of(ids.begin(), ids.end(), [&](const QString &id) { return table.wants(id); }))
        return;
    Window shop(shops.shop);
    const Shop handle = shop.w->database().shop();
    const QSqlDatabase db = handle.connection();
    const QString pass = QStringLiteral("one pass over all purchases and sales (sqlite3 shell, same file)");
    // Every goods gets a minimum: the reorder list's worst case.
    QSqlQuery q(db);
    q.exec(QStringLiteral("DELETE FROM zuidi"));
    q.exec(QStringLiteral("INSERT INTO zuidi (code, shuliang) SELECT code, 10 FROM name"));
    auto floor = [&] {
        return shellMilliseconds(shops.shop, QStringLiteral("SELECT (SELECT SUM(shuliang) FROM jinhuo), "
                                                            "(SELECT SUM(shuliang) FROM xiaoshou)"));
    };
    const QDate today = dayBeforeLastSale(shop.w.get()).addDays(1);
    table.measure(
        {QStringLiteral("K1"), QStringLiteral("expiry list, 30 days"), pass, 2}, 5,
        [&] { return millisecondsOf([&] { ExpiryFigures::compute(handle, today, 30); }); }, floor);
    table.measure(
        {QStringLiteral("K2"), QStringLiteral("reorder list, a minimum for all 20,000 goods"), pass, 2}, 5,
        [&] { return millisecondsOf([&] { ReorderFigures::compute(handle, today); }); }, floor);

    const QDate year(today.year() - 1, 1, 1), yearEnd(today.year() - 1, 12, 31);
    table.measure(
        {QStringLiteral("K3"), QStringLiteral("sales analysis and its chart, one year (%1)").arg(year.year()),
         QStringLiteral("the sales analysis of the year alone"), 1.2},
        5,
        [&] {
            return millisecondsOf([&] {
                const SalesFigures grid = SalesFigures::compute(handle, year, yearEnd);
                SalesTrend::compute(handle, year, yearEnd, grid);
            });
        },
        [&] { return millisecondsOf([&] { SalesFigures::compute(handle, year, yearEnd); }); });

    QTemporaryDir dir;
    auto *purchases = shop.w->screens()->screen(QStringLiteral("frmjinhuo"));
    auto *grid = purchases->findChild<QTableView *>(QStringLiteral("DataGrid1"));
    using K = Spreadsheet::Kind;
    const QList<K> kinds = {K::Text, K::Text, K::Integer, K::Money, K::Money, K::Text, K::Date, K::Date};
    table.measure(
        {QStringLiteral("K4"), QStringLiteral("export of every purchase to .xlsx (进货管理 导出)"),
         QStringLiteral("SELECT * FROM jinhuo (sqlite3 shell)"), 0, 2000},
        3,
        [&] {
            return millisecondsOf([&] {
                exportGrid({grid, kinds, QStringLiteral("进货")}, dir.filePath(QStringLiteral("p.xlsx")));
            });
        },
        [&] { return shellMilliseconds(shops.shop, QStringLiteral("SELECT * FROM jinhuo")); });
    shop.w->screens()->unloadAll();
    settle();

    // 20,000 goods into an empty shop.
    const QString csv = dir.filePath(QStringLiteral("goods.csv"));
    {
        QFile f(csv);
        f.open(QIODevice::WriteOnly);
        f.write("\xEF\xBB\xBF货号,货名,最低库存\r\n");
        for (int g = 0; g < 20000; ++g)
            f.write(QStringLiteral("N%1,\"新货 %1, 大包\",%2\r\n").arg(g).arg(g % 50).toUtf8());
    }
    int run = 0;
    table.measure(
        {QStringLiteral("K5"), QStringLiteral("import of 20,000 goods from CSV (货名管理 导入)"),
         QStringLiteral("the same 20,000 rows inserted in one transaction (sqlite3 shell)"), 0, 5000},
        3,
        [&] {
            const QString path = dir.filePath(QStringLiteral("empty%1.db").arg(++run));
            Database::Result created = Database::create(path);
            const Shop emptyShop = created.database->shop();
            return millisecondsOf([&] {
                if (const Done stored = CsvImport::storeGoods(
                        emptyShop, CsvImport::checkGoods(emptyShop, CsvImport::Source::file(csv)));
                    !stored)
                    qFatal("not imported: %s", qPrintable(stored.errorText()));
            });
        },
        [&] {
            const QString path = dir.filePath(QStringLiteral("shell%1.db").arg(run));
            QFile::remove(path);
            return shellMilliseconds(path,
                                     QStringLiteral("CREATE TABLE name (code TEXT, name TEXT); BEGIN; WITH RECURSIVE "
                                                    "n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 19999) "
                                                    "INSERT INTO name SELECT 'N' || i, '新货 ' || i FROM n; COMMIT"));
        });
}
