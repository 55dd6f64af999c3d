#include "shop/shopconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

ShopConfigRead ShopConfig::read(const QString &directory)
{
    const QString path = QDir(directory).absoluteFilePath(QString::fromLatin1(FileName));
    ShopConfigRead read;
    if (!QFileInfo::exists(path)) {
        read.config = ShopConfig{};
        return read;
    }
    const QString file = QDir::toNativeSeparators(path);
    auto refuse = [&](const QString &key, const QString &why) {
        read.error = QStringLiteral("配置文件 %1 有误：[%2] %3\n%4")
                         .arg(file, key.section(u'/', 0, 0), key.section(u'/', 1), why);
        return read;
    };
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return refuse(QStringLiteral("database/driver"), QStringLiteral("文件无法读取或格式不对。"));

    ShopConfig c;
    const QString driver = ini.value(QStringLiteral("database/driver")).toString().trimmed().toLower();
    if (driver == u"postgresql")
        c.engine = Engine::Server;
    else if (driver == u"sqlite" || driver.isEmpty())
        c.engine = Engine::File;
    else
        return refuse(QStringLiteral("database/driver"),
                      QStringLiteral("不认识的数据库“%1”，只能是 postgresql 或 sqlite。").arg(driver));

    if (c.engine == Engine::Server) {
        c.host = ini.value(QStringLiteral("database/host")).toString().trimmed();
        c.name = ini.value(QStringLiteral("database/name")).toString().trimmed();
        c.user = ini.value(QStringLiteral("database/user")).toString().trimmed();
        if (c.name.isEmpty())
            return refuse(QStringLiteral("database/name"), QStringLiteral("缺少服务器上的数据库名。"));
        const QVariant port = ini.value(QStringLiteral("database/port"), 5432);
        bool ok = false;
        c.port = port.toString().trimmed().toInt(&ok);
        if (!ok || c.port < 1 || c.port > 65535)
            return refuse(QStringLiteral("database/port"),
                          QStringLiteral("端口“%1”不是 1 到 65535 之间的整数。").arg(port.toString()));
        if (ini.contains(QStringLiteral("database/password")))
            return refuse(QStringLiteral("database/password"),
                          QStringLiteral("密码不能写在配置文件里，请放在 ~/.pgpass 或 PGPASSWORD 中。"));
    }
    const QVariant till = ini.value(QStringLiteral("till/number"), 1);
    bool ok = false;
    c.till = till.toString().trimmed().toInt(&ok);
    if (!ok || c.till < 1 || c.till > 99)
        return refuse(QStringLiteral("till/number"),
                      QStringLiteral("收银台号“%1”不是 1 到 99 之间的整数。").arg(till.toString()));
    read.config = c;
    return read;
}

QString ShopConfig::connectOptions()
{
    // A dead server or a pulled cable must be noticed in seconds, never hang
    // the till: a connect gives up after 5 s, an idle connection is probed
    // after 3 s every 2 s, and unacknowledged data fails after 9 s. A
    // checkout waits for another till's at most 10 s. The shop's queries are
    // short: compiling them (JIT) would cost more than it saves.
    return QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=3;keepalives_interval=2;"
                          "keepalives_count=2;tcp_user_timeout=9000;application_name=tarvel;"
                          "options='-c lock_timeout=10s -c jit=off'");
}

QSqlDatabase ShopConfig::addConnection(const QString &connectionName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!db.isValid())
        return db;
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(name);
    db.setUserName(user);
    db.setConnectOptions(connectOptions());
    return db;
}

QString ShopConfig::describe() const
{
    return QStringLiteral("服务器 %1:%2 上的数据库 %3")
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host)
        .arg(port)
        .arg(name);
}

QString ShopConfig::noDriver()
{
    return QStringLiteral("本机没有 Qt 的 PostgreSQL 驱动（Debian 软件包 libqt6sql6-psql）。");
}
