#include "print/spreadsheet.h"

#include "print/sheetfile.h"

#include <QAbstractItemModel>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace Spreadsheet {

// The chunks of rows on their way from the reader to the writing thread.
struct SheetWriter::Queue
{
    static constexpr size_t MostWaiting = 8;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Prepared> chunks;
    bool closed = false;
};

SheetWriter::SheetWriter(const QString &path, const QString &name, const QStringList &captions,
                         const QList<Kind> &kinds, Format format)
    : m_queue(std::make_unique<Queue>())
    , m_xlsx(format == Format::Xlsx ||
             (format == Format::BySuffix && path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)))
    , m_kinds(kinds)
{
    m_thread = std::thread([this, path, name, captions, kinds] {
        const std::unique_ptr<Output> out = openOutput(m_xlsx, path, name, captions, kinds);
        Queue &q = *m_queue;
        for (;;) {
            Prepared chunk;
            {
                std::unique_lock lock(q.mutex);
                q.changed.wait(lock, [&q] { return q.closed || !q.chunks.empty(); });
                if (q.chunks.empty())
                    break;
                chunk = std::move(q.chunks.front());
                q.chunks.pop_front();
            }
            q.changed.notify_all();
            out->write(chunk);
        }
        m_problem = out->finish();
    });
}

SheetWriter::~SheetWriter()
{
    finish();
}

void SheetWriter::add(const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    Prepared ready = prepare(m_xlsx, m_kinds, rows);
    Queue &q = *m_queue;
    {
        std::unique_lock lock(q.mutex);
        q.changed.wait(lock, [&q] { return q.chunks.size() < Queue::MostWaiting; });
        q.chunks.push_back(std::move(ready));
    }
    q.changed.notify_all();
}

QString SheetWriter::finish()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_queue->mutex);
            m_queue->closed = true;
        }
        m_queue->changed.notify_all();
        m_thread.join();
    }
    return m_problem;
}

ModelRows::ModelRows(const QAbstractItemModel &model, const QList<Kind> &kinds, const QString &name,
                     const QList<int> &skip)
    : m_model(model)
{
    m_header.name = name;
    for (int c = 0; c < model.columnCount(); ++c)
        if (!skip.contains(c)) {
            m_columns.append(c);
            m_header.captions.append(model.headerData(c, Qt::Horizontal).toString());
            m_header.kinds.append(kindAt(kinds, c));
        }
}

int ModelRows::count() const
{
    return m_model.rowCount();
}

QList<QStringList> ModelRows::rows(int from, int to) const
{
    QList<QStringList> rows;
    rows.reserve(std::max(0, to - from));
    for (int r = from; r < to; ++r) {
        QStringList texts;
        texts.reserve(m_columns.size());
        for (const int c : m_columns)
            texts.append(m_model.data(m_model.index(r, c)).toString());
        rows.append(std::move(texts));
    }
    return rows;
}

Sheet ModelRows::all() const
{
    Sheet sheet = m_header;
    sheet.rows = rows(0, count());
    return sheet;
}

static Done writeAs(const Sheet &sheet, const QString &path, Format format)
{
    SheetWriter writer(path, sheet.name, sheet.captions, sheet.kinds, format);
    writer.add(sheet.rows);
    if (const QString problem = writer.finish(); !problem.isEmpty())
        return Error{problem};
    return {};
}

Done write(const Sheet &sheet, const QString &path)
{
    return writeAs(sheet, path, Format::BySuffix);
}

Done writeXlsx(const Sheet &sheet, const QString &path)
{
    return writeAs(sheet, path, Format::Xlsx);
}

Done writeCsv(const Sheet &sheet, const QString &path)
{
    return writeAs(sheet, path, Format::Csv);
}

} // namespace Spreadsheet
