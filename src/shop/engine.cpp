#include "shop/engine.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

Engine engineOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

pg_conn *serverHandleOf(const QSqlDatabase &db)
{
    if (!db.isOpen() || !onServer(db))
        return nullptr;
    // Qt names the handle's type after libpq's struct.
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || (qstrcmp(v.typeName(), "pg_conn*") != 0 && qstrcmp(v.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<pg_conn *const *>(v.constData());
}

sqlite3 *fileHandleOf(const QSqlDatabase &db)
{
    const QVariant v = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    return v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3 *const *>(v.constData())
                                                                 : nullptr;
}

void readOnce(QSqlQuery &query, const QSqlDatabase &db)
{
    query.setForwardOnly(!onServer(db));
}

QString serverProblemInWords(const QString &sqlState, const QString &serverText)
{
    QString words;
    if (sqlState == u"55P03" || sqlState == u"57014")
        words = QStringLiteral("服务器上的数据正被其他操作占用（例如数据清理），请稍后再试。");
    else if (sqlState == u"40P01" || sqlState == u"40001")
        words = QStringLiteral("与其他收银台的操作冲突了，请再试一次。");
    else if (sqlState.startsWith(u"08") || sqlState.startsWith(u"57P"))
        words = QStringLiteral("与服务器的连接中断了。");
    else if (sqlState.startsWith(u"53"))
        words = QStringLiteral("服务器的磁盘或内存不够了。");
    else if (sqlState.isEmpty() && serverText.isEmpty())
        return QString();
    else
        words = QStringLiteral("服务器报告了一个错误。");
    const QString detail = serverText.trimmed();
    return detail.isEmpty() ? words : QStringLiteral("%1（服务器：%2）").arg(words, detail);
}

QString serverProblemInWords(const QSqlError &error)
{
    return serverProblemInWords(error.nativeErrorCode(), error.text());
}

Error failureOf(const QSqlQuery &query)
{
    return Error{problemText(query.lastError())};
}

QString problemText(const QSqlError &error)
{
    // The server's errors carry their five-character SQLSTATE; a lost
    // connection carries none, only the driver's name.
    const QString state = error.nativeErrorCode();
    if (state.size() == 5)
        return serverProblemInWords(state, error.text());
    if (error.driverText().startsWith(u"QPSQL")) {
        const QString text = error.databaseText();
        const bool lost = text.contains(u"connection") || text.contains(u"terminat");
        const QString words = serverProblemInWords(lost ? QStringLiteral("08000") : QString(), error.text());
        if (!words.isEmpty())
            return words;
    }
    // Never empty: an empty text would read as success.
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("数据库没有说明原因。") : text;
}
