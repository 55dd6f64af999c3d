#include "shop/settings.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

std::optional<QString> Settings::password() const
{
    return m_shop.again(
        [&]() -> std::optional<QString> {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("SELECT code FROM code WHERE id = ? ORDER BY rowid LIMIT 1"));
            q.addBindValue(Schema::PasswordRowId);
            if (!q.exec()) {
                m_error = problemText(q.lastError());
                return std::nullopt;
            }
            if (!q.next()) {
                m_error = QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。");
                return std::nullopt;
            }
            return q.value(0).toString();
        },
        &m_error);
}

bool Settings::setPassword(const QString &password)
{
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    Transaction tx(m_shop);
    if (!tx.isActive()) {
        m_error = tx.lastError();
        return false;
    }
    // The first password row is the one the login reads.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE code SET code = ? WHERE rowid = "
                             "(SELECT rowid FROM code WHERE id = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(password);
    q.addBindValue(Schema::PasswordRowId);
    if (!q.exec()) {
        m_error = problemText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() != 1) {
        m_error = QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。");
        return false;
    }
    // That it was changed, never the password.
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("修改密码"), QStringLiteral("超级用户密码已修改"));
        !recorded) {
        m_error = recorded.errorText();
        return false;
    }
    if (!tx.commit()) {
        m_error = tx.lastError();
        return false;
    }
    return true;
}

std::optional<QString> Settings::receiptHeader() const
{
    return m_shop.again(
        [&]() -> std::optional<QString> {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("SELECT content FROM code WHERE code.id=? ORDER BY rowid LIMIT 1"));
            q.addBindValue(Schema::HeaderRowId);
            if (!q.exec()) {
                m_error = problemText(q.lastError());
                return std::nullopt;
            }
            return q.next() ? q.value(0).toString() : QString();
        },
        &m_error);
}

bool Settings::setReceiptHeader(const QString &header)
{
    // The transaction checks first that the file is still the one opened.
    Transaction tx(m_shop);
    if (!tx.isActive()) {
        m_error = tx.lastError();
        return false;
    }
    const std::optional<QString> before = receiptHeader();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE code SET content = ? WHERE rowid = "
                             "(SELECT rowid FROM code WHERE id = ? ORDER BY rowid LIMIT 1)"));
    q.addBindValue(header);
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec()) {
        m_error = problemText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() == 0) {
        // The header row went missing (edited by hand): it is made again.
        q.prepare(QStringLiteral("INSERT INTO code (id, content) VALUES (?, ?)"));
        q.addBindValue(Schema::HeaderRowId);
        q.addBindValue(header);
        if (!q.exec()) {
            m_error = problemText(q.lastError());
            return false;
        }
    }
    if (const Done recorded =
            Trail::append(m_shop, QStringLiteral("票据设计"),
                          QStringLiteral("小票抬头：%1 → %2").arg(before.value_or(QString()), header));
        !recorded) {
        m_error = recorded.errorText();
        return false;
    }
    if (!tx.commit()) {
        m_error = tx.lastError();
        return false;
    }
    return true;
}

bool Settings::recordFooterChange(const QStringList &before)
{
    m_error.clear();
    const QStringList now = receiptFooter();
    if (!m_error.isEmpty())
        return false;
    if (now == before)
        return true;
    const QString was = before.join(QStringLiteral(" / ")), is = now.join(QStringLiteral(" / "));
    if (const Done recorded =
            Trail::appendAlone(m_shop, QStringLiteral("票据设计"), QStringLiteral("小票页脚：%1 → %2").arg(was, is));
        !recorded) {
        m_error = recorded.errorText();
        return false;
    }
    return true;
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
        m_error = problemText(q.lastError());
        return lines;
    }
    while (q.next())
        lines.append(q.value(1).toString());
    return lines;
}

// The settings rows that the program cannot do without. The password row is
// never made up: a file without one is refused (an empty one is kept). The receipt header and a first
// footer line are recreated with their first values when someone removed them.
Settings::Appended Settings::appendFooterLine()
{
    Transaction tx(m_shop);
    QSqlQuery q(m_db);
    auto failed = [&](const QString &why) {
        m_error = why;
        return Appended::Failed;
    };
    if (!tx.lockForNumbering(QStringLiteral("code")))
        return failed(tx.lastError());
    q.prepare(QStringLiteral("SELECT id FROM code WHERE id > ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec())
        return failed(problemText(q.lastError()));
    const qint64 last = q.next() ? q.value(0).toLongLong() : Schema::HeaderRowId;
    q.finish();
    if (last >= 32767)
        return Appended::Full;
    q.prepare(QStringLiteral("INSERT INTO code (id) VALUES (?)"));
    q.addBindValue(last + 1);
    if (!q.exec())
        return failed(problemText(q.lastError()));
    if (!tx.commit())
        return failed(tx.lastError());
    return Appended::Appended;
}

QString Settings::ensureRows()
{
    auto rows = [&](const QString &where, int id, QString *value) -> std::optional<qint64> {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT COUNT(*), (SELECT code FROM code WHERE %1 ORDER BY rowid LIMIT 1) "
                                 "FROM code WHERE %1")
                      .arg(where));
        q.addBindValue(id);
        q.addBindValue(id);
        if (!q.exec() || !q.next())
            return std::nullopt;
        if (value)
            *value = q.value(1).toString();
        return q.value(0).toLongLong();
    };
    QString password;
    const auto passwordRows = rows(QStringLiteral("id = ?"), Schema::PasswordRowId, &password);
    const auto headerRows = rows(QStringLiteral("id = ?"), Schema::HeaderRowId, nullptr);
    const auto footerRows = rows(QStringLiteral("id > ?"), Schema::HeaderRowId, nullptr);
    if (!passwordRows || !headerRows || !footerRows)
        return QStringLiteral("设置表 code 无法读取（%1）。").arg(problemText(m_db.lastError()));
    // An empty password (another tool may write one) is a password: the
    // login takes an empty box. Only a missing row is refused.
    if (*passwordRows == 0)
        return QStringLiteral("设置表 code 中缺少超级用户密码（id 为 1 的行）。");
    if (*headerRows > 0 && *footerRows > 0)
        return QString();

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
        return QStringLiteral("无法补回小票设置行（%1）。")
            .arg(ins.lastError().isValid() ? problemText(ins.lastError()) : tx.lastError());
    return QString();
}
