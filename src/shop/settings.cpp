#include "shop/settings.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

Result<QString> Settings::password() const
{
    return m_shop.again([&]() -> Result<QString> {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT code FROM code WHERE id = ? ORDER BY rowid LIMIT 1"));
        q.addBindValue(Schema::PasswordRowId);
        if (!q.exec())
            return failureOf(q);
        if (!q.next())
            return Error{QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。")};
        return q.value(0).toString();
    });
}

Done Settings::setPassword(const QString &password)
{
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(m_shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    // The first password row is the one the login reads.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE code SET code = ? WHERE rowid = "
                             "(SELECT rowid FROM code WHERE id = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(password);
    q.addBindValue(Schema::PasswordRowId);
    if (!q.exec())
        return failureOf(q);
    if (q.numRowsAffected() != 1)
        return Error{QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。")};
    // That it was changed, never the password.
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("修改密码"), QStringLiteral("超级用户密码已修改"));
        !recorded)
        return recorded;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<QString> Settings::receiptHeader() const
{
    return m_shop.again([&]() -> Result<QString> {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT content FROM code WHERE code.id=? ORDER BY rowid LIMIT 1"));
        q.addBindValue(Schema::HeaderRowId);
        if (!q.exec())
            return failureOf(q);
        return q.next() ? q.value(0).toString() : QString();
    });
}

Done Settings::setReceiptHeader(const QString &header)
{
    // The transaction checks first that the file is still the one opened.
    Transaction tx(m_shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    const Result<QString> before = receiptHeader();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE code SET content = ? WHERE rowid = "
                             "(SELECT rowid FROM code WHERE id = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(header);
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec())
        return failureOf(q);
    if (q.numRowsAffected() == 0) {
        // The header row went missing (edited by hand): it is made again.
        q.prepare(QStringLiteral("INSERT INTO code (id, content) VALUES (?, ?)"));
        q.addBindValue(Schema::HeaderRowId);
        q.addBindValue(header);
        if (!q.exec())
            return failureOf(q);
    }
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("票据设计"),
                                            QStringLiteral("小票抬头：%1 → %2").arg(before.valueOr(QString()), header));
        !recorded)
        return recorded;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Done Settings::recordFooterChange(const QStringList &before)
{
    const auto now = receiptFooter();
    if (!now)
        return now.error();
    if (*now == before)
        return {};
    const QString was = before.join(QStringLiteral(" / ")), is = now->join(QStringLiteral(" / "));
    if (const Done recorded =
            Trail::appendAlone(m_shop, QStringLiteral("票据设计"), QStringLiteral("小票页脚：%1 → %2").arg(was, is));
        !recorded)
        return recorded;
    return {};
}

Result<QStringList> Settings::receiptFooter() const
{
    // All footer rows in the order of their ids. The rows normally carry the
    // ids 20001.. without gaps; should they not, no row is skipped and none
    // is read twice.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT code.id, code.content FROM code WHERE code.id>? ORDER BY code.id, rowid"));
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec())
        return failureOf(q);
    QStringList lines;
    while (q.next())
        lines.append(q.value(1).toString());
    return lines;
}

// The settings rows that the program cannot do without. The password row is
// never made up: a file without one is refused (an empty one is kept). The receipt header and a first
// footer line are recreated with their first values when someone removed them.
Result<Settings::Appended> Settings::appendFooterLine()
{
    Transaction tx(m_shop);
    QSqlQuery q(m_db);
    if (!tx.lockForNumbering(QStringLiteral("code")))
        return Error{tx.lastError()};
    q.prepare(QStringLiteral("SELECT id FROM code WHERE id > ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec())
        return failureOf(q);
    const qint64 last = q.next() ? q.value(0).toLongLong() : Schema::HeaderRowId;
    q.finish();
    if (last >= 32767)
        return Appended::Full;
    q.prepare(QStringLiteral("INSERT INTO code (id) VALUES (?)"));
    q.addBindValue(last + 1);
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return Appended::Appended;
}

Done Settings::ensureRows()
{
    auto rows = [&](const QString &where, int id, QString *value) -> Result<qint64> {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT COUNT(*), (SELECT code FROM code WHERE %1 ORDER BY rowid LIMIT 1) "
                                 "FROM code WHERE %1")
                      .arg(where));
        q.addBindValue(id);
        q.addBindValue(id);
        if (!q.exec() || !q.next())
            return failureOf(q);
        if (value)
            *value = q.value(1).toString();
        return q.value(0).toLongLong();
    };
    QString password;
    const auto passwordRows = rows(QStringLiteral("id = ?"), Schema::PasswordRowId, &password);
    const auto headerRows = rows(QStringLiteral("id = ?"), Schema::HeaderRowId, nullptr);
    const auto footerRows = rows(QStringLiteral("id > ?"), Schema::HeaderRowId, nullptr);
    for (const Result<qint64> *read : {&passwordRows, &headerRows, &footerRows})
        if (!*read)
            return Error{QStringLiteral("设置表 code 无法读取（%1）。").arg(read->errorText())};
    // An empty password (another tool may write one) is a password: the
    // login takes an empty box. Only a missing row is refused.
    if (*passwordRows == 0)
        return Error{QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。")};
    if (*headerRows > 0 && *footerRows > 0)
        return {};

    Transaction tx(m_shop);
    QSqlQuery ins(m_db);
    ins.prepare(QStringLiteral("INSERT INTO code (id, code, content) VALUES (?, NULL, ?)"));
    bool ok = tx.isActive();
    if (ok && *headerRows == 0) {
        ins.addBindValue(Schema::HeaderRowId);
        ins.addBindValue(Database::defaultHeader());
        ok = ins.exec();
    }
    if (ok && *footerRows == 0) {
        ins.addBindValue(Schema::HeaderRowId + 1);
        ins.addBindValue(Database::defaultFooter().first());
        ok = ins.exec();
    }
    if (!ok || !tx.commit())
        return Error{QStringLiteral("无法补回小票设置行（%1）。")
                         .arg(ins.lastError().isValid() ? problemText(ins.lastError()) : tx.lastError())};
    return {};
}
