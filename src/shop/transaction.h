#pragma once

#include "shop/shop.h"

#include <QString>

// Writes that belong together: BEGIN IMMEDIATE at construction (a deferred
// BEGIN could fail later with "database is locked"), ROLLBACK on destruction
// unless commit() succeeded.
class Transaction
{
public:
    explicit Transaction(Shop shop);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    // Keeps every other writer of the table waiting until this transaction
    // ends, so "last row + 1" gives a number no other program takes. The
    // file is locked whole from the start; on the server the table is locked
    // here. False (with lastError) when the lock could not be had.
    bool lockForNumbering(const QString &table);
    bool commit();
    QString lastError() const { return m_error; }

private:
    Shop m_shop;
    bool m_active = false;
    QString m_error;
};
