#include "recordsetmodel.h"

#include "recordset.h"

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
        beginRemoveRows({}, row, row);
        endRemoveRows();
    });
    connect(records, &RecordSet::rowChanged, this,
            [this](int row) { Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(records, &RecordSet::currentChanged, this, [this] { selectCurrent(); });
}

void RecordSetModel::setColumnFormat(int column, DisplayFormat format)
{
    m_formats.insert(column, format);
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
    if (row >= 0 && row < m_records->count())
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
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return formatValue(m_records->valueAt(index.row(), index.column()),
                       m_formats.value(index.column(), DisplayFormat::AsIs));
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < m_records->columns().size())
        return m_records->columns().at(section).name;
    return orientation == Qt::Vertical ? QVariant(section + 1) : QVariant();
}
