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

enum class Added { Added, Full, Failed };
// Appends a name under the next id, taken and written in one transaction,
// so two back offices never give one id twice.
Added add(const Shop &shop, const QString &name, QString *error);

// The names in stored order, duplicates included; nothing, with the reason,
// when they cannot be read.
std::optional<QStringList> names(const Shop &shop, QString *error);

// Removes the first stored entry with exactly this name.
enum class Removed { Removed, Missing, Failed };
Removed remove(const Shop &shop, const QString &name, QString *error);

} // namespace PickList
