#pragma once

#include "shop/shop.h"
#include "shop/shopconfig.h"

#include <QSqlDatabase>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>

// The shop's data and the program's connection to it: the one database file,
// or the PostgreSQL server that several tills share (openServer).
//
// On the file:
// One program per file: an exclusive flock() on the file itself keeps a second
// instance out, whatever path or link reaches the file, because new row ids
// follow the single-writer rule "last row + 1". The kernel drops the lock when
// the process ends, so a crash leaves no stale lock behind.
struct sqlite3;
struct sqlite3_stmt;

class Database
{
public:
    static constexpr const char *FileName = "tarv.db";

    // Unreachable: the server did not take the connection (it is down, the
    // network is); with `offline` the database is still given, unconnected.
    enum class Status { Ok, Missing, AlreadyRunning, Unusable, Unreachable };
    struct Result
    {
        std::unique_ptr<Database> database;
        Status status = Status::Unusable;
        QString message; // for the user: names the path and the reason
    };

    // Opens an existing Tarvel file. The file is checked read-only first, so a
    // file that is not ours is left exactly as it was.
    static Result open(const QString &path);
    // Creates a new shop file (owner-only permissions) with the five tables and
    // the settings rows, then opens it. Refuses to overwrite an existing file.
    static Result create(const QString &path);

    // Connects to the server named by the configuration and takes its till
    // number: a second program with the same till number is refused while the
    // first one's connection lives (the server drops the lock when it ends,
    // also after a crash). A server database without the shop's tables is
    // refused: a shop is put there with --copy-to-server.
    //
    // With `offline`, a server that cannot be reached gives the database
    // all the same, its connection not open (Status::Unreachable): a till
    // that sells from its own file opens it once the server answers.
    static Result openServer(const ShopConfig &config, bool offline = false);

    // Empty when the server database holds the shop's tables with their
    // columns; otherwise the reason.
    static QString serverShopProblem(const QSqlDatabase &db);
    // Makes the day's tables (returns, payments, closes) a server shop of an
    // older version lacks; empty, or the reason it could not.
    static QString addServerAddedTables(const QSqlDatabase &db);

    // For the user, when the server could not be reached again: what
    // happened in plain words, with the reason.
    static QString connectionLost(const QString &reason);

    bool isServer() const { return m_server.has_value(); }
    int till() const { return m_server ? m_server->till : 1; }
    std::optional<ShopConfig> serverConfig() const { return m_server; }
    // For messages: the file's path, or the server's database.
    QString where() const;

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The open shop, as the program's classes are given it.
    Shop shop() const;
    QString path() const { return m_path; }

    // Empty while the file at the path is still the one opened; otherwise
    // the reason for the user (see Shop::fileProblem).
    QString fileProblem() const;

    // Gives an open connection the program's own SQL functions; every
    // connection to a shop file gets them. tarvel_units(x): a stored amount
    // in ten-thousandths as the program reads it (an integer as it is, a REAL
    // or text amount written by another tool as the amount it shows, NULL for
    // what is no amount), so sums in SQL add what the screens show.
    static bool addShopFunctions(const QSqlDatabase &connection);

    // Default settings of a new file.
    static QString defaultPassword();
    static QString defaultHeader();
    static QStringList defaultFooter();

private:
    friend class Shop;
    Database(const QString &path, int lockFd);
    QSqlDatabase connection() const;
    sqlite3_stmt *kept(const char *sql) const;
    explicit Database(const ShopConfig &server);
    // `lockWaitMs`: how long the till's number is waited for (0: as at start).
    QString connectServer(Status *status = nullptr, int lockWaitMs = 0);
    static Result lockAndOpen(const QString &path, bool creating);
    // The checks of a server shop at its first connection; empty, or why it
    // cannot be used.
    QString checkServerShop();

    QString m_path;
    QString m_connectionName;
    // Held open for the life of the program: closing any descriptor of the
    // file would also drop SQLite's own POSIX locks on it.
    int m_lockFd = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    std::optional<ShopConfig> m_server;
    bool m_serverChecked = false;
    // What every Shop of this database points to; cleared when it closes.
    Shop::Owner m_self;
    // Finalized before the connection is closed.
    mutable std::map<std::string, sqlite3_stmt *, std::less<>> m_kept;
};
