#pragma once

#include "shop/money.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Goods (货名管理) and purchases (进货管理) read from a supplier's CSV file.
// The file is read whole and every row checked before anything is stored;
// the rows are then stored in one transaction, or none of them.
namespace CsvImport {

// The longest code, name or maker taken, in characters.
inline constexpr int MaxText = 50;

struct Table
{
    QList<QStringList> rows;
    QList<int> lines; // the file's line on which each row starts
    QString error;    // why the file could not be read (then there are no rows)
    // Fields split by ";" (what a spreadsheet writes where the decimal mark is
    // a comma, as in Germany or France): amounts may then read "1,50".
    bool semicolons = false;
};

// Reads a CSV file with a parser that knows quoted fields (commas, quotes and
// line breaks inside them): UTF-8 with or without a byte order mark, or
// GB18030 as older Chinese spreadsheets write it. Fields are split by commas,
// or by semicolons when the first line has more of those. A file that ends inside a
// quoted field, is no text, or has a line longer than 64 KB is refused.
// Long work asks `cancelled` now and then; cancelled, it gives up with
// CancelledText (a store then has stored nothing).
using Cancelled = std::function<bool()>;
inline const QString CancelledText = QStringLiteral("已取消，什么也没有保存。");
Table read(const QString &path, const Cancelled &cancelled = {});
Table parse(const QByteArray &bytes, const Cancelled &cancelled = {});

struct Problem
{
    int line = 0;
    QString text;
};

// A first row whose first field is a caption (货号) is the header and skipped.
struct GoodsRow
{
    int line = 0;
    QString code, name;
    std::optional<qint64> minimum;
};
struct Goods
{
    QList<GoodsRow> rows;
    QList<Problem> problems;
};
// Columns: code, name, and optionally the minimum stock. Refused: an empty
// or too long code or name, a code twice in the file or already in the
// catalogue, a minimum that is no whole number.
Goods checkGoods(const QSqlDatabase &db, const Table &table, const Cancelled &cancelled = {});
bool storeGoods(const QSqlDatabase &db, const Goods &goods, QString *error, const Cancelled &cancelled = {});

struct PurchaseRow
{
    int line = 0;
    QString code;
    qint64 quantity = 0;
    Money purchasePrice, sellingPrice;
    QString maker;
    QDate purchased, expires;
};
struct Purchases
{
    QList<PurchaseRow> rows;
    QList<Problem> problems;
};
// Columns: code, quantity, purchase price, selling price, maker, purchase
// date, expiry date (yyyy-MM-dd). Refused: a code not in the catalogue, a
// quantity that is no whole number above zero, a price that is no amount, a
// date that is none, a maker too long.
Purchases checkPurchases(const QSqlDatabase &db, const Table &table, const Cancelled &cancelled = {});
bool storePurchases(const QSqlDatabase &db, const Purchases &purchases, QString *error,
                    const Cancelled &cancelled = {});

} // namespace CsvImport
