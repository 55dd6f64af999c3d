#include "shop/database.h"

#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/settings.h"
#include "shop/tillfile.h"
#include "shop/transaction.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// The shop on a PostgreSQL server, shared by several tills.

namespace {

// The advisory lock space of Tarvel's till numbers: lock (TillLocks, n) is
// held by the program that sells as till n.
constexpr int TillLocks = 20261209;
// (TillLocks, 0), no till's number: held while the tables are added.
constexpr int AddedTablesLock = 0;
// How long a start or a reconnect waits for its till number to be let go.
constexpr int TillLockWaitMs = 4000;

} // namespace

// A shop copied onto the server by an older version gets the day's tables;
// only what is missing is made, in one transaction.
QString Database::addServerAddedTables(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    auto missingTables = [&q](QStringList *missing) {
        // Read from pg_class itself: a name lookup (to_regclass) may answer
        // from this session's catalog cache, from before another till's
        // commit.
        for (const auto &[name, statement] : Schema::serverAddedStatements()) {
            q.prepare(QStringLiteral("SELECT NOT EXISTS (SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = "
                                     "c.relnamespace WHERE c.relname = ? AND n.nspname = current_schema())"));
            q.addBindValue(name);
            if (!q.exec() || !q.next())
                return false;
            if (q.value(0).toBool())
                missing->append(statement);
        }
        return true;
    };
    QStringList missing;
    if (!missingTables(&missing))
        return problemText(q.lastError());
    if (missing.isEmpty())
        return QString();
    // Tills starting at once on an older shop: one adds the tables, the
    // others wait for it and then find them there.
    Transaction tx(Shop::of(db));
    if (!tx.isActive())
        return tx.lastError();
    if (!q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, %2)").arg(TillLocks).arg(AddedTablesLock)))
        return problemText(q.lastError());
    missing.clear();
    if (!missingTables(&missing))
        return problemText(q.lastError());
    for (const QString &statement : std::as_const(missing))
        if (!q.exec(statement))
            return problemText(q.lastError());
    return tx.commit() ? QString() : tx.lastError();
}

QString Database::serverShopProblem(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                               "WHERE table_schema = current_schema()")))
        return problemText(q.lastError());
    QSet<QString> present;
    while (q.next())
        present.insert(q.value(0).toString() + u'.' + q.value(1).toString());
    if (!present.contains(QStringLiteral("xiaoshou.rowid")))
        return QStringLiteral("那里还没有商店数据。请先在装有 tarv.db 的目录里运行 tarvel --copy-to-server。");
    for (const Schema::Table &table : Schema::tables())
        for (const QString &column : table.columns)
            if (!present.contains(table.name + u'.' + column))
                return QStringLiteral("不是 Tarvel 数据库（表 %1 缺少列 %2）。").arg(table.name, column);
    if (!present.contains(QLatin1String(Schema::TicketTokens) + QStringLiteral(".token")))
        return QStringLiteral("不是 Tarvel 数据库（缺少表 %1）。").arg(QLatin1String(Schema::TicketTokens));
    return QString();
}

QString Database::connectionLost(const QString &reason)
{
    return QStringLiteral("与数据库服务器的连接断开了，请检查网络和服务器。%1").arg(reason);
}

QString Database::where() const
{
    return m_server ? m_server->describe() : QDir::toNativeSeparators(m_path);
}

QString Database::connectServer(Status *status, int lockWaitMs)
{
    if (status)
        *status = Status::Unusable;
    QSqlDatabase db = connection();
    if (db.isOpen())
        db.close();
    if (!db.open()) {
        // Down or cut off, as against a server that refused the connection
        // (a database or user that is not there: the configuration's fault).
        if (status && m_server->ping() == ShopConfig::Answer::None)
            *status = Status::Unreachable;
        return QStringLiteral("无法连接%1：%2\n请检查 tarvel.ini 的 [database] 各项、服务器是否在运行，"
                              "以及密码（~/.pgpass 或 PGPASSWORD）。")
            .arg(m_server->describe(), problemText(db.lastError()));
    }
    // The number of a till that has just ended (a crash, a kill) is free
    // again within a second or two, once the server has seen it go: the
    // lock is waited for that long before the number counts as taken.
    QSqlQuery q(db);
    bool locked = q.exec(QStringLiteral("SET lock_timeout = '%1ms'").arg(lockWaitMs > 0 ? lockWaitMs : TillLockWaitMs));
    if (locked) {
        q.prepare(QStringLiteral("SELECT pg_advisory_lock(?, ?)"));
        q.addBindValue(TillLocks);
        q.addBindValue(m_server->till);
        locked = q.exec();
    }
    if (!locked && q.lastError().nativeErrorCode() == u"55P03") {
        q = QSqlQuery(); // its statement goes before the connection
        db.close();
        if (status)
            *status = Status::AlreadyRunning;
        return QStringLiteral("收银台 %1 正被另一个 Tarvel 程序使用（%2）。若是这台收银机的程序刚刚意外退出，"
                              "请稍等几秒后再启动；若两台收银机设了同一个号码，请在其中一台的 tarvel.ini 的 "
                              "[till] number 中设一个自己的号码。")
            .arg(m_server->till)
            .arg(m_server->describe());
    }
    if (!locked || !q.exec(QStringLiteral("RESET lock_timeout")))
        return QStringLiteral("无法使用%1：%2").arg(m_server->describe(), problemText(q.lastError()));
    if (m_serverChecked)
        return QString();
    // A till that started without its server checks the shop there now.
    const QString problem = checkServerShop();
    if (!problem.isEmpty()) {
        q = QSqlQuery();
        db.close();
        return problem;
    }
    m_serverChecked = true;
    return QString();
}

QString Database::checkServerShop()
{
    const QSqlDatabase db = connection();
    QString problem = serverShopProblem(db);
    if (problem.isEmpty())
        problem = addServerAddedTables(db);
    if (problem.isEmpty())
        problem = ServerFacts::ensure(db);
    if (problem.isEmpty())
        problem = Settings(shop()).ensureRows().errorText();
    return problem.isEmpty() ? QString() : QStringLiteral("无法使用%1：%2").arg(m_server->describe(), problem);
}

Database::Result Database::openServer(const ShopConfig &config, bool offline)
{
    std::unique_ptr<Database> database(new Database(config));
    // A second program of the same till on this PC is refused by the till's
    // own file, also while the server cannot be reached (the server's lock
    // of the number refuses one on another PC).
    if (!config.directory.isEmpty()) {
        const QString path = TillFile::pathFor(config);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return {nullptr, Status::AlreadyRunning,
                        QStringLiteral("Tarvel 已经在运行：收银台 %1 的本机文件 %2 正被本机另一个 Tarvel 程序使用。")
                            .arg(config.till)
                            .arg(QDir::toNativeSeparators(path))};
        } else if (fd >= 0) {
            database->m_lockFd = fd;
        }
    }
    QSqlDatabase db = config.addConnection(database->m_connectionName);
    if (!db.isValid())
        return {nullptr, Status::Unusable,
                QStringLiteral("无法连接%1：%2").arg(config.describe(), ShopConfig::noDriver())};
    Status status = Status::Unusable;
    if (const QString problem = database->connectServer(&status); !problem.isEmpty()) {
        if (offline && status == Status::Unreachable)
            return {std::move(database), status, problem};
        return {nullptr, status, problem};
    }
    Result r;
    r.database = std::move(database);
    r.status = Status::Ok;
    return r;
}
