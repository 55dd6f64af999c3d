#pragma once

#include "print/spreadsheet.h"

#include <QByteArray>

#include <memory>
#include <vector>

// The two kinds of file a sheet is written to, for SheetWriter: a chunk of
// rows is made ready on the reader's thread, then written on the writer's.
namespace Spreadsheet {

inline Kind kindAt(const QList<Kind> &kinds, int column)
{
    return column < kinds.size() ? kinds[column] : Kind::Text;
}

// A chunk of rows made ready for the file, so that the writing thread does
// nothing but write.
struct Prepared
{
    enum class As : quint8 { Nothing, Text, Number, Money, Date, DateTime };
    struct Cell
    {
        As as = As::Nothing;
        double number = 0;
        int year = 0, month = 0, day = 0, hour = 0, minute = 0;
        double second = 0;
        qsizetype text = 0; // where its UTF-8 starts in `bytes`
    };
    std::vector<Cell> cells;     // row after row
    std::vector<int> rowSizes;   // the cells of each row
    std::vector<int> textWidths; // per column, the widest text, a wide (CJK) character counted twice
    QByteArray bytes;            // the texts, each ended by a NUL; or the CSV lines
};

Prepared prepare(bool xlsx, const QList<Kind> &kinds, const QList<QStringList> &rows);

// One kind of file: its header, then the rows in order, then done.
class Output
{
public:
    virtual ~Output() = default;
    virtual void write(const Prepared &rows) = 0;
    // Empty when the file is whole where it was asked for.
    virtual QString finish() = 0;
};

std::unique_ptr<Output> openOutput(bool xlsx, const QString &path, const QString &name, const QStringList &captions,
                                   const QList<Kind> &kinds);

} // namespace Spreadsheet
