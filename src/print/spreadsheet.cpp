#include "print/spreadsheet.h"

#include "shop/schema.h"

#include "shop/money.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QSaveFile>

#include <xlsxwriter.h>

namespace Spreadsheet {

namespace {

Kind kindAt(const Sheet &sheet, int column)
{
    return column < sheet.kinds.size() ? sheet.kinds[column] : Kind::Text;
}

// The value a shown text stands for; invalid when it is no such value.
std::optional<Money> moneyIn(const QString &text)
{
    return text.trimmed().isEmpty() ? std::nullopt : Money::parse(text);
}

// A shown date or time; its parts are written as they stand, so no time
// zone is asked for any of them.
QDateTime timeIn(const QString &text, Kind kind)
{
    if (kind == Kind::Date) {
        const QDate d = Schema::dateIn(text);
        return d.isValid() ? QDateTime(d, QTime(0, 0), Qt::UTC) : QDateTime();
    }
    return Schema::timeIn(text);
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

Sheet fromModel(const QAbstractItemModel &model, const QList<Kind> &kinds, const QString &name, const QList<int> &skip)
{
    Sheet sheet;
    sheet.name = name;
    QList<int> columns;
    for (int c = 0; c < model.columnCount(); ++c)
        if (!skip.contains(c)) {
            columns.append(c);
            sheet.captions.append(model.headerData(c, Qt::Horizontal).toString());
            sheet.kinds.append(c < kinds.size() ? kinds[c] : Kind::Text);
        }
    const int rows = model.rowCount();
    sheet.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList texts;
        for (const int c : std::as_const(columns))
            texts.append(model.data(model.index(r, c)).toString());
        sheet.rows.append(texts);
    }
    return sheet;
}

QString write(const Sheet &sheet, const QString &path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) ? writeXlsx(sheet, path) : writeCsv(sheet, path);
}

QString writeCsv(const Sheet &sheet, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QString text;
    text.append(QChar(0xFEFF)); // Excel and WPS read UTF-8 only after its mark
    auto line = [&text](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted.append(csvField(f));
        text += quoted.join(u',') + QStringLiteral("\r\n");
    };
    line(sheet.captions);
    for (const QStringList &row : sheet.rows) {
        QStringList fields;
        for (int c = 0; c < row.size(); ++c) {
            const Kind kind = kindAt(sheet, c);
            if (kind == Kind::Money) {
                // A plain number a spreadsheet reads as one.
                const auto m = moneyIn(row[c]);
                fields.append(m ? m->toPlain(QLocale::c()) : row[c]);
            } else {
                fields.append(row[c]);
            }
        }
        line(fields);
    }
    file.write(text.toUtf8());
    return file.commit() ? QString() : file.errorString();
}

QString writeXlsx(const Sheet &sheet, const QString &path)
{
    // Written beside the target and renamed when whole.
    const QString part = path + QStringLiteral(".part");
    const QByteArray partName = QFile::encodeName(part);
    // Rows go out as they are written: a hundred thousand of them need no
    // more memory than one.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(partName.constData(), &options);
    if (!book)
        return QStringLiteral("无法写入 %1").arg(part);
    const QByteArray sheetName = (sheet.name.isEmpty() ? QStringLiteral("Tarvel") : sheet.name.left(31)).toUtf8();
    lxw_worksheet *ws = workbook_add_worksheet(book, sheetName.constData());
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    lxw_format *money = workbook_add_format(book);
    format_set_num_format(money, "\xC2\xA5#,##0.00"); // ¥#,##0.00
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    for (int c = 0; c < sheet.captions.size(); ++c) {
        worksheet_write_string(ws, 0, lxw_col_t(c), sheet.captions[c].toUtf8().constData(), header);
        const Kind kind = kindAt(sheet, c);
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c),
                             kind == Kind::DateTime                      ? 20
                             : kind == Kind::Money || kind == Kind::Date ? 13
                                                                         : 12,
                             nullptr);
    }
    worksheet_freeze_panes(ws, 1, 0);
    for (int r = 0; r < sheet.rows.size(); ++r) {
        const QStringList &row = sheet.rows[r];
        const lxw_row_t at = lxw_row_t(r + 1);
        for (int c = 0; c < row.size(); ++c) {
            const QString &text = row[c];
            const Kind kind = kindAt(sheet, c);
            bool ok = false;
            if (kind == Kind::Money) {
                if (const auto m = moneyIn(text)) {
                    worksheet_write_number(ws, at, lxw_col_t(c), double(m->units()) / Money::Scale, money);
                    ok = true;
                }
            } else if (kind == Kind::Integer) {
                const qint64 n = text.toLongLong(&ok);
                if (ok)
                    worksheet_write_number(ws, at, lxw_col_t(c), double(n), nullptr);
            } else if (kind == Kind::Date || kind == Kind::DateTime) {
                const QDateTime t = timeIn(text, kind);
                if (t.isValid() && t.date().year() >= 1900) {
                    lxw_datetime dt = {t.date().year(), t.date().month(),  t.date().day(),
                                       t.time().hour(), t.time().minute(), double(t.time().second())};
                    worksheet_write_datetime(ws, at, lxw_col_t(c), &dt, kind == Kind::Date ? date : dateTime);
                    ok = true;
                }
            }
            if (!ok && !text.isEmpty())
                worksheet_write_string(ws, at, lxw_col_t(c), text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(part);
        return QString::fromUtf8(lxw_strerror(closed));
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        return QStringLiteral("无法写入 %1").arg(path);
    }
    return QString();
}

} // namespace Spreadsheet
