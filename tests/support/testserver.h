#pragma once

#include "shop/shopconfig.h"

#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL cluster of the test's own: initdb into a temporary
// directory, the server on a Unix socket there and no TCP port, run as the
// postgres user when the tests run as root (PostgreSQL refuses root). One per
// test process, started at first use and removed at exit; every test takes a
// database of its own.
class TestServer
{
public:
    static TestServer &shared();

    // A new empty database on the server, and the configuration that names it.
    ShopConfig newDatabase(int till = 1);
    // Runs a statement in a database of the server as its superuser.
    void exec(const QString &database, const QString &sql);

    // Hard stop (as a crash or a pulled plug would) and start again.
    void stopHard();
    void start();

    QString socketDir() const { return m_dir.path(); }
    QString binary(const QString &name) const;
    ~TestServer();

private:
    TestServer();
    QStringList asServerUser(const QString &program, const QStringList &arguments) const;
    void run(const QString &program, const QStringList &arguments) const;

    QTemporaryDir m_dir;
    QString m_bin;
    int m_databases = 0;
};
