#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

// A list's columns as one table: each column's caption beside the text it
// shows of a row, so a caption and its figure cannot drift apart.
template <typename Row> struct Column
{
    const char16_t *caption;
    QString (*text)(const Row &row);
};

template <typename Row, std::size_t N> QStringList captionsOf(const std::array<Column<Row>, N> &columns)
{
    QStringList all;
    all.reserve(qsizetype(N));
    for (const Column<Row> &c : columns)
        all.append(QString::fromUtf16(c.caption));
    return all;
}

// The text of `row` in `column`; empty past the last column.
template <typename Row, std::size_t N>
QString textOf(const std::array<Column<Row>, N> &columns, const Row &row, int column)
{
    return column >= 0 && std::size_t(column) < N ? columns[std::size_t(column)].text(row) : QString();
}
