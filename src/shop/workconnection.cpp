#include "shop/workconnection.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/servergoods.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSqlDriver>
#include <QStringList>
#include <QThreadPool>
#include <QVariant>

#include <map>
#include <memory>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/socket.h>

WorkConnection::WorkConnection(const Shop &shop)
{
    const QSqlDatabase source = shop.connection();
    m_driver = source.driverName();
    m_name = source.databaseName();
    m_host = source.hostName();
    m_user = source.userName();
    m_password = source.password();
    m_options = source.connectOptions();
    m_port = source.port();
}

WorkConnection::WorkConnection(const QString &path) : m_driver(QStringLiteral("QSQLITE")), m_name(path) { }

WorkConnection::~WorkConnection()
{
    if (m_cancel)
        PQfreeCancel(m_cancel);
}

namespace {

// The server connections of this thread kept between works, by where they
// go, each with the goods it keeps for the analyses.
class KeptConnections
{
public:
    ~KeptConnections()
    {
        for (const auto &[where, one] : m_kept) {
            QSqlDatabase::database(one.name, false).close();
            QSqlDatabase::removeDatabase(one.name);
        }
    }
    QString nameFor(const QString &where) const
    {
        const auto it = m_kept.find(where);
        return it == m_kept.end() ? QString() : it->second.name;
    }
    ServerGoods *goodsFor(const QString &where, PGconn *conn)
    {
        auto it = m_kept.find(where);
        if (it == m_kept.end() || !conn)
            return nullptr;
        if (!it->second.goods)
            it->second.goods = std::make_unique<ServerGoods>(conn);
        return it->second.goods.get();
    }
    void keep(const QString &where, const QString &name)
    {
        m_kept[where].name = name;
        m_kept[where].idle.start();
    }
    void used(const QString &where)
    {
        if (const auto it = m_kept.find(where); it != m_kept.end())
            it->second.idle.start();
    }
    void forgetIdle(qint64 ms)
    {
        QStringList idle;
        for (const auto &[where, one] : m_kept)
            if (one.idle.elapsed() >= ms) // with no idle time at all, every one
                idle.append(where);
        for (const QString &where : idle)
            forget(where);
    }
    void forget(const QString &where)
    {
        const QString name = nameFor(where);
        if (name.isEmpty())
            return;
        m_kept.erase(where);
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }

private:
    struct Kept
    {
        QString name;
        std::unique_ptr<ServerGoods> goods;
        QElapsedTimer idle;
    };
    std::map<QString, Kept> m_kept;
};

thread_local KeptConnections kept;

QString newConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("tarvel-work-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A kept connection can be used again: reachable, and in no transaction.
bool usable(PGconn *conn)
{
    return conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_IDLE;
}

} // namespace

QThreadPool *WorkConnection::pool()
{
    // One thread, never ended while the application runs: the kept server
    // connections belong to it, and are closed when it ends with the pool.
    static QPointer<QThreadPool> one;
    if (!one) {
        one = new QThreadPool(QCoreApplication::instance());
        one->setMaxThreadCount(1);
        one->setExpiryTimeout(-1);
    }
    return one;
}

void WorkConnection::run(const Work &work)
{
    const bool sqlite = m_driver == QLatin1String("QSQLITE");
    if (sqlite) {
        const QString name = newConnectionName();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(m_driver, name);
            db.setDatabaseName(m_name);
            db.open();
            runOn(db, work);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return;
    }

    const QString where =
        QStringList{m_driver, m_name, m_host, m_user, m_password, m_options, QString::number(m_port)}.join(QChar(0));
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString name = kept.nameFor(where);
        const bool reused = !name.isEmpty();
        QSqlDatabase db;
        if (reused) {
            db = QSqlDatabase::database(name, false);
            if (!usable(serverHandleOf(db))) {
                db = QSqlDatabase();
                kept.forget(where);
                continue;
            }
        } else {
            name = newConnectionName();
            db = QSqlDatabase::addDatabase(m_driver, name);
            db.setDatabaseName(m_name);
            db.setHostName(m_host);
            db.setUserName(m_user);
            db.setPassword(m_password);
            db.setPort(m_port);
            db.setConnectOptions(m_options);
            kept.keep(where, name);
        }
        {
            // Opened here when new; its goods belong to it from then on.
            if (!db.isOpen())
                db.open();
            const ServerGoods::Use goods(kept.goodsFor(where, serverHandleOf(db)));
            runOn(db, work);
        }
        PGconn *conn = serverHandleOf(db);
        // The next work must see what was committed meanwhile, never this
        // work's snapshot.
        if (conn && PQstatus(conn) == CONNECTION_OK &&
            (PQtransactionStatus(conn) == PQTRANS_INTRANS || PQtransactionStatus(conn) == PQTRANS_INERROR))
            PQclear(PQexec(conn, "ROLLBACK"));
        if (usable(conn)) {
            kept.used(where);
            return;
        }
        // Lost, or never opened: not kept. A connection kept from before
        // that was lost meanwhile gets the work once more on a new one.
        db = QSqlDatabase();
        kept.forget(where);
        if (!reused || m_interrupted)
            return;
    }
}

void WorkConnection::closeIdle(qint64 idleMilliseconds)
{
    kept.forgetIdle(idleMilliseconds);
}

void WorkConnection::runOn(QSqlDatabase db, const Work &work)
{
    const bool sqlite = m_driver == QLatin1String("QSQLITE");
    if (db.isOpen() && (!sqlite || Database::addShopFunctions(db))) {
        {
            const std::lock_guard guard(m_lock);
            if (sqlite) {
                m_handle = fileHandleOf(db);
            } else {
                if (PGconn *conn = serverHandleOf(db)) {
                    m_cancel = PQgetCancel(conn);
                    m_socket = PQsocket(conn);
                }
            }
        }
        if (!m_interrupted)
            work(Shop::of(db));
        const std::lock_guard guard(m_lock);
        m_handle = nullptr;
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
        m_socket = -1;
    } else {
        work(Shop::of(db));
    }
}

void WorkConnection::cutOff()
{
    const std::lock_guard guard(m_lock);
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
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
