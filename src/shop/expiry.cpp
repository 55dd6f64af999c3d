#include "shop/expiry.h"
#include "shop/columns.h"

#include "shop/adjustments.h"
#include "shop/codefacts.h"
#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/serverfacts.h"
#include "shop/serverrows.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <QScopeGuard>

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include <sqlite3.h>

namespace {

// What a purchase still holds after its own write-offs (an expired batch
// written off leaves that batch, not the oldest one in stock).
qint64 batchLeft(const Adjustments::Totals &adjusted, qint64 rowid, qint64 quantity)
{
    return quantity + adjusted.perBatch.value(rowid);
}

// On the file: each code's stock from the kept facts, laid on its purchases
// in one walk from the last purchase back.
CodeFacts::Outcome computeOnFile(ExpiryFigures &f, const QSqlDatabase &db, QDate today, QDate horizon)
{
    using namespace CodeFacts;
    return withFacts(
        db, true,
        [&](sqlite3 *handle, const Facts &facts) {
            if (facts.purchasesUnusual || facts.salesUnusual)
                return Outcome::Unusual;
            sqlite3_stmt *stmt = nullptr;
            if (sqlite3_prepare_v2(handle, "SELECT code, shuliang, guoqidt, rowid FROM jinhuo ORDER BY rowid DESC", -1,
                                   &stmt, nullptr) != SQLITE_OK)
                return Outcome::Failed;
            const auto finalize = qScopeGuard([stmt] { sqlite3_finalize(stmt); });
            // What is left to lay on a code's older purchases, by its place
            // among the kept codes: no map of its own.
            struct Left
            {
                qint64 stock = 0, left = 0;
                int parts = -1; // -1: the code's last purchase is still to come
            };
            std::vector<Left> left(facts.goods.size());
            struct Listed
            {
                std::string_view code;
                int part;
                ExpiryFigures::Row row;
            };
            std::vector<Listed> listed;
            int step;
            while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
                const std::string_view code(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)),
                                            size_t(sqlite3_column_bytes(stmt, 0)));
                const auto kept = facts.goods.find(code);
                if (kept == facts.goods.end())
                    return Outcome::Unusual; // a purchase written since the facts were read
                Left &l = left[size_t(kept->second.ordinal)];
                if (l.parts < 0) {
                    l.stock = l.left = facts.stockOf(kept->first);
                    l.parts = 0;
                }
                const qint64 part =
                    std::min(l.left, facts.batchLeft(sqlite3_column_int64(stmt, 3), sqlite3_column_int64(stmt, 1)));
                if (l.left <= 0 || part <= 0)
                    continue;
                l.left -= part;
                const QDate expires = Schema::fromStorage(Schema::ColumnKind::Date, valueOf(stmt, 2)).toDate();
                if (expires.isValid() && expires <= horizon)
                    listed.push_back({kept->first,
                                      l.parts++,
                                      {QString::fromUtf8(code.data(), qsizetype(code.size())), kept->second.name,
                                       l.stock, part, expires, today.daysTo(expires), sqlite3_column_int64(stmt, 3)}});
            }
            if (step != SQLITE_DONE)
                return Outcome::Failed;
            // The soonest first; on one day by code, and a code's from its last purchase back.
            std::sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) {
                return std::tie(a.row.expires, a.code, a.part) < std::tie(b.row.expires, b.code, b.part);
            });
            f.rows.reserve(qsizetype(listed.size()));
            for (Listed &l : listed)
                f.rows.append(std::move(l.row));
            return Outcome::Done;
        },
        &f.error);
}

// On the server each code's stock and name are kept (ServerFacts); the
// purchases are walked from the last back, as on the file, read through
// libpq itself. False, with no error, when a purchase or sale without a
// code asks for the statements.
bool computeOnServer(ExpiryFigures &f, const QSqlDatabase &db, QDate today, QDate horizon)
{
    if (!ServerFacts::coverAllCodes(db, &f.error))
        return false;
    const auto adjusted = Adjustments::read(db);
    f.error = adjusted.errorText();
    if (!adjusted)
        return false;
    const ServerRows kept(db, "SELECT code, name, jinhuo_shuliang - xiaoshou_shuliang FROM huizong "
                              "WHERE jinhuo_first IS NOT NULL");
    // Dates as days since 2000-01-01, whatever the server's DateStyle.
    const ServerRows bought(db, "SELECT code, shuliang, guoqidt - DATE '2000-01-01', rowid FROM jinhuo "
                                "ORDER BY rowid DESC");
    if (!kept.ok() || !bought.ok()) {
        f.error = kept.ok() ? bought.error() : kept.error();
        return false;
    }
    struct Left
    {
        QString code, name;
        qint64 stock = 0, left = 0;
        int parts = -1; // -1: the code's last purchase is still to come
    };
    std::vector<Left> left(size_t(kept.size()));
    std::unordered_map<std::string_view, size_t> place;
    place.reserve(size_t(kept.size()));
    for (int r = 0; r < kept.size(); ++r) {
        place.emplace(kept.text(r, 0), size_t(r));
        left[size_t(r)].stock = kept.integer(r, 2) + adjusted->perCode.value(kept.string(r, 0));
    }
    const QDate epoch(2000, 1, 1);
    const qint64 last = epoch.daysTo(horizon);
    struct Listed
    {
        qint64 day;
        int part;
        ExpiryFigures::Row row;
    };
    std::vector<Listed> listed;
    for (int r = 0; r < bought.size(); ++r) {
        const auto at = place.find(bought.text(r, 0));
        if (at == place.end())
            continue; // written after the kept rows were read
        Left &l = left[at->second];
        if (l.parts < 0) {
            l.left = l.stock;
            l.parts = 0;
        }
        const qint64 part = std::min(l.left, batchLeft(*adjusted, bought.integer(r, 3), bought.integer(r, 1)));
        if (l.left <= 0 || part <= 0)
            continue;
        l.left -= part;
        if (bought.isNull(r, 2))
            continue;
        const qint64 day = bought.integer(r, 2);
        if (day > last)
            continue;
        if (l.code.isNull()) {
            l.code = ServerRows::toString(at->first);
            l.name = kept.string(int(at->second), 1);
        }
        const QDate expires = epoch.addDays(day);
        listed.push_back(
            {day, l.parts++, {l.code, l.name, l.stock, part, expires, today.daysTo(expires), bought.integer(r, 3)}});
    }
    // The soonest first; on one day by code, and a code's from its last purchase back.
    std::sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) {
        return std::tie(a.day, a.row.code, a.part) < std::tie(b.day, b.row.code, b.part);
    });
    f.rows.reserve(qsizetype(listed.size()));
    for (Listed &l : listed)
        f.rows.append(std::move(l.row));
    return true;
}

} // namespace

namespace {

using ExpiryRow = ExpiryFigures::Row;
const std::array<Column<ExpiryRow>, 6> ExpiryColumns{{
    {u"货号", [](const ExpiryRow &r) { return r.code; }},
    {u"货名", [](const ExpiryRow &r) { return r.name; }},
    {u"库存", [](const ExpiryRow &r) { return Weighing::quantityText(r.stock, r.weighed); }},
    {u"临期数量", [](const ExpiryRow &r) { return Weighing::quantityText(r.quantity, r.weighed); }},
    {u"过期日期", [](const ExpiryRow &r) { return r.expires.toString(QStringLiteral("yyyy-MM-dd")); }},
    {u"剩余天数",
     [](const ExpiryRow &r) {
         return r.daysLeft < 0 ? QStringLiteral("已过期 %1 天").arg(-r.daysLeft) : QString::number(r.daysLeft);
     }},
}};

} // namespace

QStringList ExpiryFigures::captions()
{
    return captionsOf(ExpiryColumns);
}

QString ExpiryFigures::text(const Row &row, int column)
{
    return textOf(ExpiryColumns, row, column);
}

ExpiryFigures ExpiryFigures::compute(const Shop &shop, QDate today, int days)
{
    ExpiryFigures f = computeRows(shop, today, days);
    if (f.ok) {
        if (const Done marked = ScaleGoods::markWeighed(shop, f.rows); !marked) {
            f.ok = false;
            f.error = marked.errorText();
        }
    }
    return f;
}

namespace {

// Units sold per code, in one pass over the covering index.
Result<QHash<QString, qint64>> soldPerCode(const QSqlDatabase &db)
{
    QHash<QString, qint64> sold;
    QSqlQuery q(db);
    readOnce(q, db);
    if (!q.exec(QStringLiteral("SELECT code, SUM(shuliang) FROM xiaoshou%1 GROUP BY code")
                    .arg(Schema::indexedBy(db, QStringLiteral("xiaoshou_code_totals")))))
        return failureOf(q);
    while (q.next())
        sold.insert(q.value(0).toString(), q.value(1).toLongLong());
    return sold;
}

// The purchases of each code in stored order; its stock is laid on them
// from the last one back, and the part of a purchase that expires by
// `horizon` is listed. The expiry date is read only for the purchases that
// hold stock: most of a code's purchases are sold long ago.
Done listExpiring(const QSqlDatabase &db, const Adjustments::Totals &adjusted, const QHash<QString, qint64> &sold,
                  QDate today, QDate horizon, QList<ExpiryFigures::Row> &rows)
{
    struct Batch
    {
        qint64 bought, quantity; // quantity: what it holds after its own write-offs
        QVariant expires;
        qint64 rowid;
    };
    QString code;
    QList<Batch> batches;
    auto settle = [&] {
        qint64 stock = -sold.value(code) + adjusted.perCode.value(code);
        for (const Batch &b : std::as_const(batches))
            stock += b.bought;
        qint64 left = stock;
        for (auto b = batches.crbegin(); b != batches.crend() && left > 0; ++b) {
            const qint64 part = std::min(left, b->quantity);
            if (part <= 0)
                continue;
            left -= part;
            const QDate expires = Schema::fromStorage(Schema::ColumnKind::Date, b->expires).toDate();
            if (expires.isValid() && expires <= horizon)
                rows.append({code, QString(), stock, part, expires, today.daysTo(expires), b->rowid});
        }
        batches.clear();
    };
    QSqlQuery q(db);
    readOnce(q, db);
    if (!q.exec(QStringLiteral("SELECT code, shuliang, guoqidt, rowid FROM jinhuo ORDER BY code, rowid")))
        return failureOf(q);
    bool first = true;
    while (q.next()) {
        const QString next = q.value(0).toString();
        if (first || next != code) {
            if (!first)
                settle();
            code = next;
            first = false;
        }
        batches.append({q.value(1).toLongLong(), batchLeft(adjusted, q.value(3).toLongLong(), q.value(1).toLongLong()),
                        q.value(2), q.value(3).toLongLong()});
    }
    if (!first)
        settle();
    return {};
}

// The names of the listed goods: the first catalogue row of each code,
// each from the index, or for a long list all in one pass.
Done nameRows(const QSqlDatabase &db, QList<ExpiryFigures::Row> &rows)
{
    if (rows.size() > ExpiryFigures::ManyNames) {
        QHash<QString, QString> names;
        QSqlQuery q(db);
        readOnce(q, db);
        if (!q.exec(QStringLiteral("SELECT code, name FROM name ORDER BY rowid")))
            return failureOf(q);
        while (q.next()) {
            const QString named = q.value(0).toString();
            if (!names.contains(named))
                names.insert(named, q.value(1).toString());
        }
        for (ExpiryFigures::Row &r : rows)
            r.name = names.value(r.code);
        return {};
    }
    QSqlQuery name(db);
    name.prepare(QStringLiteral("SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1"));
    for (ExpiryFigures::Row &r : rows) {
        name.addBindValue(r.code);
        if (!name.exec())
            return failureOf(name);
        if (name.next())
            r.name = name.value(0).toString();
        name.finish();
    }
    return {};
}

} // namespace

ExpiryFigures ExpiryFigures::computeRows(const Shop &shop, QDate today, int days)
{
    const QSqlDatabase db = shop.connection();
    const QDate horizon = today.addDays(days);
    ExpiryFigures f;
    if (!onServer(db)) {
        if (CodeFacts::settled(computeOnFile(f, db, today, horizon), f))
            return f;
    } else if (computeOnServer(f, db, today, horizon) || !f.error.isEmpty()) {
        f.ok = f.error.isEmpty();
        return f;
    }
    auto failed = [&f](const Error &why) {
        f = ExpiryFigures();
        f.ok = false;
        f.error = why.text();
        return f;
    };
    const auto adjusted = Adjustments::read(db);
    if (!adjusted)
        return failed(adjusted.error());
    const auto sold = soldPerCode(db);
    if (!sold)
        return failed(sold.error());
    if (const Done listed = listExpiring(db, *adjusted, *sold, today, horizon, f.rows); !listed)
        return failed(listed.error());
    std::stable_sort(f.rows.begin(), f.rows.end(), [](const Row &a, const Row &b) { return a.expires < b.expires; });
    if (const Done named = nameRows(db, f.rows); !named)
        return failed(named.error());
    return f;
}
