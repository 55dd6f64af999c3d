#include "shop/purchasestore.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/goodscatalogue.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

Done PurchaseStore::add(const Purchase &p)
{
    // The new id and the row go in together: no other writer gets between.
    Transaction tx(m_shop);
    if (!tx.lockForNumbering(QStringLiteral("jinhuo")))
        return Error{tx.lastError()};
    QSqlQuery last(m_db);
    if (!last.exec(QStringLiteral("SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1")))
        return failureOf(last);
    const qint64 lastId = last.next() ? last.value(0).toLongLong() : 0;
    last.finish();
    using K = Schema::ColumnKind;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(lastId + 1);
    q.addBindValue(p.code);
    q.addBindValue(p.quantity);
    q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(p.purchasePrice)));
    q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(p.sellingPrice)));
    q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(p.memberPrice.value_or(p.sellingPrice))));
    q.addBindValue(p.maker);
    q.addBindValue(Schema::toStorage(K::Date, p.purchased));
    q.addBindValue(Schema::toStorage(K::Date, p.expires));
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<PurchaseStore::Removal> PurchaseStore::remove(qint64 rowid, qint64 id, const QString &code)
{
    GoodsCatalogue catalogue(m_shop);
    const auto sold = catalogue.isSold(code);
    if (!sold)
        return sold.error();
    if (*sold)
        return Removal::GoodsSold;
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    // The row the user selected goes, found by its place in the file and its
    // id: where ids were given twice, no other purchase is taken with it.
    Transaction tx(m_shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    const auto was = Trail::rowText(m_shop, QStringLiteral("jinhuo"), rowid);
    if (!was)
        return was.error();
    QSqlQuery del(m_db);
    del.prepare(QStringLiteral("DELETE FROM jinhuo WHERE rowid = ? AND id = ?"));
    del.addBindValue(rowid);
    del.addBindValue(id);
    if (!del.exec())
        return failureOf(del);
    if (del.numRowsAffected() == 0)
        return Removal::Gone;
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("删除进货"), *was); !recorded)
        return recorded.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return Removal::Deleted;
}
