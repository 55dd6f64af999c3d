#include "shop/csvread.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>
#include <iconv.h>

#include <cerrno>

// Reading a CSV file a row at a time: each row decoded as it is parsed and
// given away, so nothing of the file is held but the line being read.

namespace CsvImport {

namespace {

constexpr qsizetype MaxLine = 64 * 1024;
constexpr qint64 Chunk = 1 << 20;

// GB18030 through the C library's iconv (every byte sequence of it is known
// there), a piece at a time: a character cut at a piece's end waits for the next.
class Gb18030
{
public:
    Gb18030() : m_cd(iconv_open("UTF-8", "GB18030")) {}
    ~Gb18030()
    {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }
    Gb18030(const Gb18030 &) = delete;
    Gb18030 &operator=(const Gb18030 &) = delete;

    // The UTF-8 of `bytes` (and of what was left of the last piece); false where it is no GB18030.
    bool add(const QByteArray &bytes, QByteArray *utf8)
    {
        if (m_cd == iconv_t(-1))
            return false;
        m_left += bytes;
        char *in = m_left.data();
        size_t inLeft = size_t(m_left.size());
        while (inLeft > 0) {
            char out[4096];
            char *to = out;
            size_t outLeft = sizeof out;
            const size_t done = iconv(m_cd, &in, &inLeft, &to, &outLeft);
            if (utf8)
                utf8->append(out, qsizetype(sizeof out - outLeft));
            if (done != size_t(-1) || errno == E2BIG)
                continue;
            if (errno != EINVAL)
                return false;
            break; // a character cut at the end: kept for the next piece
        }
        m_left = m_left.right(qsizetype(inLeft));
        return true;
    }
    bool complete() const { return m_left.isEmpty(); }

private:
    iconv_t m_cd;
    QByteArray m_left;
};

// Whether a file is UTF-8, a piece at a time: a character cut at a piece's
// end is put before the next.
class Utf8Check
{
public:
    bool add(const QByteArray &piece)
    {
        qsizetype cut = piece.size();
        for (qsizetype i = piece.size() - 1; i >= 0 && i >= piece.size() - 3; --i) {
            const uchar c = uchar(piece.at(i));
            if ((c & 0xC0) == 0x80)
                continue; // inside a character
            const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (piece.size() - i < length)
                cut = i;
            break;
        }
        const bool ok = valid(m_left + piece.left(cut));
        m_left = piece.mid(cut);
        return ok;
    }
    bool complete() const { return m_left.isEmpty(); }

private:
    static bool valid(const QByteArray &bytes)
    {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(bytes);
        return !decoder.hasError();
    }
    QByteArray m_left;
};

QString fromGb18030(const QByteArray &bytes)
{
    Gb18030 decoder;
    QByteArray utf8;
    return decoder.add(bytes, &utf8) && decoder.complete() ? QString::fromUtf8(utf8) : QString();
}

// Text this program's CSV export wrote behind an apostrophe, so that no
// spreadsheet takes it for a formula, is read as it was.
QString unneutralised(const QString &text)
{
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    return text.size() > 1 && text.front() == u'\'' && FormulaStarts.contains(text.at(1)) ? text.mid(1) : text;
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

// A walk's state as libcsv calls back.
struct Walk
{
    const Source::Row *row = nullptr;
    bool utf8 = true;
    QList<QByteArray> fields;
    int line = 1;          // the line being fed
    qint64 lineEnd = 0;    // the offset after it
    int rowLine = 1;       // where the row being read started
    qint64 rowOffset = 0;
    bool stopped = false;
};

void field(void *data, size_t size, void *walk)
{
    static_cast<Walk *>(walk)->fields.append(QByteArray(static_cast<const char *>(data), qsizetype(size)));
}

void rowEnd(int, void *walk)
{
    auto *w = static_cast<Walk *>(walk);
    QStringList row;
    row.reserve(w->fields.size());
    for (const QByteArray &f : std::as_const(w->fields))
        row.append(unneutralised(w->utf8 ? QString::fromUtf8(f) : fromGb18030(f)));
    // Blank lines give nothing.
    if (!w->stopped && !(row.size() == 1 && row.first().trimmed().isEmpty()))
        w->stopped = !(*w->row)(row, w->rowLine, w->rowOffset);
    w->rowLine = w->line + 1;
    w->rowOffset = w->lineEnd;
    w->fields.clear();
}

} // namespace

std::shared_ptr<Source> Source::file(const QString &path)
{
    std::shared_ptr<Source> s(new Source);
    s->m_path = path;
    return s;
}

std::shared_ptr<Source> Source::text(const QByteArray &bytes)
{
    std::shared_ptr<Source> s(new Source);
    s->m_bytes = bytes;
    return s;
}

std::unique_ptr<QIODevice> Source::device() const
{
    if (!m_path.isEmpty())
        return std::make_unique<QFile>(m_path);
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(m_bytes);
    return buffer;
}

bool Source::unchanged() const
{
    if (m_path.isEmpty())
        return true;
    const QFileInfo info(m_path);
    return info.size() == m_size && info.lastModified() == m_modified;
}

QString Source::open(const Cancelled &cancelled)
{
    const std::unique_ptr<QIODevice> in = device();
    if (!in->open(QIODevice::ReadOnly))
        return QStringLiteral("无法打开 %1：%2").arg(m_path, in->errorString());
    if (!m_path.isEmpty()) {
        const QFileInfo info(m_path);
        m_size = info.size();
        m_modified = info.lastModified();
    }
    m_start = in->peek(3) == "\xEF\xBB\xBF" ? 3 : 0;
    in->seek(m_start);
    Utf8Check utf8;
    bool firstLine = true;
    QByteArray first;
    qsizetype lineLength = 0;
    int lineNo = 1;
    for (QByteArray piece = in->read(Chunk); !piece.isEmpty(); piece = in->read(Chunk)) {
        if (cancelled && cancelled())
            return CancelledText;
        if (piece.contains('\0'))
            return QStringLiteral("这不是文本文件（CSV）。");
        for (qsizetype from = 0; from < piece.size();) {
            const qsizetype end = piece.indexOf('\n', from);
            const qsizetype upTo = end < 0 ? piece.size() : end;
            lineLength += upTo - from;
            if (firstLine)
                first += piece.mid(from, upTo - from);
            if (lineLength > MaxLine)
                return QStringLiteral("第 %1 行太长（超过 64 KB），不像是货物清单。").arg(lineNo);
            if (end < 0)
                break;
            firstLine = false;
            lineLength = 0;
            ++lineNo;
            from = end + 1;
        }
        m_utf8 = m_utf8 && utf8.add(piece);
    }
    m_utf8 = m_utf8 && utf8.complete();
    if (!m_utf8) {
        // Not UTF-8: GB18030, or neither.
        in->seek(m_start);
        Gb18030 gb;
        bool ok = true;
        for (QByteArray piece = in->read(Chunk); ok && !piece.isEmpty(); piece = in->read(Chunk))
            ok = gb.add(piece, nullptr);
        if (!ok || !gb.complete())
            return QStringLiteral("文件的编码既不是 UTF-8 也不是 GB18030。");
    }
    m_semicolons = semicolonsOn(first);
    return QString();
}

QString Source::walk(const Row &row, const Cancelled &cancelled, qint64 offset, int line) const
{
    const std::unique_ptr<QIODevice> in = device();
    if (!in->open(QIODevice::ReadOnly))
        return QStringLiteral("无法打开 %1：%2").arg(m_path, in->errorString());
    if (offset < 0)
        offset = m_start;
    in->seek(offset);
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
        return QStringLiteral("CSV 解析器无法启动。");
    if (m_semicolons)
        csv_set_delim(&parser, ';');
    Walk w;
    w.row = &row;
    w.utf8 = m_utf8;
    w.line = w.rowLine = line;
    w.lineEnd = w.rowOffset = offset;
    QString error;
    // Fed a line at a time, so that each row knows where it started.
    while (!w.stopped && !in->atEnd()) {
        if ((w.line - line) % 4096 == 0 && cancelled && cancelled()) {
            error = CancelledText;
            break;
        }
        const QByteArray text = in->readLine();
        w.lineEnd += text.size();
        if (csv_parse(&parser, text.constData(), size_t(text.size()), field, rowEnd, &w) != size_t(text.size())) {
            error = QStringLiteral("第 %1 行无法解析：%2")
                        .arg(w.line)
                        .arg(QString::fromUtf8(csv_strerror(csv_error(&parser))));
            break;
        }
        ++w.line;
    }
    if (error.isEmpty() && !w.stopped && csv_fini(&parser, field, rowEnd, &w) != 0)
        error = QStringLiteral("文件在引号里结束，可能不完整（第 %1 行起）。").arg(w.rowLine);
    csv_free(&parser);
    return error;
}

} // namespace CsvImport
