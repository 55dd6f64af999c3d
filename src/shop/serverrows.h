#pragma once

#include <QString>

#include <memory>
#include <string_view>

class QSqlDatabase;
struct pg_result;

// A statement's whole result read through libpq itself: for the long reads
// of the analyses, where Qt's driver would make a QVariant of every value.
// Values are libpq's text; a null reads as empty.
class ServerRows
{
public:
    // Runs `sql` on the server connection of `db`, with text parameters.
    ServerRows(const QSqlDatabase &db, const char *sql, std::initializer_list<QByteArray> parameters = {});

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    int size() const { return m_rows; }
    std::string_view text(int row, int column) const;
    bool isNull(int row, int column) const;
    qint64 integer(int row, int column) const; // 0 for a null
    QString string(int row, int column) const { return toString(text(row, column)); }

    static QString toString(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

private:
    std::unique_ptr<pg_result, void (*)(pg_result *)> m_result;
    QString m_error;
    int m_rows = 0;
};
