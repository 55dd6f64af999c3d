#pragma once

#include "shop/engine.h"
#include "shop/result.h"
#include "shop/serverdeadline.h"
#include "shop/shopconfig.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

class Database;
struct sqlite3;
struct sqlite3_stmt;

// The open shop as the program's classes are given it: its connection, the
// engine under it, the till it sells as, and what the program keeps for the
// connection (the file it watches, the statements it keeps prepared). A
// cheap copy: every copy is the same shop. Screens are given a Shop and hand
// it to the shop classes they use; only the shop library opens statements on
// its connection.
class Shop
{
public:
    // No shop: every statement fails.
    Shop() = default;
    // A connection the caller opened itself (a work thread's own, a second
    // program's in a test): no till number, no watched file, nothing kept.
    static Shop of(QSqlDatabase connection);

    QSqlDatabase connection() const { return m_connection; }
    Engine engine() const { return engineOf(m_connection); }
    bool onServer() const { return engine() == Engine::PostgreSQL; }
    // The till number this program sells as (1 on the file).
    int till() const;
    // For messages: the file's path, or the server's database.
    QString where() const;
    // The server the shop was opened on; nothing on the file, or for a
    // connection of `of`.
    std::optional<ShopConfig> server() const;

    // Empty while the file opened is still the one at its path; otherwise
    // (moved away, deleted or replaced while the program runs) the reason for
    // the user. Every write checks it first: SQLite would go on writing into
    // the file that is no longer there, and the sale would be lost.
    QString fileProblem() const;
    // SQLite's own handle of the connection, for what the driver does not
    // offer (or offers slowly); null on the server or when it is not open.
    sqlite3 *fileHandle() const { return fileHandleOf(m_connection); }
    // Changes as soon as anything is written to the file, by this connection
    // or any other; a screen that finds it unchanged need not read again.
    // Empty (never equal to an earlier stamp) on the server.
    QString changeStamp() const;
    // A statement of the file's own connection, prepared at its first use and
    // kept until the file is closed: for the few statements of every sale,
    // where preparing them again would cost as much as running them. Null on
    // the server, for a connection of `of`, or when it cannot be prepared
    // (then the handle's error says why). Use it through a KeptUse, which
    // resets it and clears its values however the use ends.
    sqlite3_stmt *kept(const char *sql) const;
    struct KeptUse
    {
        explicit KeptUse(sqlite3_stmt *kept) : stmt(kept) { }
        ~KeptUse();
        sqlite3_stmt *stmt;
        KeptUse(const KeptUse &) = delete;
        KeptUse &operator=(const KeptUse &) = delete;
    };

    // On the server, after a statement failed: whether the connection itself
    // was lost (server restarted, cable pulled), and if so opens it again and
    // takes the till's number again. Lost comes with the reason for the user.
    // On the file, and for a connection that still works, nothing is done.
    enum class Recovery { NotLost, Reconnected, Lost };
    // Whether the connection is open and, on the server, not known lost.
    bool reachable() const;
    // `lockWaitMs` (when not 0): how long the till's number is waited for.
    Recovery recover(QString *error = nullptr, int lockWaitMs = 0) const;
    // Runs a read (its result is true, or holds a value, when it succeeded);
    // when it failed because the server's connection was lost (a restart, a
    // pulled cable), opens the connection again and reads once more. When
    // the server cannot be reached again, `error` says so in plain words
    // instead of the driver's. For reads only: a write whose answer was lost
    // may have been stored.
    // A server that does not answer is given up after a screen's deadline.
    template <typename Read> auto again(Read read, QString *error) const -> decltype(read())
    {
        return retried(read, [error](auto &, const QString &why) { *error = why; });
    }
    // The same for a read that gives a Result: when the server cannot be
    // reached again, its error says so in plain words.
    template <typename Read> auto again(Read read) const -> decltype(read())
    {
        return retried(read, [](auto &result, const QString &why) { result = Error{why}; });
    }
    // For the user, when the server could not be reached again.
    static QString lostInWords(const QString &reason);

private:
    // Reads, and once more after the connection was opened again; `lost`
    // is told the reason in plain words when it could not be.
    template <typename Read, typename Lost> auto retried(Read read, Lost lost) const -> decltype(read())
    {
        const ServerDeadline deadline(*this, ServerDeadline::ScreenMs);
        auto result = read();
        if (result)
            return result;
        QString why;
        switch (recover(&why)) {
        case Recovery::Reconnected:
            result = read();
            break;
        case Recovery::Lost:
            lost(result, lostInWords(why));
            break;
        case Recovery::NotLost:
            break;
        }
        return result;
    }

    friend class Database;
    // The Database that opened the connection, while it is open: it clears
    // the pointer when it closes, so a copy kept longer finds no shop.
    using Owner = std::shared_ptr<Database *>;
    Shop(QSqlDatabase connection, Owner owner) : m_connection(std::move(connection)), m_owner(std::move(owner)) { }
    Database *owner() const { return m_owner ? *m_owner : nullptr; }

    QSqlDatabase m_connection;
    Owner m_owner;
};
