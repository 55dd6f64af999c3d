#include "shop/transaction.h"

#include "shop/database.h"

#include <QSqlError>
#include <QSqlQuery>

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    QSqlQuery q(m_db);
    m_active = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_active) {
        m_error = q.lastError().text();
        return;
    }
    // Nothing is written into a file that is no longer the shop's file.
    if (const QString problem = Database::fileProblem(m_db); !problem.isEmpty()) {
        m_error = problem;
        q.exec(QStringLiteral("ROLLBACK"));
        m_active = false;
    }
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
    if (const QString problem = Database::fileProblem(m_db); !problem.isEmpty()) {
        m_error = problem;
        return false; // the destructor rolls back
    }
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        m_error = q.lastError().text();
        return false; // the destructor rolls back
    }
    m_active = false;
    return true;
}
