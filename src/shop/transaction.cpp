#include "shop/transaction.h"

#include "shop/database.h"
#include "shop/engine.h"

#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <optional>

namespace {
// BEGIN, COMMIT and ROLLBACK on the file's own connection through statements
// kept for it (every sale runs them); nullopt elsewhere, where Qt runs them.
std::optional<QString> runKept(const QSqlDatabase &db, const char *sql)
{
    sqlite3_stmt *stmt = Database::keptStatement(db, sql);
    if (!stmt)
        return std::nullopt;
    const Database::KeptUse use{stmt};
    if (sqlite3_step(stmt) == SQLITE_DONE)
        return QString();
    return QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

// Runs `sql`; empty when it succeeded, otherwise the error.
QString run(const QSqlDatabase &db, const char *sql)
{
    if (const auto kept = runKept(db, sql))
        return *kept;
    QSqlQuery q(db);
    if (q.exec(QString::fromLatin1(sql)))
        return QString();
    // Never empty: an empty text would pass for success.
    const QString error = problemText(q.lastError()).trimmed();
    return error.isEmpty() ? QStringLiteral("%1 没有完成。").arg(QString::fromLatin1(sql)) : error;
}
} // namespace

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    // On the file the write lock is taken at once, so two writers never
    // deadlock halfway; the server takes its row and table locks as it goes.
    m_error = run(m_db, onServer(m_db) ? "BEGIN" : "BEGIN IMMEDIATE");
    m_active = m_error.isEmpty();
    if (!m_active)
        return;
    // Nothing is written into a file that is no longer the shop's file.
    if (const QString problem = Database::fileProblem(m_db); !problem.isEmpty()) {
        m_error = problem;
        run(m_db, "ROLLBACK");
        m_active = false;
    }
}

Transaction::~Transaction()
{
    if (m_active)
        run(m_db, "ROLLBACK");
}

bool Transaction::lockForNumbering(const QString &table)
{
    if (!m_active)
        return false;
    if (!onServer(m_db))
        return true;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table))) {
        m_error = problemText(q.lastError());
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
    if (const QString failed = run(m_db, "COMMIT"); !failed.isEmpty()) {
        m_error = failed;
        return false; // the destructor rolls back
    }
    m_active = false;
    return true;
}
