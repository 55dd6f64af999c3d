#include "shop/shopcopy.h"

#include "shop/copytable.h"
#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <unistd.h>

namespace {

// A connection of the copy's own to the server, closed and removed when done.
class ServerConnection
{
public:
    explicit ServerConnection(const ShopConfig &config) : m_name(QStringLiteral("tarvel-copy-%1").arg(::getpid()))
    {
        QSqlDatabase db = config.addConnection(m_name);
        if (!db.isValid())
            m_error = QStringLiteral("无法连接%1：%2").arg(config.describe(), ShopConfig::noDriver());
        else if (!db.open())
            m_error = QStringLiteral("无法连接%1：%2").arg(config.describe(), problemText(db.lastError()));
    }
    ~ServerConnection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    QString error() const { return m_error; }

private:
    QString m_name;
    QString m_error;
};

// The row counts of both sides, and an error when they differ.
QString countBoth(const QSqlDatabase &from, const QSqlDatabase &to, QList<ShopCopy::Count> *counts)
{
    for (const Schema::Table &table : Schema::copiedTables()) {
        const auto source = countRows(from, table.name), target = countRows(to, table.name);
        if (!source || !target)
            return (source ? target : source).errorText();
        ShopCopy::Count c{table.name, *source, *target};
        counts->append(c);
        if (c.source != c.target)
            return QStringLiteral("表 %1 复制后行数不符（%2 行对 %3 行）。")
                .arg(table.name)
                .arg(c.source)
                .arg(c.target);
    }
    return QString();
}

} // namespace

ShopCopy::Outcome ShopCopy::toServer(const QString &file, const ShopConfig &server, const Progress &progress,
                                     bool acceptChanged)
{
    Outcome out;
    // Opened as the program opens it: a till still selling on the file keeps
    // the copy out, so no sale is made after its snapshot.
    Database::Result opened = Database::open(file);
    if (!opened.database) {
        out.error = opened.message;
        return out;
    }
    const QSqlDatabase source = opened.database->shop().connection();
    ServerConnection target(server);
    if (!target.error().isEmpty()) {
        out.error = target.error();
        return out;
    }
    const QSqlDatabase db = target.db();
    pg_conn *conn = serverHandleOf(db);
    auto fail = [&](const QString &why) {
        out.error = QStringLiteral("没有复制到%1：%2").arg(server.describe(), why);
        out.counts.clear();
        return out;
    };

    Transaction transaction(Shop::of(db));
    if (!transaction.isActive())
        return fail(transaction.lastError());
    QSqlQuery q(db);
    QStringList names;
    for (const Schema::Table &table : Schema::copiedTables())
        names.append(u'\'' + table.name + u'\'');
    names.append(u'\'' + QLatin1String(Schema::TicketTokens) + u'\'');
    names.append(u'\'' + QLatin1String(ServerFacts::Table) + u'\'');
    if (!q.exec(QStringLiteral("SELECT string_agg(table_name::text, ', ') FROM information_schema.tables "
                               "WHERE table_schema = current_schema() AND table_name IN (%1)")
                    .arg(names.join(u','))) ||
        !q.next())
        return fail(problemText(q.lastError()));
    if (!q.value(0).isNull())
        return fail(QStringLiteral("那里已经有商店的表（%1）。Tarvel 不覆盖已有的数据；"
                                   "要换成这个文件，请先在服务器上删掉那些表或换一个空数据库。")
                        .arg(q.value(0).toString()));
    for (const QString &statement : Schema::serverCreateStatements())
        if (!q.exec(statement))
            return fail(problemText(q.lastError()));
    for (const auto &made : Schema::serverAddedStatements())
        if (!q.exec(made.second))
            return fail(problemText(q.lastError()));

    for (const Schema::Table &table : Schema::copiedTables()) {
        const auto total = countRows(source, table.name);
        const QString error =
            total ? copyTableToServer(source, conn, table, *total, progress, &out.changed) : total.errorText();
        if (!error.isEmpty())
            return fail(QStringLiteral("表 %1：%2").arg(table.name, error));
        // New rows continue after the copied ones.
        if (!q.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'rowid'), "
                                   "COALESCE(MAX(rowid), 0) + 1, false) FROM %1")
                        .arg(table.name)))
            return fail(problemText(q.lastError()));
    }
    if (!out.changed.isEmpty() && !acceptChanged) {
        // Nothing is committed: the user sees every such value first.
        QStringList lines;
        for (const Changed &c : std::as_const(out.changed).first(std::min<qsizetype>(out.changed.size(), 100)))
            lines.append(
                QStringLiteral("  表 %1 第 %2 行（rowid）%3：“%4” → %5")
                    .arg(c.table)
                    .arg(c.rowid)
                    .arg(c.column, c.value,
                         c.arrives.isEmpty() ? QStringLiteral("空（NULL）") : QStringLiteral("“%1”").arg(c.arrives)));
        if (out.changed.size() > 100)
            lines.append(QStringLiteral("  ……共 %1 个").arg(out.changed.size()));
        const QString message = QStringLiteral("文件里有 %1 个值到了服务器上会变样（别的程序写进去的）：\n%2\n"
                                               "请先改正它们；要照上面的样子复制，请加上 %3 再运行。")
                                    .arg(out.changed.size())
                                    .arg(lines.join(u'\n'), QLatin1String(AcceptChangedFlag));
        return fail(message);
    }
    if (const QString error = countBoth(source, db, &out.counts); !error.isEmpty())
        return fail(error);
    // The analyses' kept facts, from the copied rows, and their triggers.
    if (const QString error = ServerFacts::build(db); !error.isEmpty())
        return fail(error);
    if (!transaction.commit())
        return fail(transaction.lastError());
    // The planner's figures, and the visibility map that lets the analyses
    // read the indexes alone; a failure here loses nothing.
    // Only the shop's own tables: the server's catalogue is not ours to vacuum.
    QStringList own;
    for (const Schema::Table &table : Schema::copiedTables())
        own.append(table.name);
    own.append(QLatin1String(ServerFacts::Table));
    q.exec(QStringLiteral("VACUUM ANALYZE %1").arg(own.join(u", ")));
    return out;
}

ShopCopy::Outcome ShopCopy::fromServer(const ShopConfig &server, const QString &file, const Progress &progress)
{
    Outcome out;
    ServerConnection source(server);
    if (!source.error().isEmpty()) {
        out.error = source.error();
        return out;
    }
    const QSqlDatabase db = source.db();
    if (const QString problem = Database::serverShopProblem(db); !problem.isEmpty()) {
        out.error = QStringLiteral("无法使用%1：%2").arg(server.describe(), problem);
        return out;
    }
    if (const QString problem = Database::addServerAddedTables(db); !problem.isEmpty()) {
        out.error = QStringLiteral("无法使用%1：%2").arg(server.describe(), problem);
        return out;
    }
    // One snapshot: the tills may go on selling meanwhile.
    Transaction snapshot(Shop::of(db));
    QSqlQuery q(db);
    if (!snapshot.isActive() || !q.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"))) {
        out.error = snapshot.isActive() ? problemText(q.lastError()) : snapshot.lastError();
        return out;
    }
    return writeFile(db, file, progress);
}

ShopCopy::Outcome ShopCopy::writeFile(const QSqlDatabase &db, const QString &file, const Progress &progress)
{
    Outcome out;
    const QFileInfo info(file);
    if (info.exists()) {
        out.error = QStringLiteral("文件 %1 已经存在。Tarvel 不覆盖它；请给一个新文件名。")
                        .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
        return out;
    }
    // Written under a name of its own beside the target and renamed when
    // complete: a half-written file never bears the shop's name.
    const QString part =
        info.absoluteDir().absoluteFilePath(QStringLiteral(".%1.part-%2").arg(info.fileName()).arg(::getpid()));
    auto fail = [&](const QString &why) {
        out.error = QStringLiteral("没有写出 %1：%2").arg(QDir::toNativeSeparators(info.absoluteFilePath()), why);
        out.counts.clear();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(part + QLatin1String(suffix));
        return out;
    };
    {
        Database::Result created = Database::create(part);
        if (!created.database)
            return fail(created.message);
        const Shop targetShop = created.database->shop();
        const QSqlDatabase target = targetShop.connection();
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SET LOCAL DateStyle = ISO")))
            return fail(problemText(q.lastError()));
        Transaction writing(targetShop);
        QSqlQuery w(target);
        // The new file's own settings rows give way to the shop's.
        if (!writing.isActive() || !w.exec(QStringLiteral("DELETE FROM code")))
            return fail(writing.isActive() ? problemText(w.lastError()) : writing.lastError());
        pg_conn *conn = serverHandleOf(db);
        for (const Schema::Table &table : Schema::copiedTables()) {
            const auto total = countRows(db, table.name);
            const QString error =
                total ? copyTableFromServer(conn, target, table, *total, progress) : total.errorText();
            if (!error.isEmpty())
                return fail(QStringLiteral("表 %1：%2").arg(table.name, error));
        }
        if (const QString error = countBoth(db, target, &out.counts); !error.isEmpty())
            return fail(error);
        if (!writing.commit())
            return fail(writing.lastError());
    }
    if (!QFile::rename(part, info.absoluteFilePath()))
        return fail(QStringLiteral("无法改名为目标文件（它也许刚被别人创建）。"));
    return out;
}
