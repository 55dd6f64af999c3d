#pragma once

#include "shop/shop.h"
#include "shop/shopcopy.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Emptying whole tables to start afresh: the sales; the sales and the
// purchases; or those and the goods catalogue. Before anything is emptied a
// dated copy of the whole file is written beside it, because this is the one
// action that destroys a shop's history. The tables are emptied in one
// transaction: all of them or none. The payments of the tills' open periods
// stay: the day's close still counts the money the drawer took.
class DataCleanup
{
public:
    enum class Scope { Sales, SalesAndPurchases, Everything };

    struct Result
    {
        bool ok = false;
        QString backupPath; // the copy written before emptying
        QString error;      // for the user, when not ok
    };

    // The tables a scope empties, in the order they are emptied.
    static QStringList tablesOf(Scope scope);
    // What of `table` the cleanup keeps: an SQL condition, or empty for none.
    static QString keptOf(const QString &table);
    // Where the copy taken at `when` goes: tarv-yyyyMMdd-HHmmss.db beside the file.
    static QString backupPathFor(const QString &databasePath, const QDateTime &when);

    // `progress` follows the server's copy (the file's copy is one step).
    static Result run(const Shop &shop, const QString &databasePath, Scope scope,
                      const QDateTime &when = QDateTime::currentDateTime(), const ShopCopy::Progress &progress = {});

private:
    // On the server the copy is the server's shop in a new file in the
    // directory the program runs in, named as on the file.
    static Result runOnServer(const Shop &shop, Scope scope, const QDateTime &when, const ShopCopy::Progress &progress);
};
