#include "shop/columns.h"
#include "shop/stockcount.h"

#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/serverrows.h"
#include "shop/stockfigures.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

// The count's list: its lines laid on the figures of 库存分析, the totals,
// and the texts of the grid.

namespace {

// What a count holds of one code, as read from its lines.
struct CountedCode
{
    qint64 counted = 0, book = 0, sold = 0, priceUnits = 0;
    bool listed = false;
};
struct CountedLines
{
    QHash<QString, CountedCode> counted;
    QStringList order; // the codes in the order of the lines
};

// The count's lines by code, read through the engine's own interface: a
// count of every goods has as many lines as the shop has goods.
Result<CountedLines> countedLines(const Shop &shop, qint64 id)
{
    CountedLines lines;
    const auto take = [&](const QString &code, qint64 n, qint64 book, qint64 sold, qint64 price) {
        lines.order.append(code);
        lines.counted.insert(code, {n, book, sold, price, false});
    };
    if (sqlite3 *handle = shop.fileHandle()) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(handle,
                               "SELECT code, shuliang, zhangmian, yishou, jinjia FROM pandian_mx WHERE pandian = ?", -1,
                               &stmt, nullptr) != SQLITE_OK)
            return Error{QString::fromUtf8(sqlite3_errmsg(handle))};
        sqlite3_bind_int64(stmt, 1, id);
        lines.counted.reserve(1024);
        int step;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW)
            take(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)),
                                   sqlite3_column_bytes(stmt, 0)),
                 sqlite3_column_int64(stmt, 1), sqlite3_column_int64(stmt, 2), sqlite3_column_int64(stmt, 3),
                 sqlite3_column_int64(stmt, 4));
        sqlite3_finalize(stmt);
        if (step != SQLITE_DONE)
            return Error{QString::fromUtf8(sqlite3_errmsg(handle))};
        return lines;
    }
    const ServerRows rows(shop.connection(),
                          "SELECT code, shuliang, zhangmian, yishou, jinjia FROM pandian_mx WHERE pandian = $1",
                          {QByteArray::number(id)});
    if (!rows.ok())
        return Error{rows.error()};
    for (int r = 0; r < rows.size(); ++r)
        take(rows.string(r, 0), rows.integer(r, 1), rows.integer(r, 2), rows.integer(r, 3), rows.integer(r, 4));
    return lines;
}

} // namespace

StockCount::Sheet StockCount::sheet(const Shop &shop, qint64 id)
{
    Sheet s;
    const auto count = summary(shop, id);
    if (!count) {
        s.error = count.errorText();
        return s;
    }
    s.count = *count;
    auto read = countedLines(shop, id);
    if (!read) {
        s.error = read.errorText();
        return s;
    }
    QHash<QString, CountedCode> &counted = read->counted;
    const StockFigures figures = StockFigures::compute(shop);
    if (!figures.ok) {
        s.error = figures.error;
        return s;
    }
    // The counted figures laid on the lines, each counted code marked listed.
    const auto add = [&s](Line line, CountedCode *c, qint64 soldNow) {
        if (c) {
            line.book = c->book;
            line.counted = c->counted;
            line.price = Money::fromUnits(c->priceUnits);
            line.soldSince = soldNow != c->sold;
            c->listed = true;
        }
        s.lines.append(std::move(line));
    };
    s.lines.reserve(figures.rows.size() + 16);
    for (const StockFigures::Row &r : figures.rows) {
        const auto c = counted.find(r.code);
        CountedCode *found = c == counted.end() ? nullptr : &*c;
        if (!s.count.maker.isEmpty() && r.maker != s.count.maker && !found)
            continue;
        add({r.code, r.name, r.maker, r.stock, std::nullopt, 0, r.price, Money(), false}, found, r.soldQuantity);
    }
    // Counted goods the analysis does not list: in the catalogue, never purchased.
    QSqlQuery name(shop.connection());
    name.prepare(QStringLiteral("SELECT name FROM name WHERE code = ? ORDER BY rowid LIMIT 1"));
    for (const QString &code : std::as_const(read->order)) {
        CountedCode &c = counted[code];
        if (c.listed)
            continue;
        name.addBindValue(code);
        if (!name.exec()) {
            s.error = problemText(name.lastError());
            return s;
        }
        const QString named = name.next() ? name.value(0).toString() : QString();
        name.finish();
        add({code, named, QString(), 0, std::nullopt, 0, Money(), Money(), false}, &c, c.sold);
    }
    if (const Done marked = ScaleGoods::markWeighed(shop, s.lines); !marked) {
        s.error = marked.errorText();
        return s;
    }
    s.addUp();
    s.ok = true;
    return s;
}

void StockCount::Sheet::addUp()
{
    totalBook = totalCounted = totalDifference = 0;
    totalValue = Money();
    counted = notCounted = differing = 0;
    for (Line &line : lines) {
        line.difference = line.counted ? *line.counted - line.book : 0;
        line.value = Weighing::times(line.price, line.difference, line.weighed).value_or(Money()).roundedToCents();
        if (line.counted) {
            ++counted;
            totalCounted += *line.counted;
            if (line.difference != 0)
                ++differing;
        } else {
            ++notCounted;
        }
        totalBook += line.book;
        totalDifference += line.difference;
        totalValue = totalValue.plus(line.value).value_or(totalValue);
    }
}

int StockCount::Sheet::find(const QString &code) const
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].code == code)
            return i;
    return -1;
}

void StockCount::Sheet::take(const QString &code, const QString &name, const Counted &now)
{
    int at = find(code);
    if (at < 0) {
        lines.append({code, name, QString(), now.book, std::nullopt, 0, now.price, Money(), false});
        at = int(lines.size()) - 1;
    }
    lines[at].book = now.book;
    lines[at].counted = now.counted;
    lines[at].price = now.price;
    addUp();
}

namespace {

using CountLine = StockCount::Line;
const std::array<Column<CountLine>, 9> CountColumns{{
    {u"货号", [](const CountLine &l) { return l.code; }},
    {u"货名", [](const CountLine &l) { return l.name; }},
    {u"厂家", [](const CountLine &l) { return l.maker; }},
    {u"账面库存", [](const CountLine &l) { return Weighing::quantityText(l.book, l.weighed); }},
    {u"盘点数量",
     [](const CountLine &l) {
         return l.counted ? Weighing::quantityText(*l.counted, l.weighed) : QStringLiteral("未盘");
     }},
    {u"差异",
     [](const CountLine &l) { return l.counted ? Weighing::quantityText(l.difference, l.weighed) : QString(); }},
    {u"进货价格", [](const CountLine &l) { return l.price.toCurrency(); }},
    {u"差异金额", [](const CountLine &l) { return l.counted ? l.value.toCurrency() : QString(); }},
    {u"盘点后售出", [](const CountLine &l) { return l.soldSince ? QStringLiteral("是") : QString(); }},
}};

} // namespace

QStringList StockCount::captions()
{
    return captionsOf(CountColumns);
}

QString StockCount::text(const Line &line, int column)
{
    return textOf(CountColumns, line, column);
}
