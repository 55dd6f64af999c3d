#include "purchaselist.h"

#include "displayformat.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
const QStringList Captions = {QStringLiteral("货号"),     QStringLiteral("货名"),    QStringLiteral("数量"),
                              QStringLiteral("进价"),     QStringLiteral("售价"),    QStringLiteral("厂家"),
                              QStringLiteral("进货日期"), QStringLiteral("过期日期")};
} // namespace

PurchaseList::PurchaseList(QSqlDatabase db, QObject *parent) : QAbstractTableModel(parent), m_db(std::move(db)) { }

bool PurchaseList::reload()
{
    beginResetModel();
    m_rows.clear();
    m_atEnd = false;
    const bool ok = fetchPage();
    endResetModel();
    return ok;
}

bool PurchaseList::fetchPage()
{
    // Keyset paging in stored order: each page starts after the last rowid shown.
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT jinhuo.rowid, jinhuo.id, jinhuo.code, name.name, jinhuo.shuliang, jinhuo.jinjia, "
                             "jinhuo.shou, jinhuo.changjia, jinhuo.jindt, jinhuo.guoqidt "
                             "FROM jinhuo, name WHERE jinhuo.code = name.code AND jinhuo.rowid > ? "
                             "ORDER BY jinhuo.rowid, name.rowid LIMIT ?"));
    // Where the catalogue has a code twice the join gives its purchase twice,
    // so a page may end inside one purchase: start at the last purchase again
    // and skip the pairs already shown.
    const qint64 after = m_rows.isEmpty() ? -1 : m_rows.last().rowid;
    int alreadyShown = 0;
    for (auto it = m_rows.crbegin(); it != m_rows.crend() && it->rowid == after; ++it)
        ++alreadyShown;
    q.addBindValue(alreadyShown > 0 ? after - 1 : after);
    q.addBindValue(PageSize + alreadyShown);
    if (!q.exec()) {
        m_error = q.lastError().text();
        m_atEnd = true;
        return false;
    }
    using K = Schema::ColumnKind;
    QVector<Row> page;
    int fetched = 0;
    while (q.next()) {
        ++fetched;
        if (alreadyShown > 0 && q.value(0).toLongLong() == after) {
            --alreadyShown;
            continue;
        }
        Row r;
        r.rowid = q.value(0).toLongLong();
        r.id = q.value(1).toLongLong();
        r.code = q.value(2).toString();
        r.shown = {r.code,
                   q.value(3).toString(),
                   q.value(4).toString(),
                   formatValue(Schema::fromStorage(K::Money, q.value(5)), DisplayFormat::Grouped),
                   formatValue(Schema::fromStorage(K::Money, q.value(6)), DisplayFormat::Grouped),
                   q.value(7).toString(),
                   formatValue(Schema::fromStorage(K::Date, q.value(8)), DisplayFormat::Date),
                   formatValue(Schema::fromStorage(K::Date, q.value(9)), DisplayFormat::Date)};
        page.append(std::move(r));
    }
    q.finish();
    m_atEnd = fetched < PageSize;
    if (!page.isEmpty()) {
        const bool announce = !m_rows.isEmpty();
        if (announce)
            beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
        m_rows += page;
        if (announce)
            endInsertRows();
    }
    return true;
}

const PurchaseList::Row *PurchaseList::rowAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

int PurchaseList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PurchaseList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Captions.size());
}

QVariant PurchaseList::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    return m_rows.at(index.row()).shown.value(index.column());
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
    return !parent.isValid() && !m_atEnd;
}

void PurchaseList::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid() && !m_atEnd)
        fetchPage();
}
