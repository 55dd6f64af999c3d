#include "shop/scalegoods.h"

#include "shop/engine.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ScaleGoods {

Result<QList<LabelFormat>> formats(const Shop &shop)
{
    return shop.again([&]() -> Result<QList<LabelFormat>> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT id, mingcheng, qianzhui, changdu, mawei, jinewei, zhongwei "
                                   "FROM chengma ORDER BY id")))
            return failureOf(q);
        QList<LabelFormat> all;
        while (q.next()) {
            LabelFormat f;
            f.id = q.value(0).toLongLong();
            f.name = q.value(1).toString();
            f.flags = q.value(2).toString();
            f.length = q.value(3).toInt();
            f.codeDigits = q.value(4).toInt();
            f.amountDigits = q.value(5).toInt();
            f.weightDigits = q.value(6).toInt();
            all.append(f);
        }
        return all;
    });
}

Done setFormats(const Shop &shop, const QList<LabelFormat> &formats)
{
    for (const LabelFormat &f : formats) {
        if (const QString problem = f.problem(); !problem.isEmpty())
            return Error{QStringLiteral("%1：%2").arg(f.name, problem)};
    }
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    if (!q.exec(QStringLiteral("DELETE FROM chengma")))
        return failureOf(q);
    q.prepare(QStringLiteral("INSERT INTO chengma (id, mingcheng, qianzhui, changdu, mawei, jinewei, zhongwei) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    int id = 0;
    for (const LabelFormat &f : formats) {
        for (const QVariant &v : {QVariant(++id), QVariant(f.name), QVariant(f.flags.trimmed()), QVariant(f.length),
                                  QVariant(f.codeDigits), QVariant(f.amountDigits), QVariant(f.weightDigits)})
            q.addBindValue(v);
        if (!q.exec())
            return failureOf(q);
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<QHash<QString, QString>> weighed(const Shop &shop)
{
    return shop.again([&]() -> Result<QHash<QString, QString>> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT code, chengma FROM chengzhong")))
            return failureOf(q);
        QHash<QString, QString> all;
        while (q.next())
            all.insert(q.value(0).toString(), q.value(1).toString());
        return all;
    });
}

QString keptScaleCode(const QString &digits)
{
    QString kept = digits.trimmed();
    while (kept.size() > 1 && kept.front() == u'0')
        kept.remove(0, 1);
    return kept;
}

Done setWeighed(const Shop &shop, const QString &code, const QString &scaleCode)
{
    const QString kept = keptScaleCode(scaleCode);
    for (const QChar c : kept) {
        if (c < u'0' || c > u'9')
            return Error{QStringLiteral("秤码只能是数字")};
    }
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    if (!kept.isEmpty()) {
        q.prepare(QStringLiteral("SELECT code FROM chengzhong WHERE chengma = ? AND code <> ?"));
        q.addBindValue(kept);
        q.addBindValue(code);
        if (!q.exec())
            return failureOf(q);
        if (q.next())
            return Error{QStringLiteral("秤码 %1 已用于货号 %2").arg(kept, q.value(0).toString())};
    }
    q.prepare(QStringLiteral("DELETE FROM chengzhong WHERE code = ?"));
    q.addBindValue(code);
    if (!q.exec())
        return failureOf(q);
    if (!kept.isEmpty()) {
        q.prepare(QStringLiteral("INSERT INTO chengzhong (code, chengma) VALUES (?, ?)"));
        q.addBindValue(code);
        q.addBindValue(kept);
        if (!q.exec())
            return failureOf(q);
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<LabelLookup> readLabel(const Shop &shop, const QList<LabelFormat> &formats, const QString &text)
{
    LabelLookup found;
    switch (ScaleLabel::read(formats, text, &found.label)) {
    case ScaleLabel::Read::NotLabel:
        return found;
    case ScaleLabel::Read::BadCheck:
        found.outcome = LabelLookup::BadCheck;
        return found;
    case ScaleLabel::Read::Label:
        break;
    }
    // One statement: the goods of the scale code, and whether the label's
    // text is itself a goods code (then the scan is not taken either way).
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT (SELECT code FROM chengzhong WHERE chengma = ? LIMIT 1), "
                             "EXISTS (SELECT 1 FROM name WHERE code = ?)"));
    q.addBindValue(keptScaleCode(found.label.scaleCode));
    q.addBindValue(text);
    if (!q.exec() || !q.next())
        return failureOf(q);
    found.code = q.value(0).toString();
    found.outcome = q.value(1).toBool()   ? LabelLookup::AlsoGoodsCode
                    : q.value(0).isNull() ? LabelLookup::UnknownScaleCode
                                          : LabelLookup::Found;
    return found;
}

std::optional<WeighedLine> lineOf(const ScaleLabel &label, Money perKg)
{
    WeighedLine line;
    if (label.amount && label.grams) {
        line.amount = *label.amount;
        line.grams = *label.grams;
        line.perKg = line.grams > 0 ? Weighing::perKgOf(line.amount, line.grams) : perKg;
    } else if (label.amount) {
        line.amount = *label.amount;
        line.grams = Weighing::gramsOf(line.amount, perKg);
        line.perKg = perKg;
    } else if (label.grams) {
        const auto amount = Weighing::amountOf(*label.grams, perKg);
        if (!amount)
            return std::nullopt;
        line.amount = *amount;
        line.grams = *label.grams;
        line.perKg = perKg;
    } else {
        return std::nullopt;
    }
    return line;
}

} // namespace ScaleGoods
