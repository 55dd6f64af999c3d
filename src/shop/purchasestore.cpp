#include "shop/purchasestore.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/goodscatalogue.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

bool PurchaseStore::add(const Purchase &p)
{
    // The new id and the row go in together: no other writer gets between.
    Transaction tx(m_shop);
    if (!tx.lockForNumbering(QStringLiteral("jinhuo"))) {
        m_error = tx.lastError();
        return false;
    }
    QSqlQuery last(m_db);
    if (!last.exec(QStringLiteral("SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1"))) {
        m_error = problemText(last.lastError());
        return false;
    }
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
    if (!q.exec()) {
        m_error = problemText(q.lastError());
        return false;
    }
    if (!tx.commit()) {
        m_error = tx.lastError();
        return false;
    }
    return true;
}

std::optional<PurchaseStore::Removal> PurchaseStore::remove(qint64 rowid, qint64 id, const QString &code)
{
    GoodsCatalogue catalogue(m_shop);
    const auto sold = catalogue.isSold(code);
    if (!sold) {
        m_error = catalogue.lastError();
        return std::nullopt;
    }
    if (*sold)
        return Removal::GoodsSold;
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty()) {
        m_error = problem;
        return std::nullopt;
    }
    // The row the user selected goes, found by its place in the file and its
    // id: where ids were given twice, no other purchase is taken with it.
    Transaction tx(m_shop);
    if (!tx.isActive()) {
        m_error = tx.lastError();
        return std::nullopt;
    }
    const auto was = Trail::rowText(m_shop, QStringLiteral("jinhuo"), rowid);
    if (!was) {
        m_error = was.errorText();
        return std::nullopt;
    }
    QSqlQuery del(m_db);
    del.prepare(QStringLiteral("DELETE FROM jinhuo WHERE rowid = ? AND id = ?"));
    del.addBindValue(rowid);
    del.addBindValue(id);
    if (!del.exec()) {
        m_error = problemText(del.lastError());
        return std::nullopt;
    }
    if (del.numRowsAffected() == 0)
        return Removal::Gone;
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("删除进货"), *was); !recorded) {
        m_error = recorded.errorText();
        return std::nullopt;
    }
    if (!tx.commit()) {
        m_error = tx.lastError();
        return std::nullopt;
    }
    return Removal::Deleted;
}
