#include "shop/salesstore.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/returns.h"
#include "shop/schema.h"

#include <libpq-fe.h>

#include <vector>

// The checkout on the server. Other tills store theirs at the same time, so
// the number is settled under the table's lock; every round trip is time the
// lock is held, so there are few.

namespace {

QString errorOf(PGconn *conn, const PGresult *r = nullptr)
{
    const char *text = r ? PQresultErrorMessage(r) : "";
    const char *state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    // Without a result the connection itself failed.
    return serverProblemInWords(state ? QString::fromLatin1(state) : QStringLiteral("08000"),
                                QString::fromUtf8(*text ? text : PQerrorMessage(conn)));
}

// The results of one round trip, cleared at the end.
struct Results
{
    std::vector<PGresult *> all;
    ~Results()
    {
        for (PGresult *r : all)
            PQclear(r);
    }
};

// Several statements without parameters in one round trip; false (with the
// error) when any failed.
bool runBatch(PGconn *conn, const QByteArray &sql, Results *out, QString *error)
{
    if (!PQsendQuery(conn, sql.constData())) {
        *error = errorOf(conn);
        return false;
    }
    bool ok = true;
    while (PGresult *r = PQgetResult(conn)) {
        const ExecStatusType s = PQresultStatus(r);
        if (ok && s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            *error = errorOf(conn, r);
            ok = false;
        }
        out->all.push_back(r);
    }
    return ok;
}

bool integerAt(const PGresult *r, int column, qint64 *value)
{
    if (PQgetisnull(r, 0, column))
        return false;
    bool ok = false;
    *value = QByteArray(PQgetvalue(r, 0, column)).toLongLong(&ok);
    return ok;
}

// Ends a transaction that did not commit, unless the connection is gone.
void rollBack(PGconn *conn)
{
    if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
        PQclear(PQexec(conn, "ROLLBACK"));
}

} // namespace

SalesStore::Stored SalesStore::storeOnServer(const QList<TicketLine> &lines, const QUuid &token,
                                             const PaymentRow &payment, qint64 provisional)
{
    Stored result;
    PGconn *conn = serverHandleOf(m_db);
    if (!conn) {
        result.error = QStringLiteral("没有打开的数据库连接。");
        return result;
    }
    const QByteArray uuid = token.toString(QUuid::WithoutBraces).toLatin1();
    Results first;
    if (!runBatch(conn,
                  "BEGIN; LOCK TABLE xiaoshou IN SHARE ROW EXCLUSIVE MODE; "
                  "SELECT id, danjuhao FROM xiaoshou ORDER BY rowid DESC LIMIT 1",
                  &first, &result.error) ||
        first.all.size() != 3) {
        rollBack(conn);
        return result;
    }
    // Stored already: its commit went through and the answer was lost.
    const char *tokenValue = uuid.constData();
    first.all.push_back(PQexecParams(conn, "SELECT danjuhao FROM xiaoshou_token WHERE token = $1", 1, nullptr,
                                     &tokenValue, nullptr, nullptr, 0));
    if (PQresultStatus(first.all[3]) != PGRES_TUPLES_OK) {
        result.error = errorOf(conn, first.all[3]);
        rollBack(conn);
        return result;
    }
    if (PQntuples(first.all[3]) > 0) {
        rollBack(conn);
        result.ok = integerAt(first.all[3], 0, &result.ticketNumber);
        return result;
    }
    const PGresult *last = first.all[2];
    qint64 lastId = 0;
    qint64 lastNumber = 0;
    if (PQntuples(last) > 0 && (!integerAt(last, 0, &lastId) || !integerAt(last, 1, &lastNumber))) {
        result.error = QStringLiteral("最后一条销售记录的 id 或流水号不是整数（id=%1，danjuhao=%2）。")
                           .arg(QString::fromUtf8(PQgetvalue(last, 0, 0)), QString::fromUtf8(PQgetvalue(last, 0, 1)));
        rollBack(conn);
        return result;
    }
    result.firstId = lastId + 1;
    result.ticketNumber = lastNumber + 1;
    // Returns are checked under the same lock: no other till stores a line
    // meanwhile, so no two returns give the same goods back.
    if (const QString problem = Returns::checkLeft(m_shop, lines); !problem.isEmpty()) {
        result.error = problem;
        rollBack(conn);
        return result;
    }

    // The token, the payment, the returns and the lines in one statement.
    std::vector<QByteArray> values;
    std::vector<size_t> noTime;
    auto place = [&values](const QByteArray &value) {
        values.push_back(value);
        return "$" + QByteArray::number(qulonglong(values.size()));
    };
    const QByteArray number = QByteArray::number(result.ticketNumber);
    const QByteArray till = QByteArray::number(m_shop.till());
    QByteArrayList parts;
    parts.append("INSERT INTO xiaoshou_token (token, danjuhao, till) VALUES (" + place(uuid) + ", " + place(number) +
                 ", " + place(till) + ")");
    if (provisional > 0)
        parts.append("INSERT INTO " + QByteArray(Schema::OfflineTickets) +
                     " (token, till, lixianhao, danjuhao) VALUES (" + place(uuid) + ", " + place(till) + ", " +
                     place(QByteArray::number(provisional)) + ", " + place(number) + ")");
    const QByteArray units[] = {QByteArray::number(payment.lines), QByteArray::number(qint64(payment.sales.units())),
                                QByteArray::number(qint64(payment.returns.units())),
                                QByteArray::number(qint64(payment.paid.units())),
                                QByteArray::number(qint64(payment.change.units()))};
    QByteArray pay = "INSERT INTO fukuan (danjuhao, till, fangshi, hangshu, xiaoshoue, tuihuoe, shoukuan, zhaoling, "
                     "dt) VALUES (" +
                     place(number) + ", " + place(till) + ", " + place(payment.method.toUtf8());
    for (const QByteArray &u : units)
        pay += ", " + place(u);
    pay += ", " + place(Schema::toStorage(Schema::ColumnKind::DateTime, payment.time).toString().toUtf8()) + ")";
    parts.append(pay);
    QByteArrayList returned;
    for (int i = 0; i < lines.size(); ++i) {
        const TicketLine &l = lines[i];
        if (l.isReturn())
            returned.append("(" + place(QByteArray::number(result.firstId + i)) + ", " + place(number) + ", " +
                            place(l.code.toUtf8()) + ", " + place(QByteArray::number(-qint64(l.quantity))) + ", " +
                            place(QByteArray::number(l.returnOfTicket)) + ", " +
                            place(QByteArray::number(l.returnOfLine)) + ")");
    }
    if (!returned.isEmpty())
        parts.append("INSERT INTO tuihuo (id, danjuhao, code, shuliang, yuandanjuhao, yuanid) VALUES " +
                     returned.join(", "));
    if (!lines.isEmpty()) {
        QByteArrayList rows;
        qint64 id = result.firstId;
        for (const TicketLine &line : lines) {
            QByteArray row = "(" + place(QByteArray::number(id++)) + ", " + place(number) + ", " +
                             place(line.code.toUtf8()) + ", " + place(QByteArray::number(line.quantity)) + ", " +
                             place(QByteArray::number(qint64(line.price.units()))) + ", " +
                             place(QByteArray::number(qint64(line.amount.units()))) + ", ";
            row += place(Schema::toStorage(Schema::ColumnKind::DateTime, line.time).toString().toUtf8()) + ")";
            noTime.push_back(values.size() - 1);
            rows.append(row);
        }
        parts.append("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES " +
                     rows.join(", "));
    }
    QByteArray sql;
    for (int i = 0; i + 1 < parts.size(); ++i)
        sql += (i ? ", " : "WITH ") + QByteArray("s") + QByteArray::number(i) + " AS (" + parts[i] + ")";
    sql += " " + parts.last();
    // A line without a time is stored with none (NULL), as on the file.
    std::vector<const char *> pointers;
    for (const QByteArray &v : values)
        pointers.push_back(v.constData());
    for (const size_t at : noTime)
        if (values[at].isEmpty())
            pointers[at] = nullptr;
    Results stored;
    stored.all.push_back(
        PQexecParams(conn, sql.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0));
    if (PQresultStatus(stored.all[0]) != PGRES_COMMAND_OK) {
        result.error = errorOf(conn, stored.all[0]);
        rollBack(conn);
        return result;
    }
    stored.all.push_back(PQexec(conn, "COMMIT"));
    if (PQresultStatus(stored.all[1]) != PGRES_COMMAND_OK) {
        result.error = errorOf(conn, stored.all[1]);
        rollBack(conn);
        return result;
    }
    result.ok = true;
    return result;
}
