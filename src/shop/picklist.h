#pragma once

#include "shop/shop.h"
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The names 货名管理 offers in its name box (table kuaijie), in stored order.
namespace PickList {

// Ids are 16-bit, "last row + 1": at the end of the range nothing is added.
inline constexpr qint64 LastId = 32767;

enum class Added { Added, Full };
// Appends a name under the next id, taken and written in one transaction,
// so two back offices never give one id twice.
Result<Added> add(const Shop &shop, const QString &name);

// The names in stored order, duplicates included.
Result<QStringList> names(const Shop &shop);

// Removes the first stored entry with exactly this name.
enum class Removed { Removed, Missing };
Result<Removed> remove(const Shop &shop, const QString &name);

} // namespace PickList
