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

bool refused(const QSqlQuery &q, QString *error)
{
    *error = problemText(q.lastError());
    return false;
}

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

std::optional<bool> cardTaken(QSqlQuery &q, const QString &card, QString *error)
{
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM huiyuan WHERE kahao = ?)"));
    q.addBindValue(card);
    if (!q.exec() || !q.next()) {
        refused(q, error);
        return std::nullopt;
    }
    return q.value(0).toBool();
}

// What keeps a new card from reaching the member at the counter: a goods
// code rings up the goods, a text of a scale label's format is read as a
// label. Empty when it can be a card; nothing, with `error`, on a failure.
std::optional<QString> cardClash(QSqlQuery &q, const QList<LabelFormat> &formats, const QString &card, QString *error)
{
    if (std::any_of(formats.cbegin(), formats.cend(), [&](const LabelFormat &f) { return f.matches(card); }))
        return QStringLiteral("卡号“%1”符合条码秤的格式，扫描时会当作秤签，请换一个卡号").arg(card);
    q.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM name WHERE code = ?)"));
    q.addBindValue(card);
    if (!q.exec() || !q.next()) {
        refused(q, error);
        return std::nullopt;
    }
    return q.value(0).toBool() ? QStringLiteral("卡号“%1”是一个货号，扫描时会当作货物，请换一个卡号").arg(card)
                               : QString();
}

bool insert(QSqlQuery &q, const Member &m, QString *error)
{
    q.prepare(QStringLiteral("INSERT INTO huiyuan (kahao, xingming, dianhua, rudate) VALUES (?, ?, ?, ?)"));
    q.addBindValue(m.card.trimmed());
    q.addBindValue(m.name.trimmed());
    q.addBindValue(m.phone.trimmed());
    q.addBindValue(m.joined);
    return q.exec() || refused(q, error);
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

std::optional<QList<Member>> list(const Shop &shop, const QString &filter, int most, QString *error)
{
    return shop.again(
        [&]() -> std::optional<QList<Member>> {
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
            if (!q.exec()) {
                refused(q, error);
                return std::nullopt;
            }
            QList<Member> all;
            while (q.next())
                all.append(memberOf(q));
            return all;
        },
        error);
}

std::optional<std::optional<Member>> find(const Shop &shop, const QString &card, QString *error)
{
    return shop.again(
        [&]() -> std::optional<std::optional<Member>> {
            QSqlQuery q(shop.connection());
            q.prepare(selectMembers(QStringLiteral("WHERE m.kahao = ?")));
            q.addBindValue(card.trimmed());
            if (!q.exec()) {
                refused(q, error);
                return std::nullopt;
            }
            if (!q.next())
                return std::optional<Member>();
            return std::optional<Member>(memberOf(q));
        },
        error);
}

bool store(const Shop &shop, const Member &member, bool adding, QString *error)
{
    if (const QString problem = member.problem(); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("huiyuan"))) {
        *error = tx.lastError();
        return false;
    }
    QSqlQuery q(shop.connection());
    const auto taken = cardTaken(q, member.card.trimmed(), error);
    if (!taken)
        return false;
    if (adding && *taken) {
        *error = QStringLiteral("卡号“%1”已是会员卡").arg(member.card.trimmed());
        return false;
    }
    if (!adding && !*taken) {
        *error = QStringLiteral("没有卡号为“%1”的会员").arg(member.card.trimmed());
        return false;
    }
    if (adding) {
        const auto formats = ScaleGoods::formats(shop, error);
        const auto clash = formats ? cardClash(q, *formats, member.card.trimmed(), error) : std::nullopt;
        if (!clash)
            return false;
        if (!clash->isEmpty()) {
            *error = *clash;
            return false;
        }
        if (!insert(q, member, error))
            return false;
    } else {
        q.prepare(QStringLiteral("UPDATE huiyuan SET xingming = ?, dianhua = ?, rudate = ? WHERE kahao = ?"));
        q.addBindValue(member.name.trimmed());
        q.addBindValue(member.phone.trimmed());
        q.addBindValue(member.joined);
        q.addBindValue(member.card.trimmed());
        if (!q.exec())
            return refused(q, error);
    }
    if (!tx.commit()) {
        *error = tx.lastError();
        return false;
    }
    return true;
}

bool remove(const Shop &shop, const QString &card, QString *error)
{
    Transaction tx(shop);
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("DELETE FROM huiyuan WHERE kahao = ?"));
    q.addBindValue(card.trimmed());
    if (!tx.isActive()) {
        *error = tx.lastError();
        return false;
    }
    if (!q.exec())
        return refused(q, error);
    if (!tx.commit()) {
        *error = tx.lastError();
        return false;
    }
    return true;
}

std::optional<int> importCsv(const Shop &shop, const QString &path, QDate today, QString *error)
{
    const auto source = CsvImport::Source::file(path);
    if (const QString problem = source->open(); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    QList<Member> rows;
    QHash<QString, int> lineOfCard;
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
    if (!walked.isEmpty() || !problem.isEmpty()) {
        *error = walked.isEmpty() ? problem : walked;
        return std::nullopt;
    }
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("huiyuan"))) {
        *error = tx.lastError();
        return std::nullopt;
    }
    const auto formats = ScaleGoods::formats(shop, error);
    if (!formats)
        return std::nullopt;
    QSqlQuery q(shop.connection());
    for (const Member &m : rows) {
        const auto taken = cardTaken(q, m.card, error);
        if (!taken)
            return std::nullopt;
        if (*taken) {
            *error = QStringLiteral("第 %1 行：卡号“%2”已是会员卡").arg(lineOfCard.value(m.card)).arg(m.card);
            return std::nullopt;
        }
        const auto clash = cardClash(q, *formats, m.card, error);
        if (!clash)
            return std::nullopt;
        if (!clash->isEmpty()) {
            *error = QStringLiteral("第 %1 行：%2").arg(lineOfCard.value(m.card)).arg(*clash);
            return std::nullopt;
        }
        if (!insert(q, m, error))
            return std::nullopt;
    }
    if (!tx.commit()) {
        *error = tx.lastError();
        return std::nullopt;
    }
    return int(rows.size());
}

} // namespace Members
