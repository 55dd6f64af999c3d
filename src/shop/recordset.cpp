#include "shop/recordset.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/recordsetread.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

struct SourcePlan
{
    QString sql;
    QString baseTable; // empty: read-only
};

// A table name reads the whole table in stored order; a query over one table
// is writable back into it (its rows carry their rowid); anything else, a
// join for instance, is read-only.
// The server's tables hold their rowid as a column of their own: "*" there
// means the table's own columns, as it does on the file.
QString starColumns(const QString &table, const QString &selected, bool server)
{
    if (!server || selected.trimmed() != u"*")
        return selected;
    for (const Schema::Table &t : Schema::tables())
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.columns.join(QStringLiteral(", "));
    return selected;
}

SourcePlan planSource(const QString &source, bool server)
{
    static const QRegularExpression bareTable(QStringLiteral(R"(^\s*(\w+)\s*$)"));
    static const QRegularExpression singleTable(
        QStringLiteral(R"(^\s*SELECT\s+(.+?)\s+FROM\s+(\w+)((?:\s+(?:WHERE|ORDER|LIMIT)\b.*)?)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (const auto m = bareTable.match(source); m.hasMatch())
        return {QStringLiteral("SELECT rowid AS %1, %3 FROM \"%2\" ORDER BY rowid")
                    .arg(RowidAlias, m.captured(1), starColumns(m.captured(1), QStringLiteral("*"), server)),
                m.captured(1)};
    if (const auto m = singleTable.match(source); m.hasMatch() && !m.captured(1).contains(u'(')) {
        return {QStringLiteral("SELECT %1.rowid AS %2, %3 FROM %1%4")
                    .arg(m.captured(2), RowidAlias, starColumns(m.captured(2), m.captured(1), server), m.captured(3)),
                m.captured(2)};
    }
    return {source, QString()};
}

QVariant normalised(Schema::ColumnKind kind, const QVariant &v)
{
    return Schema::fromStorage(kind, Schema::toStorage(kind, v));
}

} // namespace

RecordSet::RecordSet(QObject *parent) : QObject(parent) { }

RecordSet::RecordSet(Shop shop, const QString &source, const QVariantList &bindings, QObject *parent)
    : QObject(parent)
    , m_shop(std::move(shop))
    , m_db(m_shop.connection())
    , m_inMemory(false)
    , m_source(source)
    , m_bindings(bindings)
{ }

RecordSet::~RecordSet()
{
    // A begun row is stored even when its screen goes away without a move.
    flush();
}

void RecordSet::appendColumn(const QString &name, Schema::ColumnKind kind)
{
    m_columns.append({name, kind});
}

bool RecordSet::open()
{
    if (m_inMemory) {
        Q_EMIT aboutToReset();
        m_rows.clear();
        m_pos = -1;
        m_open = true;
        Q_EMIT wasReset();
        return true;
    }
    return load();
}

void RecordSet::setSource(const QString &source, const QVariantList &bindings)
{
    m_source = source;
    m_bindings = bindings;
}

bool RecordSet::refresh()
{
    if (!flush())
        return false;
    return m_inMemory ? true : load();
}

bool RecordSet::requery()
{
    return refresh();
}

bool RecordSet::load()
{
    const bool server = m_shop.onServer();
    const SourcePlan plan = planSource(m_source, server);
    Read read;
    QString error;
    m_shop.again(
        [&] {
            read = Read();
            error = server ? readThroughDriver(m_db, plan.sql, m_bindings, read)
                           : readThroughSqlite(m_db, plan.sql, m_bindings, read);
            return error.isEmpty();
        },
        &error);
    if (!error.isEmpty())
        return fail(error); // the rows shown stay as they were
    const int rowidField = read.rowidField;
    QVector<Column> columns = std::move(read.columns);
    QVector<Row> rows = std::move(read.rows);

    Q_EMIT aboutToReset();
    m_baseTable = rowidField < 0 ? QString() : plan.baseTable;
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_pos = m_rows.isEmpty() ? -1 : 0;
    m_onDeleted = m_pendingNew = m_dirty = false;
    m_open = true;
    m_error.clear();
    Q_EMIT wasReset();
    Q_EMIT currentChanged(m_pos);
    return true;
}

bool RecordSet::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool RecordSet::onRow() const
{
    return !m_onDeleted && m_pos >= 0 && m_pos < m_rows.size();
}

bool RecordSet::isBof() const
{
    return m_rows.isEmpty() || (m_pos < 0 && !m_onDeleted);
}

bool RecordSet::isEof() const
{
    return m_rows.isEmpty() || (m_pos >= m_rows.size() && !m_onDeleted);
}

void RecordSet::setPosition(int pos)
{
    m_onDeleted = false;
    m_pos = std::clamp(pos, -1, int(m_rows.size()));
    Q_EMIT currentChanged(m_pos);
}

bool RecordSet::moveFirst()
{
    if (!flush())
        return false;
    setPosition(m_rows.isEmpty() ? -1 : 0);
    return true;
}

bool RecordSet::moveLast()
{
    if (!flush())
        return false;
    setPosition(int(m_rows.size()) - 1);
    return true;
}

bool RecordSet::moveNext()
{
    if (!flush())
        return false;
    // After a delete the position is on the removed row; the next row has
    // already taken its index.
    setPosition(m_onDeleted ? m_pos : m_pos + 1);
    return true;
}

bool RecordSet::movePrevious()
{
    if (!flush())
        return false;
    setPosition(m_pos - 1);
    return true;
}

bool RecordSet::moveTo(int row)
{
    if (row == m_pos && onRow())
        return true;
    if (!flush())
        return false;
    setPosition(row);
    return true;
}

bool RecordSet::find(const QString &criterion)
{
    // column='value': the value runs to the last quote, so it may hold apostrophes.
    static const QRegularExpression form(QStringLiteral(R"(^\s*([\w.]+)\s*=\s*'(.*)'\s*$)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const auto m = form.match(criterion);
    if (!m.hasMatch())
        return fail(QStringLiteral("bad criterion: ") + criterion);
    return find(m.captured(1), m.captured(2));
}

bool RecordSet::find(const QString &column, const QVariant &value)
{
    const int c = columnIndex(column);
    if (c < 0)
        return fail(QStringLiteral("no column ") + column);
    if (!flush())
        return false;
    const QVariant wanted = normalised(m_columns.at(c).kind, value);
    int start = m_onDeleted ? m_pos : std::max(m_pos, 0);
    for (int r = start; r < m_rows.size(); ++r) {
        if (m_rows.at(r).values.at(c) == wanted) {
            setPosition(r);
            return true;
        }
    }
    setPosition(int(m_rows.size()));
    return false;
}

bool RecordSet::setRows(const QVector<QVariantList> &rows)
{
    if (!m_inMemory)
        return fail(QStringLiteral("setRows is for working tables"));
    Q_EMIT aboutToReset();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (const QVariantList &values : rows) {
        Row row;
        row.values.resize(m_columns.size());
        for (int c = 0; c < m_columns.size() && c < values.size(); ++c)
            row.values[c] = normalised(m_columns.at(c).kind, values.at(c));
        m_rows.append(std::move(row));
    }
    m_pos = m_rows.isEmpty() ? -1 : 0;
    m_onDeleted = m_pendingNew = m_dirty = false;
    m_open = true;
    Q_EMIT wasReset();
    Q_EMIT currentChanged(m_pos);
    return true;
}

bool RecordSet::addNew()
{
    if (!flush())
        return false;
    if (!m_inMemory && m_baseTable.isEmpty())
        return fail(QStringLiteral("记录集只读（%1），不能增加行。").arg(m_source));
    Row row;
    row.values.resize(m_columns.size());
    m_rows.append(row);
    m_pendingNew = true;
    Q_EMIT rowInserted(int(m_rows.size()) - 1);
    setPosition(int(m_rows.size()) - 1);
    return true;
}

bool RecordSet::write()
{
    return flush();
}

bool RecordSet::flush()
{
    if (!m_pendingNew && !m_dirty)
        return true;
    if (m_inMemory || !onRow()) {
        m_pendingNew = m_dirty = false;
        return true;
    }
    if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
        return fail(problem);
    Row &row = m_rows[m_pos];
    QSqlQuery q(m_db);
    // The server tells the new row's rowid itself; SQLite's driver knows it.
    const bool server = m_shop.onServer();
    QStringList names;
    for (const Column &col : std::as_const(m_columns))
        names.append(QStringLiteral("\"%1\"").arg(col.name));
    if (m_pendingNew) {
        q.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)%4")
                      .arg(m_baseTable, names.join(u','), QStringList(names.size(), QStringLiteral("?")).join(u','),
                           server ? QStringLiteral(" RETURNING rowid") : QString()));
    } else {
        for (QString &n : names)
            n += QStringLiteral("=?");
        q.prepare(QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid=?").arg(m_baseTable, names.join(u',')));
    }
    for (int c = 0; c < m_columns.size(); ++c)
        q.addBindValue(Schema::toStorage(m_columns.at(c).kind, row.values.at(c)));
    if (!m_pendingNew)
        q.addBindValue(row.rowid);
    if (!q.exec())
        return fail(problemText(q.lastError()));
    if (m_pendingNew)
        row.rowid = server ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
    m_pendingNew = m_dirty = false;
    return true;
}

bool RecordSet::deleteCurrent()
{
    if (!onRow())
        return fail(QStringLiteral("no current row"));
    const Row &row = m_rows.at(m_pos);
    const bool stored = !m_inMemory && !(m_pendingNew && m_pos == m_rows.size() - 1);
    if (stored) {
        if (m_baseTable.isEmpty())
            return fail(QStringLiteral("记录集只读（%1），不能删除行。").arg(m_source));
        if (const QString problem = m_shop.fileProblem(); !problem.isEmpty())
            return fail(problem);
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(m_baseTable));
        q.addBindValue(row.rowid);
        if (!q.exec())
            return fail(problemText(q.lastError()));
    }
    m_pendingNew = m_dirty = false;
    const int removed = m_pos;
    m_rows.removeAt(removed);
    // The position stays on the removed row until the next move. It is marked
    // before the removal is announced, so whoever listens (a grid) sees the set
    // on no row, never on the neighbour that took the removed row's place.
    m_onDeleted = !m_rows.isEmpty();
    if (m_rows.isEmpty())
        m_pos = -1;
    Q_EMIT rowRemoved(removed);
    Q_EMIT currentChanged(m_pos);
    return true;
}

void RecordSet::discardChanges()
{
    if (m_pendingNew && !m_rows.isEmpty()) {
        const int removed = int(m_rows.size()) - 1;
        m_rows.removeLast();
        Q_EMIT rowRemoved(removed);
        m_pos = std::min(m_pos, int(m_rows.size()));
    }
    m_pendingNew = m_dirty = false;
}

int RecordSet::columnIndex(const QString &name) const
{
    const QString wanted = name.section(u'.', -1);
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RecordSet::value(const QString &column) const
{
    return value(columnIndex(column));
}

QVariant RecordSet::value(int column) const
{
    if (!onRow() || column < 0 || column >= m_columns.size())
        return QVariant();
    return m_rows.at(m_pos).values.at(column);
}

QVariant RecordSet::valueAt(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return QVariant();
    return m_rows.at(row).values.at(column);
}

bool RecordSet::setValue(const QString &column, const QVariant &value)
{
    const int c = columnIndex(column);
    if (c < 0)
        return fail(QStringLiteral("no column ") + column);
    if (!onRow())
        return fail(QStringLiteral("no current row"));
    // A join cannot be written back: the change is refused now, not at the next move.
    if (!m_inMemory && m_baseTable.isEmpty())
        return fail(QStringLiteral("记录集只读（%1），不能修改。").arg(m_source));
    m_rows[m_pos].values[c] = normalised(m_columns.at(c).kind, value);
    if (!m_pendingNew)
        m_dirty = true;
    Q_EMIT rowChanged(m_pos);
    return true;
}
