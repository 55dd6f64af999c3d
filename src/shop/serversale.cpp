#include "shop/salesstore.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/returns.h"
#include "shop/schema.h"
#include "shop/trail.h"

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

// Parameters of one statement, each with the type it is read as.
struct Statement
{
    QByteArray sql;
    std::vector<QByteArray> values;
    std::vector<bool> null;

    QByteArray place(const QByteArray &value, const char *type, bool isNull = false)
    {
        values.push_back(value);
        null.push_back(isNull);
        return "$" + QByteArray::number(qulonglong(values.size())) + "::" + type;
    }
};

// One ticket in one statement, numbered under the lock the transaction
// took: the number follows the last stored line's, the ids its id. A token
// stored already (a commit whose answer was lost) stores nothing; nor does a
// last line without id or number. The answer: the number the token was
// stored under before, the new number, the id before the first new one, and
// the last line's id and number.
Statement ticketStatement(const QList<TicketLine> &lines, const QByteArray &uuid, const QByteArray &till,
                          const SalesStore::PaymentRow &payment, qint64 provisional)
{
    Statement s;
    const QByteArray token = s.place(uuid, "uuid");
    const QByteArray tillValue = s.place(till, "integer");
    QByteArrayList parts = {
        "last AS (SELECT id, danjuhao FROM xiaoshou ORDER BY rowid DESC LIMIT 1)",
        "known AS (SELECT danjuhao FROM " + QByteArray(Schema::TicketTokens) + " WHERE token = " + token + ")",
        "go AS (SELECT COALESCE((SELECT id FROM last), 0) AS id, COALESCE((SELECT danjuhao FROM last), 0) + 1 AS n "
        "WHERE NOT EXISTS (SELECT FROM known) AND NOT EXISTS (SELECT FROM last WHERE id IS NULL OR danjuhao IS NULL))",
        "INSERT INTO " + QByteArray(Schema::TicketTokens) + " (token, danjuhao, till) SELECT " + token + ", n, " +
            tillValue + " FROM go",
    };
    // Also for a ticket the server has already: one whose online commit went
    // through unanswered and which the till then kept, and whose receipt
    // shows the provisional number.
    if (provisional > 0)
        parts.append("INSERT INTO " + QByteArray(Schema::OfflineTickets) +
                     " (token, till, lixianhao, danjuhao) SELECT " + token + ", " + tillValue + ", " +
                     s.place(QByteArray::number(provisional), "integer") +
                     ", COALESCE((SELECT danjuhao FROM known), (SELECT n FROM go)) "
                     "WHERE (EXISTS (SELECT FROM known) OR EXISTS (SELECT FROM go)) AND NOT EXISTS (SELECT FROM " +
                     QByteArray(Schema::OfflineTickets) + " WHERE token = " + token + ")");
    QByteArray pay = "INSERT INTO fukuan (danjuhao, till, fangshi, hangshu, xiaoshoue, tuihuoe, shoukuan, zhaoling, "
                     "dt) SELECT n, " +
                     tillValue + ", " + s.place(payment.method.toUtf8(), "text") + ", " +
                     s.place(QByteArray::number(payment.lines), "integer");
    for (const Money m : {payment.sales, payment.returns, payment.paid, payment.change})
        pay += ", " + s.place(QByteArray::number(qint64(m.units())), "bigint");
    const QVariant time = Schema::toStorage(Schema::ColumnKind::DateTime, payment.time);
    pay += ", " + s.place(time.toString().toUtf8(), "timestamp", time.isNull()) + " FROM go";
    parts.append(pay);
    if (!payment.member.isEmpty())
        parts.append("INSERT INTO huiyuan_piao (danjuhao, kahao) SELECT n, " +
                     s.place(payment.member.toUtf8(), "text") + " FROM go");
    if (!payment.cashier.isEmpty())
        parts.append("INSERT INTO shouyin_piao (danjuhao, gonghao) SELECT n, " +
                     s.place(payment.cashier.toUtf8(), "text") + " FROM go");
    QByteArrayList returned, sold;
    for (int i = 0; i < lines.size(); ++i) {
        const TicketLine &l = lines[i];
        const QByteArray k = QByteArray::number(i + 1);
        if (l.isReturn())
            returned.append("(" + k + ", " + s.place(l.code.toUtf8(), "text") + ", " +
                            s.place(QByteArray::number(-qint64(l.quantity)), "integer") + ", " +
                            s.place(QByteArray::number(l.returnOfTicket), "integer") + ", " +
                            s.place(QByteArray::number(l.returnOfLine), "integer") + ")");
        // A line without a time is stored with none (NULL), as on the file.
        const QVariant at = Schema::toStorage(Schema::ColumnKind::DateTime, l.time);
        sold.append("(" + k + ", " + s.place(l.code.toUtf8(), "text") + ", " +
                    s.place(QByteArray::number(l.quantity), "integer") + ", " +
                    s.place(QByteArray::number(qint64(l.price.units())), "bigint") + ", " +
                    s.place(QByteArray::number(qint64(l.amount.units())), "bigint") + ", " +
                    s.place(at.toString().toUtf8(), "timestamp", at.isNull() || at.toString().isEmpty()) + ")");
    }
    if (!returned.isEmpty())
        parts.append("INSERT INTO tuihuo (id, danjuhao, code, shuliang, yuandanjuhao, yuanid) "
                     "SELECT go.id + r.k, go.n, r.code, r.q, r.t, r.l FROM go, (VALUES " +
                     returned.join(", ") + ") AS r(k, code, q, t, l)");
    if (!sold.isEmpty())
        parts.append("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                     "SELECT go.id + v.k, go.n, v.code, v.q, v.p, v.a, v.t FROM go, (VALUES " +
                     sold.join(", ") + ") AS v(k, code, q, p, a, t)");
    s.sql = "WITH " + parts.mid(0, 3).join(", ");
    for (int i = 3; i < parts.size(); ++i)
        s.sql += ", s" + QByteArray::number(i) + " AS (" + parts[i] + ")";
    s.sql += " SELECT (SELECT danjuhao FROM known), (SELECT n FROM go), (SELECT id FROM go), "
             "(SELECT id FROM last), (SELECT danjuhao FROM last)";
    return s;
}

const Statement Begin{"BEGIN", {}, {}};
const Statement Lock{Schema::numberingLock(QStringLiteral("xiaoshou")).toLatin1(), {}, {}};
const Statement Commit{"COMMIT", {}, {}};

// Statements sent at once and answered in turn (libpq's pipeline): one
// round trip for all. After one that failed, the server skips the rest. A
// result per statement answered, none for those the connection lost.
void runPipeline(PGconn *conn, const std::vector<const Statement *> &statements, Results *out)
{
    if (PQenterPipelineMode(conn) != 1)
        return;
    size_t queued = 0;
    for (const Statement *s : statements) {
        std::vector<const char *> pointers;
        for (size_t i = 0; i < s->values.size(); ++i)
            pointers.push_back(s->null[i] ? nullptr : s->values[i].constData());
        if (!PQsendQueryParams(conn, s->sql.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr,
                               nullptr, 0))
            break;
        ++queued;
    }
    if (queued > 0 && PQpipelineSync(conn) == 1) {
        for (size_t i = 0; i < queued && PQstatus(conn) == CONNECTION_OK; ++i) {
            PGresult *r = PQgetResult(conn);
            if (!r)
                break;
            out->all.push_back(r);
            // Each statement's answer ends with a null.
            while (PGresult *more = PQgetResult(conn))
                PQclear(more);
        }
        while (PQstatus(conn) == CONNECTION_OK) {
            PGresult *r = PQgetResult(conn);
            const bool synced = r && PQresultStatus(r) == PGRES_PIPELINE_SYNC;
            PQclear(r);
            if (synced || !r)
                break;
        }
    }
    PQexitPipelineMode(conn);
}

bool succeeded(const PGresult *r)
{
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

// A ticket's answer: its statement's (at `at`) and its commit's.
SalesStore::Stored answerOf(PGconn *conn, const Results &results, size_t at)
{
    SalesStore::Stored result;
    for (size_t i = at - std::min<size_t>(at, 2); i <= at + 1; ++i) {
        if (i >= results.all.size()) {
            result.error = errorOf(conn);
            return result;
        }
        if (!succeeded(results.all[i])) {
            result.error = errorOf(conn, results.all[i]);
            return result;
        }
    }
    const PGresult *row = results.all[at];
    if (integerAt(row, 0, &result.ticketNumber)) {
        result.ok = true;
    } else if (integerAt(row, 1, &result.ticketNumber) && integerAt(row, 2, &result.firstId)) {
        ++result.firstId;
        result.ok = true;
    } else {
        result.error = QStringLiteral("最后一条销售记录的 id 或流水号不是整数（id=%1，danjuhao=%2）。")
                           .arg(QString::fromUtf8(PQgetvalue(row, 0, 3)), QString::fromUtf8(PQgetvalue(row, 0, 4)));
    }
    return result;
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
    const Statement ticket = ticketStatement(lines, token.toString(QUuid::WithoutBraces).toLatin1(),
                                             QByteArray::number(m_shop.till()), payment, provisional);
    std::vector<const Statement *> steps = {&Begin, &Lock, &ticket, &Commit};
    if (std::any_of(lines.begin(), lines.end(), [](const TicketLine &l) { return l.isReturn(); })) {
        // Returns are checked under the same lock: no other till stores a
        // line meanwhile, so no two returns give the same goods back.
        Results locked;
        if (!runBatch(conn, Begin.sql + "; " + Lock.sql, &locked, &result.error)) {
            rollBack(conn);
            return result;
        }
        if (const QString problem = Returns::checkLeft(m_shop, lines); !problem.isEmpty()) {
            result.error = problem;
            rollBack(conn);
            return result;
        }
        if (const Done recorded = Trail::append(m_shop, QStringLiteral("退货"), returnsInWords(lines)); !recorded) {
            result.error = recorded.errorText();
            rollBack(conn);
            return result;
        }
        steps = {&ticket, &Commit};
    }
    Results answers;
    runPipeline(conn, steps, &answers);
    result = answerOf(conn, answers, steps.size() - 2);
    if (!result.ok)
        rollBack(conn);
    return result;
}

QList<SalesStore::Stored> SalesStore::storeKeptOnServer(const QList<Kept> &tickets)
{
    QList<Stored> stored;
    PGconn *conn = serverHandleOf(m_db);
    if (tickets.isEmpty())
        return stored;
    if (!conn) {
        stored.append(Stored{});
        stored.last().error = QStringLiteral("没有打开的数据库连接。");
        return stored;
    }
    const QByteArray till = QByteArray::number(m_shop.till());
    std::vector<Statement> statements;
    statements.reserve(size_t(tickets.size()));
    std::vector<const Statement *> steps;
    for (const Kept &k : tickets) {
        PaymentRow row = paymentRow(k.lines, k.payment);
        row.time = k.offline.sold;
        statements.push_back(ticketStatement(k.lines, k.token.toString(QUuid::WithoutBraces).toLatin1(), till, row,
                                             k.offline.provisional));
        steps.insert(steps.end(), {&Begin, &Lock, &statements.back(), &Commit});
    }
    Results answers;
    runPipeline(conn, steps, &answers);
    for (qsizetype i = 0; i < tickets.size(); ++i) {
        stored.append(answerOf(conn, answers, size_t(i) * 4 + 2));
        if (!stored.last().ok)
            break;
    }
    if (!stored.last().ok)
        rollBack(conn);
    return stored;
}
