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
    // A value of the file that arrives otherwise on the server.
    struct Changed
    {
        QString table, column;
        qint64 rowid = 0;
        QString value;   // as the file holds it
        QString arrives; // as the server would hold it (empty: NULL)
    };
    struct Outcome
    {
        QString error; // empty when the copy is complete
        QList<Count> counts;
        QList<Changed> changed; // copied as they arrive, when asked to go on with them
    };
    // Called every few thousand rows and at the end of each table.
    using Progress = std::function<void(const QString &table, qint64 done, qint64 total)>;

    // Values that would arrive changed stop the copy (listed in the error)
    // unless `acceptChanged`.
    static Outcome toServer(const QString &file, const ShopConfig &server, const Progress &progress = {},
                            bool acceptChanged = false);
    // The command-line flag that asks to go on with changed values.
    static constexpr const char *AcceptChangedFlag = "--accept-changed-values";
    static Outcome fromServer(const ShopConfig &server, const QString &file, const Progress &progress = {});
    // The shop as an open server connection sees it, in the transaction it
    // is in, written into a new file (a backup before a cleanup).
    static Outcome writeFile(const QSqlDatabase &server, const QString &file, const Progress &progress = {});
};
