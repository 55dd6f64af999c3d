#pragma once

class QSqlDatabase;

// The two engines under the shop's data: the embedded file (one till) and
// the PostgreSQL server shared by several tills. Where a statement differs
// between them, the shop library asks this and nothing else.
enum class Engine { SQLite, PostgreSQL };

Engine engineOf(const QSqlDatabase &db);
inline bool onServer(const QSqlDatabase &db)
{
    return engineOf(db) == Engine::PostgreSQL;
}
