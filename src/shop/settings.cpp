#include "shop/settings.h"

#include "shop/database.h"
#include "shop/schema.h"

#include <QSqlError>
#include <QSqlQuery>

std::optional<QString> Settings::password() const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT code FROM code WHERE id = ? ORDER BY rowid LIMIT 1"));
    q.addBindValue(Schema::PasswordRowId);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return std::nullopt;
    }
    if (!q.next()) {
        m_error = QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。");
        return std::nullopt;
    }
    return q.value(0).toString();
}

bool Settings::setPassword(const QString &password)
{
    if (const QString problem = Database::fileProblem(m_db); !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    // The first password row is the one the login reads.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE code SET code = ? WHERE rowid = "
                             "(SELECT rowid FROM code WHERE id = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(password);
    q.addBindValue(Schema::PasswordRowId);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    if (q.numRowsAffected() != 1) {
        m_error = QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。");
        return false;
    }
    return true;
}

std::optional<QString> Settings::receiptHeader() const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT content FROM code WHERE code.id=? ORDER BY rowid LIMIT 1"));
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return std::nullopt;
    }
    return q.next() ? q.value(0).toString() : QString();
}

QStringList Settings::receiptFooter() const
{
    // All footer rows in the order of their ids. The rows normally carry the
    // ids 20001.. without gaps; should they not, no row is skipped and none
    // is read twice.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT code.id, code.content FROM code WHERE code.id>? ORDER BY code.id, rowid"));
    q.addBindValue(Schema::HeaderRowId);
    QStringList lines;
    if (!q.exec()) {
        m_error = q.lastError().text();
        return lines;
    }
    while (q.next())
        lines.append(q.value(1).toString());
    return lines;
}
