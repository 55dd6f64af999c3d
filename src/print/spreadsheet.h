#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

// Every row of a grid's model, the columns not listed in `skip` left out.
Sheet fromModel(const QAbstractItemModel &model, const QList<Kind> &kinds, const QString &name,
                const QList<int> &skip = {});

// By the file's suffix: .xlsx, or CSV for anything else. Empty, or what went wrong.
QString write(const Sheet &sheet, const QString &path);
QString writeXlsx(const Sheet &sheet, const QString &path);
QString writeCsv(const Sheet &sheet, const QString &path);

} // namespace Spreadsheet
