#include "shop/picklist.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

Result<PickList::Added> PickList::add(const Shop &shop, const QString &name)
{
    Transaction tx(shop);
    QSqlQuery q(shop.connection());
    if (!tx.lockForNumbering(QStringLiteral("kuaijie")))
        return Error{tx.lastError()};
    if (!q.exec(QStringLiteral("SELECT id FROM kuaijie ORDER BY rowid DESC LIMIT 1")))
        return failureOf(q);
    const qint64 last = q.next() ? q.value(0).toLongLong() : 0;
    if (last >= LastId)
        return Added::Full;
    q.prepare(QStringLiteral("INSERT INTO kuaijie (id, kuaijie) VALUES (?, ?)"));
    q.addBindValue(last + 1);
    q.addBindValue(name);
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return Added::Added;
}

Result<QStringList> PickList::names(const Shop &shop)
{
    return shop.again([&]() -> Result<QStringList> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT kuaijie FROM kuaijie ORDER BY rowid")))
            return failureOf(q);
        QStringList all;
        while (q.next())
            all.append(q.value(0).toString());
        return all;
    });
}

Result<PickList::Removed> PickList::remove(const Shop &shop, const QString &name)
{
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("DELETE FROM kuaijie WHERE rowid = "
                             "(SELECT rowid FROM kuaijie WHERE kuaijie = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(name);
    if (!q.exec())
        return failureOf(q);
    return q.numRowsAffected() > 0 ? Removed::Removed : Removed::Missing;
}
