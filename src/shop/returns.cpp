#include "shop/returns.h"

#include "shop/engine.h"
#include "shop/scalelabel.h"
#include "shop/schema.h"

#include <QHash>
#include <QRegularExpression>

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace Returns {

namespace {

// The sale lines of a ticket with the units given back from each; one line
// only when `lineId` is given.
QString soldLinesSql(bool oneLine)
{
    return QStringLiteral("SELECT x.id, x.code, x.shuliang, x.shoujia, x.jine, x.dt, "
                          "(SELECT name FROM name WHERE name.code = x.code ORDER BY name.rowid LIMIT 1), "
                          "(SELECT COALESCE(SUM(t.shuliang), 0) FROM tuihuo AS t WHERE t.yuandanjuhao = x.danjuhao "
                          "AND t.yuanid = x.id AND EXISTS (SELECT 1 FROM xiaoshou AS r WHERE r.danjuhao = t.danjuhao "
                          "AND r.id = t.id AND r.code = t.code AND r.shuliang < 0)), x.rowid "
                          "FROM xiaoshou AS x WHERE x.danjuhao = ? AND x.shuliang > 0%1 ORDER BY x.rowid")
        .arg(oneLine ? QStringLiteral(" AND x.id = ?") : QString());
}

SoldLine soldLineOf(const QSqlQuery &q)
{
    using K = Schema::ColumnKind;
    SoldLine l;
    l.id = q.value(0).toLongLong();
    l.code = q.value(1).toString();
    l.sold = q.value(2).toLongLong();
    l.price = Schema::fromStorage(K::Money, q.value(3)).value<Money>();
    l.amount = Schema::fromStorage(K::Money, q.value(4)).value<Money>();
    l.time = Schema::fromStorage(K::DateTime, q.value(5)).toDateTime();
    l.name = q.value(6).toString();
    l.returned = q.value(7).toLongLong();
    l.rowid = q.value(8).toLongLong();
    return l;
}

// amount × part / whole in cents, halves away from zero (exact in 128 bits).
Money share(Money amount, qint64 part, qint64 whole)
{
    if (whole <= 0)
        return Money();
    const __int128 scaled = __int128(amount.units()) * part;
    const __int128 cent = 100 * __int128(whole);
    __int128 cents = scaled / cent;
    const __int128 rest = scaled % cent;
    if (2 * (rest < 0 ? -rest : rest) >= cent)
        cents += scaled < 0 ? -1 : 1;
    return Money::fromUnits(qint64(cents * 100));
}

} // namespace

Result<QList<SoldLine>> ticketLines(const Shop &shop, qint64 number)
{
    return shop.again([&]() -> Result<QList<SoldLine>> {
        const QSqlDatabase db = shop.connection();
        QSqlQuery q(db);
        readOnce(q, db);
        q.prepare(soldLinesSql(false));
        q.addBindValue(number);
        if (!q.exec())
            return failureOf(q);
        QList<SoldLine> lines;
        while (q.next())
            lines.append(soldLineOf(q));
        return lines;
    });
}

Result<QList<SoldTicket>> ticketsOf(const Shop &shop, qint64 number)
{
    const QSqlDatabase db = shop.connection();
    const auto lines = ticketLines(shop, number);
    if (!lines)
        return lines.error();
    using K = Schema::ColumnKind;
    QSqlQuery q(db);
    readOnce(q, db);
    // Where each ticket's lines begin: a line that does not follow the one
    // before it in the stored order (returned lines included).
    q.prepare(QStringLiteral("SELECT rowid FROM xiaoshou WHERE danjuhao = ? ORDER BY rowid"));
    q.addBindValue(number);
    if (!q.exec())
        return failureOf(q);
    QList<qint64> starts;
    for (qint64 last = -1; q.next(); last = q.value(0).toLongLong())
        if (q.value(0).toLongLong() != last + 1)
            starts.append(q.value(0).toLongLong());
    q.finish();
    QList<SoldTicket> tickets(starts.size());
    for (const SoldLine &line : *lines) {
        const auto after = std::upper_bound(starts.cbegin(), starts.cend(), line.rowid);
        SoldTicket &t = tickets[std::max<qsizetype>(0, after - starts.cbegin() - 1)];
        t.lines.append(line);
        if (!t.time.isValid() || line.time > t.time)
            t.time = line.time;
    }
    tickets.removeIf([](const SoldTicket &t) { return t.lines.isEmpty(); });
    // Each ticket's payment: the first not yet taken that was made after
    // its lines were put on it.
    q.prepare(QStringLiteral("SELECT till, dt FROM fukuan WHERE danjuhao = ? ORDER BY rowid"));
    q.addBindValue(number);
    if (!q.exec())
        return failureOf(q);
    QList<std::pair<int, QDateTime>> payments;
    while (q.next())
        payments.append({q.value(0).toInt(), Schema::fromStorage(K::DateTime, q.value(1)).toDateTime()});
    for (SoldTicket &t : tickets) {
        const auto paid = std::find_if(payments.begin(), payments.end(),
                                       [&t](const auto &p) { return !t.time.isValid() || p.second >= t.time; });
        if (paid == payments.end())
            continue;
        t.till = paid->first;
        t.time = paid->second;
        payments.erase(payments.begin(), paid + 1);
    }
    return tickets;
}

Money refund(const SoldLine &line, qint64 before, qint64 units)
{
    // The whole line gives back exactly what it cost; parts of it their
    // share, each return the difference of the shares before and after it.
    auto upTo = [&line](qint64 n) { return n >= line.sold ? line.amount : share(line.amount, n, line.sold); };
    return upTo(before + units).minus(upTo(before)).value_or(Money());
}

TicketLine returnLine(const SoldLine &line, qint64 ticket, qint64 before, qint64 units, const QDateTime &time)
{
    TicketLine t;
    t.code = line.code;
    t.name = line.name;
    t.quantity = qint32(-units);
    t.listPrice = line.price;
    t.price = line.price;
    t.amount = Money().minus(refund(line, before, units)).value_or(Money());
    t.time = time;
    t.returnOfTicket = ticket;
    t.returnOfLine = line.id;
    t.returnOfSold = line.sold;
    t.returnOfAmount = line.amount;
    t.returnedBefore = before;
    t.weighed = line.weighed;
    return t;
}

SoldLine basisOf(const TicketLine &returned)
{
    SoldLine l;
    l.id = returned.returnOfLine;
    l.code = returned.code;
    l.name = returned.name;
    l.sold = returned.returnOfSold;
    l.amount = returned.returnOfAmount;
    l.price = returned.price;
    return l;
}

QString checkLeft(const Shop &shop, const QList<TicketLine> &lines)
{
    const QSqlDatabase db = shop.connection();
    // Each original line as stored now, read once; the ticket's returns of it
    // are then walked in their order, each after the units before it.
    using Key = std::pair<qint64, qint64>;
    QHash<Key, SoldLine> stored;
    QHash<Key, qint64> before;
    QSqlQuery q(db);
    for (const TicketLine &l : lines) {
        if (!l.isReturn())
            continue;
        const Key key{l.returnOfTicket, l.returnOfLine};
        if (!stored.contains(key)) {
            q.prepare(soldLinesSql(true));
            q.addBindValue(key.first);
            q.addBindValue(key.second);
            if (!q.exec())
                return problemText(q.lastError());
            if (!q.next())
                return unknownTicket(key.first);
            const SoldLine sold = soldLineOf(q);
            q.finish();
            if (sold.code != l.code)
                return unknownTicket(key.first);
            stored.insert(key, sold);
            before.insert(key, sold.returned);
        }
        const SoldLine &sold = stored[key];
        const qint64 units = -qint64(l.quantity);
        qint64 &done = before[key];
        if (units > sold.sold - done)
            return tooMany(sold.code, std::max<qint64>(0, sold.left()));
        // Another till gave back units of the same line since this one was
        // priced: its refund would no longer add up to the line's amount.
        if (l.returnedBefore != done || l.amount != Money().minus(refund(sold, done, units)).value_or(Money()))
            return pricedBeforeOtherReturn(sold.code);
        done += units;
    }
    return QString();
}

std::optional<Provisional> provisionalIn(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(?:离线\\s*)?(\\d{1,2})-(\\d{1,9})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return Provisional{m.captured(1).toInt(), m.captured(2).toLongLong()};
}

Result<qint64> finalNumberOf(const Shop &shop, const Provisional &provisional)
{
    if (!shop.onServer())
        return 0;
    return shop.again([&]() -> Result<qint64> {
        QSqlQuery q(shop.connection());
        q.prepare(QStringLiteral("SELECT danjuhao FROM %1 WHERE till = ? AND lixianhao = ? ORDER BY danjuhao DESC "
                                 "LIMIT 1")
                      .arg(QLatin1String(Schema::OfflineTickets)));
        q.addBindValue(provisional.till);
        q.addBindValue(provisional.number);
        if (!q.exec())
            return failureOf(q);
        return q.next() ? q.value(0).toLongLong() : 0;
    });
}

QString unknownProvisional(const QString &text)
{
    return QStringLiteral("没有离线小票 %1 的销售记录（它可能还没有从收银台发送到服务器）！").arg(text.trimmed());
}

QString unknownTicket(qint64 number)
{
    return QStringLiteral("没有流水号为 %1 的销售记录！").arg(number);
}

QString allReturned(qint64 number)
{
    return QStringLiteral("流水号 %1 的货物已经全部退过了！").arg(number);
}

QString tooMany(const QString &code, qint64 left, bool weighed)
{
    return weighed ? QStringLiteral("退货数量超过可退数量：货号 %1 只能再退 %2！")
                         .arg(code, Weighing::quantityText(left, true))
                   : QStringLiteral("退货数量超过可退数量：货号 %1 只能再退 %2 件！").arg(code).arg(left);
}

QString pricedBeforeOtherReturn(const QString &code)
{
    return QStringLiteral("货号 %1 在这张单据之后又有退货，退款金额已经变了：请删除这一退货行，重新退货。").arg(code);
}

} // namespace Returns
