#include "gui/figuresmodel.h"

#include <QColor>

#include <QAbstractItemView>

#include <algorithm>

FiguresModel::FiguresModel(QStringList captions, QObject *parent)
    : QAbstractTableModel(parent)
    , m_captions(std::move(captions))
{ }

void FiguresModel::reset(int rows, CellText text)
{
    beginResetModel();
    m_rows = rows;
    m_shown = std::min(rows, Batch);
    m_text = std::move(text);
    endResetModel();
}

void FiguresModel::reset(QStringList captions, int rows, CellText text)
{
    beginResetModel();
    m_captions = std::move(captions);
    m_rows = rows;
    m_shown = std::min(rows, Batch);
    m_text = std::move(text);
    endResetModel();
}

void FiguresModel::bindView(QAbstractItemView *view)
{
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
}

void FiguresModel::removeRow(int row)
{
    if (row < 0 || row >= m_shown)
        return;
    beginRemoveRows({}, row, row);
    --m_rows;
    --m_shown;
    endRemoveRows();
}

int FiguresModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int FiguresModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant FiguresModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown || !m_text)
        return {};
    if (role == Qt::ForegroundRole)
        return m_marked && m_marked(index.row()) ? QVariant(QColor(Qt::red)) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return m_text(index.row(), index.column());
}

QVariant FiguresModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_captions.size() ? QVariant(m_captions.at(section)) : QVariant();
    return section + 1;
}

bool FiguresModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_shown < m_rows;
}

void FiguresModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const int more = std::min(Batch, m_rows - m_shown);
    beginInsertRows({}, m_shown, m_shown + more - 1);
    m_shown += more;
    endInsertRows();
}
