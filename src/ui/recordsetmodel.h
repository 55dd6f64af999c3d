#pragma once

#include "displayformat.h"

#include <QAbstractTableModel>
#include <QPointer>

class QAbstractItemView;
class RecordSet;

// A grid over a record set: one column per record-set column, headed by its
// name, in record-set order. The grid's selected row is the record set's
// current row, both ways (bindView).
class RecordSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit RecordSetModel(RecordSet *records, QObject *parent = nullptr);

    void setColumnFormat(int column, DisplayFormat format);
    void bindView(QAbstractItemView *view);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void selectCurrent();

    RecordSet *m_records;
    QHash<int, DisplayFormat> m_formats;
    QPointer<QAbstractItemView> m_view;
    bool m_syncing = false;
};
