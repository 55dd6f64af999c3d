#include "shop/database.h"

#include "shop/engine.h"
#include "shop/money.h"
#include "shop/schema.h"
#include "shop/settings.h"
#include "shop/transaction.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("tarvel-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString unusable(const QString &path, const QString &reason)
{
    return QStringLiteral("无法使用数据库文件 %1：%2").arg(QDir::toNativeSeparators(path), reason);
}

// Empty unless the open file holds the five tables with their columns and can
// be read to its end.
QString checkTarvelFile(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return QStringLiteral("不是 Tarvel 数据库（%1）。").arg(q.lastError().databaseText());
    QSet<QString> present;
    while (q.next())
        present.insert(q.value(0).toString().toLower());
    for (const Schema::Table &table : Schema::tables()) {
        if (!present.contains(table.name))
            return QStringLiteral("不是 Tarvel 数据库（缺少表 %1）。").arg(table.name);
        QSqlQuery info(db);
        if (!info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table.name)))
            return QStringLiteral("表 %1 无法读取（%2）。").arg(table.name, info.lastError().databaseText());
        QSet<QString> columns;
        while (info.next())
            columns.insert(info.value(1).toString().toLower());
        for (const QString &column : table.columns)
            if (!columns.contains(column))
                return QStringLiteral("不是 Tarvel 数据库（表 %1 缺少列 %2）。").arg(table.name, column);
        // Touching the last row reads the far end of the table: a truncated or
        // damaged file fails here rather than in the middle of a sale.
        QSqlQuery last(db);
        if (!last.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid DESC LIMIT 1").arg(table.name)))
            return QStringLiteral("表 %1 已损坏（%2）。").arg(table.name, last.lastError().databaseText());
    }
    return QString();
}

bool hasSqliteHeader(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3", 16);
}

} // namespace

Database::Database(const QString &path, int lockFd)
    : m_path(path)
    , m_connectionName(nextConnectionName())
    , m_lockFd(lockFd)
    , m_self(std::make_shared<Database *>(this))
{
    struct stat st = {};
    if (::fstat(lockFd, &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
}

Database::Database(const ShopConfig &server)
    : m_connectionName(nextConnectionName())
    , m_server(server)
    , m_self(std::make_shared<Database *>(this))
{ }

Shop Database::shop() const
{
    return Shop(connection(), m_self);
}

QString Database::fileProblem() const
{
    if (isServer())
        return QString();
    struct stat st = {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0 || quint64(st.st_dev) != m_device ||
        quint64(st.st_ino) != m_inode)
        return QStringLiteral(
                   "数据库文件 %1 已被移走、删除或替换，数据没有保存。请关闭 Tarvel，把文件放回原处后重新启动。")
            .arg(QDir::toNativeSeparators(m_path));
    return QString();
}

namespace {
void storedUnits(sqlite3_context *context, int, sqlite3_value **args)
{
    sqlite3_value *v = args[0];
    QVariant stored;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(v));
        return;
    case SQLITE_FLOAT:
        stored = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
        stored = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        break;
    default:
        sqlite3_result_null(context);
        return;
    }
    const QVariant money = Schema::fromStorage(Schema::ColumnKind::Money, stored);
    if (money.isValid())
        sqlite3_result_int64(context, money.value<Money>().units());
    else
        sqlite3_result_null(context);
}
} // namespace

bool Database::addShopFunctions(const QSqlDatabase &connection)
{
    sqlite3 *handle = fileHandleOf(connection);
    return handle &&
           sqlite3_create_function_v2(handle, "tarvel_units", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                      nullptr, storedUnits, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt *Database::kept(const char *sql) const
{
    if (isServer())
        return nullptr;
    if (const auto it = m_kept.find(std::string_view(sql)); it != m_kept.end())
        return it->second;
    sqlite3 *handle = fileHandleOf(connection());
    sqlite3_stmt *stmt = nullptr;
    if (!handle || sqlite3_prepare_v3(handle, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    m_kept.emplace(sql, stmt);
    return stmt;
}

Database::~Database()
{
    *m_self = nullptr;
    for (const auto &[sql, stmt] : m_kept)
        sqlite3_finalize(stmt);
    m_kept.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    // Only now that SQLite has let go of the file: closing this descriptor
    // ends the flock and would end SQLite's locks too.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QString Database::defaultPassword()
{
    return QStringLiteral("1234");
}

QString Database::defaultHeader()
{
    return QStringLiteral("欢迎光临本超市");
}

QStringList Database::defaultFooter()
{
    return {QStringLiteral("谢谢惠顾，欢迎再次光临！"), QStringLiteral("请保留小票作为退换货凭证")};
}

Database::Result Database::open(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {nullptr, Status::Missing,
                QStringLiteral("数据库文件 %1 不存在。").arg(QDir::toNativeSeparators(info.absoluteFilePath()))};
    if (!info.isFile())
        return {nullptr, Status::Unusable, unusable(info.absoluteFilePath(), QStringLiteral("它不是一个文件。"))};
    if (!info.isReadable())
        return {nullptr, Status::Unusable, unusable(info.absoluteFilePath(), QStringLiteral("没有读取权限。"))};
    // A till that cannot store its sales must not start selling.
    if (!info.isWritable())
        return {nullptr, Status::Unusable, unusable(info.absoluteFilePath(), QStringLiteral("没有写入权限。"))};
    return lockAndOpen(info.absoluteFilePath(), false);
}

Database::Result Database::create(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    {
        QFile f(absolute);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return {
                nullptr, Status::Unusable,
                QStringLiteral("无法创建数据库文件 %1：%2").arg(QDir::toNativeSeparators(absolute), f.errorString())};
    }
    Result r = lockAndOpen(absolute, true);
    if (!r.database)
        QFile::remove(absolute);
    return r;
}

Database::Result Database::lockAndOpen(const QString &path, bool creating)
{
    if (!creating && !hasSqliteHeader(path))
        return {nullptr, Status::Unusable,
                unusable(path, QStringLiteral("不是 Tarvel 数据库（不是 SQLite 数据库文件）。"))};

    // The lock belongs to the file (its inode), not to a name beside it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, Status::Unusable, unusable(path, QString::fromLocal8Bit(std::strerror(errno)))};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return {nullptr, Status::AlreadyRunning,
                    QStringLiteral("Tarvel 已经在运行：数据库文件 %1 正被另一个 Tarvel 程序使用。")
                        .arg(QDir::toNativeSeparators(path))};
        return {
            nullptr, Status::Unusable,
            unusable(path, QStringLiteral("无法锁定文件（%1）。").arg(QString::fromLocal8Bit(std::strerror(error))))};
    }

    std::unique_ptr<Database> database(new Database(path, fd));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), database->m_connectionName);
    db.setDatabaseName(path);
    if (!db.open())
        return {nullptr, Status::Unusable, unusable(path, problemText(db.lastError()))};
    if (!addShopFunctions(db))
        return {nullptr, Status::Unusable, unusable(path, QStringLiteral("SQLite 函数无法注册。"))};

    if (creating) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return {nullptr, Status::Unusable, unusable(path, problemText(q.lastError()))};
        Transaction tx(database->shop());
        bool ok = tx.isActive();
        for (const QString &statement : Schema::createStatements())
            ok = ok && q.exec(statement);
        auto insertSetting = [&](int id, const QString &code, const QString &content) {
            QSqlQuery ins(db);
            ins.prepare(QStringLiteral("INSERT INTO code (id, code, content) VALUES (?, ?, ?)"));
            ins.addBindValue(id);
            ins.addBindValue(code);
            ins.addBindValue(content);
            return ins.exec();
        };
        ok = ok && insertSetting(Schema::PasswordRowId, defaultPassword(), QString());
        ok = ok && insertSetting(Schema::HeaderRowId, QString(), defaultHeader());
        int footerId = Schema::HeaderRowId;
        for (const QString &line : defaultFooter())
            ok = ok && insertSetting(++footerId, QString(), line);
        if (!ok || !tx.commit())
            return {nullptr, Status::Unusable, unusable(path, problemText(q.lastError()))};
    } else {
        const QString problem = checkTarvelFile(db);
        if (!problem.isEmpty())
            return {nullptr, Status::Unusable, unusable(path, problem)};
    }

    // What the screen reports as stored survives a crash and a power cut.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !q.exec(QStringLiteral("PRAGMA busy_timeout=5000")))
        return {nullptr, Status::Unusable, unusable(path, problemText(q.lastError()))};
    // Files of older versions get the indexes and the day's tables made since.
    for (const QString &statement : Schema::indexStatements() + Schema::addedStatements())
        if (!q.exec(statement))
            return {nullptr, Status::Unusable, unusable(path, problemText(q.lastError()))};
    if (!creating) {
        if (const Done rows = Settings(database->shop()).ensureRows(); !rows)
            return {nullptr, Status::Unusable, unusable(path, rows.errorText())};
    }

    Result r;
    r.database = std::move(database);
    r.status = Status::Ok;
    return r;
}
