#pragma once

#include "shop/csvread.h"
#include "shop/money.h"
#include "shop/shop.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Goods (货名管理) and purchases (进货管理) read from a supplier's CSV file.
// Every row is checked before anything is stored; the rows are then stored
// in one transaction, or none of them. The file is walked, never held: the
// check keeps the problems and a few bytes a row, the preview reads back
// the rows it shows, the store walks the file once more.
namespace CsvImport {

// The longest code, name or maker taken, in characters.
inline constexpr int MaxText = 50;
// The problems kept of a file; past them only their number.
inline constexpr int MaxProblems = 10000;
inline const QString ChangedText = QStringLiteral("文件在检查之后改过了，什么也没有保存。请重新导入。");

struct Problem
{
    int line = 0;
    QString text;
};

// A file as checked: why it cannot be read, or its rows and their problems;
// each row read back from the file when it is asked for.
class Checked
{
public:
    QString error;           // the file could not be read (then nothing else is known)
    QList<Problem> problems; // the first MaxProblems, by line
    qsizetype problemCount = 0;

    qsizetype size() const { return m_rows; }
    int lineOf(qsizetype row) const;
    // The row's fields in the check's order of columns (empty where missing).
    QStringList fieldsOf(qsizetype row) const;
    bool semicolons() const { return m_source && m_source->semicolons(); }

    // Walks the rows again, for a store: each row's fields (in the check's
    // order) and its line; the reason the walk stopped, else empty.
    QString walk(const std::function<bool(const QStringList &fields, int line)> &row, const Cancelled &cancelled) const;

    // Walks `source` for a check: opens it, finds the header and `order`'s
    // columns (a problem for each of the first `required` missing), notes
    // where the blocks of rows start, and gives each row to `row`.
    void read(const std::shared_ptr<Source> &source, const QStringList &order, qsizetype required,
              const Cancelled &cancelled, const std::function<void(const QStringList &fields, int line)> &row);
    void addProblem(int line, const QString &text);
    void sortProblems();

protected:
    std::shared_ptr<Source> m_source;
    QList<int> m_columns; // where each of the check's columns stands in the file
    bool m_header = false;
    qsizetype m_rows = 0;
    // Every BlockRows-th row's offset and line, for reading rows back.
    static constexpr qsizetype BlockRows = 256;
    QList<std::pair<qint64, int>> m_blocks;
    struct Cached
    {
        qsizetype block = -1;
        QList<QStringList> rows;
        QList<int> lines;
    };
    mutable Cached m_cache;
    const Cached &blockOf(qsizetype row) const;
};

// A first row that names a known column (货号, or 商品编码, 条码, 品名…) is
// the header: the columns are then found by their captions.
struct GoodsRow
{
    int line = 0;
    QString code, name;
    std::optional<qint64> minimum;
};
class Goods : public Checked
{
public:
    GoodsRow rowAt(qsizetype row) const;
};
// Columns: code, name, and optionally the minimum stock. Refused: an empty
// or too long code or name, a code twice in the file or already in the
// catalogue, a minimum that is no whole number.
Goods checkGoods(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled = {});
Done storeGoods(const Shop &shop, const Goods &goods, const Cancelled &cancelled = {});

struct PurchaseRow
{
    int line = 0;
    QString code;
    qint64 quantity = 0;
    Money purchasePrice, sellingPrice;
    QString maker;
    QDate purchased, expires;
};
class Purchases : public Checked
{
public:
    PurchaseRow rowAt(qsizetype row) const;
};
// Columns: code, quantity, purchase price, selling price, maker, purchase
// date, expiry date (yyyy-MM-dd). Refused: a code not in the catalogue, a
// quantity that is no whole number above zero, a price that is no amount, a
// date that is none, a maker too long.
Purchases checkPurchases(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled = {});
Done storePurchases(const Shop &shop, const Purchases &purchases, const Cancelled &cancelled = {});

// 盘点 from a handheld scanner's file: code and count per row (a code on
// several rows, counted on several shelves, adds up). Refused: an empty
// code, a code neither in the catalogue nor purchased, a count that is no
// whole number of 0 or more.
struct CountRow
{
    int line = 0;
    QString code;
    qint64 counted = 0;
};
class Counts : public Checked
{
public:
    CountRow rowAt(qsizetype row) const;
    // Every code's count, summed, in the order first met; an error when
    // the file can no longer be read as checked.
    Result<QList<std::pair<QString, qint64>>> summed() const;
};
Counts checkCounts(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled = {});

} // namespace CsvImport
