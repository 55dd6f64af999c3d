#pragma once

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QVector>

#include <optional>

// The purchases joined with the goods names (only purchases whose code is in
// the catalogue), for the purchase grid. Rows are fetched a page at a time as
// the grid scrolls, and every page query is finished at once, so no read stays
// open on the file while the screen waits.
class PurchaseList : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Row
    {
        qint64 rowid = 0;
        qint64 id = 0;
        QVariantList shown; // the grid's eight fields, already formatted
        QString code;
    };

    explicit PurchaseList(QSqlDatabase db, QObject *parent = nullptr);

    // Starts again from the first row (the grid shows the table as it now stands).
    bool reload();
    QString lastError() const { return m_error; }

    const Row *rowAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int PageSize = 256;

private:
    bool fetchPage();

    QSqlDatabase m_db;
    QVector<Row> m_rows;
    bool m_atEnd = false;
    QString m_error;
};
