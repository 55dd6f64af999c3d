#pragma once

class QSqlDatabase;
struct pg_conn;

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
