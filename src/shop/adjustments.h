#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The stock's adjustments (table tiaozheng): what a posted count found more
// or less than the book, and what was written off (报损). A code's stock is
// its purchases less its sales plus its adjustments; a shop that never
// counts nor writes off has none, and its figures are those of purchases
// and sales alone.
namespace Adjustments {

inline constexpr const char *CountKind = "盘点";
inline constexpr const char *WriteOffKind = "报损";

// The reasons a write-off offers; any other typed reason is kept as typed.
const QStringList &writeOffReasons();

struct Totals
{
    QHash<QString, qint64> perCode; // every adjustment of a code
    QHash<qint64, qint64> perBatch; // those of one purchase (rowid) written off
    QStringList codes;              // the adjusted codes, in the order first adjusted
    bool any() const { return !perCode.isEmpty(); }
};
// Every adjustment summed per code and per written-off batch.
Result<Totals> read(const QSqlDatabase &db);

// One code's adjustments in stored order, as 库存分析 shows them beside its
// purchases and sales.
struct Entry
{
    QString time, kind, reason;
    qint64 quantity = 0;
    Money value;
};
Result<QList<Entry>> of(const Shop &shop, const QString &code);

struct WriteOff
{
    QString code;
    qint64 quantity = 0; // taken out of stock, above 0
    QString reason;
    std::optional<qint64> batch; // the purchase's rowid when a batch is written off
};
// Stores the write-off at the last purchase price, with its trail record, in
// one transaction.
Done writeOff(const Shop &shop, const WriteOff &w);

// The last purchase price of `code` (0 without a purchase).
Result<Money> lastPrice(const Shop &shop, const QString &code);

} // namespace Adjustments
