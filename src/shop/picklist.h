#pragma once

#include <QSqlDatabase>
#include <QString>

// The names 货名管理 offers in its name box (table kuaijie), in stored order.
namespace PickList {

// Ids are 16-bit, "last row + 1": at the end of the range nothing is added.
inline constexpr qint64 LastId = 32767;

enum class Added { Added, Full, Failed };
// Appends a name under the next id, taken and written in one transaction,
// so two back offices never give one id twice.
Added add(QSqlDatabase db, const QString &name, QString *error);

} // namespace PickList
