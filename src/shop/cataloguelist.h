#pragma once

#include "shop/shop.h"
#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <optional>

// The goods catalogue (table name) for the catalogue grid, in stored order.
// Opening reads the first page and counts the goods; further pages are read
// as the grid scrolls to them, so twenty thousand goods cost what the rows
// on screen cost. Writes go to the file at once, by the row's place in it
// (rowid), and the list follows them.
class CatalogueList : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Row
    {
        qint64 rowid = 0;
        QString code;
        QString name;
    };

    explicit CatalogueList(Shop shop, QObject *parent = nullptr);

    // Starts again from the first row: the list shows the table as it now stands.
    bool reload();
    QString lastError() const { return m_error; }

    std::optional<Row> rowAt(int row) const;
    // Where the goods stored at `rowid` stand in the list, reading pages up to
    // them; -1 when they are not in the file.
    int indexOf(qint64 rowid);

    // Each returns false and sets lastError when the file refused.
    // The new goods go at the end; the list then has every row.
    bool add(const QString &code, const QString &name);
    bool rename(int row, const QString &name);
    bool remove(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int PageSize = 256;

private:
    bool reloadOnce();
    bool readPage(qint64 afterRowid, QVector<Row> *page);
    bool fail(const QString &error);

    Shop m_shop;
    QSqlDatabase m_db;
    QVector<Row> m_rows; // the rows read so far, from the first
    int m_total = 0;
    QString m_error;
};
