#include "shop/workconnection.h"

#include "shop/database.h"

#include <QAtomicInteger>

#include <sqlite3.h>

void WorkConnection::run(const QString &path, const std::function<void(QSqlDatabase)> &work)
{
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("tarvel-work-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open() && Database::addShopFunctions(db)) {
            {
                const std::lock_guard guard(m_lock);
                m_handle = Database::handleOf(db);
            }
            if (!m_interrupted)
                work(db);
            const std::lock_guard guard(m_lock);
            m_handle = nullptr;
        } else {
            work(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void WorkConnection::interrupt()
{
    m_interrupted = true;
    const std::lock_guard guard(m_lock);
    if (m_handle)
        sqlite3_interrupt(m_handle);
}
