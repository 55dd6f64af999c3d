#include "shop/csvimport.h"

#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

// Checking the rows read and storing them.

namespace CsvImport {

std::optional<QDate> dateIn(const QString &text)
{
    const QDate d = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return d;
    // Spreadsheets also write 2026/12/9.
    const QDate slashed = QDate::fromString(text.trimmed(), QStringLiteral("yyyy/M/d"));
    return slashed.isValid() ? std::optional<QDate>(slashed) : std::nullopt;
}

namespace {

bool tooLong(const QString &text)
{
    return text.toUcs4().size() > MaxText;
}

std::optional<qint64> wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9 || std::any_of(t.begin(), t.end(), [](QChar c) { return c < u'0' || c > u'9'; }))
        return std::nullopt;
    return t.toLongLong();
}

using ProblemOf = std::function<void(const QString &)>;

// One row of goods as its fields say, with what is wrong in it alone.
GoodsRow goodsOf(const QStringList &row, int line, const ProblemOf &problem)
{
    GoodsRow r{line, row.value(0).trimmed(), row.value(1).trimmed(), std::nullopt};
    if (r.code.isEmpty())
        problem(QStringLiteral("货号是空的"));
    else if (tooLong(r.code))
        problem(QStringLiteral("货号超过 %1 个字").arg(MaxText));
    if (r.name.isEmpty())
        problem(QStringLiteral("货名是空的"));
    else if (tooLong(r.name))
        problem(QStringLiteral("货名超过 %1 个字").arg(MaxText));
    if (!row.value(2).trimmed().isEmpty()) {
        r.minimum = wholeNumber(row.value(2));
        if (!r.minimum)
            problem(QStringLiteral("最低库存“%1”不是整数").arg(row.value(2)));
    }
    return r;
}

// One purchase as its fields say, with what is wrong in it alone.
PurchaseRow purchaseOf(const QStringList &row, int line, bool semicolons, const ProblemOf &problem)
{
    PurchaseRow r;
    r.line = line;
    r.code = row.value(0).trimmed();
    if (r.code.isEmpty())
        problem(QStringLiteral("货号是空的"));
    const auto quantity = wholeNumber(row.value(1));
    if (!quantity || *quantity <= 0 || *quantity > 32767)
        problem(QStringLiteral("数量“%1”不是 1 到 32767 的整数").arg(row.value(1)));
    else
        r.quantity = *quantity;
    for (const auto &[column, caption, into] : {std::tuple(2, QStringLiteral("进价"), &r.purchasePrice),
                                                std::tuple(3, QStringLiteral("售价"), &r.sellingPrice)}) {
        QString text = row.value(column).trimmed();
        // "1,50" in a file split by semicolons: a decimal comma.
        if (semicolons && text.count(u',') == 1 && !text.contains(u'.'))
            text.replace(u',', u'.');
        const auto m = Money::parse(text, QLocale::c());
        if (!m || *m < Money())
            problem(QStringLiteral("%1“%2”不是金额").arg(caption, row.value(column)));
        else
            *into = *m;
    }
    r.maker = row.value(4).trimmed();
    if (tooLong(r.maker))
        problem(QStringLiteral("厂家超过 %1 个字").arg(MaxText));
    for (const auto &[column, caption, into] : {std::tuple(5, QStringLiteral("进货日期"), &r.purchased),
                                                std::tuple(6, QStringLiteral("过期日期"), &r.expires)}) {
        const auto d = dateIn(row.value(column));
        if (!d)
            problem(QStringLiteral("%1“%2”不是日期（2026-12-09）").arg(caption, row.value(column)));
        else
            *into = *d;
    }
    return r;
}

// Which of a batch of codes the catalogue has, a few hundred to a statement.
class CatalogueCodes
{
public:
    static constexpr qsizetype Batch = 500;
    // Called with each code of the batch and whether the catalogue has it.
    using Found = std::function<void(const QString &code, int line, bool known)>;
    CatalogueCodes(const QSqlDatabase &db, Found found) : m_db(db), m_found(std::move(found)) { }

    void add(const QString &code, int line)
    {
        m_batch.append({code, line});
        if (m_batch.size() >= Batch)
            flush();
    }
    QString flush()
    {
        if (m_batch.isEmpty() || !m_error.isEmpty())
            return m_error;
        QSet<QString> codes;
        for (const auto &[code, line] : std::as_const(m_batch))
            codes.insert(code);
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT code FROM name WHERE code IN (%1)")
                      .arg(QStringList(codes.size(), QStringLiteral("?")).join(u',')));
        for (const QString &code : std::as_const(codes))
            q.addBindValue(code);
        if (!q.exec()) {
            m_error = problemText(q.lastError());
            return m_error;
        }
        QSet<QString> known;
        while (q.next())
            known.insert(q.value(0).toString());
        for (const auto &[code, line] : std::as_const(m_batch))
            m_found(code, line, known.contains(code));
        m_batch.clear();
        return m_error;
    }

private:
    QSqlDatabase m_db;
    Found m_found;
    QList<std::pair<QString, int>> m_batch;
    QString m_error;
};

// A code as two independent 64-bit hashes: the codes seen in a file are
// kept as these, not as their text (two different codes alike in both is a
// chance of about one in 10^28 for a million codes).
struct CodeKey
{
    quint64 a = 0, b = 0;
    friend bool operator==(const CodeKey &x, const CodeKey &y) { return x.a == y.a && x.b == y.b; }
};
size_t qHash(const CodeKey &k, size_t seed = 0)
{
    return size_t(k.a) ^ seed;
}
CodeKey keyOf(const QString &code)
{
    return {quint64(::qHash(code, size_t(0x9E3779B97F4A7C15ull))),
            quint64(::qHash(code, size_t(0xC2B2AE3D27D4EB4Full)))};
}

} // namespace

GoodsRow Goods::rowAt(qsizetype row) const
{
    return goodsOf(fieldsOf(row), lineOf(row), [](const QString &) {});
}

PurchaseRow Purchases::rowAt(qsizetype row) const
{
    return purchaseOf(fieldsOf(row), lineOf(row), semicolons(), [](const QString &) {});
}

Goods checkGoods(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled)
{
    const QSqlDatabase db = shop.connection();
    Goods g;
    QHash<CodeKey, int> firstLine;
    CatalogueCodes catalogue(db, [&g](const QString &code, int line, bool known) {
        if (known)
            g.addProblem(line, QStringLiteral("货号 %1 已经在货名表里").arg(code));
    });
    // A header without 最低库存 gives its goods none.
    g.read(source, QStringList{QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("最低库存")}, 2,
           cancelled, [&](const QStringList &fields, int line) {
               const GoodsRow r = goodsOf(fields, line, [&](const QString &text) { g.addProblem(line, text); });
               if (r.code.isEmpty() || tooLong(r.code))
                   return;
               const CodeKey key = keyOf(r.code);
               if (const auto seen = firstLine.constFind(key); seen != firstLine.cend()) {
                   g.addProblem(line, QStringLiteral("货号 %1 在第 %2 行已经有了").arg(r.code).arg(*seen));
                   return;
               }
               firstLine.insert(key, line);
               catalogue.add(r.code, line);
           });
    if (g.error.isEmpty()) {
        if (const QString error = catalogue.flush(); !error.isEmpty())
            g.addProblem(0, error);
    }
    g.sortProblems();
    return g;
}

Done storeGoods(const Shop &shop, const Goods &goods, const Cancelled &cancelled)
{
    const QSqlDatabase db = shop.connection();
    if (!goods.error.isEmpty() || goods.problemCount > 0)
        return Error{QStringLiteral("文件里有问题，什么也没有保存。")};
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    QSqlQuery name(db), minimum(db);
    name.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    minimum.prepare(QStringLiteral("INSERT INTO zuidi (code, shuliang) VALUES (?, ?)"));
    QString failed;
    qsizetype stored = 0;
    const QString walked = goods.walk(
        [&](const QStringList &fields, int line) {
            bool bad = false;
            const GoodsRow r = goodsOf(fields, line, [&](const QString &) { bad = true; });
            if (bad) {
                failed = ChangedText;
                return false;
            }
            name.addBindValue(r.code);
            name.addBindValue(r.name);
            if (!name.exec()) {
                failed = problemText(name.lastError());
                return false;
            }
            if (r.minimum) {
                minimum.addBindValue(r.code);
                minimum.addBindValue(qlonglong(*r.minimum));
                if (!minimum.exec()) {
                    failed = problemText(minimum.lastError());
                    return false;
                }
            }
            ++stored;
            return true;
        },
        cancelled);
    const QString error = !walked.isEmpty()        ? walked
                          : !failed.isEmpty()      ? failed
                          : stored != goods.size() ? ChangedText
                                                   : QString();
    // Anything but the whole file rolls back: nothing stored.
    if (!error.isEmpty())
        return Error{error};
    if (const Done recorded = Trail::append(shop, QStringLiteral("导入"), QStringLiteral("货名 %1 条").arg(stored));
        !recorded)
        return recorded;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Purchases checkPurchases(const Shop &shop, const std::shared_ptr<Source> &source, const Cancelled &cancelled)
{
    const QSqlDatabase db = shop.connection();
    Purchases p;
    CatalogueCodes catalogue(db, [&p](const QString &code, int line, bool known) {
        if (!known)
            p.addProblem(line, QStringLiteral("没有货号 %1（请先在货名管理里输入）").arg(code));
    });
    // With a header the columns are found by their captions (the list that
    // 进货管理 exports has the name in its second column); without, in order.
    const QStringList order = {QStringLiteral("货号"),    QStringLiteral("数量"), QStringLiteral("进价"),
                               QStringLiteral("售价"),    QStringLiteral("厂家"), QStringLiteral("进货日期"),
                               QStringLiteral("过期日期")};
    p.read(source, order, order.size(), cancelled, [&](const QStringList &fields, int line) {
        const PurchaseRow r =
            purchaseOf(fields, line, p.semicolons(), [&](const QString &text) { p.addProblem(line, text); });
        if (!r.code.isEmpty())
            catalogue.add(r.code, line);
    });
    if (p.error.isEmpty()) {
        if (const QString error = catalogue.flush(); !error.isEmpty())
            p.addProblem(0, error);
    }
    p.sortProblems();
    return p;
}

Done storePurchases(const Shop &shop, const Purchases &purchases, const Cancelled &cancelled)
{
    const QSqlDatabase db = shop.connection();
    if (!purchases.error.isEmpty() || purchases.problemCount > 0)
        return Error{QStringLiteral("文件里有问题，什么也没有保存。")};
    Transaction tx(shop);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("jinhuo")))
        return Error{tx.lastError()};
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1")))
        return failureOf(q);
    qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    using K = Schema::ColumnKind;
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QString failed;
    qsizetype stored = 0;
    const QString walked = purchases.walk(
        [&](const QStringList &fields, int line) {
            bool bad = false;
            const PurchaseRow r =
                purchaseOf(fields, line, purchases.semicolons(), [&](const QString &) { bad = true; });
            if (bad) {
                failed = ChangedText;
                return false;
            }
            for (const QVariant &v :
                 {QVariant(++id), QVariant(r.code), QVariant(r.quantity), QVariant(qlonglong(r.purchasePrice.units())),
                  QVariant(qlonglong(r.sellingPrice.units())), QVariant(qlonglong(r.sellingPrice.units())),
                  QVariant(r.maker), Schema::toStorage(K::Date, r.purchased), Schema::toStorage(K::Date, r.expires)})
                q.addBindValue(v);
            if (!q.exec()) {
                failed = problemText(q.lastError());
                return false;
            }
            ++stored;
            return true;
        },
        cancelled);
    const QString error = !walked.isEmpty()            ? walked
                          : !failed.isEmpty()          ? failed
                          : stored != purchases.size() ? ChangedText
                                                       : QString();
    // Anything but the whole file rolls back: nothing stored.
    if (!error.isEmpty())
        return Error{error};
    if (const Done recorded = Trail::append(shop, QStringLiteral("导入"), QStringLiteral("进货 %1 条").arg(stored));
        !recorded)
        return recorded;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}
} // namespace CsvImport
