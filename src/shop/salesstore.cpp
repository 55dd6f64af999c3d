#include "shop/salesstore.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/returns.h"
#include "shop/schema.h"
#include "shop/serverdeadline.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

// One kept statement of the file run once with its values: integers, texts
// or NULL (an invalid QVariant). Empty, or the error.
QString insertOnce(const Shop &shop, const char *sql, std::initializer_list<QVariant> values)
{
    sqlite3_stmt *stmt = shop.kept(sql);
    sqlite3 *handle = shop.fileHandle();
    if (!stmt)
        return handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("没有打开的数据库连接。");
    const Shop::KeptUse use{stmt};
    int column = 1;
    for (const QVariant &v : values) {
        if (!v.isValid() || v.isNull()) {
            sqlite3_bind_null(stmt, column);
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(stmt, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(stmt, column, v.toLongLong());
        }
        ++column;
    }
    return sqlite3_step(stmt) == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
}

// The tuihuo rows of the ticket's returned lines and its fukuan row, on the file.
QString storeReturnsAndPayment(const Shop &shop, qint64 ticketNumber, qint64 firstId, const QList<TicketLine> &lines,
                               const SalesStore::PaymentRow &payment)
{
    using K = Schema::ColumnKind;
    for (int i = 0; i < lines.size(); ++i) {
        const TicketLine &l = lines[i];
        if (!l.isReturn())
            continue;
        if (const QString problem =
                insertOnce(shop,
                           "INSERT INTO tuihuo (id, danjuhao, code, shuliang, yuandanjuhao, yuanid) "
                           "VALUES (?, ?, ?, ?, ?, ?)",
                           {firstId + i, ticketNumber, l.code, -qint64(l.quantity), l.returnOfTicket, l.returnOfLine});
            !problem.isEmpty())
            return problem;
    }
    if (!payment.member.isEmpty())
        if (const QString problem = insertOnce(shop, "INSERT INTO huiyuan_piao (danjuhao, kahao) VALUES (?, ?)",
                                               {ticketNumber, payment.member});
            !problem.isEmpty())
            return problem;
    if (!payment.cashier.isEmpty())
        if (const QString problem = insertOnce(shop, "INSERT INTO shouyin_piao (danjuhao, gonghao) VALUES (?, ?)",
                                               {ticketNumber, payment.cashier});
            !problem.isEmpty())
            return problem;
    return insertOnce(shop,
                      "INSERT INTO fukuan (danjuhao, till, fangshi, hangshu, xiaoshoue, tuihuoe, shoukuan, "
                      "zhaoling, dt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      {ticketNumber, shop.till(), payment.method, payment.lines, qlonglong(payment.sales.units()),
                       qlonglong(payment.returns.units()), qlonglong(payment.paid.units()),
                       qlonglong(payment.change.units()), Schema::toStorage(K::DateTime, payment.time)});
}

// A sale time as it is stored, "yyyy-MM-dd HH:mm:ss", written into `out`
// without a string of Qt's; the length, or 0 where Qt's own form is needed
// (no time, or a year outside 1000..9999).
int storedTime(const QDateTime &t, char (&out)[20])
{
    if (!t.isValid())
        return 0;
    const QDate d = t.date();
    const QTime c = t.time();
    if (d.year() < 1000 || d.year() > 9999)
        return 0;
    auto put = [&out](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            out[at + i] = char('0' + value % 10);
    };
    put(0, d.year(), 4);
    out[4] = '-';
    put(5, d.month(), 2);
    out[7] = '-';
    put(8, d.day(), 2);
    out[10] = ' ';
    put(11, c.hour(), 2);
    out[13] = ':';
    put(14, c.minute(), 2);
    out[16] = ':';
    put(17, c.second(), 2);
    out[19] = 0;
    return 19;
}

} // namespace

SalesStore::SalesStore(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()), m_last(m_db) { }

Result<std::optional<SalesStore::LastRow>> SalesStore::lastRow() const
{
    // On the file, asked at every checkout through a kept statement; a last
    // row of whole numbers is read as it is, anything else as below.
    if (sqlite3_stmt *last = m_shop.kept("SELECT id, danjuhao FROM xiaoshou ORDER BY rowid DESC LIMIT 1")) {
        const Shop::KeptUse use{last};
        const int step = sqlite3_step(last);
        if (step == SQLITE_DONE)
            return std::optional<LastRow>();
        if (step == SQLITE_ROW && sqlite3_column_type(last, 0) == SQLITE_INTEGER &&
            sqlite3_column_type(last, 1) == SQLITE_INTEGER)
            return std::optional(LastRow{sqlite3_column_int64(last, 0), sqlite3_column_int64(last, 1)});
    }
    // The statement is prepared once on the file; the server's connection may
    // be opened again, and with it every statement.
    QSqlQuery fresh(m_db);
    QSqlQuery &q = m_shop.onServer() ? fresh : m_last;
    if (q.lastQuery().isEmpty())
        q.prepare(QStringLiteral("SELECT id, danjuhao FROM xiaoshou ORDER BY rowid DESC LIMIT 1"));
    if (!q.exec())
        return failureOf(q);
    if (!q.next())
        return std::optional<LastRow>();
    // No read stays open on the file.
    const QScopeGuard done([&q] { q.finish(); });
    // A last row whose id or ticket number is not a whole number (written by
    // another tool) cannot tell the next ones: that is an error, never 0.
    bool idOk = false, numberOk = false;
    const qint64 id = q.value(0).toLongLong(&idOk);
    const qint64 number = q.value(1).toLongLong(&numberOk);
    if (!idOk || !numberOk || q.value(0).isNull() || q.value(1).isNull())
        return Error{QStringLiteral("最后一条销售记录的 id 或流水号不是整数（id=%1，danjuhao=%2）。")
                         .arg(q.value(0).toString(), q.value(1).toString())};
    return std::optional(LastRow{id, number});
}

Result<qint64> SalesStore::nextTicketNumber() const
{
    const auto last = lastRow();
    if (!last)
        return last.error();
    return *last ? (*last)->ticketNumber + 1 : 1;
}

SalesStore::PaymentRow SalesStore::paymentRow(const QList<TicketLine> &lines, const std::optional<Payment> &payment)
{
    PaymentRow row;
    row.lines = lines.size();
    Money total;
    for (const TicketLine &l : lines) {
        if (l.isReturn())
            row.returns = row.returns.minus(l.amount).value_or(row.returns);
        else
            row.sales = row.sales.plus(l.amount).value_or(row.sales);
        total = total.plus(l.amount).value_or(total);
    }
    const Payment paid = payment.value_or(Payment{PaymentMethod::Cash, total, Money()});
    row.method = paymentMethodName(paid.method);
    row.paid = paid.paid;
    row.change = paid.change;
    row.member = paid.member;
    row.cashier = paid.cashier;
    row.time = QDateTime::currentDateTime();
    return row;
}

SalesStore::Stored SalesStore::storeTicket(qint64 ticketNumber, const QList<TicketLine> &lines, const QUuid &token,
                                           const std::optional<Payment> &payment, const std::optional<Offline> &offline)
{
    PaymentRow row = paymentRow(lines, payment);
    if (offline)
        row.time = offline->sold;
    if (!m_shop.onServer())
        return storeInFile(ticketNumber, lines, row);
    const QUuid ticket = token.isNull() ? QUuid::createUuid() : token;
    const qint64 provisional = offline ? offline->provisional : 0;
    // A server that stopped answering keeps the cashier waiting no longer
    // than the deadline; it is then not asked again now.
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    Stored result = storeOnServer(lines, ticket, row, provisional);
    if (result.ok || result.lost)
        return result;
    QString lost;
    switch (m_shop.recover(&lost)) {
    case Shop::Recovery::NotLost:
        return result;
    case Shop::Recovery::Lost:
        result.error = notStoredWhileLost(lost);
        result.lost = true;
        return result;
    case Shop::Recovery::Reconnected:
        // The commit may have been carried out with its answer lost: the
        // token tells, and a second try could never store the ticket twice.
        result = storeOnServer(lines, ticket, row, provisional);
        if (!result.ok && PQstatus(serverHandleOf(m_db)) != CONNECTION_OK)
            result.lost = true;
        return result;
    }
    return result;
}

QString SalesStore::returnsInWords(const QList<TicketLine> &lines)
{
    QStringList all;
    for (const TicketLine &l : lines)
        if (l.isReturn())
            all.append(QStringLiteral("原流水号 %1 的行 %2（货号 %3）退 %4，金额 %5")
                           .arg(l.returnOfTicket)
                           .arg(l.returnOfLine)
                           .arg(l.code)
                           .arg(-qint64(l.quantity))
                           .arg(l.amount.toExactString()));
    return all.join(QStringLiteral("；"));
}

QList<SalesStore::Stored> SalesStore::storeKept(const QList<Kept> &tickets)
{
    QList<Stored> stored;
    const bool returns = std::any_of(tickets.begin(), tickets.end(), [](const Kept &k) {
        return std::any_of(k.lines.begin(), k.lines.end(), [](const TicketLine &l) { return l.isReturn(); });
    });
    if (!m_shop.onServer() || returns) {
        // One by one, each with its own check of what is left to return.
        for (const Kept &k : tickets) {
            stored.append(storeTicket(0, k.lines, k.token, k.payment, k.offline));
            if (!stored.last().ok)
                break;
        }
        return stored;
    }
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    stored = storeKeptOnServer(tickets);
    if (stored.isEmpty() || stored.last().ok)
        return stored;
    // A lost connection is opened again and the rest sent once more: a ticket
    // whose commit went through with its answer lost is found by its token.
    QString lost;
    const Shop::Recovery recovery = m_shop.recover(&lost);
    if (recovery == Shop::Recovery::Reconnected) {
        const qsizetype done = stored.size() - 1;
        stored.removeLast();
        stored += storeKeptOnServer(tickets.mid(done));
    } else if (recovery == Shop::Recovery::Lost) {
        stored.last().error = Database::connectionLost(lost);
        stored.last().lost = true;
    }
    if (!stored.isEmpty() && !stored.last().ok && PQstatus(serverHandleOf(m_db)) != CONNECTION_OK)
        stored.last().lost = true;
    return stored;
}

QString SalesStore::notStoredWhileLost(const QString &lost)
{
    return Database::connectionLost(lost) + QStringLiteral("\n这张小票没有保存，仍在屏幕上；服务器恢复后再结帐即可。");
}

SalesStore::Stored SalesStore::storeInFile(qint64 ticketNumber, const QList<TicketLine> &lines,
                                           const PaymentRow &payment)
{
    Stored result;
    result.ticketNumber = ticketNumber;
    Transaction tx(m_shop);
    if (!tx.isActive()) {
        result.error = tx.lastError();
        return result;
    }
    const auto last = lastRow();
    if (!last) {
        result.error = last.errorText();
        return result;
    }
    qint64 id = *last ? (*last)->id + 1 : 1;
    result.firstId = id;
    if (const QString problem = Returns::checkLeft(m_shop, lines); !problem.isEmpty()) {
        result.error = problem;
        return result;
    }
    if (const QString returned = returnsInWords(lines); !returned.isEmpty())
        if (const Done recorded = Trail::append(m_shop, QStringLiteral("退货"), returned); !recorded) {
            result.error = recorded.errorText();
            return result;
        }

    // The lines go in through SQLite's own interface and a statement kept
    // for the file: at 20 lines a ticket, the driver's per-row work would cost
    // more than the inserts themselves.
    sqlite3_stmt *insert = m_shop.kept(
        "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES (?, ?, ?, ?, ?, ?, ?)");
    if (!insert) {
        sqlite3 *handle = m_shop.fileHandle();
        result.error = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("没有打开的数据库连接。");
        return result;
    }
    const Shop::KeptUse use{insert};
    for (const TicketLine &line : lines) {
        const QByteArray code = line.code.toUtf8();
        char timeText[20];
        const int timeLength = storedTime(line.time, timeText);
        const QByteArray otherTime =
            timeLength ? QByteArray() : Schema::toStorage(Schema::ColumnKind::DateTime, line.time).toString().toUtf8();
        sqlite3_bind_int64(insert, 1, id++);
        sqlite3_bind_int64(insert, 2, ticketNumber);
        sqlite3_bind_text(insert, 3, code.constData(), int(code.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, 4, line.quantity);
        sqlite3_bind_int64(insert, 5, line.price.units());
        sqlite3_bind_int64(insert, 6, line.amount.units());
        if (timeLength)
            sqlite3_bind_text(insert, 7, timeText, timeLength, SQLITE_STATIC);
        else if (otherTime.isEmpty())
            sqlite3_bind_null(insert, 7);
        else
            sqlite3_bind_text(insert, 7, otherTime.constData(), int(otherTime.size()), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            result.error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(insert)));
            return result; // the transaction rolls back
        }
        sqlite3_reset(insert);
    }
    if (const QString problem = storeReturnsAndPayment(m_shop, ticketNumber, result.firstId, lines, payment);
        !problem.isEmpty()) {
        result.error = problem;
        return result;
    }
    if (!tx.commit()) {
        result.error = tx.lastError();
        return result;
    }
    result.ok = true;
    return result;
}
