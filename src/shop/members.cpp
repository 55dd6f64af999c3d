#include "shop/members.h"

#include "shop/csvread.h"
#include "shop/engine.h"
#include "shop/scalegoods.h"
#include "shop/schema.h"
#include "shop/transaction.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The points of the member of card `?`: each ticket's kept amount (its sale
// lines and, below zero, the lines that gave some of them back since), one
// point per whole yuan of it. Money is stored in ten-thousandths; the server's
// sums of bigints are numeric, divided as whole numbers only once cast back.
const char *const PointsOfCard =
    "(SELECT CAST(COALESCE(SUM(CASE WHEN k.kept > 0 THEN CAST(k.kept AS BIGINT) / 10000 ELSE 0 END), 0) AS BIGINT) "
    "FROM ("
    "SELECT (SELECT COALESCE(SUM(x.jine), 0) FROM xiaoshou x WHERE x.danjuhao = p.danjuhao AND x.shuliang > 0) + "
    "(SELECT COALESCE(SUM(r.jine), 0) FROM tuihuo t JOIN xiaoshou r ON r.danjuhao = t.danjuhao AND r.id = t.id "
    "WHERE t.yuandanjuhao = p.danjuhao) AS kept FROM huiyuan_piao p WHERE p.kahao = m.kahao) k)";

Member memberOf(const QSqlQuery &q)
{
    Member m;
    m.card = q.value(0).toString();
    m.name = q.value(1).toString();
    m.phone = q.value(2).toString();
    m.joined = Schema::fromStorage(Schema::ColumnKind::Date, q.value(3)).toDate();
    m.points = q.value(4).toLongLong();
    return m;
}

QString selectMembers(const QString &where)
{
    return QStringLiteral("SELECT m.kahao, m.xingming, m.dianhua, m.rudate, %1 FROM huiyuan m %2")
        .arg(QString::fromLatin1(PointsOfCard), where);
}

Result<bool> cardTaken(QSqlQuery &q, const QString &card)
{
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM huiyuan WHERE kahao = ?)"));
    q.addBindValue(card);
    if (!q.exec() || !q.next())
        return failureOf(q);
    return q.value(0).toBool();
}

// What keeps a new card from reaching the member at the counter: a goods
// code rings up the goods, a text of a scale label's format is read as a
// label. Empty when it can be a card.
Result<QString> cardClash(QSqlQuery &q, const QList<LabelFormat> &formats, const QString &card)
{
    if (std::any_of(formats.cbegin(), formats.cend(), [&](const LabelFormat &f) { return f.matches(card); }))
        return QStringLiteral("卡号“%1”符合条码秤的格式，扫描时会当作秤签，请换一个卡号").arg(card);
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name WHERE code = ?)"));
    q.addBindValue(card);
    if (!q.exec() || !q.next())
        return failureOf(q);
    return q.value(0).toBool() ? QStringLiteral("卡号“%1”是一个货号，扫描时会当作货物，请换一个卡号").arg(card)
                               : QString();
}

Done insert(QSqlQuery &q, const Member &m)
{
    q.prepare(QStringLiteral("INSERT INTO huiyuan (kahao, xingming, dianhua, rudate) VALUES (?, ?, ?, ?)"));
    q.addBindValue(m.card.trimmed());
    q.addBindValue(m.name.trimmed());
    q.addBindValue(m.phone.trimmed());
    q.addBindValue(m.joined);
    if (!q.exec())
        return failureOf(q);
    return {};
}

} // namespace

QString Member::problem() const
{
    const QString c = card.trimmed();
    if (c.isEmpty())
        return QStringLiteral("请输入会员卡号");
    if (c.size() > 32)
        return QStringLiteral("会员卡号不能超过 32 位");
    for (const QChar ch : c)
        if (!ch.isLetterOrNumber() && ch != u'-')
            return QStringLiteral("会员卡号只能由字母、数字和“-”组成");
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入会员姓名");
    if (!joined.isValid())
        return QStringLiteral("请输入入会日期");
    return QString();
}

namespace Members {

qint64 pointsFor(Money amount)
{
    return amount.units() > 0 ? qint64(amount.units() / Money::Scale) : 0;
}

Result<QList<Member>> list(const Shop &shop, const QString &filter, int most)
{
    return shop.again([&]() -> Result<QList<Member>> {
        QSqlQuery q(shop.connection());
        const QString f = filter.trimmed();
        q.prepare(selectMembers(f.isEmpty() ? QStringLiteral("ORDER BY m.kahao LIMIT ?")
                                            : QStringLiteral("WHERE m.kahao LIKE ? OR m.xingming LIKE ? OR "
                                                             "m.dianhua LIKE ? ORDER BY m.kahao LIMIT ?")));
        if (!f.isEmpty()) {
            // The filter is a text to find, never a pattern of its own.
            QString like = f;
            like.remove(u'%').remove(u'_');
            for (int i = 0; i < 3; ++i)
                q.addBindValue(QStringLiteral("%%1%").arg(like));
        }
        q.addBindValue(most);
        if (!q.exec())
            return failureOf(q);
        QList<Member> all;
        while (q.next())
            all.append(memberOf(q));
        return all;
    });
}

Result<std::optional<Member>> find(const Shop &shop, const QString &card)
{
    return shop.again([&]() -> Result<std::optional<Member>> {
        QSqlQuery q(shop.connection());
        q.prepare(selectMembers(QStringLiteral("WHERE m.kahao = ?")));
        q.addBindValue(card.trimmed());
        if (!q.exec())
            return failureOf(q);
        if (!q.next())
            return std::optional<Member>();
        return std::optional<Member>(memberOf(q));
    });
}

Done store(const Shop &shop, const Member &member, bool adding)
{
    if (const QString problem = member.problem(); !problem.isEmpty())
        return Error{problem};
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("huiyuan")))
        return Error{tx.lastError()};
    const QString card = member.card.trimmed();
    QSqlQuery q(shop.connection());
    const auto taken = cardTaken(q, card);
    if (!taken)
        return taken.error();
    if (adding && *taken)
        return Error{QStringLiteral("卡号“%1”已是会员卡").arg(card)};
    if (!adding && !*taken)
        return Error{QStringLiteral("没有卡号为“%1”的会员").arg(card)};
    if (adding) {
        const auto formats = ScaleGoods::formats(shop);
        if (!formats)
            return formats.error();
        const auto clash = cardClash(q, *formats, card);
        if (!clash)
            return clash.error();
        if (!clash->isEmpty())
            return Error{*clash};
        if (const Done inserted = insert(q, member); !inserted)
            return inserted;
    } else {
        q.prepare(QStringLiteral("UPDATE huiyuan SET xingming = ?, dianhua = ?, rudate = ? WHERE kahao = ?"));
        q.addBindValue(member.name.trimmed());
        q.addBindValue(member.phone.trimmed());
        q.addBindValue(member.joined);
        q.addBindValue(card);
        if (!q.exec())
            return failureOf(q);
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Done remove(const Shop &shop, const QString &card)
{
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("DELETE FROM huiyuan WHERE kahao = ?"));
    q.addBindValue(card.trimmed());
    if (!q.exec())
        return failureOf(q);
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

namespace {

// The members of a CSV file as read, with the line of each card; the
// first problem of the file when there is one.
Result<QList<Member>> membersIn(const QString &path, QDate today, QHash<QString, int> &lineOfCard)
{
    const auto source = CsvImport::Source::file(path);
    if (const QString problem = source->open(); !problem.isEmpty())
        return Error{problem};
    QList<Member> rows;
    QString problem;
    const QString walked = source->walk([&](const QStringList &fields, int line, qint64) {
        if (rows.isEmpty() && problem.isEmpty() && fields.value(0).trimmed() == u"卡号")
            return true; // the heading
        Member m;
        m.card = fields.value(0).trimmed();
        m.name = fields.value(1).trimmed();
        m.phone = fields.value(2).trimmed();
        const QString joined = fields.value(3).trimmed();
        m.joined = joined.isEmpty() ? today : CsvImport::dateIn(joined).value_or(QDate());
        problem = !joined.isEmpty() && !m.joined.isValid() ? QStringLiteral("入会日期“%1”不是日期").arg(joined)
                  : lineOfCard.contains(m.card)
                      ? QStringLiteral("卡号“%1”与第 %2 行重复").arg(m.card).arg(lineOfCard.value(m.card))
                      : m.problem();
        if (!problem.isEmpty()) {
            problem = QStringLiteral("第 %1 行：%2").arg(line).arg(problem);
            return false;
        }
        lineOfCard.insert(m.card, line);
        rows.append(m);
        return true;
    });
    if (!walked.isEmpty() || !problem.isEmpty())
        return Error{walked.isEmpty() ? problem : walked};
    return rows;
}

} // namespace

Result<int> importCsv(const Shop &shop, const QString &path, QDate today)
{
    QHash<QString, int> lineOfCard;
    const auto rows = membersIn(path, today, lineOfCard);
    if (!rows)
        return rows.error();
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("huiyuan")))
        return Error{tx.lastError()};
    const auto formats = ScaleGoods::formats(shop);
    if (!formats)
        return formats.error();
    QSqlQuery q(shop.connection());
    for (const Member &m : *rows) {
        const QString line = QStringLiteral("第 %1 行：").arg(lineOfCard.value(m.card));
        const auto taken = cardTaken(q, m.card);
        if (!taken)
            return taken.error();
        if (*taken)
            return Error{line + QStringLiteral("卡号“%1”已是会员卡").arg(m.card)};
        const auto clash = cardClash(q, *formats, m.card);
        if (!clash)
            return clash.error();
        if (!clash->isEmpty())
            return Error{line + *clash};
        if (const Done inserted = insert(q, m); !inserted)
            return inserted.error();
    }
    if (!tx.commit())
        return Error{tx.lastError()};
    return int(rows->size());
}

} // namespace Members
