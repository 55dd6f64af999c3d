#include "database.h"

#include "schema.h"
#include "transaction.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

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

Database::Database(const QString &path, std::unique_ptr<QLockFile> lock)
    : m_path(path)
    , m_connectionName(nextConnectionName())
    , m_lock(std::move(lock))
{ }

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
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
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // a lock is stale only when its process is gone
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return {nullptr, Status::AlreadyRunning,
                    QStringLiteral("Tarvel 已经在运行：数据库文件 %1 正被另一个 Tarvel 程序使用。")
                        .arg(QDir::toNativeSeparators(path))};
        return {nullptr, Status::Unusable, unusable(path, QStringLiteral("无法创建锁文件 %1.lock。").arg(path))};
    }

    if (!creating && !hasSqliteHeader(path))
        return {nullptr, Status::Unusable,
                unusable(path, QStringLiteral("不是 Tarvel 数据库（不是 SQLite 数据库文件）。"))};

    std::unique_ptr<Database> database(new Database(path, std::move(lock)));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), database->m_connectionName);
    db.setDatabaseName(path);
    if (!db.open())
        return {nullptr, Status::Unusable, unusable(path, db.lastError().text())};

    if (creating) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return {nullptr, Status::Unusable, unusable(path, q.lastError().text())};
        Transaction tx(db);
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
            return {nullptr, Status::Unusable, unusable(path, q.lastError().text())};
    } else {
        const QString problem = checkTarvelFile(db);
        if (!problem.isEmpty())
            return {nullptr, Status::Unusable, unusable(path, problem)};
    }

    // What the screen reports as stored survives a crash and a power cut.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !q.exec(QStringLiteral("PRAGMA busy_timeout=5000")))
        return {nullptr, Status::Unusable, unusable(path, q.lastError().text())};

    Result r;
    r.database = std::move(database);
    r.status = Status::Ok;
    return r;
}
