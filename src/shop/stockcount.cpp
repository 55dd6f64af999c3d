#include "shop/stockcount.h"

#include "shop/adjustments.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/stockfigures.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

using K = Schema::ColumnKind;

const QString Posted = QStringLiteral("这次盘点已经过账，不能再改动或再过账。");

QDateTime timeOf(const QVariant &stored)
{
    return Schema::fromStorage(K::DateTime, stored).toDateTime();
}

QVariant now()
{
    return Schema::toStorage(K::DateTime, QDateTime::currentDateTime());
}

// One code's book now: its stock, what it sold, its last maker.
struct Book
{
    qint64 stock = 0, sold = 0;
    QString maker;
    bool known = false; // in the catalogue or purchased
    Money price;        // of the last purchase
};

Result<Book> bookOf(const Shop &shop, const QString &code)
{
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT (SELECT COALESCE(SUM(shuliang), 0) FROM jinhuo WHERE code = ?), "
                             "(SELECT COALESCE(SUM(shuliang), 0) FROM xiaoshou WHERE code = ?), "
                             "(SELECT COALESCE(SUM(shuliang), 0) FROM tiaozheng WHERE code = ?), "
                             "(SELECT changjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC LIMIT 1), "
                             "(SELECT jinjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC LIMIT 1), "
                             "(SELECT COUNT(*) FROM (SELECT 1 FROM name WHERE code = ? UNION ALL SELECT 1 FROM jinhuo "
                             "WHERE code = ?) AS k)"));
    for (int i = 0; i < 7; ++i)
        q.addBindValue(code);
    if (!q.exec() || !q.next())
        return failureOf(q);
    Book b;
    b.stock = q.value(0).toLongLong() - q.value(1).toLongLong() + q.value(2).toLongLong();
    b.sold = q.value(1).toLongLong();
    b.maker = q.value(3).toString();
    b.price = Schema::fromStorage(K::Money, q.value(4)).value<Money>().roundedToCents();
    b.known = q.value(5).toLongLong() > 0;
    return b;
}

// Sets (or, with `add`, adds to) the counted figure of a code, inside the
// caller's transaction: the book is taken at the first count of the code.
Result<StockCount::Counted> writeLine(const Shop &shop, const StockCount::Summary &count, const QString &code,
                                      qint64 counted, bool add, const Book &book)
{
    if (!book.known)
        return Error{QStringLiteral("没有货号“%1”（不在货名里，也没有进过货）。").arg(code)};
    if (!count.maker.isEmpty() && book.maker != count.maker)
        return Error{QStringLiteral("货号“%1”不是厂家“%2”的货，不在这次盘点里。").arg(code, count.maker)};
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("INSERT INTO pandian_mx (pandian, code, shuliang, zhangmian, yishou, jinjia, dt) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (pandian, code) DO UPDATE SET "
                             "shuliang = %1, dt = excluded.dt")
                  .arg(add ? QStringLiteral("pandian_mx.shuliang + excluded.shuliang")
                           : QStringLiteral("excluded.shuliang")));
    for (const QVariant &v : {QVariant(count.id), QVariant(code), QVariant(counted), QVariant(book.stock),
                              QVariant(book.sold), Schema::toStorage(K::Money, QVariant::fromValue(book.price)), now()})
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    q.prepare(QStringLiteral("SELECT shuliang, zhangmian, jinjia FROM pandian_mx WHERE pandian = ? AND code = ?"));
    q.addBindValue(count.id);
    q.addBindValue(code);
    if (!q.exec() || !q.next())
        return failureOf(q);
    return StockCount::Counted{q.value(0).toLongLong(), q.value(1).toLongLong(),
                               Schema::fromStorage(K::Money, q.value(2)).value<Money>()};
}

Result<StockCount::Counted> countOne(const Shop &shop, qint64 id, const QString &typed, qint64 counted, bool add)
{
    const QString code = typed.trimmed();
    if (code.isEmpty())
        return Error{QStringLiteral("请输入货号。")};
    if (counted < 0)
        return Error{QStringLiteral("盘点数量不能小于 0。")};
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    const auto count = StockCount::summary(shop, id);
    if (!count)
        return count.error();
    if (count->isPosted())
        return Error{Posted};
    const auto book = bookOf(shop, code);
    if (!book)
        return book.error();
    const auto now = writeLine(shop, *count, code, counted, add, *book);
    if (!now)
        return now;
    if (!tx.commit())
        return Error{tx.lastError()};
    return now;
}

} // namespace

Result<StockCount::Summary> StockCount::summary(const Shop &shop, qint64 id)
{
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT id, kaishidt, changjia, guozhangdt FROM pandian WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return failureOf(q);
    if (!q.next())
        return Error{QStringLiteral("没有第 %1 次盘点。").arg(id)};
    return StockCount::Summary{q.value(0).toLongLong(), timeOf(q.value(1)), q.value(2).toString(), timeOf(q.value(3))};
}

QString StockCount::Summary::describe() const
{
    return QStringLiteral("第 %1 次盘点（%2，%3）%4")
        .arg(id)
        .arg(started.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             maker.isEmpty() ? QStringLiteral("全部商品") : QStringLiteral("厂家 %1").arg(maker),
             isPosted() ? QStringLiteral("已过账 %1").arg(posted.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                        : QStringLiteral("未过账"));
}

Result<qint64> StockCount::start(const Shop &shop, const QString &maker)
{
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.lockForNumbering(QStringLiteral("pandian")))
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM pandian")) || !q.next())
        return failureOf(q);
    const qint64 id = q.value(0).toLongLong();
    q.prepare(QStringLiteral("INSERT INTO pandian (id, kaishidt, changjia, till) VALUES (?, ?, ?, ?)"));
    for (const QVariant &v : {QVariant(id), now(), QVariant(maker.trimmed()), QVariant(shop.till())})
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return id;
}

Result<QStringList> StockCount::makers(const Shop &shop)
{
    // The makers of the goods' last purchases, which a count of one maker takes.
    const StockFigures figures = StockFigures::compute(shop);
    if (!figures.ok)
        return Error{figures.error};
    QSet<QString> seen;
    QStringList all;
    for (const StockFigures::Row &r : figures.rows)
        if (!r.maker.isEmpty() && !seen.contains(r.maker)) {
            seen.insert(r.maker);
            all.append(r.maker);
        }
    all.sort();
    return all;
}

Result<QList<StockCount::Summary>> StockCount::counts(const Shop &shop)
{
    QSqlQuery q(shop.connection());
    if (!q.exec(QStringLiteral("SELECT id, kaishidt, changjia, guozhangdt FROM pandian ORDER BY id DESC")))
        return failureOf(q);
    QList<Summary> all;
    while (q.next())
        all.append({q.value(0).toLongLong(), timeOf(q.value(1)), q.value(2).toString(), timeOf(q.value(3))});
    return all;
}

Result<StockCount::Counted> StockCount::scan(const Shop &shop, qint64 id, const QString &code)
{
    return countOne(shop, id, code, 1, true);
}

Result<StockCount::Counted> StockCount::set(const Shop &shop, qint64 id, const QString &code, qint64 counted)
{
    return countOne(shop, id, code, counted, false);
}

Done StockCount::setMany(const Shop &shop, qint64 id, const QList<std::pair<QString, qint64>> &counts)
{
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    const auto count = StockCount::summary(shop, id);
    if (!count)
        return count.error();
    if (count->isPosted())
        return Error{Posted};
    // The book of every code at once, of the same moment as the writes.
    const StockFigures figures = StockFigures::compute(shop);
    if (!figures.ok)
        return Error{figures.error};
    QHash<QString, const StockFigures::Row *> rows;
    for (const StockFigures::Row &r : figures.rows)
        rows.insert(r.code, &r);
    for (int i = 0; i < counts.size(); ++i) {
        const QString code = counts[i].first.trimmed();
        Book book;
        if (const StockFigures::Row *r = rows.value(code)) {
            book = {r->stock, r->soldQuantity, r->maker, true, r->price};
        } else {
            const auto one = bookOf(shop, code);
            if (!one)
                return one.error();
            book = *one;
        }
        if (counts[i].second < 0)
            return Error{QStringLiteral("第 %1 行：盘点数量不能小于 0。").arg(i + 1)};
        if (const auto written = writeLine(shop, *count, code, counts[i].second, false, book); !written)
            return Error{QStringLiteral("第 %1 行：%2").arg(i + 1).arg(written.errorText())};
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

namespace {

// The count's differences as stock adjustments, in one statement, inside the
// caller's transaction; the rows written.
Result<int> insertDifferences(const Shop &shop, qint64 id)
{
    const bool server = shop.onServer();
    QSqlQuery q(shop.connection());
    // On the file the differences are counted as one change of the stock,
    // not row by row through the triggers that count the file's changes.
    QStringList around;
    if (!server)
        for (const QString &trigger : Schema::changeCountTriggers(QStringLiteral("tiaozheng")))
            around.append(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger));
    for (const QString &statement : std::as_const(around))
        if (!q.exec(statement))
            return failureOf(q);
    // Each at its code's last purchase price (to the cent, as 库存分析 values
    // the stock) when it was counted; a weighed goods' grams at its price per kg.
    q.prepare(
        QStringLiteral(
            "INSERT INTO tiaozheng (dt, code, shuliang, jinjia, jine, leibie, yuanyin, pandian, till) "
            "SELECT %1, x.code, x.d, x.j, CASE WHEN EXISTS (SELECT 1 FROM chengzhong c WHERE c.code = x.code) "
            "THEN x.d * x.j / 1000 ELSE x.d * x.j END, %2, %2, x.pandian, %3 FROM ("
            "SELECT m.code, m.pandian, m.shuliang - m.zhangmian AS d, "
            "(COALESCE((SELECT %4 FROM jinhuo WHERE jinhuo.code = m.code ORDER BY rowid DESC "
            "LIMIT 1), 0) + 50) / 100 * 100 AS j FROM pandian_mx m WHERE m.pandian = %3 AND m.shuliang <> m.zhangmian "
            "ORDER BY m.rowid) AS x")
            .arg(server ? QStringLiteral("CAST(? AS timestamp(0))") : QStringLiteral("?"),
                 server ? QStringLiteral("CAST(? AS text)") : QStringLiteral("?"),
                 server ? QStringLiteral("CAST(? AS integer)") : QStringLiteral("?"),
                 server ? QStringLiteral("jinjia") : Schema::moneyUnitsSql(QStringLiteral("jinjia"))));
    // The placeholders in the order they stand.
    for (const QVariant &v : {now(), QVariant(QString::fromUtf8(Adjustments::CountKind)),
                              QVariant(QStringLiteral("盘点 %1").arg(id)), QVariant(shop.till()), QVariant(id)})
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    const int adjusted = q.numRowsAffected();
    if (!server) {
        for (const QString &statement :
             Schema::changeCountStatements() + QStringList{QStringLiteral("UPDATE biandong SET huowu = huowu + 1")})
            if (!q.exec(statement))
                return failureOf(q);
    }
    return adjusted;
}

// The trail's words for the rows of count `id` after rowid `before`.
Result<QString> postedInWords(const Shop &shop, qint64 id, qint64 before)
{
    QSqlQuery sum(shop.connection());
    sum.prepare(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(shuliang), 0), %1 FROM tiaozheng "
                               "WHERE rowid > ? AND pandian = ?")
                    .arg(Schema::sumUnitsSql(shop.connection(), QStringLiteral("jine"))));
    sum.addBindValue(before);
    sum.addBindValue(id);
    if (!sum.exec() || !sum.next())
        return failureOf(sum);
    return QStringLiteral("第 %1 次盘点过账：%2 个货号有差异，共 %3 件，金额 %4")
        .arg(id)
        .arg(sum.value(0).toLongLong())
        .arg(sum.value(1).toLongLong())
        .arg(Money::fromUnits(sum.value(2).toLongLong()).roundedToCents().toCurrency());
}

} // namespace

Result<int> StockCount::post(const Shop &shop, qint64 id)
{
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    // Only an open count is posted: a second post finds it posted, also
    // one from another program that waited for this one.
    q.prepare(QStringLiteral("UPDATE pandian SET guozhangdt = ? WHERE id = ? AND guozhangdt IS NULL"));
    q.addBindValue(now());
    q.addBindValue(id);
    if (!q.exec())
        return failureOf(q);
    if (q.numRowsAffected() != 1) {
        const auto count = StockCount::summary(shop, id);
        return count ? Error{Posted} : count.error();
    }
    // The rows after the last one now are this count's.
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM tiaozheng")) || !q.next())
        return failureOf(q);
    const qint64 before = q.value(0).toLongLong();
    q.finish();
    const auto adjusted = insertDifferences(shop, id);
    if (!adjusted)
        return adjusted;
    const auto what = postedInWords(shop, id, before);
    if (!what)
        return what.error();
    if (const Done recorded = Trail::append(shop, QStringLiteral("盘点过账"), *what); !recorded)
        return recorded.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return adjusted;
}
