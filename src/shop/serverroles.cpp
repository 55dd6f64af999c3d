#include "shop/serverroles.h"

#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/shop.h"
#include "shop/transaction.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// What a till writes: the sale, its payment and returns, the tokens that
// keep a ticket from being stored twice, the tickets sold offline, its
// closes; and the analyses' kept facts, which follow each sale in the
// writing transaction.
const QStringList TillInserts = {
    QStringLiteral("xiaoshou"),        QStringLiteral("tuihuo"),         QStringLiteral("fukuan"),
    QStringLiteral("rijie"),           QStringLiteral("xiaoshou_token"), QStringLiteral("rijie_token"),
    QStringLiteral("xiaoshou_lixian"), QStringLiteral("huizong"),        QStringLiteral("huizong_yue"),
    QStringLiteral("huizong_nian"),    QStringLiteral("huiyuan_piao"),   QStringLiteral("shouyin_piao"),
    QStringLiteral("shouyin_rijie")};

// A role's name as an identifier, whatever it holds.
QString quoted(const QString &role)
{
    return u'"' + QString(role).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

QString ServerRoles::grant(const QSqlDatabase &owner, const QString &backOffice, const QString &tills)
{
    if (backOffice.trimmed().isEmpty() || tills.trimmed().isEmpty() || backOffice == tills)
        return QStringLiteral("请给出两个不同的角色：后台的和收银台的。");
    QSqlQuery q(owner);
    // The roles are there, and neither can do more than it is given here.
    q.prepare(QStringLiteral("SELECT rolname, rolsuper OR rolbypassrls FROM pg_roles WHERE rolname IN (?, ?)"));
    q.addBindValue(backOffice);
    q.addBindValue(tills);
    if (!q.exec())
        return problemText(q.lastError());
    int found = 0;
    while (q.next()) {
        ++found;
        if (q.value(1).toBool())
            return QStringLiteral("角色 %1 是超级用户，什么权限都管不住它。请用普通角色。").arg(q.value(0).toString());
    }
    if (found != 2)
        return QStringLiteral("服务器上还没有角色 %1 和 %2。请先由数据库管理员创建它们（createuser --pwprompt）。")
            .arg(backOffice, tills);
    if (const QString problem = ServerFacts::ensure(owner); !problem.isEmpty())
        return problem;
    const QString office = quoted(backOffice), till = quoted(tills);
    Transaction tx(Shop::of(owner));
    if (!tx.isActive())
        return tx.lastError();
    if (!q.exec(QStringLiteral("SELECT string_agg(quote_ident(table_name::text), ', ') FROM information_schema.tables "
                               "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE' "
                               "AND table_name <> 'caozuo'")) ||
        !q.next())
        return problemText(q.lastError());
    const QString all = q.value(0).toString();
    if (!q.exec(QStringLiteral("SELECT quote_ident(current_schema())")) || !q.next())
        return problemText(q.lastError());
    const QString schema = q.value(0).toString();
    if (all.isEmpty())
        return QStringLiteral("这个数据库里还没有商店的表。请先把商店复制上去（tarvel --copy-to-server）。");
    const QStringList statements = {
        QStringLiteral("REVOKE ALL ON %1, caozuo FROM %2, %3").arg(all, office, till),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE, TRUNCATE ON %1 TO %2").arg(all, office),
        QStringLiteral("GRANT SELECT, INSERT ON caozuo TO %1, %2").arg(office, till),
        QStringLiteral("GRANT SELECT ON %1 TO %2").arg(all, till),
        QStringLiteral("GRANT INSERT ON %1 TO %2").arg(TillInserts.join(u", "), till),
        // A close ends the till's period and marks its payments closed.
        QStringLiteral("GRANT UPDATE ON rijie, huizong, huizong_yue, huizong_nian TO %1").arg(till),
        QStringLiteral("GRANT UPDATE (rijie) ON fukuan TO %1").arg(till),
        QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA %1 TO %2, %3").arg(schema, office, till),
    };
    for (const QString &statement : statements)
        if (!q.exec(statement))
            return problemText(q.lastError());
    return tx.commit() ? QString() : tx.lastError();
}
