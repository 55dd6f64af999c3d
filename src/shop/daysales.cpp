#include "shop/daysales.h"

#include "shop/database.h"

#include "shop/displayformat.h"
#include "shop/engine.h"
#include "shop/scalelabel.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
const QString TicketNo = QStringLiteral("单据号");
const QString Code = QStringLiteral("货号");
const QString Name = QStringLiteral("货名");
const QString Quantity = QStringLiteral("数量");
const QString Price = QStringLiteral("售价");
const QString Amount = QStringLiteral("金额");
const QString Time = QStringLiteral("时间");
const QString Id = QStringLiteral("id");
} // namespace

QStringList DaySales::columnNames()
{
    return {TicketNo, Code, Name, Quantity, Price, Amount, Time, Id};
}

QString DaySales::text(const Line &line, int column)
{
    switch (column) {
    case 0:
        return line.ticket;
    case 1:
        return line.code;
    case 2:
        return line.name;
    case 3:
        return line.quantity;
    case 4:
        return line.price ? line.price->toCurrency() : QString();
    case 5:
        return line.amount.toCurrency();
    case 6:
        return line.time.isValid() ? formatDateTime(line.time) : QString();
    case 7:
        return QString::number(line.id);
    default:
        return QString();
    }
}

namespace {
// The cashier of a line's ticket: the newest record of its number, as for its payment.
const char *const CashierOfTicket = "(SELECT gonghao FROM shouyin_piao WHERE shouyin_piao.danjuhao = x.danjuhao "
                                    "ORDER BY shouyin_piao.rowid DESC LIMIT 1)";
} // namespace

Done DaySales::fill(const Shop &shop, QDate day, QVector<Line> *lines, Totals *totals, const QString &cashier)
{
    return shop.again([&]() -> Done {
        const QSqlDatabase db = shop.connection();
        *totals = Totals();
        lines->clear();
        // The day is [00:00:00, next day 00:00:00): a sale at 23:59:59 is its own
        // day's only. Only that day is read, through the index on the sale time (the
        // planner would otherwise walk the whole table for the sake of the order).
        // The name is the first catalogue row's with the code, empty when the goods
        // are no longer in the catalogue.
        QSqlQuery q(db);
        readOnce(q, db);
        q.prepare(QStringLiteral("SELECT x.rowid, x.id, x.danjuhao, x.code, x.shuliang, x.shoujia, x.jine, x.dt, "
                                 "(SELECT name FROM name WHERE name.code = x.code ORDER BY name.rowid LIMIT 1), "
                                 // the newest payment of the number: an older one's
                                 // lines were deleted before the number came again
                                 "(SELECT fangshi FROM fukuan WHERE fukuan.danjuhao = x.danjuhao "
                                 "ORDER BY fukuan.rowid DESC LIMIT 1), "
                                 "EXISTS (SELECT 1 FROM chengzhong WHERE chengzhong.code = x.code), "
                                 "%2 FROM xiaoshou AS x%1 WHERE x.dt >= ? AND x.dt < ?%3 ORDER BY x.rowid")
                      .arg(Schema::indexedBy(db, QStringLiteral("xiaoshou_dt")), QLatin1String(CashierOfTicket),
                           cashier.isEmpty() ? QString()
                                             : QStringLiteral(" AND %1 = ?").arg(QLatin1String(CashierOfTicket))));
        q.addBindValue(day.toString(QStringLiteral("yyyy-MM-dd")));
        q.addBindValue(day.addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
        if (!cashier.isEmpty())
            q.addBindValue(cashier);
        if (!q.exec())
            return failureOf(q);
        using K = Schema::ColumnKind;
        QString lastTicket;
        bool first = true;
        while (q.next()) {
            const QString ticket = q.value(2).toString();
            const Money amount = Schema::fromStorage(K::Money, q.value(6)).value<Money>();
            const QVariant price = Schema::fromStorage(K::Money, q.value(5));
            lines->append({{q.value(0).toLongLong(), q.value(1), q.value(2), q.value(3), q.value(7)},
                           ticket,
                           q.value(3).toString(),
                           q.value(8).toString(),
                           // a weighed goods' grams as kg
                           q.value(10).toBool() ? Weighing::kgText(q.value(4).toLongLong()) + QStringLiteral("kg")
                                                : q.value(4).toString(),
                           price.isValid() ? std::optional<Money>(price.value<Money>()) : std::nullopt,
                           amount,
                           Schema::fromStorage(K::DateTime, q.value(7)).toDateTime(),
                           q.value(1).toLongLong(),
                           q.value(9).toString(),
                           q.value(11).toString()});

            if (first || ticket != lastTicket) {
                ++totals->tickets;
                lastTicket = ticket;
                first = false;
            }
            totals->quantity += q.value(10).toBool() ? 1 : q.value(4).toLongLong(); // a weighed line is one piece
            // The amount as the list shows it (its text reads back as exactly this).
            totals->amount = totals->amount.plus(amount.roundedToCents()).value_or(totals->amount);
        }
        return {};
    });
}

Result<bool> DaySales::deleteLine(const Shop &shop, const StoredLine &line)
{
    const QSqlDatabase db = shop.connection();
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    const auto was = Trail::rowText(shop, QStringLiteral("xiaoshou"), line.rowid);
    if (!was)
        return was.error();
    // The stored values are compared as they were read (IS: a NULL matches a NULL).
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM xiaoshou WHERE rowid = ? AND id %1 ? AND danjuhao %1 ? AND code %1 ? "
                             "AND dt %1 ?")
                  .arg(Schema::sameAs(db)));
    q.addBindValue(line.rowid);
    // On the server the time goes back as the wall-clock text it was read as
    // (the driver would put the workstation's zone on it).
    using K = Schema::ColumnKind;
    const QVariant time =
        onServer(db) ? Schema::toStorage(K::DateTime, Schema::fromStorage(K::DateTime, line.time)) : line.time;
    for (const QVariant &v : {line.id, line.ticket, line.code, time})
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    if (q.numRowsAffected() == 0)
        return false;
    if (const Done recorded = Trail::append(shop, QStringLiteral("删除销售"), *was); !recorded)
        return recorded.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return true;
}
