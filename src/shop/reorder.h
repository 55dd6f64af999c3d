#pragma once

#include "shop/shop.h"
#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The least stock of each goods (table zuidi, set in 货名管理): none set, the
// goods are never on the reorder list.
namespace MinimumStock {

// The minimum of a code; nothing when none is set.
Result<std::optional<qint64>> of(const Shop &shop, const QString &code);
// Sets the minimum (or, with none, takes it away) in one transaction.
Done set(const Shop &shop, const QString &code, std::optional<qint64> minimum);

} // namespace MinimumStock

// 补货单: the goods whose stock is at or below their minimum, with what sold
// in the last 30 days and the maker of their last purchase, by maker: the
// order list handed to each supplier.
struct ReorderFigures
{
    struct Row
    {
        QString maker, code, name;
        qint64 stock = 0, minimum = 0, soldRecently = 0;
        bool weighed = false; // quantities in grams, shown as kg
    };

    QList<Row> rows; // by maker, then code
    bool ok = true;
    QString error;

    static constexpr int RecentDays = 30;
    // Past this many goods with a minimum, the list is read in one statement
    // rather than one per goods.
    static constexpr int ManyMinimums = 100;
    static QStringList captions();
    static QString text(const Row &row, int column);
    static ReorderFigures compute(const Shop &shop, QDate today);
    // The same before the goods sold by weight are marked.
    static ReorderFigures computeRows(const Shop &shop, QDate today);
};
