#include "shop/salesfigures.h"
#include "shop/columns.h"

#include "shop/codefacts.h"
#include "shop/codetable.h"
#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/servergoods.h"
#include "shop/serverrows.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

#include <sqlite3.h>

namespace {
Money moneyOf(const QVariant &stored)
{
    return Schema::fromStorage(Schema::ColumnKind::Money, stored).value<Money>();
}
void addRow(SalesFigures &f, SalesFigures::Row &&r)
{
    const Money cost = r.price.times(r.quantity).value_or(Money());
    r.profit = r.amount.minus(cost).value_or(Money()).roundedToCents();
    f.totalQuantity += r.quantity;
    f.totalAmount = f.totalAmount.plus(r.amount).value_or(f.totalAmount);
    f.totalProfit = f.totalProfit.plus(r.profit).value_or(f.totalProfit);
    f.rows.append(std::move(r));
}

QByteArray momentText(QDate day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
}

// The lines of `stmt` (rowid, code, shuliang, jine, dt) added up per code
// and per day into `f`, names and prices from `facts`.
CodeFacts::Outcome addUpRange(sqlite3_stmt *stmt, const CodeFacts::Facts &facts, SalesFigures &f)
{
    using namespace CodeFacts;
    // A line's group is found in a flat table of the range's codes; the
    // kept facts are asked once per code, when its first line comes.
    struct Group
    {
        QString name;          // taken while the code's facts are at hand
        qint64 priceUnits = 0; // the row's price, as shown
        qint64 first = 0;
        qint64 quantity = 0;
        qint64 amount = 0;
    };
    CodeTable<Group> groups;
    // Lines come in time order: the day changes rarely.
    std::vector<std::pair<std::string, SalesFigures::Day>> days;
    CodeMap<size_t> dayAt;
    bool daysKept = true;
    // The lines are read a batch at a time, and then added up: the
    // table's memory is asked for while SQLite reads, and the lookups
    // of a batch wait for memory together rather than one by one.
    struct Pending
    {
        Line line;
        std::uint64_t hash;
        size_t codeAt;
        size_t day;
        size_t group;
    };
    constexpr size_t Batch = 256;
    constexpr size_t Ahead = 8;
    std::vector<Pending> batch;
    batch.reserve(Batch);
    std::string codes;
    std::vector<size_t> added;
    int step = SQLITE_ROW;
    while (step == SQLITE_ROW) {
        batch.clear();
        codes.clear();
        size_t dayIndex = days.size();
        while (batch.size() < Batch && (step = sqlite3_step(stmt)) == SQLITE_ROW) {
            Pending p;
            if (!lineOf(stmt, &p.line))
                return Outcome::Unusual;
            p.codeAt = codes.size();
            codes.append(p.line.code);
            p.hash = CodeTable<Group>::hashOf(p.line.code);
            groups.prefetchSlot(p.hash);
            const auto *dt = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 4));
            const std::string_view dayText(dt ? dt : "", size_t(std::min(10, sqlite3_column_bytes(stmt, 4))));
            if (dayIndex >= days.size() || dayText != days[dayIndex].first) {
                auto it = dayAt.find(dayText);
                if (it == dayAt.end()) {
                    it = dayAt.try_emplace(std::string(dayText), days.size()).first;
                    days.push_back({it->first, {}});
                }
                dayIndex = it->second;
            }
            p.day = dayIndex;
            batch.push_back(p);
        }
        // The codes' text, now that SQLite holds it no longer.
        for (Pending &p : batch)
            p.line.code = std::string_view(codes).substr(p.codeAt, p.line.code.size());
        added.clear();
        for (size_t i = 0; i < batch.size(); ++i) {
            if (i + Ahead < batch.size())
                groups.prefetchEntry(batch[i + Ahead].hash);
            Pending &p = batch[i];
            bool isNew;
            p.group = groups.place(p.line.code, p.hash, &isNew);
            Group &g = groups.entries()[p.group].value;
            if (isNew) {
                g.first = p.line.rowid;
                added.push_back(p.group);
            }
            g.first = std::min(g.first, p.line.rowid);
            if (!add(g.quantity, p.line.quantity) || (p.line.counted && !add(g.amount, p.line.amountUnits)))
                return Outcome::Unusual;
        }
        for (const size_t at : added) {
            auto &entry = groups.entries()[at];
            if (const Goods *goods = facts.find(entry.code)) {
                entry.value.name = goods->name;
                entry.value.priceUnits = goods->lastPrice.roundedToCents().units();
            }
        }
        for (const Pending &p : batch) {
            SalesFigures::Day &day = days[p.day].second;
            qint64 cost;
            daysKept = daysKept && (!p.line.counted || add(day.salesUnits, p.line.amountUnits)) &&
                       !__builtin_mul_overflow(p.line.quantity, groups.entries()[p.group].value.priceUnits, &cost) &&
                       add(day.costUnits, cost);
        }
    }
    if (step != SQLITE_DONE)
        return Outcome::Failed;
    // Rows in the order in which their codes first occur among the lines.
    std::vector<CodeTable<Group>::Entry *> order;
    order.reserve(groups.entries().size());
    for (auto &entry : groups.entries())
        order.push_back(&entry);
    std::sort(order.begin(), order.end(), [](const auto *a, const auto *b) { return a->value.first < b->value.first; });
    f.rows.reserve(qsizetype(order.size()));
    for (auto *entry : order) {
        Group &g = entry->value;
        SalesFigures::Row r;
        r.code = QString::fromUtf8(entry->code.data(), qsizetype(entry->code.size()));
        r.quantity = g.quantity;
        r.amount = Money::fromUnits(g.amount).roundedToCents();
        r.name = std::move(g.name);
        r.price = Money::fromUnits(g.priceUnits);
        addRow(f, std::move(r));
    }
    if (daysKept) {
        f.days.reserve(qsizetype(days.size()));
        for (auto &[text, totals] : days) {
            totals.day = QDate::fromString(QString::fromLatin1(text.data(), qsizetype(text.size())),
                                           QStringLiteral("yyyy-MM-dd"));
            f.days.append(totals);
        }
        f.hasDays = true;
    }
    return Outcome::Done;
}

// The range's lines read through SQLite's own interface and added up per code
// in one pass; the names and prices come from the kept facts of the file.
CodeFacts::Outcome computeOnFile(SalesFigures &f, QSqlDatabase db, QDate first, QDate last)
{
    using namespace CodeFacts;
    return withFacts(
        db, false,
        [&](sqlite3 *handle, const Facts &facts) {
            sqlite3_stmt *stmt = nullptr;
            if (sqlite3_prepare_v2(handle,
                                   "SELECT rowid, code, shuliang, jine, dt FROM xiaoshou INDEXED BY xiaoshou_dt_totals "
                                   "WHERE dt > ? AND dt < ?",
                                   -1, &stmt, nullptr) != SQLITE_OK)
                return Outcome::Failed;
            const auto finalize = qScopeGuard([stmt] { sqlite3_finalize(stmt); });
            const QByteArray from = momentText(first), to = momentText(last.addDays(1));
            sqlite3_bind_text(stmt, 1, from.constData(), int(from.size()), SQLITE_STATIC);
            sqlite3_bind_text(stmt, 2, to.constData(), int(to.size()), SQLITE_STATIC);
            return addUpRange(stmt, facts, f);
        },
        &f.error);
}

// The server's rows of code, quantity and amount as the figures' rows; name
// and price from the kept goods, or else from the rows' fourth and fifth
// columns.
bool addServerRows(SalesFigures &f, const ServerRows &rows, const QHash<QString, ServerGoods::Goods> *goods)
{
    f.rows.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        SalesFigures::Row r;
        r.code = rows.string(i, 0);
        r.quantity = rows.integer(i, 1);
        r.amount = Money::fromUnits(rows.integer(i, 2)).roundedToCents();
        if (!goods) {
            r.name = rows.string(i, 3);
            r.price = Money::fromUnits(rows.integer(i, 4)).roundedToCents();
        } else if (const auto it = goods->constFind(r.code); it != goods->cend()) {
            r.name = it->name;
            r.price = Money::fromUnits(it->priceUnits).roundedToCents();
        }
        addRow(f, std::move(r));
    }
    f.ok = true;
    return true;
}

// Exactly one month or year on a kept analysis connection: the period's rows
// in the order of their first line, with the names and prices it keeps.
bool singlePeriodKept(SalesFigures &f, const QSqlDatabase &db, ServerGoods &kept, bool year, const QByteArray &start)
{
    const ServerRows rows(db,
                          year ? "SELECT code, shuliang, CAST(jine AS bigint) FROM huizong_nian WHERE nian = $1::date "
                                 "ORDER BY shou"
                               : "SELECT code, shuliang, CAST(jine AS bigint) FROM huizong_yue WHERE yue = $1::date "
                                 "ORDER BY shou",
                          {start});
    if (!rows.ok()) {
        f.error = rows.error();
        return false;
    }
    const QHash<QString, ServerGoods::Goods> *goods = kept.afterRead(&f.error);
    if (!goods)
        return false;
    return addServerRows(f, rows, goods);
}

// On the server a range that holds whole months reads them from the kept
// sales per month and per year (ServerFacts), and only the lines before the
// first and after the last whole month. False, with no error, when the range
// has no whole month, a line has no code, or a line stands at the range's
// first moment itself (which a month would hold but the range does not).
bool computeOnServer(SalesFigures &f, const QSqlDatabase &db, QDate first, QDate last)
{
    const QDate end = last.addDays(1);
    const QDate m1 = first.day() == 1 ? first : QDate(first.year(), first.month(), 1).addMonths(1);
    const QDate m2(end.year(), end.month(), 1);
    if (m1 >= m2 || !ServerFacts::coverAllCodes(db, &f.error))
        return false;
    QDate y1 = m1.month() == 1 ? m1 : QDate(m1.year() + 1, 1, 1), y2(m2.year(), 1, 1);
    if (y1 >= y2)
        y1 = y2 = m2;
    auto day = [](QDate d) { return d.toString(QStringLiteral("yyyy-MM-dd")).toLatin1(); };
    if (m1 == first) {
        const ServerRows atStart(db, "SELECT 1 FROM xiaoshou WHERE dt = $1::timestamp LIMIT 1", {day(first)});
        if (!atStart.ok() || atStart.size() > 0) {
            f.error = atStart.error();
            return false;
        }
    }
    // Exactly one month or one year: its kept rows are the figures.
    const bool year = y1 == m1 && y2 == m2 && y2 == y1.addYears(1);
    const bool month = !year && y1 == y2 && m2 == m1.addMonths(1);
    if (m1 == first && m2 == end && (year || month)) {
        // A kept analysis connection holds every code's name and price: the
        // period's rows are read alone.
        if (ServerGoods *kept = ServerGoods::of(db))
            return singlePeriodKept(f, db, *kept, year, day(first));
    }
    const char *single = nullptr;
    if (m1 == first && m2 == end) {
        if (year)
            single = "SELECT b.code, b.shuliang, CAST(b.jine AS bigint), h.name, h.jinjia FROM huizong_nian b "
                     "LEFT JOIN huizong h ON h.code = b.code WHERE b.nian = $1::date ORDER BY b.shou";
        else if (month)
            single = "SELECT b.code, b.shuliang, CAST(b.jine AS bigint), h.name, h.jinjia FROM huizong_yue b "
                     "LEFT JOIN huizong h ON h.code = b.code WHERE b.yue = $1::date ORDER BY b.shou";
    }
    const ServerRows rows =
        single
            ? ServerRows(db, single, {day(first)})
            : ServerRows(db,
                         "SELECT g.code, g.quantity, g.amount, h.name, h.jinjia FROM ("
                         "  SELECT code, SUM(q) AS quantity, CAST(SUM(a) AS bigint) AS amount, MIN(f) AS first FROM ("
                         "    SELECT code, shuliang::bigint AS q, jine::numeric AS a, rowid AS f FROM xiaoshou "
                         "      WHERE dt > $1::timestamp AND dt < $2::timestamp "
                         "    UNION ALL SELECT code, shuliang::bigint, jine::numeric, rowid FROM xiaoshou "
                         "      WHERE dt >= $3::timestamp AND dt < $4::timestamp "
                         "    UNION ALL SELECT code, shuliang, jine, shou FROM huizong_nian WHERE nian >= $5::date AND "
                         "nian < $6::date "
                         "    UNION ALL SELECT code, shuliang, jine, shou FROM huizong_yue "
                         "      WHERE (yue >= $2::date AND yue < $5::date) OR (yue >= $6::date AND yue < $3::date)"
                         "  ) AS x GROUP BY code) AS g "
                         "LEFT JOIN huizong h ON h.code = g.code ORDER BY g.first",
                         {day(first), day(m1), day(m2), day(end), day(y1), day(y2)});
    if (!rows.ok()) {
        f.error = rows.error();
        return false;
    }
    return addServerRows(f, rows, nullptr);
}

// The goods sold by weight: their quantity is grams, their price per kg.
// Their profit is taken again, and the total of pieces leaves them out.
void markWeighed(const Shop &shop, SalesFigures &f)
{
    if (!f.ok)
        return;
    const auto weighed = ScaleGoods::weighed(shop);
    if (!weighed) {
        f.ok = false;
        f.error = weighed.errorText();
        return;
    }
    if (weighed->isEmpty())
        return;
    for (SalesFigures::Row &r : f.rows) {
        if (!weighed->contains(r.code))
            continue;
        r.weighed = true;
        const Money cost = Weighing::times(r.price, r.quantity, true).value_or(Money());
        const Money profit = r.amount.minus(cost).value_or(Money()).roundedToCents();
        f.totalProfit = f.totalProfit.minus(r.profit).value_or(f.totalProfit).plus(profit).value_or(f.totalProfit);
        r.profit = profit;
        f.totalQuantity -= r.quantity;
    }
    // The days' cost was taken by the piece; the chart takes it again.
    f.days.clear();
    f.hasDays = false;
}

SalesFigures computeRows(const Shop &shop, QDate first, QDate last);

} // namespace

SalesFigures SalesFigures::compute(const Shop &shop, QDate first, QDate last)
{
    SalesFigures f = computeRows(shop, first, last);
    markWeighed(shop, f);
    return f;
}

namespace {

SalesFigures computeRows(const Shop &shop, QDate first, QDate last)
{
    const QSqlDatabase db = shop.connection();
    SalesFigures f;
    if (!onServer(db)) {
        if (CodeFacts::settled(computeOnFile(f, db, first, last), f)) {
            f.first = first;
            f.last = last;
            return f;
        }
    }
    if (onServer(db)) {
        if (computeOnServer(f, db, first, last) || !f.error.isEmpty()) {
            f.first = first;
            f.last = last;
            return f;
        }
    }
    // One pass over the range through the covering index on (dt, code,
    // shuliang, jine); rows in the order their codes first occur.
    QSqlQuery q(db);
    readOnce(q, db);
    // Amounts are added as the program reads each one (Schema::sumUnitsSql).
    // On the server the name and last purchase price of each code come from
    // the kept facts (ServerFacts), joined in one pass.
    const QString facts =
        onServer(db) ? QStringLiteral("SELECT g.code, g.quantity, g.amount, h.name, h.jinjia FROM (%1) AS g "
                                      "LEFT JOIN huizong h ON h.code = g.code ORDER BY g.first")
                     : QStringLiteral("SELECT g.code, g.quantity, g.amount, "
                                      "(SELECT name FROM name WHERE name.code = g.code ORDER BY name.rowid LIMIT 1), "
                                      "(SELECT jinjia FROM jinhuo WHERE jinhuo.code = g.code "
                                      "ORDER BY jinhuo.rowid DESC LIMIT 1) "
                                      "FROM (%1) AS g ORDER BY g.first");
    q.prepare(facts.arg(QStringLiteral("SELECT code, SUM(shuliang) AS quantity, %1 AS amount, MIN(rowid) AS first "
                                       "FROM xiaoshou%2 WHERE dt > ? AND dt < ? GROUP BY code")
                            .arg(Schema::sumUnitsSql(db, QStringLiteral("jine")),
                                 Schema::indexedBy(db, QStringLiteral("xiaoshou_dt_totals")))));
    q.addBindValue(first.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    q.addBindValue(last.addDays(1).toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    if (!q.exec()) {
        f.error = problemText(q.lastError());
        return f;
    }
    while (q.next()) {
        SalesFigures::Row r;
        r.code = q.value(0).toString();
        r.quantity = q.value(1).toLongLong();
        r.amount = moneyOf(q.value(2)).roundedToCents();
        r.name = q.value(3).toString();
        r.price = moneyOf(q.value(4)).roundedToCents();
        addRow(f, std::move(r));
    }
    f.ok = true;
    f.first = first;
    f.last = last;
    return f;
}

} // namespace

namespace {

using SalesRow = SalesFigures::Row;
const std::array<Column<SalesRow>, 6> SalesColumns{{
    {u"货号", [](const SalesRow &r) { return r.code; }},
    {u"货名", [](const SalesRow &r) { return r.name; }},
    {u"销售数量", [](const SalesRow &r) { return Weighing::quantityText(r.quantity, r.weighed); }},
    {u"销售金额", [](const SalesRow &r) { return r.amount.toCurrency(); }},
    {u"进货价格",
     [](const SalesRow &r) { return r.weighed ? r.price.toCurrency() + QStringLiteral("/kg") : r.price.toCurrency(); }},
    {u"销售毛利", [](const SalesRow &r) { return r.profit.toCurrency(); }},
}};

} // namespace

QStringList SalesFigures::captions()
{
    return captionsOf(SalesColumns);
}

QString SalesFigures::text(const Row &row, int column)
{
    return textOf(SalesColumns, row, column);
}
