#include "shop/cashiers.h"

#include "shop/engine.h"
#include "shop/transaction.h"

#include <QSqlQuery>

#include <sodium.h>

namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

Cashier cashierOf(const QSqlQuery &q)
{
    return Cashier{q.value(0).toString(), q.value(1).toString(), q.value(2).toInt() != 0};
}

Result<bool> numberTaken(QSqlQuery &q, const QString &number)
{
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM shouyinyuan WHERE gonghao = ?)"));
    q.addBindValue(number);
    if (!q.exec() || !q.next())
        return failureOf(q);
    return q.value(0).toBool();
}

QString passwordProblem(const QString &password)
{
    if (password.isEmpty())
        return QStringLiteral("请输入收银员的密码");
    if (password.size() < 4)
        return QStringLiteral("收银员的密码至少要 4 位");
    return QString();
}

} // namespace

QString Cashier::problem() const
{
    const QString n = number.trimmed();
    if (n.isEmpty())
        return QStringLiteral("请输入工号");
    if (n.size() > 16)
        return QStringLiteral("工号不能超过 16 位");
    for (const QChar ch : n)
        if (!ch.isLetterOrNumber())
            return QStringLiteral("工号只能由字母和数字组成");
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入收银员的姓名");
    return QString();
}

namespace Cashiers {

QString hashOf(const QString &password)
{
    if (!sodiumReady())
        return QString();
    const QByteArray text = password.toUtf8();
    char hashed[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hashed, text.constData(), quint64(text.size()), HashPasses, HashMemory) != 0)
        return QString();
    return QString::fromLatin1(hashed);
}

bool matches(const QString &hashed, const QString &password)
{
    if (!sodiumReady() || hashed.isEmpty())
        return false;
    const QByteArray stored = hashed.toLatin1();
    const QByteArray text = password.toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), text.constData(), quint64(text.size())) == 0;
}

Result<bool> anyActive(const Shop &shop)
{
    return shop.again([&]() -> Result<bool> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM shouyinyuan WHERE youxiao = 1)")) || !q.next())
            return failureOf(q);
        return q.value(0).toBool();
    });
}

Result<QList<Cashier>> list(const Shop &shop)
{
    return shop.again([&]() -> Result<QList<Cashier>> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT gonghao, xingming, youxiao FROM shouyinyuan ORDER BY gonghao")))
            return failureOf(q);
        QList<Cashier> all;
        while (q.next())
            all.append(cashierOf(q));
        return all;
    });
}

Done add(const Shop &shop, const Cashier &cashier, const QString &password)
{
    if (const QString problem = cashier.problem(); !problem.isEmpty())
        return Error{problem};
    if (const QString problem = passwordProblem(password); !problem.isEmpty())
        return Error{problem};
    const QString hashed = hashOf(password);
    if (hashed.isEmpty())
        return Error{QStringLiteral("内存不足，无法保存密码")};
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("shouyinyuan")))
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    const QString number = cashier.number.trimmed();
    const auto taken = numberTaken(q, number);
    if (!taken)
        return taken.error();
    if (*taken)
        return Error{QStringLiteral("工号“%1”已有收银员").arg(number)};
    q.prepare(QStringLiteral("INSERT INTO shouyinyuan (gonghao, xingming, mima, youxiao) VALUES (?, ?, ?, ?)"));
    q.addBindValue(number);
    q.addBindValue(cashier.name.trimmed());
    q.addBindValue(hashed);
    q.addBindValue(cashier.active ? 1 : 0);
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Done change(const Shop &shop, const Cashier &cashier, const QString &password)
{
    if (const QString problem = cashier.problem(); !problem.isEmpty())
        return Error{problem};
    QString hashed;
    if (!password.isEmpty()) {
        if (const QString problem = passwordProblem(password); !problem.isEmpty())
            return Error{problem};
        hashed = hashOf(password);
        if (hashed.isEmpty())
            return Error{QStringLiteral("内存不足，无法保存密码")};
    }
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    q.prepare(hashed.isEmpty()
                  ? QStringLiteral("UPDATE shouyinyuan SET xingming = ?, youxiao = ? WHERE gonghao = ?")
                  : QStringLiteral("UPDATE shouyinyuan SET xingming = ?, youxiao = ?, mima = ? WHERE gonghao = ?"));
    q.addBindValue(cashier.name.trimmed());
    q.addBindValue(cashier.active ? 1 : 0);
    if (!hashed.isEmpty())
        q.addBindValue(hashed);
    q.addBindValue(cashier.number.trimmed());
    if (!q.exec())
        return failureOf(q);
    if (q.numRowsAffected() != 1)
        return Error{QStringLiteral("没有工号为“%1”的收银员").arg(cashier.number.trimmed())};
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<Cashier> signIn(const Shop &shop, const QString &number, const QString &password)
{
    const auto found = shop.again([&]() -> Result<std::optional<std::pair<Cashier, QString>>> {
        QSqlQuery q(shop.connection());
        q.prepare(QStringLiteral("SELECT gonghao, xingming, youxiao, mima FROM shouyinyuan WHERE gonghao = ?"));
        q.addBindValue(number.trimmed());
        if (!q.exec())
            return failureOf(q);
        if (!q.next())
            return std::optional<std::pair<Cashier, QString>>();
        return std::optional(std::pair(cashierOf(q), q.value(3).toString()));
    });
    if (!found)
        return found.error();
    // An unknown 工号 costs a hash too, so the time of the refusal tells nothing.
    static const QString Decoy = hashOf(QStringLiteral("not a password of anyone"));
    const QString hashed = found->has_value() ? (*found)->second : Decoy;
    const bool right = matches(hashed, password);
    if (!right || !found->has_value() || !(*found)->first.active)
        return Error{QString::fromUtf8(Refused)};
    return (*found)->first;
}

QString shown(const Cashier &cashier)
{
    return cashier.number + u' ' + cashier.name;
}

} // namespace Cashiers
