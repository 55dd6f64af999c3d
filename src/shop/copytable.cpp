#include "shop/copytable.h"

#include "shop/engine.h"
#include "shop/money.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>

#include <cmath>

// The rows of one table between the file and the server through libpq's
// COPY in its text form.

namespace {

constexpr qint64 ProgressEvery = 20000;

QString serverError(PGconn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

// The result of the last command of a COPY; empty when it succeeded.
QString finishCopy(PGconn *conn)
{
    QString error;
    while (PGresult *r = PQgetResult(conn)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK && error.isEmpty())
            error = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
    }
    return error;
}

bool startCopy(PGconn *conn, const QByteArray &command, ExecStatusType expected, QString *error)
{
    if (!conn) {
        *error = QStringLiteral("没有服务器连接。");
        return false;
    }
    PGresult *r = PQexec(conn, command.constData());
    const bool ok = PQresultStatus(r) == expected;
    if (!ok)
        *error = r ? QString::fromUtf8(PQresultErrorMessage(r)).trimmed() : serverError(conn);
    PQclear(r);
    return ok;
}

// A field in COPY's text form: \N for NULL, backslash escapes for the
// characters that separate fields and rows.
void appendField(QByteArray &line, const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        line += "\\N";
        return;
    }
    const QByteArray text = value.toString().toUtf8();
    for (const char c : text) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
}

// The fields of one row of COPY's text output; NULL fields as null QString.
QList<QString> splitRow(const char *data, int size)
{
    QList<QString> fields;
    QByteArray field;
    bool null = false;
    auto finish = [&] {
        fields.append(null ? QString() : QString::fromUtf8(field.isNull() ? QByteArray("") : field));
        field.clear();
        null = false;
    };
    for (int i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n')
            break;
        if (c == '\t') {
            finish();
        } else if (c == '\\' && i + 1 < size) {
            const char e = data[++i];
            switch (e) {
            case 'N':
                null = true;
                break;
            case 't':
                field += '\t';
                break;
            case 'n':
                field += '\n';
                break;
            case 'r':
                field += '\r';
                break;
            case 'b':
                field += '\b';
                break;
            case 'f':
                field += '\f';
                break;
            case 'v':
                field += '\v';
                break;
            default:
                field += e;
            }
        } else {
            field += c;
        }
    }
    finish();
    return fields;
}

QString columnList(const Schema::Table &table)
{
    return QStringLiteral("rowid, ") + table.columns.join(QStringLiteral(", "));
}

// A value of the file as the program reads it, in the server's form: amounts
// in ten-thousandths, dates that are no date as NULL.
QVariant forServer(Schema::ColumnKind kind, const QVariant &stored)
{
    const QVariant value = Schema::fromStorage(kind, stored);
    if (kind == Schema::ColumnKind::Money)
        return value.isValid() ? QVariant(qlonglong(value.value<Money>().units())) : QVariant();
    return Schema::toStorage(kind, value);
}

// Whether the server holds `stored` as the program reads it from the file.
bool carriedAsItIs(Schema::ColumnKind kind, const QVariant &stored, const QVariant &arrives)
{
    if (stored.isNull())
        return true;
    if (!arrives.isValid() || arrives.isNull())
        return false;
    if (kind != Schema::ColumnKind::Integer)
        return true;
    if (stored.typeId() == QMetaType::Double)
        return std::floor(stored.toDouble()) == stored.toDouble() && std::abs(stored.toDouble()) < 9.0e15;
    if (stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray) {
        bool whole = false;
        stored.toString().trimmed().toLongLong(&whole);
        return whole;
    }
    return true;
}

} // namespace

Result<qint64> countRows(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM ") + table) || !q.next())
        return failureOf(q);
    return q.value(0).toLongLong();
}

QString copyTableToServer(const QSqlDatabase &file, PGconn *conn, const Schema::Table &table, qint64 total,
                          const ShopCopy::Progress &progress, QList<ShopCopy::Changed> *changed)
{
    QList<Schema::ColumnKind> kinds;
    for (const QString &column : table.columns)
        kinds.append(Schema::kindOfColumn(column));
    QSqlQuery read(file);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columnList(table), table.name)))
        return problemText(read.lastError());
    QString error;
    if (!startCopy(conn, QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table.name, columnList(table)).toUtf8(),
                   PGRES_COPY_IN, &error))
        return error;
    QByteArray chunk;
    qint64 done = 0;
    auto send = [&] {
        const bool ok = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
        chunk.clear();
        return ok;
    };
    while (read.next()) {
        const qint64 rowid = read.value(0).toLongLong();
        chunk += QByteArray::number(rowid);
        for (int i = 0; i < kinds.size(); ++i) {
            chunk += '\t';
            const QVariant stored = read.value(i + 1);
            const QVariant arrives = forServer(kinds[i], stored);
            if (!carriedAsItIs(kinds[i], stored, arrives))
                changed->append({table.name, table.columns[i], rowid, stored.toString(), arrives.toString()});
            appendField(chunk, arrives);
        }
        chunk += '\n';
        if (chunk.size() > (1 << 18) && !send())
            break;
        if (++done % ProgressEvery == 0 && progress)
            progress(table.name, done, total);
    }
    const bool sent = chunk.isEmpty() || send();
    PQputCopyEnd(conn, sent ? nullptr : "aborted");
    error = finishCopy(conn);
    if (error.isEmpty() && !sent)
        error = serverError(conn);
    if (error.isEmpty() && read.lastError().isValid())
        error = problemText(read.lastError());
    if (error.isEmpty() && progress)
        progress(table.name, done, total);
    return error;
}

QString copyTableFromServer(PGconn *conn, const QSqlDatabase &file, const Schema::Table &table, qint64 total,
                            const ShopCopy::Progress &progress)
{
    QList<Schema::ColumnKind> kinds;
    QStringList marks = {QStringLiteral("?")};
    for (const QString &column : table.columns) {
        kinds.append(Schema::kindOfColumn(column));
        marks.append(QStringLiteral("?"));
    }
    QSqlQuery insert(file);
    if (!insert.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table.name, columnList(table), marks.join(u','))))
        return problemText(insert.lastError());
    QString error;
    if (!startCopy(conn,
                   QStringLiteral("COPY (SELECT %1 FROM %2 ORDER BY rowid) TO STDOUT")
                       .arg(columnList(table), table.name)
                       .toUtf8(),
                   PGRES_COPY_OUT, &error))
        return error;
    qint64 done = 0;
    for (;;) {
        char *buffer = nullptr;
        const int size = PQgetCopyData(conn, &buffer, 0);
        if (size < 0)
            break;
        const QList<QString> fields = splitRow(buffer, size);
        PQfreemem(buffer);
        if (!error.isEmpty())
            continue; // the rest of the COPY is read and dropped
        if (fields.size() != kinds.size() + 1) {
            error = QStringLiteral("表 %1 的一行有 %2 个字段，应为 %3 个。")
                        .arg(table.name)
                        .arg(fields.size())
                        .arg(kinds.size() + 1);
            continue;
        }
        insert.bindValue(0, fields[0].toLongLong());
        for (int i = 0; i < kinds.size(); ++i) {
            const QString &f = fields[i + 1];
            const bool number = kinds[i] == Schema::ColumnKind::Money || kinds[i] == Schema::ColumnKind::Integer;
            insert.bindValue(i + 1, f.isNull() ? QVariant() : number ? QVariant(f.toLongLong()) : QVariant(f));
        }
        if (!insert.exec())
            error = problemText(insert.lastError());
        if (++done % ProgressEvery == 0 && progress)
            progress(table.name, done, total);
    }
    const QString copyError = finishCopy(conn);
    if (error.isEmpty())
        error = copyError;
    if (error.isEmpty() && progress)
        progress(table.name, done, total);
    return error;
}
