#include "shop/codefacts.h"

#include "shop/database.h"
#include "shop/schema.h"

#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QSet>
#include <QVariant>

#include <map>
#include <memory>
#include <unordered_set>

#include <sqlite3.h>
#include <sys/stat.h>

namespace CodeFacts {

QVariant valueOf(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                          sqlite3_column_bytes(stmt, column));
    default:
        return QVariant();
    }
}

namespace {

QVariant variantOf(sqlite3_stmt *stmt, int column)
{
    return valueOf(stmt, column);
}

std::string_view textOf(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return {text ? text : "", size_t(sqlite3_column_bytes(stmt, column))};
}

struct Entry
{
    Facts facts;
    bool goodsRead = false;
    qint64 goodsCount = -1;
    qint64 salesCount = -1;
};

QMutex cacheLock;
std::map<QString, std::unique_ptr<Entry>> &cache()
{
    static std::map<QString, std::unique_ptr<Entry>> entries;
    return entries;
}

// The file itself, whatever path reaches it.
QString fileKey(const QSqlDatabase &db)
{
    const QString path = QFileInfo(db.databaseName()).canonicalFilePath();
    struct stat st = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2:%3").arg(path).arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

class Statement
{
public:
    Statement(sqlite3 *handle, const char *sql) : m_handle(handle)
    {
        if (sqlite3_prepare_v2(handle, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_handle)); }

private:
    sqlite3 *m_handle;
    sqlite3_stmt *m_stmt = nullptr;
};

// A code's place among the kept ones, made when it is new.
CodeMap<Goods>::iterator keep(CodeMap<Goods> &goods, std::string_view code)
{
    const auto [it, added] = goods.try_emplace(std::string(code));
    if (added)
        it->second.ordinal = int(goods.size()) - 1;
    return it;
}

// The adjustments of every code and written-off batch, after the purchases.
Outcome readAdjustments(sqlite3 *handle, Facts &facts, bool *unusual, QString *error)
{
    Statement stmt(handle, "SELECT code, shuliang, pici FROM tiaozheng ORDER BY rowid");
    if (!stmt.get()) {
        *error = stmt.error();
        return Outcome::Failed;
    }
    sqlite3_stmt *s = stmt.get();
    std::unordered_set<const Kept *> listed;
    int step;
    while ((step = sqlite3_step(s)) == SQLITE_ROW) {
        if (sqlite3_column_type(s, 0) == SQLITE_NULL)
            continue; // the statements leave a row without a code out
        if (sqlite3_column_type(s, 0) != SQLITE_TEXT ||
            (sqlite3_column_type(s, 1) != SQLITE_INTEGER && sqlite3_column_type(s, 1) != SQLITE_NULL)) {
            *unusual = true;
            continue;
        }
        const qint64 quantity = sqlite3_column_int64(s, 1);
        const std::string_view code = textOf(s, 0);
        auto it = facts.goods.find(code);
        if (it == facts.goods.end())
            it = keep(facts.goods, code);
        Goods &g = it->second;
        if (!g.bought && listed.insert(&*it).second)
            facts.adjustedOnly.push_back(&*it);
        *unusual = !add(g.adjusted, quantity) || *unusual;
        if (sqlite3_column_type(s, 2) == SQLITE_INTEGER)
            facts.perBatch[sqlite3_column_int64(s, 2)] += quantity;
    }
    if (step != SQLITE_DONE) {
        *error = stmt.error();
        return Outcome::Failed;
    }
    return Outcome::Done;
}

// Reads the catalogue and the purchases again into the kept goods; their
// sales stay.
Outcome readGoods(sqlite3 *handle, Facts &facts, QString *error)
{
    CodeMap<Goods> &goods = facts.goods;
    for (auto &[code, g] : goods)
        g = Goods{QString(), QString(), Money(), 0, 0, g.soldQuantity, g.soldUnits, g.ordinal, 0, 0, false, false};
    facts.purchased.clear();
    facts.adjustedOnly.clear();
    facts.perBatch.clear();
    facts.purchasesUnusual = false;
    {
        Statement names(handle, "SELECT code, name FROM name ORDER BY rowid");
        if (!names.get()) {
            *error = names.error();
            return Outcome::Failed;
        }
        int step;
        while ((step = sqlite3_step(names.get())) == SQLITE_ROW) {
            if (sqlite3_column_type(names.get(), 0) != SQLITE_TEXT)
                continue; // never equal to a code that is text
            const std::string_view code = textOf(names.get(), 0);
            auto it = goods.find(code);
            if (it == goods.end())
                it = keep(goods, code);
            ++it->second.nameRows;
            if (!it->second.named) {
                it->second.named = true;
                it->second.name = variantOf(names.get(), 1).toString();
            }
        }
        if (step != SQLITE_DONE) {
            *error = names.error();
            return Outcome::Failed;
        }
    }
    Statement buys(handle, "SELECT code, shuliang, jinjia, changjia FROM jinhuo ORDER BY rowid");
    if (!buys.get()) {
        *error = buys.error();
        return Outcome::Failed;
    }
    // Makers repeat: every code of one maker shares its text.
    QSet<QString> makers;
    bool unusual = false;
    int step;
    while ((step = sqlite3_step(buys.get())) == SQLITE_ROW) {
        sqlite3_stmt *s = buys.get();
        if (sqlite3_column_type(s, 0) != SQLITE_TEXT) {
            unusual = true; // a group of its own in the inventory
            continue;
        }
        const std::string_view code = textOf(s, 0);
        auto it = goods.find(code);
        if (it == goods.end())
            it = keep(goods, code);
        Goods &g = it->second;
        ++g.purchaseRows;
        g.lastPrice = Schema::fromStorage(Schema::ColumnKind::Money, variantOf(s, 2)).value<Money>();
        g.lastMaker = *makers.insert(variantOf(s, 3).toString());
        if (!g.bought) {
            g.bought = true;
            facts.purchased.push_back(&*it);
        }
        switch (sqlite3_column_type(s, 1)) {
        case SQLITE_INTEGER:
            unusual = !add(g.purchased, sqlite3_column_int64(s, 1)) || unusual;
            break;
        case SQLITE_NULL:
            break; // a sum leaves it out
        default:
            unusual = true;
        }
    }
    if (step != SQLITE_DONE) {
        *error = buys.error();
        return Outcome::Failed;
    }
    facts.purchased.shrink_to_fit();
    if (readAdjustments(handle, facts, &unusual, error) != Outcome::Done)
        return Outcome::Failed;
    facts.purchasesUnusual = unusual;
    return Outcome::Done;
}

// Adds the sale lines of `stmt` (rowid, code, shuliang, jine) to the totals.
Outcome addSales(sqlite3_stmt *stmt, Facts &facts)
{
    Line line;
    std::string last;
    Goods *current = nullptr;
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!lineOf(stmt, &line)) {
            facts.salesUnusual = true;
            continue;
        }
        // Lines in the order of the code index come code by code.
        if (!current || line.code != last) {
            last.assign(line.code);
            auto it = facts.goods.find(line.code);
            if (it == facts.goods.end())
                it = keep(facts.goods, last);
            current = &it->second;
        }
        if (!add(current->soldQuantity, line.quantity) || (line.counted && !add(current->soldUnits, line.amountUnits)))
            facts.salesUnusual = true;
        facts.soldUpTo = std::max(facts.soldUpTo, line.rowid);
    }
    return step == SQLITE_DONE ? Outcome::Done : Outcome::Failed;
}

Outcome readSales(sqlite3 *handle, Entry &entry, bool again, QString *error)
{
    Facts &facts = entry.facts;
    if (again) {
        for (auto &kept : facts.goods)
            kept.second.soldQuantity = kept.second.soldUnits = 0;
        facts.soldUpTo = 0;
        facts.salesUnusual = false;
        facts.hasSold = false;
    }
    Statement stmt(handle, again ? "SELECT rowid, code, shuliang, jine FROM xiaoshou INDEXED BY xiaoshou_code_totals"
                                 : "SELECT rowid, code, shuliang, jine FROM xiaoshou WHERE rowid > ?");
    if (!stmt.get()) {
        *error = stmt.error();
        return Outcome::Failed;
    }
    if (!again)
        sqlite3_bind_int64(stmt.get(), 1, facts.soldUpTo);
    if (addSales(stmt.get(), facts) != Outcome::Done) {
        *error = stmt.error();
        facts.hasSold = false;
        return Outcome::Failed;
    }
    facts.hasSold = true;
    return Outcome::Done;
}

// The counters of the file's changes; false when the file has none.
bool countersOf(sqlite3 *handle, qint64 *goods, qint64 *sales)
{
    Statement stmt(handle, "SELECT huowu, xiaoshou FROM biandong LIMIT 1");
    if (!stmt.get() || sqlite3_step(stmt.get()) != SQLITE_ROW)
        return false;
    *goods = sqlite3_column_int64(stmt.get(), 0);
    *sales = sqlite3_column_int64(stmt.get(), 1);
    return true;
}

} // namespace

bool add(qint64 &sum, qint64 value)
{
    return !__builtin_add_overflow(sum, value, &sum);
}

bool lineOf(sqlite3_stmt *stmt, Line *line)
{
    if (sqlite3_column_type(stmt, 1) != SQLITE_TEXT)
        return false;
    line->rowid = sqlite3_column_int64(stmt, 0);
    line->code = textOf(stmt, 1);
    switch (sqlite3_column_type(stmt, 2)) {
    case SQLITE_INTEGER:
        line->quantity = sqlite3_column_int64(stmt, 2);
        break;
    case SQLITE_NULL:
        line->quantity = 0; // a sum leaves it out
        break;
    default:
        return false;
    }
    // An amount as the program reads a stored one: integers are ten-thousandths,
    // a REAL or a text the amount it shows, anything else nothing.
    line->counted = true;
    switch (sqlite3_column_type(stmt, 3)) {
    case SQLITE_INTEGER:
        line->amountUnits = sqlite3_column_int64(stmt, 3);
        return true;
    case SQLITE_FLOAT:
    case SQLITE_TEXT: {
        const QVariant money = Schema::fromStorage(Schema::ColumnKind::Money, variantOf(stmt, 3));
        line->counted = money.isValid();
        line->amountUnits = line->counted ? money.value<Money>().units() : 0;
        return true;
    }
    default:
        line->counted = false;
        line->amountUnits = 0;
        return true;
    }
}

Outcome withFacts(const QSqlDatabase &db, bool withSales, const std::function<Outcome(sqlite3 *, const Facts &)> &use,
                  QString *error)
{
    sqlite3 *handle = fileHandleOf(db);
    if (!handle) {
        *error = QStringLiteral("没有打开的数据库连接。");
        return Outcome::Failed;
    }
    // One read of the file: the counters, the facts and the caller's own lines
    // are of the same moment.
    const bool ownRead = sqlite3_get_autocommit(handle) != 0;
    if (ownRead && sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(handle));
        return Outcome::Failed;
    }
    const auto done = qScopeGuard([&] {
        if (ownRead)
            sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
    });

    qint64 goodsCount = 0, salesCount = 0;
    const bool counted = countersOf(handle, &goodsCount, &salesCount);
    const QString key = counted ? fileKey(db) : QString();
    QMutexLocker locked(&cacheLock);
    Entry passing;
    Entry *entry = &passing; // a file that does not count its changes is read afresh
    if (!key.isEmpty()) {
        auto &kept = cache()[key];
        if (!kept)
            kept = std::make_unique<Entry>();
        entry = kept.get();
    }
    if (!entry->goodsRead || entry->goodsCount != goodsCount) {
        entry->goodsRead = false;
        if (readGoods(handle, entry->facts, error) != Outcome::Done)
            return Outcome::Failed;
        entry->goodsRead = true;
        entry->goodsCount = goodsCount;
    }
    if (withSales) {
        const bool again = !entry->facts.hasSold || entry->salesCount != salesCount;
        if (readSales(handle, *entry, again, error) != Outcome::Done)
            return Outcome::Failed;
        entry->salesCount = salesCount;
    }
    const Outcome outcome = use(handle, entry->facts);
    if (outcome == Outcome::Failed && error->isEmpty())
        *error = QString::fromUtf8(sqlite3_errmsg(handle));
    return outcome;
}

} // namespace CodeFacts
