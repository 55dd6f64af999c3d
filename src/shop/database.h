#pragma once

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

    enum class Status { Ok, Missing, AlreadyRunning, Unusable };
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
    static Result openServer(const ShopConfig &config);

    // On the server, after a statement failed: whether the connection itself
    // was lost (server restarted, cable pulled), and if so opens it again and
    // takes the till's number again. Lost comes with the reason for the user.
    // On the file, and for a connection that still works, nothing is done.
    enum class Recovery { NotLost, Reconnected, Lost };
    static Recovery recover(const QSqlDatabase &connection, QString *error = nullptr);

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
    static int tillOf(const QSqlDatabase &connection);
    // For messages: the file's path, or the server's database.
    QString where() const;

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QSqlDatabase connection() const;
    QString path() const { return m_path; }

    // Empty while the file at the path is still the one opened; otherwise
    // (moved away, deleted or replaced while the program runs) the reason for
    // the user. Writes check it first: SQLite would go on writing into the
    // file that is no longer there, and the sale would be lost.
    QString fileProblem() const;
    // The same for the Database that owns a connection (empty for others).
    static QString fileProblem(const QSqlDatabase &connection);
    // SQLite's own handle of a Qt connection, for what the driver does not
    // offer (or offers slowly); null when it is not an open SQLite connection.
    static sqlite3 *handleOf(const QSqlDatabase &connection);
    // A statement of the file's own connection, prepared at its first use and
    // kept until the file is closed: for the few statements of every sale,
    // where preparing them again would cost as much as running them. Null on
    // the server, for another connection, or when it cannot be prepared
    // (then the handle's error says why). Use it through a KeptUse, which
    // resets it and clears its values however the use ends.
    static sqlite3_stmt *keptStatement(const QSqlDatabase &connection, const char *sql);
    struct KeptUse
    {
        explicit KeptUse(sqlite3_stmt *kept) : stmt(kept) { }
        ~KeptUse();
        sqlite3_stmt *stmt;
        KeptUse(const KeptUse &) = delete;
        KeptUse &operator=(const KeptUse &) = delete;
    };
    // Gives an open connection the program's own SQL functions; every
    // connection to a shop file gets them. tarvel_units(x): a stored amount
    // in ten-thousandths as the program reads it (an integer as it is, a REAL
    // or text amount written by another tool as the amount it shows, NULL for
    // what is no amount), so sums in SQL add what the screens show.
    static bool addShopFunctions(const QSqlDatabase &connection);
    // Changes as soon as anything is written to the file, by this connection
    // or any other; a screen that finds it unchanged need not read again.
    static QString changeStamp(const QSqlDatabase &connection);

    // Default settings of a new file.
    static QString defaultPassword();
    static QString defaultHeader();
    static QStringList defaultFooter();

private:
    Database(const QString &path, int lockFd);
    explicit Database(const ShopConfig &server);
    QString connectServer(Status *status = nullptr);
    static Result lockAndOpen(const QString &path, bool creating);

    QString m_path;
    QString m_connectionName;
    // Held open for the life of the program: closing any descriptor of the
    // file would also drop SQLite's own POSIX locks on it.
    int m_lockFd = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    std::optional<ShopConfig> m_server;
    // Finalized before the connection is closed.
    mutable std::map<std::string, sqlite3_stmt *, std::less<>> m_kept;
};
