#include "shop/transaction.h"

#include "shop/schema.h"

#include "shop/engine.h"

#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <optional>

namespace {
// BEGIN, COMMIT and ROLLBACK on the file's own connection through statements
// kept for it (every sale runs them); nullopt elsewhere, where Qt runs them.
std::optional<QString> runKept(const Shop &shop, const char *sql)
{
    sqlite3_stmt *stmt = shop.kept(sql);
    if (!stmt)
        return std::nullopt;
    const Shop::KeptUse use{stmt};
    if (sqlite3_step(stmt) == SQLITE_DONE)
        return QString();
    return QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

// Runs `sql`; empty when it succeeded, otherwise the error.
QString run(const Shop &shop, const char *sql)
{
    if (const auto kept = runKept(shop, sql))
        return *kept;
    QSqlQuery q(shop.connection());
    if (q.exec(QString::fromLatin1(sql)))
        return QString();
    // Never empty: an empty text would pass for success.
    const QString error = problemText(q.lastError()).trimmed();
    return error.isEmpty() ? QStringLiteral("%1 没有完成。").arg(QString::fromLatin1(sql)) : error;
}
} // namespace

Transaction::Transaction(Shop shop) : m_shop(std::move(shop))
{
    // On the file the write lock is taken at once, so two writers never
    // deadlock halfway; the server takes its row and table locks as it goes.
    const char *begin = m_shop.onServer() ? "BEGIN" : "BEGIN IMMEDIATE";
    m_error = run(m_shop, begin);
    // Nothing is written yet: after a server restart the connection is
    // opened again and the transaction begun there.
    if (!m_error.isEmpty() && m_shop.recover() == Shop::Recovery::Reconnected)
        m_error = run(m_shop, begin);
    m_active = m_error.isEmpty();
    if (!m_active)
        return;
    // Nothing is written into a file that is no longer the shop's file.
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty()) {
        m_error = problem;
        run(m_shop, "ROLLBACK");
        m_active = false;
    }
}

Transaction::~Transaction()
{
    if (m_active)
        run(m_shop, "ROLLBACK");
}

bool Transaction::lockForNumbering(const QString &table)
{
    if (!m_active)
        return false;
    if (!m_shop.onServer())
        return true;
    QSqlQuery q(m_shop.connection());
    if (!q.exec(Schema::numberingLock(table))) {
        m_error = problemText(q.lastError());
        return false;
    }
    return true;
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty()) {
        m_error = problem;
        return false; // the destructor rolls back
    }
    if (const QString failed = run(m_shop, "COMMIT"); !failed.isEmpty()) {
        m_error = failed;
        return false; // the destructor rolls back
    }
    m_active = false;
    return true;
}
