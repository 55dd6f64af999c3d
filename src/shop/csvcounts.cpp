#include "shop/csvimport.h"

#include "shop/engine.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace CsvImport {

namespace {

CountRow countOf(const QStringList &row, int line, const std::function<void(const QString &)> &problem)
{
    CountRow r{line, row.value(0).trimmed(), 0};
    if (r.code.isEmpty())
        problem(QStringLiteral("货号是空的"));
    else if (r.code.toUcs4().size() > MaxText)
        problem(QStringLiteral("货号超过 %1 个字").arg(MaxText));
    const QString t = row.value(1).trimmed();
    if (t.isEmpty() || t.size() > 9 || std::any_of(t.begin(), t.end(), [](QChar c) { return c < u'0' || c > u'9'; }))
        problem(QStringLiteral("数量“%1”不是 0 或正整数").arg(row.value(1)));
    else
        r.counted = t.toLongLong();
    return r;
}

} // namespace

CountRow Counts::rowAt(qsizetype row) const
{
    return countOf(fieldsOf(row), lineOf(row), [](const QString &) {});
}

Result<QList<std::pair<QString, qint64>>> Counts::summed() const
{
    QList<std::pair<QString, qint64>> all;
    QHash<QString, qsizetype> at;
    const QString walked = walk(
        [&](const QStringList &fields, int line) {
            const CountRow r = countOf(fields, line, [](const QString &) {});
            if (const auto seen = at.constFind(r.code); seen != at.cend()) {
                all[*seen].second += r.counted;
            } else {
                at.insert(r.code, all.size());
                all.append({r.code, r.counted});
            }
            return true;
        },
        {});
    if (!walked.isEmpty())
        return Error{walked};
    return all;
}

Counts checkCounts(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled)
{
    Counts c;
    // The codes the shop knows, in one statement.
    QSet<QString> known;
    QSqlQuery q(shop.connection());
    readOnce(q, shop.connection());
    if (!q.exec(QStringLiteral("SELECT code FROM name UNION SELECT code FROM jinhuo"))) {
        c.error = problemText(q.lastError());
        return c;
    }
    while (q.next())
        known.insert(q.value(0).toString());
    q.finish();
    c.read(source, QStringList{QStringLiteral("货号"), QStringLiteral("数量")}, 2, cancelled,
           [&](const QStringList &fields, int line) {
               const CountRow r = countOf(fields, line, [&](const QString &text) { c.addProblem(line, text); });
               if (!r.code.isEmpty() && !known.contains(r.code))
                   c.addProblem(line, QStringLiteral("货号 %1 不在货名里，也没有进过货").arg(r.code));
           });
    c.sortProblems();
    return c;
}

} // namespace CsvImport
