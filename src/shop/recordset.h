#pragma once

#include "shop/schema.h"
#include "shop/shop.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

// An ordered, scrollable set of rows with a current row: either a record set
// on the database (a whole table or a query) or a working table in memory.
//
// The set holds the rows as they stood when it was opened, refreshed or
// re-queried, plus the rows written through it. A new row that was begun and
// filled is written by write(), by the next move, new row, find, refresh or
// requery, and at the latest when the record set itself goes away: a pending
// row is never lost.
class RecordSet : public QObject
{
    Q_OBJECT

public:
    struct Column
    {
        QString name;
        Schema::ColumnKind kind = Schema::ColumnKind::Text;
    };

    // A working table: give it columns, then open().
    explicit RecordSet(QObject *parent = nullptr);
    // A record set on the database. `source` is a table name or a SELECT; values
    // are bound to its `?` placeholders, never pasted into it. Call open().
    RecordSet(Shop shop, const QString &source, const QVariantList &bindings = {}, QObject *parent = nullptr);
    ~RecordSet() override;

    void appendColumn(const QString &name, Schema::ColumnKind kind);
    bool open();
    bool isOpen() const { return m_open; }

    // Replace the record source (then call refresh()).
    void setSource(const QString &source, const QVariantList &bindings = {});
    QString source() const { return m_source; }
    bool refresh();
    bool requery();

    int count() const { return int(m_rows.size()); }
    bool isBof() const;
    bool isEof() const;
    // Index of the current row, -1 before the first, count() after the last.
    int position() const { return m_pos; }
    // After a delete, until the next move: the set stands on the removed row.
    bool isOnDeletedRow() const { return m_onDeleted; }

    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool moveTo(int row);

    // From the current row forward, stop on the first row whose column equals
    // the value of `column='value'`. The value is everything between the first
    // "='" and the closing quote and is matched exactly, apostrophes included.
    // No match leaves the set at EOF. Returns whether a row was found.
    bool find(const QString &criterion);
    bool find(const QString &column, const QVariant &value);

    // A working table's rows replaced at once (one reset for a grid), the
    // first row current. Values are given in column order.
    bool setRows(const QVector<QVariantList> &rows);

    bool addNew();
    bool write();
    bool deleteCurrent();
    // Forgets a begun row and unsaved assignments (after a failed write).
    void discardChanges();
    bool hasPendingChanges() const { return m_pendingNew || m_dirty; }

    QVariant value(const QString &column) const;
    QVariant value(int column) const;
    bool setValue(const QString &column, const QVariant &value);
    QVariant valueAt(int row, int column) const;

    const QVector<Column> &columns() const { return m_columns; }
    int columnIndex(const QString &name) const;
    QString lastError() const { return m_error; }

Q_SIGNALS:
    void aboutToReset();
    void wasReset();
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void currentChanged(int row);

private:
    struct Row
    {
        qint64 rowid = -1; // -1 for working tables and rows not yet stored
        QVector<QVariant> values;
    };

public:
    // What a read of the source gives, field by field, on either engine.
    struct Read
    {
        QVector<Column> columns;
        QVector<Row> rows;
        int fields = 0;
        int rowidField = -1;
        void addField(const QString &name);
        void beginRow();
        void addValue(int field, const QVariant &stored);
    };

private:
    bool load();
    bool flush();
    bool onRow() const;
    void setPosition(int pos);
    bool fail(const QString &error);

    Shop m_shop;
    QSqlDatabase m_db;
    bool m_inMemory = true;
    QString m_source;
    QVariantList m_bindings;
    QString m_baseTable; // the table that writes go to; empty when read-only
    QVector<Column> m_columns;
    QVector<Row> m_rows;
    int m_pos = -1;
    bool m_open = false;
    bool m_onDeleted = false;
    bool m_pendingNew = false;
    bool m_dirty = false;
    QString m_error;
};
