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
    return LastRow{q.value(0).toLongLong(), q.value(1).toLongLong()};
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
    if (!error.isEmpty()) {
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
