#pragma once

#include "shop/recordset.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// How a record set's rows are read (part of RecordSet): through SQLite's own
// interface on the file, through the driver on the server. Each fills `read`
// and returns the error, empty when every row was read.

// The name under which a writable source selects its rows' rowid.
inline const QString RowidAlias = QStringLiteral("__tarvel_rowid");

QString readThroughSqlite(const QSqlDatabase &db, const QString &source, const QVariantList &bindings,
                          RecordSet::Read &read);
QString readThroughDriver(const QSqlDatabase &db, const QString &source, const QVariantList &bindings,
                          RecordSet::Read &read);
