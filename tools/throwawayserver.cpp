#include "throwawayserver.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <pwd.h>
#include <unistd.h>

ThrowawayServer &ThrowawayServer::shared()
{
    static ThrowawayServer server(false);
    return server;
}

ThrowawayServer::ThrowawayServer(bool durable)
    : m_durable(durable)
    , m_dir(QDir::tempPath() + QStringLiteral("/tarvel-pg-XXXXXX"))
{
    const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &version : found)
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(version)))
            m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
    if (m_bin.isEmpty())
        qFatal("no PostgreSQL server here (Debian package postgresql; ./tarvel.sh test installs it)");
    if (::geteuid() == 0) {
        const passwd *pw = ::getpwnam("postgres");
        if (!pw)
            qFatal("running as root, but there is no postgres user to run the server as");
        if (::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
            qFatal("cannot hand %s to the postgres user", qPrintable(m_dir.path()));
    }
    run(binary(QStringLiteral("initdb")),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-A"), QStringLiteral("trust"),
         QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
         QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")});
    start();
}

ThrowawayServer::~ThrowawayServer()
{
    const QStringList a = asServerUser(binary(QStringLiteral("pg_ctl")),
                                       {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                        QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
    QProcess p;
    p.start(a.first(), a.mid(1));
    p.waitForFinished(60000);
}

QString ThrowawayServer::binary(const QString &name) const
{
    return m_bin + u'/' + name;
}

QStringList ThrowawayServer::asServerUser(const QString &program, const QStringList &arguments) const
{
    if (::geteuid() != 0)
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                       QStringLiteral("--"), program} +
           arguments;
}

void ThrowawayServer::run(const QString &program, const QStringList &arguments) const
{
    const QStringList a = asServerUser(program, arguments);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(a.first(), a.mid(1));
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed:\n%s", qPrintable(a.join(u' ')), p.readAll().constData());
}

void ThrowawayServer::start()
{
    // No TCP port, only the socket in the directory. For the tests: no
    // flush to the disk (a killed server keeps what the system has), and the
    // commits of one test database may wait for a standby that never comes
    // (the lost commit answer); everywhere else a commit is local.
    QString options = QStringLiteral("-c listen_addresses='' -k %1").arg(m_dir.path());
    if (!m_durable)
        options += QStringLiteral(" -c fsync=off -c synchronous_standby_names='tarvel_nobody' "
                                  "-c synchronous_commit=local");
    run(binary(QStringLiteral("pg_ctl")),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-o"), options,
         QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
         QStringLiteral("start")});
}

void ThrowawayServer::stopHard()
{
    run(binary(QStringLiteral("pg_ctl")), {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                           QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
}

void ThrowawayServer::exec(const QString &database, const QString &sql)
{
    const QString name = QStringLiteral("tarvel-test-admin");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(socketDir());
        db.setDatabaseName(database);
        db.setUserName(QStringLiteral("postgres"));
        if (!db.open())
            qFatal("cannot reach the test server: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

ShopConfig ThrowawayServer::newDatabase(int till)
{
    const QString name = QStringLiteral("shop_%1").arg(++m_databases);
    exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
    ShopConfig c;
    c.engine = Engine::PostgreSQL;
    c.host = socketDir();
    c.port = 5432;
    c.name = name;
    c.user = QStringLiteral("postgres");
    c.till = till;
    return c;
}
