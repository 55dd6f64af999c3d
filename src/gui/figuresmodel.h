#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>

class QAbstractItemView;

// A grid over figures that live elsewhere (an analysis's rows): it holds no
// copy of them, formats a cell only when it is shown, and hands the view its
// rows a batch at a time as it scrolls, so a grid of twenty thousand goods
// costs what its visible rows cost.
class FiguresModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The text of a cell; row and column count from 0.
    using CellText = std::function<QString(int row, int column)>;

    explicit FiguresModel(QStringList captions, QObject *parent = nullptr);

    // New figures: `rows` rows whose cells `text` gives. The view starts at the top.
    void reset(int rows, CellText text);
    // The same with other columns (a column the figures have only at times).
    void reset(QStringList captions, int rows, CellText text);
    void bindView(QAbstractItemView *view);
    // Rows for which `marked` is true are shown in red (a row with a problem).
    void setMarked(std::function<bool(int row)> marked) { m_marked = std::move(marked); }
    // The figures lost the row `row` (they are shorter by one now).
    void removeRow(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int Batch = 256;

private:
    QStringList m_captions;
    CellText m_text;
    std::function<bool(int row)> m_marked;
    int m_rows = 0;  // all the figures' rows
    int m_shown = 0; // those the view has been given
};
