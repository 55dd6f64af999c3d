#include "shop/purchaselist.h"

#include "shop/codefacts.h"
#include "shop/displayformat.h"
#include "shop/engine.h"
#include "shop/scalelabel.h"
#include "shop/schema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>
#include <limits>

namespace {
const QStringList Captions = {QStringLiteral("货号"),     QStringLiteral("货名"),    QStringLiteral("数量"),
                              QStringLiteral("进价"),     QStringLiteral("售价"),    QStringLiteral("厂家"),
                              QStringLiteral("进货日期"), QStringLiteral("过期日期")};
} // namespace

PurchaseList::PurchaseList(Shop shop, QObject *parent)
    : QAbstractTableModel(parent)
    , m_shop(std::move(shop))
    , m_db(m_shop.connection())
{ }

namespace {
const QString Forward = QStringLiteral("jinhuo.rowid, name.rowid");
const QString Backward = QStringLiteral("jinhuo.rowid DESC, name.rowid DESC");
constexpr int KeptPages = 64; // about 16,000 rows at most in memory
} // namespace

PurchaseList::~PurchaseList()
{
    if (m_pendingCount.valid())
        m_pendingCount.wait();
}

Result<qint64> PurchaseList::countRows(const Shop &shop)
{
    const QSqlDatabase db = shop.connection();
    // The kept facts of the file know the rows of each code, so years of
    // purchases are not counted again while they stay as they are.
    if (!onServer(db)) {
        qint64 rows = -1;
        QString error;
        const CodeFacts::Outcome counted = CodeFacts::withFacts(
            db, false,
            [&rows](sqlite3 *, const CodeFacts::Facts &facts) {
                if (facts.purchasesUnusual)
                    return CodeFacts::Outcome::Unusual;
                rows = facts.joinedPurchaseRows();
                return CodeFacts::Outcome::Done;
            },
            &error);
        if (counted == CodeFacts::Outcome::Done)
            return rows;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM jinhuo, name WHERE jinhuo.code = name.code")) || !q.next())
        return failureOf(q);
    return q.value(0).toLongLong();
}

bool PurchaseList::reload()
{
    if (m_pendingCount.valid())
        m_pendingCount.wait();
    m_pendingCount = {};
    beginResetModel();
    m_pages.clear();
    m_count = 0;
    m_counted = false;
    m_error.clear();
    const bool ok = readPage(0);
    m_count = int(m_pages.value(0).size());
    m_counted = !ok || m_count < PageSize;
    const QString path = m_db.databaseName();
    if (!m_counted && !path.isEmpty() && path != u":memory:" && !path.startsWith(u"file:")) {
        m_pendingCount = std::async(std::launch::async, [path] {
            static std::atomic<int> serial{0};
            const QString name = QStringLiteral("purchase-count-%1").arg(++serial);
            qint64 count = -1;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path);
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
                if (db.open())
                    count = countRows(Shop::of(db)).valueOr(-1);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
            return count; // -1: counted again on the grid's own connection
        });
    }
    endResetModel();
    return ok;
}

bool PurchaseList::query(const QString &where, const QString &order, const QVariantList &values, int limit,
                         qint64 offset, QVector<Row> *rows) const
{
    QSqlQuery q(m_db);
    readOnce(q, m_db);
    q.prepare(QStringLiteral("SELECT jinhuo.rowid, name.rowid, jinhuo.id, jinhuo.code, name.name, jinhuo.shuliang, "
                             "jinhuo.jinjia, jinhuo.shou, jinhuo.changjia, jinhuo.jindt, jinhuo.guoqidt, "
                             "EXISTS (SELECT 1 FROM chengzhong WHERE chengzhong.code = jinhuo.code) "
                             "FROM jinhuo, name WHERE jinhuo.code = name.code %1 ORDER BY %2 LIMIT ? OFFSET ?")
                  .arg(where, order));
    for (const QVariant &v : values)
        q.addBindValue(v);
    q.addBindValue(limit);
    q.addBindValue(offset);
    if (!q.exec()) {
        m_error = problemText(q.lastError());
        return false;
    }
    using K = Schema::ColumnKind;
    while (q.next()) {
        Row r;
        r.rowid = q.value(0).toLongLong();
        r.nameRowid = q.value(1).toLongLong();
        r.id = q.value(2).toLongLong();
        r.code = q.value(3).toString();
        r.shown = {r.code, q.value(4).toString(),
                   // a weighed goods' grams as kg
                   q.value(11).toBool() ? Weighing::kgText(q.value(5).toLongLong()) : q.value(5).toString(),
                   formatValue(Schema::fromStorage(K::Money, q.value(6)), DisplayFormat::Grouped),
                   formatValue(Schema::fromStorage(K::Money, q.value(7)), DisplayFormat::Grouped),
                   q.value(8).toString(), formatValue(Schema::fromStorage(K::Date, q.value(9)), DisplayFormat::Date),
                   formatValue(Schema::fromStorage(K::Date, q.value(10)), DisplayFormat::Date)};
        rows->append(std::move(r));
    }
    q.finish();
    return true;
}

bool PurchaseList::readPage(int page) const
{
    const qint64 first = qint64(page) * PageSize;
    const int size = m_counted ? int(std::min<qint64>(PageSize, m_count - first)) : PageSize;
    if (page < 0 || size <= 0)
        return false;
    // A page next to one already read continues from its edge (a catalogue
    // code listed twice gives its purchase twice, so the edge is the pair of
    // rowids); any other page is counted from the nearer end of the list.
    QVector<Row> rows;
    bool ok = false, reversed = false;
    const QString after = QStringLiteral("AND jinhuo.rowid >= ? AND (jinhuo.rowid > ? OR name.rowid > ?)");
    const QString before = QStringLiteral("AND jinhuo.rowid <= ? AND (jinhuo.rowid < ? OR name.rowid < ?)");
    const auto previous = m_pages.constFind(page - 1);
    const auto next = m_pages.constFind(page + 1);
    if (page > 0 && previous != m_pages.cend() && !previous->isEmpty()) {
        const Row &edge = previous->constLast();
        ok = query(after, Forward, {edge.rowid, edge.rowid, edge.nameRowid}, size, 0, &rows);
    } else if (next != m_pages.cend() && !next->isEmpty()) {
        const Row &edge = next->constFirst();
        ok = query(before, Backward, {edge.rowid, edge.rowid, edge.nameRowid}, size, 0, &rows);
        reversed = true;
    } else if (!m_counted || first < m_count / 2) {
        ok = query(QString(), Forward, {}, size, first, &rows);
    } else {
        ok = query(QString(), Backward, {}, size, m_count - first - size, &rows);
        reversed = true;
    }
    if (!ok)
        return false;
    if (reversed)
        std::reverse(rows.begin(), rows.end());
    if (m_pages.size() >= KeptPages) {
        // Only the neighbours of the page now read stay.
        QHash<int, QVector<Row>> kept;
        for (int p : {page - 1, page + 1})
            if (m_pages.contains(p))
                kept.insert(p, m_pages.value(p));
        m_pages.swap(kept);
    }
    m_pages.insert(page, std::move(rows));
    return true;
}

const PurchaseList::Row *PurchaseList::cachedRow(int row) const
{
    if (row < 0 || row >= m_count)
        return nullptr;
    const int page = row / PageSize;
    if (!m_pages.contains(page) && !readPage(page))
        return nullptr;
    const QVector<Row> &rows = m_pages[page];
    const int at = row % PageSize;
    return at < rows.size() ? &rows.at(at) : nullptr;
}

std::optional<PurchaseList::Row> PurchaseList::rowAt(int row) const
{
    const Row *r = cachedRow(row);
    return r ? std::optional<Row>(*r) : std::nullopt;
}

int PurchaseList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int PurchaseList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Captions.size());
}

QVariant PurchaseList::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const Row *row = cachedRow(index.row());
    return row ? row->shown.value(index.column()) : QVariant();
}

QVariant PurchaseList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return Captions.value(section);
    return section + 1;
}

bool PurchaseList::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_counted;
}

void PurchaseList::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_counted)
        return;
    // The grid has reached the end of the first page: with the count of all
    // rows, every row is there to scroll to.
    qint64 count = m_pendingCount.valid() ? m_pendingCount.get() : -1;
    if (count < 0) {
        const auto counted = countRows(m_shop);
        m_error = counted.errorText();
        count = counted.valueOr(-1);
    }
    if (count < 0) {
        m_counted = true;
        return;
    }
    m_counted = true;
    if (count <= m_count)
        return;
    beginInsertRows({}, m_count, int(std::min<qint64>(count, std::numeric_limits<int>::max()) - 1));
    m_count = int(std::min<qint64>(count, std::numeric_limits<int>::max()));
    endInsertRows();
}
