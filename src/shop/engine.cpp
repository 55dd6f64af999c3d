#include "shop/engine.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

Engine engineOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

pg_conn *serverHandleOf(const QSqlDatabase &db)
{
    if (!db.isOpen() || !onServer(db))
        return nullptr;
    // Qt names the handle's type after libpq's struct.
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || (qstrcmp(v.typeName(), "pg_conn*") != 0 && qstrcmp(v.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<pg_conn *const *>(v.constData());
}

void readOnce(QSqlQuery &query, const QSqlDatabase &db)
{
    query.setForwardOnly(!onServer(db));
}
