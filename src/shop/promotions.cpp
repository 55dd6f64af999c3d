#include "shop/promotions.h"

#include "shop/csvread.h"
#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// Stores `special` inside the caller's transaction.
Done storeOne(const Shop &shop, const Special &special)
{
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name WHERE code = ?)"));
    q.addBindValue(special.code);
    if (!q.exec() || !q.next())
        return failureOf(q);
    if (!q.value(0).toBool())
        return Error{QStringLiteral("没有货号“%1”，请先在“货名管理”中输入").arg(special.code)};
    if (special.id == 0) {
        if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM tejia")) || !q.next())
            return failureOf(q);
        const qint64 id = q.value(0).toLongLong();
        q.prepare(QStringLiteral("INSERT INTO tejia (id, code, jiage, kaishiri, jieshuri, huiyuan) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        q.addBindValue(id);
    } else {
        q.prepare(QStringLiteral("UPDATE tejia SET code = ?, jiage = ?, kaishiri = ?, jieshuri = ?, huiyuan = ? "
                                 "WHERE id = ?"));
    }
    q.addBindValue(special.code);
    q.addBindValue(Schema::toStorage(Schema::ColumnKind::Money, QVariant::fromValue(special.price)));
    q.addBindValue(special.first);
    q.addBindValue(special.last);
    q.addBindValue(special.membersOnly ? 1 : 0);
    if (special.id != 0)
        q.addBindValue(special.id);
    if (!q.exec())
        return failureOf(q);
    return {};
}

} // namespace

Special::State Special::stateOn(QDate day) const
{
    return day < first ? State::Coming : day > last ? State::Ended : State::Current;
}

QString Special::stateText(State state)
{
    switch (state) {
    case State::Current:
        return QStringLiteral("进行中");
    case State::Coming:
        return QStringLiteral("未开始");
    case State::Ended:
        return QStringLiteral("已结束");
    }
    return QString();
}

QString Special::problem() const
{
    if (code.trimmed().isEmpty())
        return QStringLiteral("请输入货号");
    if (price.units() < 0)
        return QStringLiteral("特价不能小于 0");
    if (!first.isValid() || !last.isValid())
        return QStringLiteral("请输入开始和结束日期");
    if (last < first)
        return QStringLiteral("结束日期不能早于开始日期");
    return QString();
}

namespace Specials {

Result<QList<Special>> list(const Shop &shop)
{
    return shop.again([&]() -> Result<QList<Special>> {
        QSqlQuery q(shop.connection());
        if (!q.exec(QStringLiteral("SELECT t.id, t.code, (SELECT name FROM name WHERE name.code = t.code "
                                   "ORDER BY rowid LIMIT 1), t.jiage, t.kaishiri, t.jieshuri, t.huiyuan "
                                   "FROM tejia t ORDER BY t.id DESC")))
            return failureOf(q);
        QList<Special> all;
        while (q.next()) {
            Special s;
            s.id = q.value(0).toLongLong();
            s.code = q.value(1).toString();
            s.name = q.value(2).toString();
            s.price = Schema::fromStorage(Schema::ColumnKind::Money, q.value(3)).value<Money>();
            s.first = Schema::fromStorage(Schema::ColumnKind::Date, q.value(4)).toDate();
            s.last = Schema::fromStorage(Schema::ColumnKind::Date, q.value(5)).toDate();
            s.membersOnly = q.value(6).toInt() != 0;
            all.append(s);
        }
        return all;
    });
}

Done store(const Shop &shop, const Special &special)
{
    if (const QString problem = special.problem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    if (!tx.lockForNumbering(QStringLiteral("tejia")))
        return Error{tx.lastError()};
    if (const Done stored = storeOne(shop, special); !stored)
        return stored;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Done endEarly(const Shop &shop, qint64 id, QDate today)
{
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("UPDATE tejia SET jieshuri = ? WHERE id = ? AND jieshuri >= ?"));
    q.addBindValue(today.addDays(-1));
    q.addBindValue(id);
    q.addBindValue(today);
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<int> importCsv(const Shop &shop, const QString &path)
{
    const auto source = CsvImport::Source::file(path);
    if (const QString problem = source->open(); !problem.isEmpty())
        return Error{problem};
    QList<Special> rows;
    QString problem;
    const QString walked = source->walk([&](const QStringList &fields, int line, qint64) {
        if (rows.isEmpty() && problem.isEmpty() && fields.value(0).trimmed() == u"货号")
            return true; // the heading
        Special s;
        s.code = fields.value(0).trimmed();
        const auto price = Money::parse(fields.value(1).trimmed());
        const auto first = CsvImport::dateIn(fields.value(2)), last = CsvImport::dateIn(fields.value(3));
        const QString member = fields.value(4).trimmed();
        s.membersOnly = member == u"是" || member == u"1" || member == u"会员";
        s.price = price.value_or(Money());
        s.first = first.value_or(QDate());
        s.last = last.value_or(QDate());
        problem = !price ? QStringLiteral("特价“%1”不是金额").arg(fields.value(1)) : s.problem();
        if (!problem.isEmpty()) {
            problem = QStringLiteral("第 %1 行：%2").arg(line).arg(problem);
            return false;
        }
        rows.append(s);
        return true;
    });
    if (!walked.isEmpty() || !problem.isEmpty())
        return Error{walked.isEmpty() ? problem : walked};
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("tejia")))
        return Error{tx.lastError()};
    for (const Special &s : rows)
        if (const Done stored = storeOne(shop, s); !stored)
            return stored.error();
    if (!tx.commit())
        return Error{tx.lastError()};
    return int(rows.size());
}

} // namespace Specials
