#pragma once

#include "shop/engine.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

// Where the shop's data lives: `tarvel.ini` in the directory the program
// starts in names a PostgreSQL server shared by several tills; without it the
// data is the file tarv.db in that directory. The server's password never
// comes from here: libpq finds it (~/.pgpass, PGPASSWORD).
struct ShopConfig
{
    static constexpr const char *FileName = "tarvel.ini";

    Engine engine = Engine::SQLite;
    QString host; // a host name, an address or a socket directory; empty: libpq's default
    int port = 5432;
    QString name;            // the server database
    QString user;            // empty: libpq's default
    int till = 1;            // 1–99; one program per till number
    QString directory;       // where tarvel.ini was read, and the till's own file is kept
    QString drawer;          // [till] drawer: the cash drawer's CUPS queue or device; empty: none
    QString customerDisplay; // [till] customer_display: the customer's screen (name or number); empty: none
    QString customerText;    // [till] customer_text: what that screen shows while the till is idle

    // The configuration of the directory: the file's, or the file engine's
    // when there is no tarvel.ini.
    static struct ShopConfigRead read(const QString &directory);
    // The libpq options that make a lost server known within about 10 s.
    static QString connectOptions();
    // A (not yet opened) connection to the server under the given name;
    // invalid when Qt's PostgreSQL driver is not installed.
    QSqlDatabase addConnection(const QString &connectionName) const;
    // Whether the server answers at all, and whether it takes connections
    // (not while it starts up or shuts down); waits at most 3 s.
    enum class Answer { None, Refusing, Accepting };
    Answer ping() const;
    // For messages: "服务器 host:port 上的数据库 name".
    QString describe() const;
    // Why addConnection gave an invalid connection.
    static QString noDriver();
};

struct ShopConfigRead
{
    std::optional<ShopConfig> config;
    QString error; // for the user: names the file and the key
};
