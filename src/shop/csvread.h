#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace CsvImport {

// Long work asks `cancelled` now and then; cancelled, it gives up with
// CancelledText (a store then has stored nothing).
using Cancelled = std::function<bool()>;
inline const QString CancelledText = QStringLiteral("已取消，什么也没有保存。");

// A CSV file read a row at a time, so that a file of a million rows costs
// what one row costs, however often it is walked. A parser that knows quoted
// fields (commas, quotes and line breaks inside them); UTF-8 with or without
// a byte order mark, or GB18030 as older Chinese spreadsheets write it.
// Fields are split by commas, or by semicolons when the first line has more
// of those (what a spreadsheet writes where the decimal mark is a comma).
class Source
{
public:
    static std::shared_ptr<Source> file(const QString &path);
    static std::shared_ptr<Source> text(const QByteArray &bytes); // a file's bytes held in memory

    // Looks the whole file over once: the reason it cannot be read (no text,
    // neither UTF-8 nor GB18030, a line longer than 64 KB), else empty.
    QString open(const Cancelled &cancelled = {});
    bool semicolons() const { return m_semicolons; }
    // Still the file that was opened (its size and time unchanged).
    bool unchanged() const;

    // Each row from the one that starts at `offset` on `line` (-1: the
    // first), with the line it starts on and its offset, until `row` says
    // false. Blank lines give no row. The reason a row cannot be read (a
    // file that ends inside quotes), else empty.
    using Row = std::function<bool(const QStringList &fields, int line, qint64 offset)>;
    QString walk(const Row &row, const Cancelled &cancelled = {}, qint64 offset = -1, int line = 1) const;

private:
    Source() = default;
    std::unique_ptr<QIODevice> device() const;
    QString m_path;
    QByteArray m_bytes;
    qint64 m_start = 0; // past a byte order mark
    bool m_utf8 = true;
    bool m_semicolons = false;
    qint64 m_size = -1;
    QDateTime m_modified;
};

// A date as spreadsheets write it: 2026-12-09 or 2026/12/9.
std::optional<QDate> dateIn(const QString &text);

} // namespace CsvImport
