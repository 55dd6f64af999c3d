#include "shop/csvimport.h"

#include <algorithm>

// A file as checked: its header and columns, its problems, and its rows read
// back a block at a time.

namespace CsvImport {

namespace {

// A header's caption as this program names the column: the captions of other
// programs' lists (商品编码, 品名…) are taken for ours.
QString captionOf(const QString &header)
{
    static const QList<std::pair<QString, QStringList>> aliases = {
        {QStringLiteral("货号"), QStringList{QStringLiteral("货号"), QStringLiteral("商品编码"), QStringLiteral("商品条码"), QStringLiteral("条码"), QStringLiteral("编码"), QStringLiteral("code")}},
        {QStringLiteral("货名"), QStringList{QStringLiteral("货名"), QStringLiteral("商品名称"), QStringLiteral("品名"), QStringLiteral("名称"), QStringLiteral("name")}},
        {QStringLiteral("最低库存"), QStringList{QStringLiteral("最低库存")}},
        {QStringLiteral("数量"), QStringList{QStringLiteral("数量"), QStringLiteral("盘点数量"), QStringLiteral("实盘数量"), QStringLiteral("count")}},
        {QStringLiteral("进价"), QStringList{QStringLiteral("进价")}},
        {QStringLiteral("售价"), QStringList{QStringLiteral("售价")}},
        {QStringLiteral("厂家"), QStringList{QStringLiteral("厂家")}},
        {QStringLiteral("进货日期"), QStringList{QStringLiteral("进货日期")}},
        {QStringLiteral("过期日期"), QStringList{QStringLiteral("过期日期")}},
    };
    const QString h = header.trimmed().toLower();
    for (const auto &[caption, names] : aliases)
        if (names.contains(h))
            return caption;
    return QString();
}

// A first row that names a known column is a header, not goods.
bool isCaption(const QStringList &row)
{
    return std::any_of(row.cbegin(), row.cend(), [](const QString &h) { return !captionOf(h).isEmpty(); });
}

// Where each of `order`'s columns stands: by the header's captions when the
// first row is one (a problem for each of the first `required` missing),
// else in that order; `used` the columns a row may have.
QList<int> columnsOf(const QStringList &first, bool header, int firstLine, const QStringList &order,
                     qsizetype required, qsizetype *used, Checked *checked)
{
    QList<int> at;
    for (int c = 0; c < order.size(); ++c)
        at.append(c);
    if (!header)
        return at;
    QStringList captions;
    for (const QString &h : first)
        captions.append(captionOf(h));
    *used = captions.size();
    for (int c = 0; c < order.size(); ++c) {
        at[c] = int(captions.indexOf(order[c]));
        if (at[c] < 0 && c < required)
            checked->addProblem(firstLine, QStringLiteral("标题行里没有“%1”").arg(order[c]));
    }
    return at;
}

QStringList picked(const QStringList &raw, const QList<int> &at)
{
    QStringList row;
    row.reserve(at.size());
    for (const int c : at)
        row.append(c >= 0 ? raw.value(c) : QString());
    return row;
}

} // namespace

// Walks a source for a check: opens it, finds the header and the columns,
// notes where the blocks of rows start, and gives each row to `row`.
void Checked::read(const std::shared_ptr<Source> &source, const QStringList &order, qsizetype required,
                   const Cancelled &cancelled, const std::function<void(const QStringList &fields, int line)> &row)
{
    m_source = source;
    error = source->open(cancelled);
    if (!error.isEmpty())
        return;
    QStringList first;
    int firstLine = 0;
    source->walk([&](const QStringList &fields, int line, qint64) {
        first = fields;
        firstLine = line;
        return false;
    });
    m_header = isCaption(first);
    qsizetype used = order.size();
    m_columns = columnsOf(first, m_header, firstLine, order, required, &used, this);
    bool skip = m_header;
    error = source->walk(
        [&](const QStringList &raw, int line, qint64 offset) {
            if (std::exchange(skip, false))
                return true;
            if (m_rows % BlockRows == 0)
                m_blocks.append({offset, line});
            ++m_rows;
            if (raw.size() > used)
                addProblem(line, QStringLiteral("多出 %1 列").arg(raw.size() - used));
            row(picked(raw, m_columns), line);
            return true;
        },
        cancelled);
    if (!error.isEmpty()) {
        problems.clear();
        problemCount = 0;
    }
}

int Checked::lineOf(qsizetype row) const
{
    const Cached &b = blockOf(row);
    return b.lines.value(row % BlockRows);
}

QStringList Checked::fieldsOf(qsizetype row) const
{
    const Cached &b = blockOf(row);
    return b.rows.value(row % BlockRows);
}

const Checked::Cached &Checked::blockOf(qsizetype row) const
{
    const qsizetype block = row / BlockRows;
    if (m_cache.block == block || block < 0 || block >= m_blocks.size())
        return m_cache;
    m_cache = Cached{block, {}, {}};
    const auto &[offset, line] = m_blocks.at(block);
    m_source->walk(
        [this](const QStringList &raw, int at, qint64) {
            m_cache.rows.append(picked(raw, m_columns));
            m_cache.lines.append(at);
            return m_cache.rows.size() < BlockRows;
        },
        {}, offset, line);
    return m_cache;
}

QString Checked::walk(const std::function<bool(const QStringList &fields, int line)> &row,
                      const Cancelled &cancelled) const
{
    if (!m_source || !m_source->unchanged())
        return ChangedText;
    bool skip = m_header;
    return m_source->walk(
        [&](const QStringList &raw, int line, qint64) {
            return std::exchange(skip, false) || row(picked(raw, m_columns), line);
        },
        cancelled);
}

void Checked::addProblem(int line, const QString &text)
{
    if (problems.size() < MaxProblems)
        problems.append({line, text});
    ++problemCount;
}

void Checked::sortProblems()
{
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem &a, const Problem &b) { return a.line < b.line; });
}

} // namespace CsvImport
