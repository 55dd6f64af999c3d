#pragma once

#include "shop/result.h"

class QSqlDatabase;
class QSqlError;
class QString;
class QSqlQuery;
struct pg_conn;
struct sqlite3;

// The two engines under the shop's data: the embedded file (one till) and
// the PostgreSQL server shared by several tills. Where a statement differs
// between them, the shop library asks this and nothing else.
enum class Engine { SQLite, PostgreSQL };

Engine engineOf(const QSqlDatabase &db);
inline bool onServer(const QSqlDatabase &db)
{
    return engineOf(db) == Engine::PostgreSQL;
}

// libpq's own handle of an open server connection, for what Qt's driver does
// not offer (COPY, cancelling a running statement); null for anything else.
pg_conn *serverHandleOf(const QSqlDatabase &db);
// SQLite's own handle of an open file connection; null for anything else.
sqlite3 *fileHandleOf(const QSqlDatabase &db);

// A read that goes through its rows once. On the file it is forward-only
// (no copy of the rows is kept); on the server Qt's driver would then fetch
// one row per message, which costs more than the rows themselves, so the
// whole result comes at once.
void readOnce(QSqlQuery &query, const QSqlDatabase &db);

// A server's error in the shop's words, with the server's own text as the
// detail: what the cashier or keeper can do about it comes first.
QString serverProblemInWords(const QString &sqlState, const QString &serverText);
QString serverProblemInWords(const QSqlError &error);
// A failed statement's error for the user: on the server in the shop's
// words (above), on the file as SQLite says it.
QString problemText(const QSqlError &error);
// The same as the Error of a failed statement.
Error failureOf(const QSqlQuery &query);
