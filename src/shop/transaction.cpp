#include "shop/transaction.h"

#include "shop/database.h"
#include "shop/engine.h"

#include <QSqlError>
#include <QSqlQuery>

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    QSqlQuery q(m_db);
    // On the file the write lock is taken at once, so two writers never
    // deadlock halfway; the server takes its row and table locks as it goes.
    m_active = q.exec(onServer(m_db) ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
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

bool Transaction::lockForNumbering(const QString &table)
{
    if (!m_active)
        return false;
    if (!onServer(m_db))
        return true;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table))) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
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
