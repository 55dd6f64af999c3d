#include "shop/shopconfig.h"

#include <QDir>

#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <libpq-fe.h>

#include <algorithm>

namespace {

// Every key the file may hold, as "section/key" in small letters.
const QStringList KnownKeys = {QStringLiteral("database/driver"),       QStringLiteral("database/host"),
                               QStringLiteral("database/port"),         QStringLiteral("database/name"),
                               QStringLiteral("database/user"),         QStringLiteral("database/password"),
                               QStringLiteral("till/number"),           QStringLiteral("till/drawer"),
                               QStringLiteral("till/customer_display"), QStringLiteral("till/customer_text")};

// A value as it was written: QSettings splits "db1,db2" into a list.
QString textOf(const QVariant &value)
{
    return (value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString()).trimmed();
}

} // namespace

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
        const QString section = key.contains(u'/') ? key.section(u'/', 0, 0) : QStringLiteral("General");
        read.error = QStringLiteral("配置文件 %1 有误：[%2] %3\n%4").arg(file, section, key.section(u'/', -1), why);
        return read;
    };
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return refuse(QStringLiteral("database/driver"), QStringLiteral("文件无法读取或格式不对。"));

    // Sections and keys in any letter case; a key the program does not know
    // is a typo that would otherwise be passed over in silence.
    QHash<QString, QVariant> values;
    QHash<QString, QString> written; // each key as the file spells it, for the messages
    for (const QString &key : ini.allKeys()) {
        const QString known = key.toLower();
        if (!KnownKeys.contains(known))
            return refuse(key, QStringLiteral("不认识的设置。可以用的有：[database] driver、host、port、name、user，"
                                              "[till] number、drawer、customer_display、customer_text。"));
        if (values.contains(known))
            return refuse(key, QStringLiteral("这个设置写了两次。"));
        values.insert(known, ini.value(key));
        written.insert(known, key);
    }
    auto refuseKey = [&](const QString &known, const QString &why) { return refuse(written.value(known, known), why); };
    const bool hasDatabase =
        std::any_of(values.keyBegin(), values.keyEnd(), [](const QString &k) { return k.startsWith(u"database/"); });

    ShopConfig c;
    const QString driver = textOf(values.value(QStringLiteral("database/driver"))).toLower();
    if (driver == u"postgresql")
        c.engine = Engine::PostgreSQL;
    else if (driver == u"sqlite" || (driver.isEmpty() && !hasDatabase))
        c.engine = Engine::SQLite;
    else if (driver.isEmpty())
        return refuseKey(
            QStringLiteral("database/driver"),
            QStringLiteral("缺少数据库类型：driver=postgresql（服务器）或 driver=sqlite（本机的 tarv.db）。"));
    else
        return refuseKey(QStringLiteral("database/driver"),
                         QStringLiteral("不认识的数据库“%1”，只能是 postgresql 或 sqlite。").arg(driver));

    if (c.engine == Engine::PostgreSQL) {
        // Several hosts (db1,db2) are libpq's: the first that answers is used.
        c.host = textOf(values.value(QStringLiteral("database/host")));
        c.name = textOf(values.value(QStringLiteral("database/name")));
        c.user = textOf(values.value(QStringLiteral("database/user")));
        if (c.name.isEmpty())
            return refuseKey(QStringLiteral("database/name"), QStringLiteral("缺少服务器上的数据库名。"));
        const QString port = textOf(values.value(QStringLiteral("database/port"), 5432));
        bool ok = false;
        c.port = port.toInt(&ok);
        if (!ok || c.port < 1 || c.port > 65535)
            return refuseKey(QStringLiteral("database/port"),
                             QStringLiteral("端口“%1”不是 1 到 65535 之间的整数。").arg(port));
        if (values.contains(QStringLiteral("database/password")))
            return refuseKey(QStringLiteral("database/password"),
                             QStringLiteral("密码不能写在配置文件里，请放在 ~/.pgpass 或 PGPASSWORD 中。"));
        // Each till sells under its own number, the back office too: one
        // left out would take till 1's.
        if (!values.contains(QStringLiteral("till/number")))
            return refuseKey(QStringLiteral("till/number"),
                             QStringLiteral("共用服务器时每台电脑（后台也一样）都要有自己的收银台号（1 到 99）。"));
    }
    c.drawer = textOf(values.value(QStringLiteral("till/drawer")));
    c.customerDisplay = textOf(values.value(QStringLiteral("till/customer_display")));
    c.customerText = textOf(values.value(QStringLiteral("till/customer_text")));
    const QString till = textOf(values.value(QStringLiteral("till/number"), 1));
    bool ok = false;
    c.till = till.toInt(&ok);
    if (!ok || c.till < 1 || c.till > 99)
        return refuseKey(QStringLiteral("till/number"),
                         QStringLiteral("收银台号“%1”不是 1 到 99 之间的整数。").arg(till));
    c.directory = QDir(directory).absolutePath();
    read.config = c;
    return read;
}

QString ShopConfig::connectOptions()
{
    // A dead server or a pulled cable must be noticed in seconds, never hang
    // the till: a connect gives up after 5 s, an idle connection is probed
    // after 3 s every 2 s, and unacknowledged data fails after 9 s. A
    // checkout waits for another till's at most 10 s. The server looks every
    // second whether the till is still there, also while the till's statement
    // waits for a lock: a till killed meanwhile lets go of its number and its
    // locks at once, not when the server next writes to it. The shop's
    // queries are short: compiling them (JIT) would cost more than it saves.
    return QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=3;keepalives_interval=2;"
                          "keepalives_count=2;tcp_user_timeout=9000;application_name=tarvel;"
                          "options='-c lock_timeout=10s -c jit=off -c client_connection_check_interval=1s'");
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

ShopConfig::Answer ShopConfig::ping() const
{
    const QByteArray h = host.toUtf8(), p = QByteArray::number(port), n = name.toUtf8(), u = user.toUtf8();
    const char *keys[] = {"host", "port", "dbname", "user", "connect_timeout", nullptr};
    const char *values[] = {h.isEmpty() ? nullptr : h.constData(), p.constData(), n.constData(),
                            u.isEmpty() ? nullptr : u.constData(), "3",           nullptr};
    switch (PQpingParams(keys, values, 0)) {
    case PQPING_OK:
        return Answer::Accepting;
    case PQPING_REJECT:
        return Answer::Refusing;
    default:
        return Answer::None;
    }
}
