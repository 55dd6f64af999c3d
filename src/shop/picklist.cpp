#include "shop/picklist.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

PickList::Added PickList::add(const Shop &shop, const QString &name, QString *error)
{
    const QSqlDatabase db = shop.connection();
    Transaction tx(shop);
    QSqlQuery q(db);
    auto failed = [&](const QString &why) {
        *error = why;
        return Added::Failed;
    };
    if (!tx.lockForNumbering(QStringLiteral("kuaijie")))
        return failed(tx.lastError());
    if (!q.exec(QStringLiteral("SELECT id FROM kuaijie ORDER BY rowid DESC LIMIT 1")))
        return failed(problemText(q.lastError()));
    const qint64 last = q.next() ? q.value(0).toLongLong() : 0;
    if (last >= LastId)
        return Added::Full;
    q.prepare(QStringLiteral("INSERT INTO kuaijie (id, kuaijie) VALUES (?, ?)"));
    q.addBindValue(last + 1);
    q.addBindValue(name);
    if (!q.exec())
        return failed(problemText(q.lastError()));
    if (!tx.commit())
        return failed(tx.lastError());
    return Added::Added;
}

std::optional<QStringList> PickList::names(const Shop &shop, QString *error)
{
    return shop.again(
        [&]() -> std::optional<QStringList> {
            const QSqlDatabase db = shop.connection();
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT kuaijie FROM kuaijie ORDER BY rowid"))) {
                *error = problemText(q.lastError());
                return std::nullopt;
            }
            QStringList all;
            while (q.next())
                all.append(q.value(0).toString());
            return all;
        },
        error);
}

PickList::Removed PickList::remove(const Shop &shop, const QString &name, QString *error)
{
    const QSqlDatabase db = shop.connection();
    if (const QString problem = shop.fileProblem(); !problem.isEmpty()) {
        *error = problem;
        return Removed::Failed;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM kuaijie WHERE rowid = "
                             "(SELECT rowid FROM kuaijie WHERE kuaijie = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(name);
    if (!q.exec()) {
        *error = problemText(q.lastError());
        return Removed::Failed;
    }
    return q.numRowsAffected() > 0 ? Removed::Removed : Removed::Missing;
}
