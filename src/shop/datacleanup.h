#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Emptying whole tables to start afresh: the sales; the sales and the
// purchases; or those and the goods catalogue. Before anything is emptied a
// dated copy of the whole file is written beside it, because this is the one
// action that destroys a shop's history. The tables are emptied in one
// transaction: all of them or none.
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
    // Where the copy taken at `when` goes: tarv-yyyyMMdd-HHmmss.db beside the file.
    static QString backupPathFor(const QString &databasePath, const QDateTime &when);

    static Result run(QSqlDatabase db, const QString &databasePath, Scope scope,
                      const QDateTime &when = QDateTime::currentDateTime());

private:
    // On the server the copy is the server's shop in a new file in the
    // directory the program runs in, named as on the file.
    static Result runOnServer(QSqlDatabase db, Scope scope, const QDateTime &when);
};
