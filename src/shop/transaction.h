#pragma once

#include <QSqlDatabase>
#include <QString>

// Writes that belong together: BEGIN IMMEDIATE at construction (a deferred
// BEGIN could fail later with "database is locked"), ROLLBACK on destruction
// unless commit() succeeded.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    QString lastError() const { return m_error; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
    QString m_error;
};
