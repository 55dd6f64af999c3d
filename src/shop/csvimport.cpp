#include "shop/csvimport.h"

#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/transaction.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

// Checking the rows read and storing them.

namespace CsvImport {

namespace {


// A header's caption as this program names the column: the captions of other
// programs' lists (商品编码, 品名…) are taken for ours.
QString captionOf(const QString &header)
{
    static const QList<std::pair<QString, QStringList>> aliases = {
        {QStringLiteral("货号"), QStringList{QStringLiteral("货号"), QStringLiteral("商品编码"), QStringLiteral("商品条码"), QStringLiteral("条码"), QStringLiteral("编码"), QStringLiteral("code")}},
        {QStringLiteral("货名"), QStringList{QStringLiteral("货名"), QStringLiteral("商品名称"), QStringLiteral("品名"), QStringLiteral("名称"), QStringLiteral("name")}},
        {QStringLiteral("最低库存"), QStringList{QStringLiteral("最低库存")}},
        {QStringLiteral("数量"), QStringList{QStringLiteral("数量")}},
        {QStringLiteral("进价"), QStringList{QStringLiteral("进价")}},
        {QStringLiteral("售价"), QStringList{QStringLiteral("售价")}},
        {QStringLiteral("厂家"), QStringList{QStringLiteral("厂家")}},
        {QStringLiteral("进货日期"), QStringList{QStringLiteral("进货日期")}},
        {QStringLiteral("过期日期"), QStringList{QStringLiteral("过期日期")}},
    };
    const QString h = header.trimmed().toLower();
    for (const auto &[caption, names] : aliases)
        if (names.contains(h))
            return caption;
    return QString();
}

// A first row that names a known column is a header, not goods.
bool isCaption(const QStringList &row)
{
    return std::any_of(row.cbegin(), row.cend(), [](const QString &h) { return !captionOf(h).isEmpty(); });
}

// Where each of `order`'s columns stands: by the header's captions when the
// table has one (a problem for each of the first `required` missing), else
// in that order.
QList<int> columnsOf(const Table &table, const QStringList &order, qsizetype required, qsizetype *used,
                     QList<Problem> *problems)
{
    QList<int> at;
    for (int c = 0; c < order.size(); ++c)
        at.append(c);
    if (table.rows.isEmpty() || !isCaption(table.rows.first()))
        return at;
    QStringList header;
    for (const QString &h : table.rows.first())
        header.append(captionOf(h));
    *used = header.size();
    for (int c = 0; c < order.size(); ++c) {
        at[c] = int(header.indexOf(order[c]));
        if (at[c] < 0 && c < required)
            problems->append({table.lines.value(0), QStringLiteral("标题行里没有“%1”").arg(order[c])});
    }
    return at;
}

// The fields of a row in `at`'s order (empty where the column is missing).
QStringList picked(const QStringList &raw, const QList<int> &at)
{
    QStringList row;
    for (const int c : at)
        row.append(c >= 0 ? raw.value(c) : QString());
    return row;
}

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

std::optional<QDate> dateIn(const QString &text)
{
    const QDate d = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return d;
    // Spreadsheets also write 2026/12/9.
    const QDate slashed = QDate::fromString(text.trimmed(), QStringLiteral("yyyy/M/d"));
    return slashed.isValid() ? std::optional<QDate>(slashed) : std::nullopt;
}

// The codes of the catalogue that are among `codes`.
QSet<QString> knownCodes(const QSqlDatabase &db, const QSet<QString> &codes, QString *error)
{
    QSet<QString> known;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM name WHERE code = ? LIMIT 1"));
    for (const QString &code : codes) {
        q.addBindValue(code);
        if (!q.exec()) {
            *error = problemText(q.lastError());
            return known;
        }
        if (q.next())
            known.insert(code);
        q.finish();
    }
    return known;
}

} // namespace

Goods checkGoods(const QSqlDatabase &db, const Table &table, const Cancelled &cancelled)
{
    Goods g;
    QSet<QString> inFile;
    QHash<QString, int> firstLine;
    qsizetype used = 3;
    // A header without 最低库存 gives its goods none.
    const QList<int> at = columnsOf(
        table, QStringList{QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("最低库存")}, 2, &used,
        &g.problems);
    for (qsizetype i = 0; i < table.rows.size(); ++i) {
        if (i % 4096 == 0 && cancelled && cancelled())
            return {};
        const QStringList &raw = table.rows[i];
        const int line = table.lines.value(i);
        if (i == 0 && isCaption(raw))
            continue;
        const QStringList row = picked(raw, at);
        GoodsRow r{line, row.value(0).trimmed(), row.value(1).trimmed(), std::nullopt};
        auto problem = [&](const QString &text) { g.problems.append({line, text}); };
        if (r.code.isEmpty())
            problem(QStringLiteral("货号是空的"));
        else if (tooLong(r.code))
            problem(QStringLiteral("货号超过 %1 个字").arg(MaxText));
        else if (firstLine.contains(r.code))
            problem(QStringLiteral("货号 %1 在第 %2 行已经有了").arg(r.code).arg(firstLine.value(r.code)));
        else
            firstLine.insert(r.code, line);
        if (r.name.isEmpty())
            problem(QStringLiteral("货名是空的"));
        else if (tooLong(r.name))
            problem(QStringLiteral("货名超过 %1 个字").arg(MaxText));
        if (!row.value(2).trimmed().isEmpty()) {
            r.minimum = wholeNumber(row.value(2));
            if (!r.minimum)
                problem(QStringLiteral("最低库存“%1”不是整数").arg(row.value(2)));
        }
        if (raw.size() > used)
            problem(QStringLiteral("多出 %1 列").arg(raw.size() - used));
        inFile.insert(r.code);
        g.rows.append(r);
    }
    QString error;
    const QSet<QString> known = knownCodes(db, inFile, &error);
    if (!error.isEmpty())
        g.problems.append({0, error});
    for (const GoodsRow &r : std::as_const(g.rows))
        if (known.contains(r.code) && firstLine.value(r.code) == r.line)
            g.problems.append({r.line, QStringLiteral("货号 %1 已经在货名表里").arg(r.code)});
    std::stable_sort(g.problems.begin(), g.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return g;
}

bool storeGoods(const QSqlDatabase &db, const Goods &goods, QString *error, const Cancelled &cancelled)
{
    if (!goods.problems.isEmpty()) {
        *error = QStringLiteral("文件里有问题，什么也没有保存。");
        return false;
    }
    Transaction tx(db);
    if (!tx.isActive()) {
        *error = tx.lastError();
        return false;
    }
    QSqlQuery name(db), minimum(db);
    name.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    minimum.prepare(QStringLiteral("INSERT INTO zuidi (code, shuliang) VALUES (?, ?)"));
    for (qsizetype i = 0; i < goods.rows.size(); ++i) {
        const GoodsRow &r = goods.rows[i];
        if (i % 1024 == 0 && cancelled && cancelled()) {
            *error = CancelledText;
            return false; // rolled back: nothing stored
        }
        name.addBindValue(r.code);
        name.addBindValue(r.name);
        if (!name.exec()) {
            *error = problemText(name.lastError());
            return false;
        }
        if (r.minimum) {
            minimum.addBindValue(r.code);
            minimum.addBindValue(qlonglong(*r.minimum));
            if (!minimum.exec()) {
                *error = problemText(minimum.lastError());
                return false;
            }
        }
    }
    if (!tx.commit()) {
        *error = tx.lastError();
        return false;
    }
    return true;
}

Purchases checkPurchases(const QSqlDatabase &db, const Table &table, const Cancelled &cancelled)
{
    Purchases p;
    QSet<QString> codes;
    // With a header the columns are found by their captions (the list that
    // 进货管理 exports has the name in its second column); without, in order.
    const QStringList order = {QStringLiteral("货号"),    QStringLiteral("数量"), QStringLiteral("进价"),
                               QStringLiteral("售价"),    QStringLiteral("厂家"), QStringLiteral("进货日期"),
                               QStringLiteral("过期日期")};
    qsizetype used = order.size();
    const QList<int> at = columnsOf(table, order, order.size(), &used, &p.problems);
    for (qsizetype i = 0; i < table.rows.size(); ++i) {
        if (i % 4096 == 0 && cancelled && cancelled())
            return {};
        const QStringList &raw = table.rows[i];
        const int line = table.lines.value(i);
        if (i == 0 && isCaption(raw))
            continue;
        const QStringList row = picked(raw, at);
        auto problem = [&](const QString &text) { p.problems.append({line, text}); };
        PurchaseRow r;
        r.line = line;
        r.code = row.value(0).trimmed();
        if (r.code.isEmpty())
            problem(QStringLiteral("货号是空的"));
        codes.insert(r.code);
        const auto quantity = wholeNumber(row.value(1));
        if (!quantity || *quantity <= 0 || *quantity > 32767)
            problem(QStringLiteral("数量“%1”不是 1 到 32767 的整数").arg(row.value(1)));
        else
            r.quantity = *quantity;
        for (const auto &[column, caption, into] : {std::tuple(2, QStringLiteral("进价"), &r.purchasePrice),
                                                    std::tuple(3, QStringLiteral("售价"), &r.sellingPrice)}) {
            QString text = row.value(column).trimmed();
            // "1,50" in a file split by semicolons: a decimal comma.
            if (table.semicolons && text.count(u',') == 1 && !text.contains(u'.'))
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
        if (raw.size() > used)
            problem(QStringLiteral("多出 %1 列").arg(raw.size() - used));
        p.rows.append(r);
    }
    QString error;
    const QSet<QString> known = knownCodes(db, codes, &error);
    if (!error.isEmpty())
        p.problems.append({0, error});
    for (const PurchaseRow &r : std::as_const(p.rows))
        if (!r.code.isEmpty() && !known.contains(r.code))
            p.problems.append({r.line, QStringLiteral("没有货号 %1（请先在货名管理里输入）").arg(r.code)});
    std::stable_sort(p.problems.begin(), p.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return p;
}

bool storePurchases(const QSqlDatabase &db, const Purchases &purchases, QString *error,
                    const Cancelled &cancelled)
{
    if (!purchases.problems.isEmpty()) {
        *error = QStringLiteral("文件里有问题，什么也没有保存。");
        return false;
    }
    Transaction tx(db);
    if (!tx.isActive() || !tx.lockForNumbering(QStringLiteral("jinhuo"))) {
        *error = tx.lastError();
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1"))) {
        *error = problemText(q.lastError());
        return false;
    }
    qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    using K = Schema::ColumnKind;
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < purchases.rows.size(); ++i) {
        const PurchaseRow &r = purchases.rows[i];
        if (i % 1024 == 0 && cancelled && cancelled()) {
            *error = CancelledText;
            return false; // rolled back: nothing stored
        }
        for (const QVariant &v :
             {QVariant(++id), QVariant(r.code), QVariant(r.quantity), QVariant(qlonglong(r.purchasePrice.units())),
              QVariant(qlonglong(r.sellingPrice.units())), QVariant(qlonglong(r.sellingPrice.units())),
              QVariant(r.maker), Schema::toStorage(K::Date, r.purchased), Schema::toStorage(K::Date, r.expires)})
            q.addBindValue(v);
        if (!q.exec()) {
            *error = problemText(q.lastError());
            return false;
        }
    }
    if (!tx.commit()) {
        *error = tx.lastError();
        return false;
    }
    return true;
}

} // namespace CsvImport
