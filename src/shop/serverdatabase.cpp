#include "shop/database.h"

#include "shop/schema.h"
#include "shop/settings.h"

#include <QDir>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

// The shop on a PostgreSQL server, shared by several tills.

namespace {

// The advisory lock space of Tarvel's till numbers: lock (TillLocks, n) is
// held by the program that sells as till n.
constexpr int TillLocks = 20261209;

QString serverText(const ShopConfig &c)
{
    const QString host = c.host.isEmpty() ? QStringLiteral("localhost") : c.host;
    return QStringLiteral("服务器 %1:%2 上的数据库 %3").arg(host).arg(c.port).arg(c.name);
}

// Empty when the server database holds the shop's tables with their columns.
QString checkServerShop(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                               "WHERE table_schema = current_schema()")))
        return q.lastError().text();
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

} // namespace

QString Database::where() const
{
    return m_server ? serverText(*m_server) : QDir::toNativeSeparators(m_path);
}

QString Database::connectServer(Status *status)
{
    if (status)
        *status = Status::Unusable;
    QSqlDatabase db = connection();
    if (db.isOpen())
        db.close();
    if (!db.open())
        return QStringLiteral("无法连接%1：%2").arg(serverText(*m_server), db.lastError().text());
    QSqlQuery q(db);
    // A checkout waits for another till's checkout, never for ever.
    if (!q.exec(QStringLiteral("SET lock_timeout = '10s'")))
        return QStringLiteral("无法使用%1：%2").arg(serverText(*m_server), q.lastError().text());
    q.prepare(QStringLiteral("SELECT pg_try_advisory_lock(?, ?)"));
    q.addBindValue(TillLocks);
    q.addBindValue(m_server->till);
    if (!q.exec() || !q.next())
        return QStringLiteral("无法使用%1：%2").arg(serverText(*m_server), q.lastError().text());
    if (!q.value(0).toBool()) {
        db.close();
        if (status)
            *status = Status::AlreadyRunning;
        return QStringLiteral("收银台 %1 已经有一个 Tarvel 在使用%2。每台收银机要在 tarvel.ini 的 [till] number "
                              "中设一个自己的号码。")
            .arg(m_server->till)
            .arg(serverText(*m_server));
    }
    return QString();
}

Database::Result Database::openServer(const ShopConfig &config)
{
    std::unique_ptr<Database> database(new Database(config));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), database->m_connectionName);
    if (!db.isValid())
        return {nullptr, Status::Unusable,
                QStringLiteral("无法连接%1：本机没有 Qt 的 PostgreSQL 驱动（Debian 软件包 libqt6sql6-psql）。")
                    .arg(serverText(config))};
    db.setHostName(config.host);
    db.setPort(config.port);
    db.setDatabaseName(config.name);
    db.setUserName(config.user);
    db.setConnectOptions(ShopConfig::connectOptions());
    Status status = Status::Unusable;
    if (const QString problem = database->connectServer(&status); !problem.isEmpty())
        return {nullptr, status, problem};
    if (const QString problem = checkServerShop(db); !problem.isEmpty())
        return {nullptr, Status::Unusable, QStringLiteral("无法使用%1：%2").arg(serverText(config), problem)};
    if (const QString problem = Settings(db).ensureRows(); !problem.isEmpty())
        return {nullptr, Status::Unusable, QStringLiteral("无法使用%1：%2").arg(serverText(config), problem)};
    Result r;
    r.database = std::move(database);
    r.status = Status::Ok;
    return r;
}
