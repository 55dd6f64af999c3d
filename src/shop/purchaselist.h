#pragma once

#include "shop/shop.h"
#include <QAbstractTableModel>
#include <QHash>
#include <QSqlDatabase>
#include <QVector>

#include <future>
#include <optional>

// The purchases joined with the goods names (only purchases whose code is in
// the catalogue), for the purchase grid, in stored order. Opening reads one
// page, and counts the rows on a second connection meanwhile; the first
// time the grid wants more, it takes that count, and from then on any page is read when it is shown: going to the end
// of years of purchases reads the last page, not all of them. Every query is finished at once, so no read stays open on
// the file while the screen waits.
class PurchaseList : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Row
    {
        qint64 rowid = 0;     // of the purchase
        qint64 nameRowid = 0; // of the catalogue row it is joined with
        qint64 id = 0;
        QVariantList shown; // the grid's eight fields, already formatted
        QString code;
    };

    explicit PurchaseList(Shop shop, QObject *parent = nullptr);
    ~PurchaseList() override;

    // Starts again from the first row (the grid shows the table as it now stands).
    bool reload();
    QString lastError() const { return m_error; }

    std::optional<Row> rowAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int PageSize = 256;

private:
    const Row *cachedRow(int row) const;
    bool readPage(int page) const;
    static Result<qint64> countRows(const Shop &shop);
    bool query(const QString &where, const QString &order, const QVariantList &values, int limit, qint64 offset,
               QVector<Row> *rows) const;

    Shop m_shop;
    QSqlDatabase m_db;
    int m_count = 0;        // rows the grid has
    bool m_counted = false; // m_count is all rows of the join
    mutable QHash<int, QVector<Row>> m_pages;
    // The count of a long list, started at reload on a connection of its own,
    // so that it is mostly done before the user first scrolls.
    std::future<qint64> m_pendingCount;
    mutable QString m_error;
};
