#include "shop/csvimport.h"

#include <QFile>
#include <QStringDecoder>

#include <csv.h>
#include <iconv.h>

// Reading a CSV file into rows of text, each with the line it starts on.

namespace CsvImport {

namespace {

constexpr qsizetype MaxLine = 64 * 1024;

// The rows as they are parsed: each is decoded and kept as text at its end,
// so no second copy of the file's rows is held.
struct Reading
{
    Table *table = nullptr;
    bool utf8 = true;
    QList<QByteArray> row;
    int line = 1;     // the line being read
    int rowStart = 1; // where the row being read started
};

QString textOf(const QByteArray &bytes, bool utf8);
QString unneutralised(const QString &text);

void field(void *data, size_t size, void *reading)
{
    auto *r = static_cast<Reading *>(reading);
    r->row.append(QByteArray(static_cast<const char *>(data), qsizetype(size)));
}

void rowEnd(int, void *reading)
{
    auto *r = static_cast<Reading *>(reading);
    QStringList row;
    row.reserve(r->row.size());
    for (const QByteArray &f : std::as_const(r->row))
        row.append(unneutralised(textOf(f, r->utf8)));
    // Blank lines give nothing.
    if (!(row.size() == 1 && row.first().trimmed().isEmpty())) {
        r->table->rows.append(row);
        r->table->lines.append(r->rowStart);
    }
    r->rowStart = r->line + 1;
    r->row.clear();
}

// GB18030 through the C library's iconv: every byte sequence of it is known there.
std::optional<QString> fromGb18030(const QByteArray &bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray out(bytes.size() * 2 + 4, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == size_t(-1) || inLeft != 0)
        return std::nullopt;
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString textOf(const QByteArray &bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : fromGb18030(bytes).value_or(QString());
}

// Text this program's CSV export wrote behind an apostrophe, so that no
// spreadsheet takes it for a formula, is read as it was.
QString unneutralised(const QString &text)
{
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    return text.size() > 1 && text.front() == u'\'' && FormulaStarts.contains(text.at(1)) ? text.mid(1) : text;
}

} // namespace

Table read(const QString &path, const Cancelled &cancelled)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Table t;
        t.error = QStringLiteral("无法打开 %1：%2").arg(path, file.errorString());
        return t;
    }
    return parse(file.readAll(), cancelled);
}

namespace {

Table cancelledTable()
{
    Table t;
    t.error = CancelledText;
    return t;
}

// More semicolons than commas outside quotes on the first line.
bool semicolonsOn(const QByteArray &line)
{
    int semicolons = 0, commas = 0;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == ',')
            ++commas;
    }
    return semicolons > commas;
}

} // namespace

Table parse(const QByteArray &input, const Cancelled &cancelled)
{
    Table t;
    QByteArray bytes = input;
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (bom)
        bytes.remove(0, 3);
    if (bytes.contains('\0')) {
        t.error = QStringLiteral("这不是文本文件（CSV）。");
        return t;
    }
    const bool utf8 = bom || isUtf8(bytes);
    if (!utf8 && !fromGb18030(bytes)) {
        t.error = QStringLiteral("文件的编码既不是 UTF-8 也不是 GB18030。");
        return t;
    }
    // Line numbers and the longest line, for the messages.
    qsizetype from = 0;
    int lineNo = 1;
    QList<qsizetype> lineStarts{0};
    while (from < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        if (end - from > MaxLine) {
            t.error = QStringLiteral("第 %1 行太长（超过 64 KB），不像是货物清单。").arg(lineNo);
            return t;
        }
        from = end + 1;
        lineStarts.append(from);
        ++lineNo;
    }
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        t.error = QStringLiteral("CSV 解析器无法启动。");
        return t;
    }
    t.semicolons = semicolonsOn(bytes.left(lineStarts.value(1, bytes.size())));
    if (t.semicolons)
        csv_set_delim(&parser, ';');
    Reading reading;
    reading.table = &t;
    reading.utf8 = utf8;
    // Fed a line at a time, so that each row knows where it started.
    for (qsizetype i = 0; i + 1 < lineStarts.size(); ++i) {
        if (i % 4096 == 0 && cancelled && cancelled()) {
            csv_free(&parser);
            return cancelledTable();
        }
        const qsizetype start = lineStarts[i];
        const qsizetype length = std::min(lineStarts[i + 1], bytes.size()) - start;
        reading.line = int(i + 1);
        if (csv_parse(&parser, bytes.constData() + start, size_t(length), field, rowEnd, &reading) != size_t(length)) {
            t.error = QStringLiteral("第 %1 行无法解析：%2")
                          .arg(i + 1)
                          .arg(QString::fromUtf8(csv_strerror(csv_error(&parser))));
            t.rows.clear();
            t.lines.clear();
            csv_free(&parser);
            return t;
        }
    }
    if (csv_fini(&parser, field, rowEnd, &reading) != 0) {
        t.error = QStringLiteral("文件在引号里结束，可能不完整（第 %1 行起）。").arg(reading.rowStart);
        t.rows.clear();
        t.lines.clear();
        csv_free(&parser);
        return t;
    }
    csv_free(&parser);
    return t;
}

} // namespace CsvImport
