#include "transaction.h"

#include <QSqlError>
#include <QSqlQuery>

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    QSqlQuery q(m_db);
    m_active = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_active)
        m_error = q.lastError().text();
}

Transaction::~Transaction()
{
    if (m_active) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        m_error = q.lastError().text();
        return false; // the destructor rolls back
    }
    m_active = false;
    return true;
}
