#pragma once

#include "shop/displayformat.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>
#include <optional>

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
    // A caption other than the column's name.
    void setHeader(int column, const QString &caption);
    // Cells of this column can be edited in the grid; an edit is written to
    // the row at once. `check` may change the text first (e.g. cut it).
    void setEditable(int column, std::function<QString(const QString &)> check = {});
    void bindView(QAbstractItemView *view);
    // A cell's text other than its value's format (a weighed line's kg);
    // nothing keeps the format.
    using CellText = std::function<std::optional<QString>(int row, int column)>;
    void setCellText(CellText text) { m_cellText = std::move(text); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // An edit could not be written; the record set's error says why.
    void writeFailed(const QString &error);

private:
    void selectCurrent();

    RecordSet *m_records;
    QHash<int, DisplayFormat> m_formats;
    QHash<int, QString> m_headers;
    QHash<int, std::function<QString(const QString &)>> m_editable;
    CellText m_cellText;
    QPointer<QAbstractItemView> m_view;
    bool m_syncing = false;
};
