#pragma once

#include <QHash>
#include <QString>

class QSqlDatabase;
struct pg_conn;

// The name and last purchase price of every code as the server keeps them
// (huizong), held for one kept analysis connection between its works, so a
// month's or a year's analysis reads only its period's rows. The connection
// LISTENs on huizong_goods, which the goods trigger notifies in every
// transaction that changes the catalogue or the purchases; after any
// notification the goods are read again.
class ServerGoods
{
public:
    struct Goods
    {
        QString name;
        qint64 priceUnits = 0;
    };

    explicit ServerGoods(pg_conn *conn) : m_conn(conn) { }

    // To be called after the rows they go with were read: the server sends a
    // notification before it answers the next statement, so every change
    // committed before those rows were read is known by then. Null, with
    // `error`, when the goods could not be read.
    const QHash<QString, Goods> *afterRead(QString *error);

    // The kept goods of the connection `db` is, while it is the calling
    // thread's kept work connection (WorkConnection); null otherwise.
    static ServerGoods *of(const QSqlDatabase &db);

    // Makes `goods` the calling thread's kept goods while it lives.
    class Use
    {
    public:
        explicit Use(ServerGoods *goods);
        ~Use();
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;

    private:
        ServerGoods *m_previous;
    };

private:
    pg_conn *m_conn;
    bool m_listening = false;
    bool m_loaded = false;
    QHash<QString, Goods> m_goods;
};
