#pragma once

#include "shop/shopconfig.h"

#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL cluster: initdb into a temporary directory, the
// server on a Unix socket there and no TCP port, run as the postgres user
// when the program runs as root (PostgreSQL refuses root), stopped and
// removed at the end. The tests share one per process (shared(), not
// durable) and take a database each; the benchmark makes a durable one.
class ThrowawayServer
{
public:
    explicit ThrowawayServer(bool durable);
    static ThrowawayServer &shared();

    // A new empty database on the server, and the configuration that names it.
    ShopConfig newDatabase(int till = 1);
    // Runs a statement in a database of the server as its superuser.
    void exec(const QString &database, const QString &sql);

    // Hard stop (as a crash or a pulled plug would) and start again.
    void stopHard();
    void start();

    QString socketDir() const { return m_dir.path(); }
    QString binary(const QString &name) const;
    ~ThrowawayServer();

private:
    QStringList asServerUser(const QString &program, const QStringList &arguments) const;
    void run(const QString &program, const QStringList &arguments) const;

    bool m_durable = false;
    QTemporaryDir m_dir;
    QString m_bin;
    int m_databases = 0;
};
