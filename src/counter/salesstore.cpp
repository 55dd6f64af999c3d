#include "salesstore.h"

#include "schema.h"
#include "transaction.h"

#include <QSqlError>
#include <QSqlQuery>

SalesStore::SalesStore(QSqlDatabase db) : m_db(std::move(db)) { }

std::optional<SalesStore::LastRow> SalesStore::lastRow(QString *error) const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT id, danjuhao FROM xiaoshou ORDER BY rowid DESC LIMIT 1"))) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    // A last row whose id or ticket number is not a whole number (written by
    // another tool) cannot tell the next ones: that is an error, never 0.
    bool idOk = false, numberOk = false;
    const qint64 id = q.value(0).toLongLong(&idOk);
    const qint64 number = q.value(1).toLongLong(&numberOk);
    if (!idOk || !numberOk || q.value(0).isNull() || q.value(1).isNull()) {
        if (error)
            *error = QStringLiteral("最后一条销售记录的 id 或流水号不是整数（id=%1，danjuhao=%2）。")
                         .arg(q.value(0).toString(), q.value(1).toString());
        return std::nullopt;
    }
    return LastRow{id, number};
}

qint64 SalesStore::nextTicketNumber(QString *error) const
{
    const auto last = lastRow(error);
    return last ? last->ticketNumber + 1 : 1;
}

SalesStore::Stored SalesStore::storeTicket(qint64 ticketNumber, const QList<TicketLine> &lines)
{
    Stored result;
    Transaction tx(m_db);
    if (!tx.isActive()) {
        result.error = tx.lastError();
        return result;
    }
    QString error;
    const auto last = lastRow(&error);
    if (!last && !error.isEmpty()) {
        result.error = error;
        return result;
    }
    qint64 id = last ? last->id + 1 : 1;
    result.firstId = id;

    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    using K = Schema::ColumnKind;
    for (const TicketLine &line : lines) {
        q.addBindValue(id++);
        q.addBindValue(ticketNumber);
        q.addBindValue(line.code);
        q.addBindValue(line.quantity);
        q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(line.price)));
        q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(line.amount)));
        q.addBindValue(Schema::toStorage(K::DateTime, line.time));
        if (!q.exec()) {
            result.error = q.lastError().text();
            return result; // the transaction rolls back
        }
    }
    if (!tx.commit()) {
        result.error = tx.lastError();
        return result;
    }
    result.ok = true;
    return result;
}
