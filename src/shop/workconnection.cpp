#include "shop/workconnection.h"

#include "shop/database.h"
#include "shop/engine.h"

#include <QAtomicInteger>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

WorkConnection::WorkConnection(const QSqlDatabase &source)
    : m_driver(source.driverName())
    , m_name(source.databaseName())
    , m_host(source.hostName())
    , m_user(source.userName())
    , m_password(source.password())
    , m_options(source.connectOptions())
    , m_port(source.port())
{ }

WorkConnection::WorkConnection(const QString &path) : m_driver(QStringLiteral("QSQLITE")), m_name(path) { }

WorkConnection::~WorkConnection()
{
    if (m_cancel)
        PQfreeCancel(m_cancel);
}

void WorkConnection::run(const std::function<void(QSqlDatabase)> &work)
{
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("tarvel-work-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_driver, name);
        db.setDatabaseName(m_name);
        db.setHostName(m_host);
        db.setUserName(m_user);
        db.setPassword(m_password);
        db.setPort(m_port);
        db.setConnectOptions(m_options);
        const bool sqlite = m_driver == QLatin1String("QSQLITE");
        if (db.open() && (!sqlite || Database::addShopFunctions(db))) {
            {
                const std::lock_guard guard(m_lock);
                if (sqlite) {
                    m_handle = Database::handleOf(db);
                } else {
                    if (PGconn *conn = serverHandleOf(db))
                        m_cancel = PQgetCancel(conn);
                }
            }
            if (!m_interrupted)
                work(db);
            const std::lock_guard guard(m_lock);
            m_handle = nullptr;
            if (m_cancel)
                PQfreeCancel(m_cancel);
            m_cancel = nullptr;
        } else {
            work(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void WorkConnection::interrupt()
{
    m_interrupted = true;
    const std::lock_guard guard(m_lock);
    if (m_handle)
        sqlite3_interrupt(m_handle);
    if (m_cancel) {
        char error[256];
        PQcancel(m_cancel, error, int(sizeof error));
    }
}
