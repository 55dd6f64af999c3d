#include "shop/recordsetread.h"

#include "shop/database.h"
#include "shop/engine.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace {

void bind(sqlite3_stmt *stmt, int at, const QVariant &v)
{
    switch (v.isNull() ? QMetaType::UnknownType : v.metaType().id()) {
    case QMetaType::UnknownType:
        sqlite3_bind_null(stmt, at);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(stmt, at, v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, at, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(stmt, at, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(stmt, at, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt *stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
        return QString::fromUtf8(text, sqlite3_column_bytes(stmt, i));
    }
    case SQLITE_BLOB: {
        const auto *blob = static_cast<const char *>(sqlite3_column_blob(stmt, i));
        return QByteArray(blob, sqlite3_column_bytes(stmt, i));
    }
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

} // namespace

// Read through SQLite's own interface: a catalogue of 20,000 goods is read
// whole when its screen opens, and the driver's per-value work would be
// most of that time. Empty, or the error.
QString readThroughSqlite(const QSqlDatabase &db, const QString &source, const QVariantList &bindings,
                          RecordSet::Read &read)
{
    sqlite3 *handle = fileHandleOf(db);
    if (!handle)
        return QStringLiteral("数据库没有打开。");
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = source.toUtf8();
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(handle));
    const auto finalize = qScopeGuard([stmt] { sqlite3_finalize(stmt); });
    for (int i = 0; i < bindings.size(); ++i)
        bind(stmt, i + 1, bindings.at(i));
    const int fields = sqlite3_column_count(stmt);
    for (int i = 0; i < fields; ++i) {
        // As the driver names them: no quotes, no table prefix.
        QString name = QString::fromUtf8(sqlite3_column_name(stmt, i)).remove(u'"');
        read.addField(name.mid(name.lastIndexOf(u'.') + 1));
    }
    int stepped;
    while ((stepped = sqlite3_step(stmt)) == SQLITE_ROW) {
        read.beginRow();
        for (int i = 0; i < fields; ++i)
            read.addValue(i, i == read.rowidField ? QVariant(sqlite3_column_int64(stmt, i)) : columnValue(stmt, i));
    }
    return stepped == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
}

QString readThroughDriver(const QSqlDatabase &db, const QString &source, const QVariantList &bindings,
                          RecordSet::Read &read)
{
    QSqlQuery q(db);
    readOnce(q, db);
    if (!q.prepare(source))
        return problemText(q.lastError());
    for (const QVariant &v : bindings)
        q.addBindValue(v);
    if (!q.exec())
        return problemText(q.lastError());
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i)
        read.addField(record.fieldName(i));
    while (q.next()) {
        read.beginRow();
        for (int i = 0; i < record.count(); ++i)
            read.addValue(i, q.value(i));
    }
    return q.lastError().isValid() ? problemText(q.lastError()) : QString();
}

void RecordSet::Read::addField(const QString &name)
{
    if (name == RowidAlias)
        rowidField = fields;
    else
        columns.append({name, Schema::kindOfColumn(name)});
    ++fields;
}

void RecordSet::Read::beginRow()
{
    rows.append(Row());
    rows.last().values.reserve(columns.size());
}

void RecordSet::Read::addValue(int field, const QVariant &stored)
{
    Row &row = rows.last();
    if (field == rowidField)
        row.rowid = stored.toLongLong();
    else
        row.values.append(Schema::fromStorage(columns.at(row.values.size()).kind, stored));
}
