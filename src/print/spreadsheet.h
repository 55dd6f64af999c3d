#pragma once

#include "shop/result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

class QAbstractItemModel;

// A grid of the back office written out for a spreadsheet program: a real
// .xlsx (money as numbers in ¥#,##0.00, dates as dates, the captions as a
// frozen header row) or CSV that Excel and WPS open with the Chinese intact
// (UTF-8 with a byte order mark, money as plain numbers, dates ISO).
namespace Spreadsheet {

enum class Kind { Text, Integer, Money, Date, DateTime };

struct Sheet
{
    QString name;
    QStringList captions;
    QList<Kind> kinds;       // per column; Text where missing
    QList<QStringList> rows; // the texts as the grid shows them
};

// What a grid's model shows, the columns listed in `skip` left out: the
// captions at once, the rows' texts as they are asked for.
class ModelRows
{
public:
    ModelRows(const QAbstractItemModel &model, const QList<Kind> &kinds, const QString &name,
              const QList<int> &skip = {});
    const Sheet &header() const { return m_header; } // no rows
    int count() const;
    QList<QStringList> rows(int from, int to) const; // rows [from, to)
    Sheet all() const;

private:
    const QAbstractItemModel &m_model;
    QList<int> m_columns;
    Sheet m_header;
};

// A sheet written while its rows are still being read: the rows handed to
// add() are written on a thread of its own, so reading a long grid and
// writing the file take the time of the slower of the two, not of both.
// By the file's suffix: .xlsx, or CSV for anything else. The file appears
// only when it is whole.
enum class Format { BySuffix, Xlsx, Csv };

class SheetWriter
{
public:
    SheetWriter(const QString &path, const QString &name, const QStringList &captions, const QList<Kind> &kinds,
                Format format = Format::BySuffix);
    ~SheetWriter();
    SheetWriter(const SheetWriter &) = delete;
    SheetWriter &operator=(const SheetWriter &) = delete;

    // Made ready here, written there. Waits while the writing is far behind,
    // so that a long grid is not held twice in memory.
    void add(const QList<QStringList> &rows);
    // Empty, or what went wrong.
    QString finish();

private:
    struct Queue;
    std::unique_ptr<Queue> m_queue;
    bool m_xlsx;
    QList<Kind> m_kinds;
    std::thread m_thread;
    QString m_problem;
};

// By the file's suffix: .xlsx, or CSV for anything else.
Done write(const Sheet &sheet, const QString &path);
Done writeXlsx(const Sheet &sheet, const QString &path);
Done writeCsv(const Sheet &sheet, const QString &path);

} // namespace Spreadsheet
