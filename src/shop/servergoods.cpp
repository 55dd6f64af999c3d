#include "shop/servergoods.h"

#include "shop/engine.h"

#include <QSqlDatabase>

#include <charconv>
#include <memory>

#include <libpq-fe.h>

namespace {
thread_local ServerGoods *current = nullptr;

QString errorOf(PGconn *conn)
{
    const QString e = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    return e.isEmpty() ? QStringLiteral("服务器没有给出结果。") : e;
}
} // namespace

ServerGoods::Use::Use(ServerGoods *goods) : m_previous(current)
{
    current = goods;
}

ServerGoods::Use::~Use()
{
    current = m_previous;
}

ServerGoods *ServerGoods::of(const QSqlDatabase &db)
{
    return current && current->m_conn && current->m_conn == serverHandleOf(db) ? current : nullptr;
}

const QHash<QString, ServerGoods::Goods> *ServerGoods::afterRead(QString *error)
{
    using Result = std::unique_ptr<PGresult, void (*)(PGresult *)>;
    if (!m_listening) {
        const Result listen(PQexec(m_conn, "LISTEN huizong_goods"), PQclear);
        if (PQresultStatus(listen.get()) != PGRES_COMMAND_OK) {
            *error = errorOf(m_conn);
            return nullptr;
        }
        m_listening = true;
        m_loaded = false;
    }
    // Whatever was notified so far is in what is read next.
    PQconsumeInput(m_conn);
    while (PGnotify *n = PQnotifies(m_conn)) {
        m_loaded = false;
        PQfreemem(n);
    }
    if (m_loaded)
        return &m_goods;
    const Result rows(PQexec(m_conn, "SELECT code, name, jinjia FROM huizong"), PQclear);
    if (PQresultStatus(rows.get()) != PGRES_TUPLES_OK) {
        *error = errorOf(m_conn);
        return nullptr;
    }
    m_goods.clear();
    const int count = PQntuples(rows.get());
    m_goods.reserve(count);
    for (int i = 0; i < count; ++i) {
        Goods g;
        g.name = QString::fromUtf8(PQgetvalue(rows.get(), i, 1), PQgetlength(rows.get(), i, 1));
        const char *price = PQgetvalue(rows.get(), i, 2);
        std::from_chars(price, price + PQgetlength(rows.get(), i, 2), g.priceUnits);
        m_goods.insert(QString::fromUtf8(PQgetvalue(rows.get(), i, 0), PQgetlength(rows.get(), i, 0)), std::move(g));
    }
    m_loaded = true;
    return &m_goods;
}
