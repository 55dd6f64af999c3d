#include "shop/receipt.h"

#include "shop/displayformat.h"
#include "shop/schema.h"
#include "shop/ticket.h"

#include <QSqlError>
#include <QSqlQuery>

Receipt Receipt::fromTicket(const Ticket &ticket)
{
    Receipt r;
    for (const TicketLine &t : ticket.lines()) {
        // Fields are printed as the ticket shows them.
        r.lines.append(
            {t.code, t.name, QString::number(t.quantity), t.price.toCurrency(), formatDateTime(t.time), t.amount});
        r.total = r.total.plus(t.amount).value_or(r.total);
    }
    return r;
}

ReceiptTexts::ReceiptTexts(QSqlDatabase db) : m_db(std::move(db))
{
    reloadHeader();
}

bool ReceiptTexts::reloadHeader()
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT content FROM code WHERE code.id=? ORDER BY rowid LIMIT 1"));
    q.addBindValue(Schema::HeaderRowId);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    m_header = q.next() ? q.value(0).toString() : QString();
    return true;
}

QStringList ReceiptTexts::readFooter(QString *error) const
{
    // All footer rows in the order of their ids. The rows normally carry the
    // ids 20001.. without gaps; should they not, no row is skipped and none
    // is read twice.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT code.id, code.content FROM code WHERE code.id>? ORDER BY code.id, rowid"));
    q.addBindValue(Schema::HeaderRowId);
    QStringList lines;
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return lines;
    }
    while (q.next())
        lines.append(q.value(1).toString());
    return lines;
}
