#pragma once

#include "shop/result.h"
#include "shop/schema.h"
#include "shop/shopcopy.h"

#include <QSqlDatabase>
#include <QString>

struct pg_conn;

// One table's rows copied between the file and the server, in stored order
// with their rowids, values as the program reads them; the error, empty when
// the table was copied whole. Part of ShopCopy, which runs them in its
// transactions.
// Each value the server would not hold as the file does (a date that is no
// date, a quantity with decimals, an amount that is no amount) is added to
// `changed`; the caller decides whether the copy may go on with them.
QString copyTableToServer(const QSqlDatabase &file, pg_conn *conn, const Schema::Table &table, qint64 total,
                          const ShopCopy::Progress &progress, QList<ShopCopy::Changed> *changed);
QString copyTableFromServer(pg_conn *conn, const QSqlDatabase &file, const Schema::Table &table, qint64 total,
                            const ShopCopy::Progress &progress);
// The rows of a table.
Result<qint64> countRows(const QSqlDatabase &db, const QString &table);
