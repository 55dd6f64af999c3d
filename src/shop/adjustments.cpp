#include "shop/adjustments.h"

#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace Adjustments {

const QStringList &writeOffReasons()
{
    static const QStringList all = {QStringLiteral("过期"), QStringLiteral("损坏"), QStringLiteral("丢失"),
                                    QStringLiteral("自用")};
    return all;
}

Result<Totals> read(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    readOnce(q, db);
    // One row per code and batch, in the order each code was first adjusted.
    if (!q.exec(QStringLiteral("SELECT code, pici, SUM(shuliang), MIN(rowid) FROM tiaozheng "
                               "WHERE code IS NOT NULL GROUP BY code, pici ORDER BY 4")))
        return failureOf(q);
    Totals t;
    while (q.next()) {
        const QString code = q.value(0).toString();
        const qint64 quantity = q.value(2).toLongLong();
        if (!t.perCode.contains(code))
            t.codes.append(code);
        t.perCode[code] += quantity;
        if (!q.isNull(1))
            t.perBatch[q.value(1).toLongLong()] += quantity;
    }
    return t;
}

Result<QList<Entry>> of(const Shop &shop, const QString &code)
{
    QSqlQuery q(shop.connection());
    q.prepare(
        QStringLiteral("SELECT dt, leibie, yuanyin, shuliang, jine FROM tiaozheng WHERE code = ? ORDER BY rowid"));
    q.addBindValue(code);
    if (!q.exec())
        return failureOf(q);
    QList<Entry> all;
    while (q.next())
        all.append({Schema::fromStorage(Schema::ColumnKind::DateTime, q.value(0))
                        .toDateTime()
                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                    q.value(1).toString(), q.value(2).toString(), q.value(3).toLongLong(),
                    Schema::fromStorage(Schema::ColumnKind::Money, q.value(4)).value<Money>()});
    return all;
}

Result<Money> lastPrice(const Shop &shop, const QString &code)
{
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT jinjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC LIMIT 1"));
    q.addBindValue(code);
    if (!q.exec())
        return failureOf(q);
    return q.next() ? Schema::fromStorage(Schema::ColumnKind::Money, q.value(0)).value<Money>() : Money();
}

Done writeOff(const Shop &shop, const WriteOff &w)
{
    if (w.code.trimmed().isEmpty())
        return Error{QStringLiteral("请输入要报损的货号。")};
    if (w.quantity <= 0)
        return Error{QStringLiteral("报损数量必须大于 0。")};
    if (w.reason.trimmed().isEmpty())
        return Error{QStringLiteral("请选择或输入报损原因。")};
    if (const QString problem = shop.fileProblem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery known(shop.connection());
    known.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name WHERE code = ?) OR "
                                 "EXISTS (SELECT 1 FROM jinhuo WHERE code = ?)"));
    known.addBindValue(w.code);
    known.addBindValue(w.code);
    if (!known.exec() || !known.next())
        return failureOf(known);
    if (!known.value(0).toBool())
        return Error{QStringLiteral("没有货号“%1”（不在货名里，也没有进过货）。").arg(w.code)};
    known.finish();
    // At the last purchase price to the cent, as 库存分析 values the stock.
    const auto last = lastPrice(shop, w.code);
    if (!last)
        return last.error();
    const Money price = last->roundedToCents();
    const auto weighed = ScaleGoods::weighed(shop);
    if (!weighed)
        return weighed.error();
    const bool byWeight = weighed->contains(w.code); // grams at a price per kg
    const auto value = Weighing::times(price, -w.quantity, byWeight);
    if (!value)
        return Error{QStringLiteral("报损金额超出范围。")};
    using K = Schema::ColumnKind;
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("INSERT INTO tiaozheng (dt, code, shuliang, jinjia, jine, leibie, yuanyin, pici, till) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime now = QDateTime::currentDateTime();
    q.addBindValue(Schema::toStorage(K::DateTime, now));
    q.addBindValue(w.code);
    q.addBindValue(-w.quantity);
    q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(price)));
    q.addBindValue(Schema::toStorage(K::Money, QVariant::fromValue(*value)));
    q.addBindValue(QString::fromUtf8(WriteOffKind));
    q.addBindValue(w.reason.trimmed());
    q.addBindValue(w.batch ? QVariant(*w.batch) : QVariant(QMetaType(QMetaType::LongLong)));
    q.addBindValue(shop.till());
    if (!q.exec())
        return failureOf(q);
    const QString what =
        QStringLiteral("货号 %1 报损 %2，金额 %3%4")
            .arg(w.code)
            .arg(byWeight ? Weighing::kgText(w.quantity) + QStringLiteral("kg") : QString::number(w.quantity))
            .arg(value->roundedToCents().toCurrency(),
                 w.batch ? QStringLiteral("（进货批次 %1）").arg(*w.batch) : QString());
    if (const Done recorded = Trail::append(shop, QString::fromUtf8(WriteOffKind), what, w.reason.trimmed()); !recorded)
        return recorded.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

} // namespace Adjustments
