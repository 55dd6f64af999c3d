#include "app/copycommand.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/serverroles.h"
#include "shop/shopconfig.h"
#include "shop/shopcopy.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>

#include <optional>

#include <cstdio>
#include <unistd.h>

namespace {

const QString ToServer = QStringLiteral("--copy-to-server");
const QString FromServer = QStringLiteral("--copy-from-server");
const QString Grants = QStringLiteral("--server-grants");

void print(std::FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

bool isCopyCommand(const QStringList &arguments)
{
    return arguments.contains(ToServer) || arguments.contains(FromServer) || arguments.contains(Grants);
}

namespace {

// The server tarvel.ini of the current directory names; nothing after saying why not.
std::optional<ShopConfig> serverHere()
{
    const ShopConfigRead config = ShopConfig::read(QDir::currentPath());
    if (!config.config) {
        print(stderr, config.error + u'\n');
        return std::nullopt;
    }
    if (config.config->engine != Engine::PostgreSQL) {
        print(stderr, QStringLiteral("这里没有 %1，或它没有指定服务器（[database] driver=postgresql）。\n")
                          .arg(QString::fromLatin1(ShopConfig::FileName)));
        return std::nullopt;
    }
    return *config.config;
}

int runGrants(const QStringList &arguments)
{
    const int at = arguments.indexOf(Grants);
    if (at + 2 >= arguments.size()) {
        print(stderr, QStringLiteral("用法：tarvel --server-grants 后台角色 收银台角色\n"));
        return 2;
    }
    const std::optional<ShopConfig> server = serverHere();
    if (!server)
        return 1;
    const QString name = QStringLiteral("tarvel-grants");
    QString problem;
    {
        QSqlDatabase db = server->addConnection(name);
        if (!db.isValid())
            problem = ShopConfig::noDriver();
        else if (!db.open())
            problem = QStringLiteral("无法连接%1：%2").arg(server->describe(), problemText(db.lastError()));
        else
            problem = ServerRoles::grant(db, arguments[at + 1], arguments[at + 2]);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!problem.isEmpty()) {
        print(stderr, problem + QStringLiteral("\n什么也没有改变。\n"));
        return 1;
    }
    print(stdout, QStringLiteral("已授权：%1 为后台角色，%2 为收银台角色（%3）。\n")
                      .arg(arguments[at + 1], arguments[at + 2], server->describe()));
    return 0;
}

} // namespace

int runCopyCommand(const QStringList &arguments)
{
    if (arguments.contains(Grants))
        return runGrants(arguments);
    const bool toServer = arguments.contains(ToServer);
    const int at = arguments.indexOf(FromServer);
    const QString file = toServer ? QDir::current().absoluteFilePath(QString::fromLatin1(Database::FileName))
                         : at + 1 < arguments.size() ? QDir::current().absoluteFilePath(arguments[at + 1])
                                                     : QString();
    if ((toServer && at >= 0) || file.isEmpty() || file.startsWith(u"--")) {
        print(stderr, QStringLiteral("用法：tarvel --copy-to-server [%1]  或  tarvel --copy-from-server 新文件\n")
                          .arg(QLatin1String(ShopCopy::AcceptChangedFlag)));
        return 2;
    }
    const std::optional<ShopConfig> here = serverHere();
    if (!here)
        return 1;
    const ShopConfig &server = *here;
    QString finished;
    // The running counts only where someone watches; the table of counts
    // below says the same once for a log.
    const bool watched = ::isatty(STDERR_FILENO);
    const auto progress = [&finished, watched](const QString &table, qint64 done, qint64 total) {
        if (table == finished || !watched)
            return;
        print(stderr, QStringLiteral("\r%1: %2 / %3 行").arg(table, -10).arg(done).arg(total));
        if (done == total) {
            print(stderr, u'\r' + QString(48, u' ') + u'\r'); // the table of counts follows
            finished = table;
        }
    };
    const QString from = toServer ? QDir::toNativeSeparators(file) : server.describe();
    const QString to = toServer ? server.describe() : QDir::toNativeSeparators(file);
    print(stderr, QStringLiteral("复制 %1 → %2\n").arg(from, to));
    const bool acceptChanged = arguments.contains(QLatin1String(ShopCopy::AcceptChangedFlag));
    const ShopCopy::Outcome out = toServer ? ShopCopy::toServer(file, server, progress, acceptChanged)
                                           : ShopCopy::fromServer(server, file, progress);
    if (!out.error.isEmpty()) {
        print(stderr, out.error + QStringLiteral("\n什么也没有改变。\n"));
        return 1;
    }
    for (const ShopCopy::Changed &c : out.changed)
        print(stderr, QStringLiteral("照原样改变的值：表 %1 第 %2 行 %3：“%4” → “%5”\n")
                          .arg(c.table)
                          .arg(c.rowid)
                          .arg(c.column, c.value, c.arrives));
    print(stdout, QStringLiteral("%1 %2 %3\n")
                      .arg(QStringLiteral("表"), -10)
                      .arg(toServer ? QStringLiteral("文件") : QStringLiteral("服务器"), 12)
                      .arg(toServer ? QStringLiteral("服务器") : QStringLiteral("文件"), 12));
    for (const ShopCopy::Count &c : out.counts)
        print(stdout, QStringLiteral("%1 %2 %3\n").arg(c.table, -10).arg(c.source, 12).arg(c.target, 12));
    print(stdout, QStringLiteral("复制完成：%1 → %2\n").arg(from, to));
    return 0;
}
