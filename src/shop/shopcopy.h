#pragma once

#include "shop/shopconfig.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// Moves a shop between its file and the server, whole or not at all: every
// row of every table with its stored order, or nothing. Onto the server in
// one transaction into a database that holds no shop yet; from the server out
// of one snapshot (the tills may go on selling) into a new file that appears
// under its name only when it is complete.
class ShopCopy
{
public:
    struct Count
    {
        QString table;
        qint64 source = 0;
        qint64 target = 0;
    };
    struct Outcome
    {
        QString error; // empty when the copy is complete
        QList<Count> counts;
    };
    // Called every few thousand rows and at the end of each table.
    using Progress = std::function<void(const QString &table, qint64 done, qint64 total)>;

    static Outcome toServer(const QString &file, const ShopConfig &server, const Progress &progress = {});
    static Outcome fromServer(const ShopConfig &server, const QString &file, const Progress &progress = {});
    // The shop as an open server connection sees it, in the transaction it
    // is in, written into a new file (a backup before a cleanup).
    static Outcome writeFile(const QSqlDatabase &server, const QString &file, const Progress &progress = {});
};
