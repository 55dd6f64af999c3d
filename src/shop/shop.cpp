#include "shop/shop.h"

#include "shop/database.h"
#include "shop/serverdeadline.h"

#include <QSqlQuery>

#include <libpq-fe.h>
#include <sqlite3.h>

Shop Shop::of(QSqlDatabase connection)
{
    return Shop(std::move(connection), nullptr);
}

int Shop::till() const
{
    const Database *database = owner();
    return database ? database->till() : 1;
}

QString Shop::where() const
{
    const Database *database = owner();
    return database ? database->where() : m_connection.databaseName();
}

std::optional<ShopConfig> Shop::server() const
{
    const Database *database = owner();
    return database ? database->serverConfig() : std::nullopt;
}

QString Shop::fileProblem() const
{
    const Database *database = owner();
    return database ? database->fileProblem() : QString();
}

sqlite3_stmt *Shop::kept(const char *sql) const
{
    const Database *database = owner();
    return database ? database->kept(sql) : nullptr;
}

QString Shop::changeStamp() const
{
    sqlite3 *handle = fileHandle();
    QSqlQuery q(m_connection);
    if (!handle || !q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
        return QString();
    return QStringLiteral("%1/%2").arg(q.value(0).toLongLong()).arg(sqlite3_total_changes64(handle));
}

Shop::KeptUse::~KeptUse()
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

QString Shop::lostInWords(const QString &reason)
{
    return Database::connectionLost(reason);
}

bool Shop::reachable() const
{
    if (!m_connection.isOpen())
        return false;
    PGconn *conn = serverHandleOf(m_connection);
    return !onServer() || (conn && PQstatus(conn) == CONNECTION_OK);
}

Shop::Recovery Shop::recover(QString *error, int lockWaitMs) const
{
    Database *database = owner();
    if (!database || !database->isServer())
        return Recovery::NotLost;
    if (ServerDeadline::passed()) {
        if (error)
            *error = ServerDeadline::silentInWords();
        return Recovery::Lost;
    }
    {
        QSqlQuery probe(m_connection);
        if (m_connection.isOpen() && probe.exec(QStringLiteral("SELECT 1")))
            return Recovery::NotLost; // the failure was the statement's own
    }
    const QString problem = database->connectServer(nullptr, lockWaitMs);
    if (error)
        *error = problem;
    return problem.isEmpty() ? Recovery::Reconnected : Recovery::Lost;
}
