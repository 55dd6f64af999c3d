#include "shop/serverrows.h"

#include "shop/engine.h"

#include <QByteArray>
#include <QList>

#include <charconv>
#include <libpq-fe.h>

ServerRows::ServerRows(const QSqlDatabase &db, const char *sql, std::initializer_list<QByteArray> parameters)
    : m_result(nullptr, PQclear)
{
    PGconn *conn = serverHandleOf(db);
    if (!conn) {
        m_error = QStringLiteral("没有连接到数据库服务器。");
        return;
    }
    QList<const char *> values;
    for (const QByteArray &p : parameters)
        values.append(p.constData());
    m_result.reset(PQexecParams(conn, sql, int(values.size()), nullptr, values.constData(), nullptr, nullptr, 0));
    if (PQresultStatus(m_result.get()) != PGRES_TUPLES_OK) {
        m_error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        if (m_error.isEmpty())
            m_error = QStringLiteral("服务器没有给出结果。");
        return;
    }
    m_rows = PQntuples(m_result.get());
}

std::string_view ServerRows::text(int row, int column) const
{
    return {PQgetvalue(m_result.get(), row, column), size_t(PQgetlength(m_result.get(), row, column))};
}

bool ServerRows::isNull(int row, int column) const
{
    return PQgetisnull(m_result.get(), row, column);
}

qint64 ServerRows::integer(int row, int column) const
{
    const std::string_view t = text(row, column);
    qint64 value = 0;
    std::from_chars(t.data(), t.data() + t.size(), value);
    return value;
}
