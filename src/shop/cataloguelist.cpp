#include "shop/cataloguelist.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

#include <limits>

CatalogueList::CatalogueList(Shop shop, QObject *parent)
    : QAbstractTableModel(parent)
    , m_shop(std::move(shop))
    , m_db(m_shop.connection())
{ }

bool CatalogueList::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool CatalogueList::reload()
{
    return m_shop.again([this] { return reloadOnce(); }, &m_error);
}

bool CatalogueList::reloadOnce()
{
    QSqlQuery count(m_db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM name")) || !count.next())
        return fail(problemText(count.lastError()));
    QVector<Row> first;
    if (!readPage(std::numeric_limits<qint64>::min(), &first))
        return false;
    beginResetModel();
    m_total = std::max(count.value(0).toInt(), int(first.size()));
    m_rows = std::move(first);
    if (m_rows.size() < PageSize)
        m_total = int(m_rows.size());
    endResetModel();
    return true;
}

bool CatalogueList::readPage(qint64 afterRowid, QVector<Row> *page)
{
    // The next page after a row, by the place in the file.
    QSqlQuery q(m_db);
    readOnce(q, m_db);
    q.prepare(QStringLiteral("SELECT rowid, code, name FROM name WHERE rowid > ? ORDER BY rowid LIMIT ?"));
    q.addBindValue(afterRowid);
    q.addBindValue(PageSize);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    while (q.next())
        page->append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    if (q.lastError().isValid())
        return fail(problemText(q.lastError()));
    return true;
}

std::optional<CatalogueList::Row> CatalogueList::rowAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return std::nullopt;
    return m_rows.at(row);
}

int CatalogueList::indexOf(qint64 rowid)
{
    for (;;) {
        for (int i = 0; i < m_rows.size(); ++i)
            if (m_rows.at(i).rowid == rowid)
                return i;
        if (!canFetchMore({}))
            return -1;
        fetchMore({});
    }
}

bool CatalogueList::add(const QString &code, const QString &name)
{
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return fail(problem);
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    q.addBindValue(code);
    q.addBindValue(name);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    const qint64 rowid = q.lastInsertId().toLongLong();
    // The list reaches the end before the new goods join it there.
    while (canFetchMore({}))
        fetchMore({});
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
    m_rows.append({rowid, code, name});
    m_total = int(m_rows.size());
    endInsertRows();
    return true;
}

bool CatalogueList::rename(int row, const QString &name)
{
    if (row < 0 || row >= m_rows.size())
        return fail(QStringLiteral("no goods selected"));
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return fail(problem);
    Transaction tx(m_shop);
    if (!tx.isActive())
        return fail(tx.lastError());
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE name SET name = ? WHERE rowid = ?"));
    q.addBindValue(name);
    q.addBindValue(m_rows.at(row).rowid);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    const Row &was = m_rows.at(row);
    if (const Done recorded = Trail::append(m_shop, QStringLiteral("货名改名"),
                                            QStringLiteral("货号 %1：%2 → %3").arg(was.code, was.name, name));
        !recorded)
        return fail(recorded.errorText());
    if (!tx.commit())
        return fail(tx.lastError());
    m_rows[row].name = name;
    Q_EMIT dataChanged(index(row, 1), index(row, 1));
    return true;
}

bool CatalogueList::remove(int row)
{
    if (row < 0 || row >= m_rows.size())
        return fail(QStringLiteral("no goods selected"));
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return fail(problem);
    // The goods and, once no row of its code is left, its minimum stock.
    Transaction tx(m_shop);
    if (!tx.isActive())
        return fail(tx.lastError());
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM name WHERE rowid = ?"));
    q.addBindValue(m_rows.at(row).rowid);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    q.prepare(QStringLiteral("DELETE FROM zuidi WHERE code = ? AND NOT EXISTS (SELECT 1 FROM name WHERE code = ?)"));
    q.addBindValue(m_rows.at(row).code);
    q.addBindValue(m_rows.at(row).code);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    if (const Done recorded =
            Trail::append(m_shop, QStringLiteral("删除货名"),
                          QStringLiteral("货号 %1，货名 %2").arg(m_rows.at(row).code, m_rows.at(row).name));
        !recorded)
        return fail(recorded.errorText());
    if (!tx.commit())
        return fail(tx.lastError());
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    m_total = std::max(0, m_total - 1);
    endRemoveRows();
    return true;
}

int CatalogueList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CatalogueList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CatalogueList::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &r = m_rows.at(index.row());
    return index.column() == 0 ? r.code : r.name;
}

QVariant CatalogueList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    // Both captions begin with three blanks, as the shop has always seen them.
    switch (section) {
    case 0:
        return QStringLiteral("   货号");
    case 1:
        return QStringLiteral("   货名");
    default:
        return {};
    }
}

bool CatalogueList::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_rows.size() < m_total;
}

void CatalogueList::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    QVector<Row> page;
    if (!readPage(m_rows.constLast().rowid, &page) || page.isEmpty()) {
        // Nothing more to be had (another program deleted goods): the list ends here.
        m_total = int(m_rows.size());
        return;
    }
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size()) - 1);
    m_rows.append(page);
    endInsertRows();
    // A short page is the end of the table; another program may also have added goods.
    if (page.size() < PageSize || m_rows.size() > m_total)
        m_total = int(m_rows.size()) + (page.size() < PageSize ? 0 : 1);
}
