#include "gui/recordsetmodel.h"

#include "shop/recordset.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

RecordSetModel::RecordSetModel(RecordSet *records, QObject *parent) : QAbstractTableModel(parent), m_records(records)
{
    connect(records, &RecordSet::aboutToReset, this, [this] { beginResetModel(); });
    connect(records, &RecordSet::wasReset, this, [this] { endResetModel(); });
    connect(records, &RecordSet::rowInserted, this, [this](int row) {
        // The record set has already appended the row; announce it as one.
        beginInsertRows({}, row, row);
        endInsertRows();
    });
    connect(records, &RecordSet::rowRemoved, this, [this](int row) {
        // The view moves its current row off the removed one by itself; that
        // is no move of the record set, which stays on the removed row.
        const bool wasSyncing = m_syncing;
        m_syncing = true;
        beginRemoveRows({}, row, row);
        endRemoveRows();
        m_syncing = wasSyncing;
        selectCurrent();
    });
    connect(records, &RecordSet::rowChanged, this,
            [this](int row) { Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(records, &RecordSet::currentChanged, this, [this] { selectCurrent(); });
}

void RecordSetModel::setColumnFormat(int column, DisplayFormat format)
{
    m_formats.insert(column, format);
}

void RecordSetModel::setHeader(int column, const QString &caption)
{
    m_headers.insert(column, caption);
}

void RecordSetModel::setEditable(int column, std::function<QString(const QString &)> check)
{
    m_editable.insert(
        column, check ? check : [](const QString &s) { return s; });
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && m_editable.contains(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_editable.contains(index.column()))
        return false;
    const QString text = m_editable.value(index.column())(value.toString());
    const QString column = m_records->columns().at(index.column()).name;
    if (!m_records->moveTo(index.row()) || !m_records->setValue(column, text) || !m_records->write()) {
        const QString error = m_records->lastError();
        m_records->discardChanges();
        m_records->requery(); // show what is really stored
        Q_EMIT writeFailed(error);
        return false;
    }
    return true;
}

void RecordSetModel::bindView(QAbstractItemView *view)
{
    m_view = view;
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (m_syncing || !current.isValid())
            return;
        m_syncing = true;
        m_records->moveTo(current.row());
        m_syncing = false;
    });
    selectCurrent();
}

void RecordSetModel::selectCurrent()
{
    if (!m_view || m_syncing || !m_view->selectionModel())
        return;
    m_syncing = true;
    const int row = m_records->position();
    if (row >= 0 && row < m_records->count() && !m_records->isOnDeletedRow())
        m_view->selectionModel()->setCurrentIndex(index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        m_view->selectionModel()->clear();
    m_syncing = false;
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records->count();
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records->columns().size());
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid())
        return {};
    if (m_cellText && role == Qt::DisplayRole)
        if (auto text = m_cellText(index.row(), index.column()))
            return *text;
    return formatValue(m_records->valueAt(index.row(), index.column()),
                       m_formats.value(index.column(), DisplayFormat::AsIs));
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < m_records->columns().size())
        return m_headers.value(section, m_records->columns().at(section).name);
    return orientation == Qt::Vertical ? QVariant(section + 1) : QVariant();
}
