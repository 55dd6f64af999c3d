#include "shop/dayclose.h"

#include "shop/database.h"
#include "shop/displayformat.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

using K = Schema::ColumnKind;

Money moneyOf(const QVariant &stored)
{
    return Schema::fromStorage(K::Money, stored).value<Money>();
}

Money sum(Money a, Money b)
{
    return a.plus(b).value_or(a);
}

// A close's shift: its cashier's 工号 and name, when it has one.
const char *const ShiftColumns = "s.gonghao, y.xingming";
const char *const ShiftJoin =
    "LEFT JOIN shouyin_rijie s ON s.rijie = r.id LEFT JOIN shouyinyuan y ON y.gonghao = s.gonghao";

Cashier cashierAt(const QSqlQuery &q, int column)
{
    Cashier c;
    c.number = q.value(column).toString();
    c.name = q.value(column + 1).toString();
    return c;
}

} // namespace

Money CloseFigures::net() const
{
    return sales.minus(returns).value_or(sales);
}

Money CloseFigures::expectedCash() const
{
    return sum(opening, method(PaymentMethod::Cash));
}

std::optional<Money> CloseFigures::difference() const
{
    if (!counted)
        return std::nullopt;
    return counted->minus(expectedCash());
}

CloseReport CloseReport::of(const CloseFigures &f)
{
    CloseReport r;
    const bool shift = !f.cashier.number.isEmpty();
    if (f.shifts > 0)
        r.title = QStringLiteral("收银台日报（Z）");
    else if (shift)
        r.title = f.isClosed() ? QStringLiteral("交班报表（Z）") : QStringLiteral("交班报表（X）");
    else
        r.title = f.isClosed() ? QStringLiteral("日结报表") : QStringLiteral("交班报表（未日结）");
    auto add = [&r](const QString &caption, const QString &value) { r.rows.append({caption, value}); };
    add(QStringLiteral("收银台"), QString::number(f.till));
    if (shift)
        add(QStringLiteral("收银员"), Cashiers::shown(f.cashier));
    if (f.shifts > 0)
        add(QStringLiteral("班数"), QString::number(f.shifts));
    else if (f.isClosed())
        add(QStringLiteral("日结号"), QString::number(f.id));
    add(QStringLiteral("开始"), f.start.isValid() ? formatDateTime(f.start) : QString());
    add(f.isClosed() ? QStringLiteral("日结时间") : QStringLiteral("打印时间"),
        formatDateTime(f.isClosed() ? f.end : QDateTime::currentDateTime()));
    add(QStringLiteral("单数"), QString::number(f.tickets));
    add(QStringLiteral("行数"), QString::number(f.lines));
    add(QStringLiteral("销售"), f.sales.toCurrency());
    add(QStringLiteral("退货"), f.returns.toCurrency());
    add(QStringLiteral("净额"), f.net().toCurrency());
    for (const PaymentMethod m : AllPaymentMethods)
        add(paymentMethodName(m), f.method(m).toCurrency());
    add(QStringLiteral("备用金"), f.opening.toCurrency());
    add(QStringLiteral("应有现金"), f.expectedCash().toCurrency());
    add(QStringLiteral("实点现金"), f.counted ? f.counted->toCurrency() : QString());
    // The caption tells which way: 长款 more in the drawer than expected, 短款 less.
    if (const auto d = f.difference())
        add(d->units() > 0   ? QStringLiteral("长款")
            : d->units() < 0 ? QStringLiteral("短款")
                             : QStringLiteral("差额"),
            (d->units() < 0 ? Money().minus(*d).value_or(*d) : *d).toCurrency());
    return r;
}

DayClose::DayClose(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()), m_till(m_shop.till()) { }

Result<std::optional<DayClose::OpenRow>> DayClose::openRow() const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT r.rowid, r.id, r.kaishi, r.kaishidt, %1 FROM rijie r %2 "
                             "WHERE r.till = ? AND r.jieshudt IS NULL ORDER BY r.rowid DESC LIMIT 1")
                  .arg(QLatin1String(ShiftColumns), QLatin1String(ShiftJoin)));
    q.addBindValue(m_till);
    if (!q.exec())
        return failureOf(q);
    if (!q.next())
        return std::optional<OpenRow>();
    OpenRow row{q.value(0).toLongLong(), q.value(1).toLongLong(), moneyOf(q.value(2)),
                Schema::fromStorage(K::DateTime, q.value(3)).toDateTime(), cashierAt(q, 4)};
    q.finish();
    return std::optional<OpenRow>(row);
}

Result<CloseFigures> DayClose::periodFigures() const
{
    const auto open = openRow();
    if (!open)
        return open.error();
    CloseFigures f;
    f.till = m_till;
    if (*open) {
        f.opening = (*open)->opening;
        f.start = (*open)->start;
        f.cashier = (*open)->cashier;
    }
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT fangshi, COUNT(*), SUM(hangshu), %1, %2, MIN(dt) FROM fukuan "
                             "WHERE till = ? AND rijie IS NULL GROUP BY fangshi")
                  .arg(Schema::sumUnitsSql(m_db, QStringLiteral("xiaoshoue")),
                       Schema::sumUnitsSql(m_db, QStringLiteral("tuihuoe"))));
    q.addBindValue(m_till);
    if (!q.exec())
        return failureOf(q);
    while (q.next()) {
        const Money sales = moneyOf(q.value(3));
        const Money returns = moneyOf(q.value(4));
        f.tickets += q.value(1).toLongLong();
        f.lines += q.value(2).toLongLong();
        f.sales = sum(f.sales, sales);
        f.returns = sum(f.returns, returns);
        // A method no till writes (another tool's) is counted as cash, the
        // way every ticket was paid before methods were recorded.
        const PaymentMethod m = paymentMethodNamed(q.value(0).toString()).value_or(PaymentMethod::Cash);
        f.byMethod[size_t(m)] = sum(f.method(m), sales.minus(returns).value_or(sales));
        const QDateTime first = Schema::fromStorage(K::DateTime, q.value(5)).toDateTime();
        if (first.isValid() && (!f.start.isValid() || first < f.start))
            f.start = first;
    }
    return f;
}

Result<CloseFigures> DayClose::current() const
{
    return m_shop.again([this] { return periodFigures(); });
}

Result<bool> DayClose::needsOpening() const
{
    return m_shop.again([&]() -> Result<bool> {
        if (m_noOpeningNeeded)
            return false;
        const auto open = openRow();
        if (!open)
            return open.error();
        if (*open) {
            m_noOpeningNeeded = true;
            return false;
        }
        if (m_shifts)
            return true; // a shift starts with its opening cash
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT 1 FROM rijie WHERE till = ? LIMIT 1"));
        q.addBindValue(m_till);
        if (!q.exec())
            return failureOf(q);
        const bool closedBefore = q.next();
        m_noOpeningNeeded = !closedBefore;
        return closedBefore;
    });
}

namespace {

// The next close number: the last row's + 1, under the table's lock.
Result<qint64> nextCloseId(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id FROM rijie ORDER BY rowid DESC LIMIT 1")))
        return failureOf(q);
    return q.next() ? q.value(0).toLongLong() + 1 : 1;
}

} // namespace

Result<std::optional<Cashier>> DayClose::shiftCashier() const
{
    return m_shop.again([this]() -> Result<std::optional<Cashier>> {
        const auto open = openRow();
        if (!open)
            return open.error();
        if (!*open)
            return std::optional<Cashier>();
        return std::optional<Cashier>((*open)->cashier);
    });
}

Done DayClose::open(Money opening, const QString &cashier)
{
    Transaction tx(m_shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("rijie")))
        return Error{tx.lastError()};
    const auto open = openRow();
    if (!open)
        return open.error();
    QSqlQuery q(m_db);
    qint64 period = 0;
    bool theirs = false; // the period is someone's shift already
    if (*open) {
        period = (*open)->id;
        theirs = !(*open)->cashier.number.isEmpty();
        q.prepare(QStringLiteral("UPDATE rijie SET kaishi = ? WHERE rowid = ?"));
        q.addBindValue(qlonglong(opening.units()));
        q.addBindValue((*open)->rowid);
    } else {
        const auto id = nextCloseId(m_db);
        if (!id)
            return id.error();
        period = *id;
        q.prepare(QStringLiteral("INSERT INTO rijie (id, till, kaishidt, kaishi) VALUES (?, ?, ?, ?)"));
        q.addBindValue(*id);
        q.addBindValue(m_till);
        q.addBindValue(Schema::toStorage(K::DateTime, QDateTime::currentDateTime()));
        q.addBindValue(qlonglong(opening.units()));
    }
    if (!q.exec())
        return failureOf(q);
    if (!cashier.isEmpty() && !theirs) {
        q.prepare(QStringLiteral("INSERT INTO shouyin_rijie (rijie, gonghao) VALUES (?, ?)"));
        q.addBindValue(period);
        q.addBindValue(cashier);
        if (!q.exec())
            return failureOf(q);
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    m_noOpeningNeeded = true;
    return {};
}

Result<std::optional<CloseFigures>> DayClose::closedBy(const QString &token) const
{
    QSqlQuery t(m_db);
    t.prepare(
        QStringLiteral("SELECT rijie FROM %1 WHERE token = CAST(? AS uuid)").arg(QLatin1String(Schema::CloseTokens)));
    t.addBindValue(token);
    if (!t.exec())
        return failureOf(t);
    if (!t.next())
        return std::optional<CloseFigures>();
    const auto stored = closes(QStringLiteral("r.id = ? AND r.till = ?"), {t.value(0), m_till});
    if (!stored)
        return stored.error();
    return stored->isEmpty() ? std::nullopt : std::optional(stored->first());
}

Done DayClose::writeClose(CloseFigures &f, const std::optional<OpenRow> &open) const
{
    QSqlQuery q(m_db);
    if (open) {
        f.id = open->id;
        q.prepare(QStringLiteral("UPDATE rijie SET kaishidt = ?, jieshudt = ?, piaoshu = ?, hangshu = ?, "
                                 "xiaoshoue = ?, tuihuoe = ?, xianjin = ?, weixin = ?, zhifubao = ?, yinhangka = ?, "
                                 "shidian = ? WHERE rowid = ?"));
    } else {
        const auto id = nextCloseId(m_db);
        if (!id)
            return id.error();
        f.id = *id;
        q.prepare(QStringLiteral("INSERT INTO rijie (kaishidt, jieshudt, piaoshu, hangshu, xiaoshoue, tuihuoe, "
                                 "xianjin, weixin, zhifubao, yinhangka, shidian, id, till, kaishi) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    }
    q.addBindValue(Schema::toStorage(K::DateTime, f.start));
    q.addBindValue(Schema::toStorage(K::DateTime, f.end));
    q.addBindValue(f.tickets);
    q.addBindValue(f.lines);
    for (const Money m :
         {f.sales, f.returns, f.byMethod[0], f.byMethod[1], f.byMethod[2], f.byMethod[3], f.counted.value_or(Money())})
        q.addBindValue(qlonglong(m.units()));
    if (open) {
        q.addBindValue(open->rowid);
    } else {
        q.addBindValue(f.id);
        q.addBindValue(m_till);
        q.addBindValue(qlonglong(f.opening.units()));
    }
    if (!q.exec())
        return failureOf(q);
    // The period's tickets are the close's.
    q.prepare(QStringLiteral("UPDATE fukuan SET rijie = ? WHERE till = ? AND rijie IS NULL"));
    q.addBindValue(f.id);
    q.addBindValue(m_till);
    if (!q.exec())
        return failureOf(q);
    return {};
}

Result<CloseFigures> DayClose::close(Money counted, const QUuid &token)
{
    // The figures, the close and its tickets in one transaction: whole or
    // not at all, and no ticket of this till in between (it is this program).
    m_noOpeningNeeded = false;
    Transaction tx(m_shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("rijie")))
        return Error{tx.lastError()};
    const bool tokened = m_shop.onServer() && !token.isNull();
    const QString tokenText = token.toString(QUuid::WithoutBraces);
    if (tokened) {
        const auto before = closedBy(tokenText);
        if (!before)
            return before.error();
        if (*before)
            return **before;
    }
    const auto open = openRow();
    if (!open)
        return open.error();
    auto figures = periodFigures();
    if (!figures)
        return figures;
    CloseFigures &f = *figures;
    f.end = QDateTime::currentDateTime();
    f.counted = counted;
    if (!f.start.isValid())
        f.start = f.end;
    if (const Done written = writeClose(f, *open); !written)
        return written.error();
    if (tokened) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("INSERT INTO %1 (token, rijie, till) VALUES (CAST(? AS uuid), ?, ?)")
                      .arg(QLatin1String(Schema::CloseTokens)));
        q.addBindValue(tokenText);
        q.addBindValue(f.id);
        q.addBindValue(m_till);
        if (!q.exec())
            return failureOf(q);
    }
    // A drawer that did not hold what it should is recorded.
    if (const std::optional<Money> difference = f.difference(); difference && !difference->isZero())
        if (const Done recorded = Trail::append(
                m_shop, QStringLiteral("日结差额"),
                QStringLiteral("日结 %1，收银台 %2：应有现金 %3，实点现金 %4，差额 %5")
                    .arg(f.id)
                    .arg(m_till)
                    .arg(f.expectedCash().toExactString(), counted.toExactString(), difference->toExactString()));
            !recorded)
            return recorded.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return figures;
}

Result<CloseFigures> DayClose::daySummary(QDate day) const
{
    const auto dayCloses = m_shop.again([&] {
        return closes(QStringLiteral("r.till = ? AND r.jieshudt >= ? AND r.jieshudt < ?"),
                      {m_till, Schema::toStorage(K::DateTime, QDateTime(day, QTime(0, 0))),
                       Schema::toStorage(K::DateTime, QDateTime(day.addDays(1), QTime(0, 0)))});
    });
    if (!dayCloses)
        return dayCloses.error();
    CloseFigures summary;
    summary.till = m_till;
    for (const CloseFigures &c : *dayCloses) {
        ++summary.shifts;
        summary.id = c.id; // the day is closed when its last shift is
        if (!summary.start.isValid() || c.start < summary.start)
            summary.start = c.start;
        if (!summary.end.isValid() || c.end > summary.end)
            summary.end = c.end;
        summary.opening = sum(summary.opening, c.opening);
        summary.tickets += c.tickets;
        summary.lines += c.lines;
        summary.sales = sum(summary.sales, c.sales);
        summary.returns = sum(summary.returns, c.returns);
        for (size_t m = 0; m < summary.byMethod.size(); ++m)
            summary.byMethod[m] = sum(summary.byMethod[m], c.byMethod[m]);
        if (c.counted)
            summary.counted = sum(summary.counted.value_or(Money()), *c.counted);
    }
    return summary;
}

Result<QVector<CloseFigures>> DayClose::history() const
{
    return m_shop.again([this] { return closes(QString(), {}); });
}

Result<QVector<CloseFigures>> DayClose::closes(const QString &where, const QVariantList &values) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT r.id, r.till, r.kaishidt, r.jieshudt, r.kaishi, r.piaoshu, r.hangshu, "
                             "r.xiaoshoue, r.tuihuoe, r.xianjin, r.weixin, r.zhifubao, r.yinhangka, r.shidian, %1 "
                             "FROM rijie r %2 WHERE r.jieshudt IS NOT NULL%3 ORDER BY r.rowid DESC")
                  .arg(QLatin1String(ShiftColumns), QLatin1String(ShiftJoin),
                       where.isEmpty() ? QString() : QStringLiteral(" AND ") + where));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    QVector<CloseFigures> all;
    while (q.next()) {
        CloseFigures f;
        f.id = q.value(0).toLongLong();
        f.till = q.value(1).toInt();
        f.start = Schema::fromStorage(K::DateTime, q.value(2)).toDateTime();
        f.end = Schema::fromStorage(K::DateTime, q.value(3)).toDateTime();
        f.opening = moneyOf(q.value(4));
        f.tickets = q.value(5).toLongLong();
        f.lines = q.value(6).toLongLong();
        f.sales = moneyOf(q.value(7));
        f.returns = moneyOf(q.value(8));
        for (int m = 0; m < 4; ++m)
            f.byMethod[size_t(m)] = moneyOf(q.value(9 + m));
        if (!q.value(13).isNull())
            f.counted = moneyOf(q.value(13));
        f.cashier = cashierAt(q, 14);
        all.append(f);
    }
    return all;
}
