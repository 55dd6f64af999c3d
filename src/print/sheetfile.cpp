#include "print/sheetfile.h"

#include "shop/money.h"
#include "shop/schema.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QSaveFile>

#include <xlsxwriter.h>

namespace Spreadsheet {

namespace {

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

// A text a spreadsheet would take for a formula (=, +, -, @, or a tab or
// carriage return before one) is written behind an apostrophe, the mark
// spreadsheets read as "text": a name like =HYPERLINK(...) is shown, never run.
QString neutralised(const QString &text)
{
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && FormulaStarts.contains(text.front()) ? u'\'' + text : text;
}

bool isWholeNumber(const QString &text)
{
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
}

QString csvField(const QString &raw)
{
    const QString text = neutralised(raw);
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

Prepared::Cell cellOf(const QString &text, Kind kind, QByteArray &bytes)
{
    using As = Prepared::As;
    Prepared::Cell cell;
    if (kind == Kind::Money) {
        if (const auto m = moneyIn(text)) {
            cell.as = As::Money;
            cell.number = double(m->units()) / Money::Scale;
            return cell;
        }
    } else if (kind == Kind::Integer) {
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok) {
            cell.as = As::Number;
            cell.number = double(n);
            return cell;
        }
    } else if (kind == Kind::Date || kind == Kind::DateTime) {
        const QDateTime t = timeIn(text, kind);
        if (t.isValid() && t.date().year() >= 1900) {
            cell.as = kind == Kind::Date ? As::Date : As::DateTime;
            cell.year = t.date().year();
            cell.month = t.date().month();
            cell.day = t.date().day();
            cell.hour = t.time().hour();
            cell.minute = t.time().minute();
            cell.second = t.time().second();
            return cell;
        }
    }
    if (!text.isEmpty()) { // anything else is written as the text it is
        cell.as = As::Text;
        cell.text = bytes.size();
        bytes += text.toUtf8();
        bytes += '\0';
    }
    return cell;
}

void csvLine(const QStringList &fields, const QList<Kind> &kinds, QString &text)
{
    for (int c = 0; c < fields.size(); ++c) {
        if (c > 0)
            text += u',';
        const Kind kind = kindAt(kinds, c);
        if (kind == Kind::Money) {
            // A plain number a spreadsheet reads as one.
            const auto m = moneyIn(fields[c]);
            text += m ? m->toPlain(QLocale::c()) : csvField(fields[c]);
        } else if (kind == Kind::Integer && isWholeNumber(fields[c])) {
            text += fields[c]; // a quantity below zero is a number, not a formula
        } else {
            text += csvField(fields[c]);
        }
    }
    text += QStringLiteral("\r\n");
}

// A spreadsheet's column width counts a Chinese character as two.
int displayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

} // namespace

Prepared prepare(bool xlsx, const QList<Kind> &kinds, const QList<QStringList> &rows)
{
    Prepared p;
    if (!xlsx) {
        QString text;
        for (const QStringList &row : rows)
            csvLine(row, kinds, text);
        p.bytes = text.toUtf8();
        return p;
    }
    for (const QStringList &row : rows) {
        if (p.textWidths.size() < size_t(row.size()))
            p.textWidths.resize(size_t(row.size()));
        for (int c = 0; c < row.size(); ++c) {
            p.cells.push_back(cellOf(row[c], kindAt(kinds, c), p.bytes));
            if (p.cells.back().as == Prepared::As::Text)
                p.textWidths[size_t(c)] = std::max(p.textWidths[size_t(c)], displayWidth(row[c]));
        }
        p.rowSizes.push_back(int(row.size()));
    }
    return p;
}

namespace {

class CsvOutput : public Output
{
public:
    CsvOutput(const QString &path, const QStringList &captions) : m_file(path)
    {
        // Only the shop's account reads what the shop's files hold.
        if (!m_file.open(QIODevice::WriteOnly))
            m_problem = m_file.errorString();
        else if (!m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            m_problem = m_file.errorString();
        QString text(QChar(0xFEFF)); // Excel and WPS read UTF-8 only after its mark
        csvLine(captions, {}, text);
        add(text.toUtf8());
    }

    void write(const Prepared &rows) override { add(rows.bytes); }

    QString finish() override
    {
        if (!m_problem.isEmpty())
            return m_problem;
        return m_file.commit() ? QString() : m_file.errorString();
    }

private:
    void add(const QByteArray &bytes)
    {
        if (m_problem.isEmpty() && m_file.write(bytes) < 0)
            m_problem = m_file.errorString();
    }

    QSaveFile m_file;
    QString m_problem;
};

class XlsxOutput : public Output
{
public:
    XlsxOutput(const QString &path, const QString &name, const QStringList &captions, const QList<Kind> &kinds)
        : m_path(path)
        , m_part(path + QStringLiteral(".part"))
    {
        // Written beside the target and renamed when whole. Rows go out as
        // they are written: a hundred thousand of them need no more memory
        // than one.
        const QByteArray partName = QFile::encodeName(m_part);
        // Made owner-only before the book is written into it: only the
        // shop's account reads what the shop's files hold.
        QFile::remove(m_part);
        if (QFile part(m_part); !part.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                           QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return;
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(partName.constData(), &options);
        if (!m_book)
            return;
        const QByteArray sheetName = (name.isEmpty() ? QStringLiteral("Tarvel") : name.left(31)).toUtf8();
        m_sheet = workbook_add_worksheet(m_book, sheetName.constData());
        // The rows go to a temporary file, in libc's 4 KiB steps unless given
        // a larger buffer: a hundred thousand rows are 40 MB.
        if (m_sheet && m_sheet->optimize_tmpfile) {
            m_buffer.resize(1 << 20);
            setvbuf(m_sheet->optimize_tmpfile, m_buffer.data(), _IOFBF, m_buffer.size());
        }
        lxw_format *header = workbook_add_format(m_book);
        format_set_bold(header);
        m_money = workbook_add_format(m_book);
        format_set_num_format(m_money, "\xC2\xA5#,##0.00"); // ¥#,##0.00
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, "yyyy-mm-dd");
        m_dateTime = workbook_add_format(m_book);
        format_set_num_format(m_dateTime, "yyyy-mm-dd hh:mm:ss");
        for (int c = 0; c < captions.size(); ++c) {
            worksheet_write_string(m_sheet, 0, lxw_col_t(c), captions[c].toUtf8().constData(), header);
            const Kind kind = kindAt(kinds, c);
            m_widths.push_back(std::max(displayWidth(captions[c]) + 2, kind == Kind::DateTime ? 20
                                                                       : kind == Kind::Money || kind == Kind::Date
                                                                           ? 13
                                                                           : 10));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
    }

    void write(const Prepared &rows) override
    {
        if (!m_sheet)
            return;
        if (!m_widthsSet)
            setWidths(rows.textWidths);
        using As = Prepared::As;
        size_t i = 0;
        for (const int width : rows.rowSizes) {
            const lxw_row_t at = m_next++;
            for (int c = 0; c < width; ++c) {
                const Prepared::Cell &cell = rows.cells[i++];
                const lxw_col_t col = lxw_col_t(c);
                switch (cell.as) {
                case As::Nothing:
                    break;
                case As::Text:
                    worksheet_write_string(m_sheet, at, col, rows.bytes.constData() + cell.text, nullptr);
                    break;
                case As::Number:
                    worksheet_write_number(m_sheet, at, col, cell.number, nullptr);
                    break;
                case As::Money:
                    worksheet_write_number(m_sheet, at, col, cell.number, m_money);
                    break;
                case As::Date:
                case As::DateTime: {
                    lxw_datetime time = {cell.year, cell.month, cell.day, cell.hour, cell.minute, cell.second};
                    worksheet_write_datetime(m_sheet, at, col, &time, cell.as == As::Date ? m_date : m_dateTime);
                    break;
                }
                }
            }
        }
    }

    QString finish() override
    {
        if (!m_book)
            return QStringLiteral("无法写入 %1").arg(m_part);
        if (!m_widthsSet)
            setWidths({});
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (closed != LXW_NO_ERROR) {
            QFile::remove(m_part);
            return QString::fromUtf8(lxw_strerror(closed));
        }
        QFile::remove(m_path);
        if (!QFile::rename(m_part, m_path)) {
            QFile::remove(m_part);
            return QStringLiteral("无法写入 %1").arg(m_path);
        }
        return QString();
    }

private:
    // As wide as the captions and the texts of the first rows (a
    // thirteen-digit code whole), never wider than a screenful.
    void setWidths(const std::vector<int> &textWidths)
    {
        m_widthsSet = true;
        for (size_t c = 0; c < std::max(m_widths.size(), textWidths.size()); ++c) {
            const int text = c < textWidths.size() ? std::min(textWidths[c] + 2, 60) : 0;
            const int width = std::max(c < m_widths.size() ? m_widths[c] : 10, text);
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr);
        }
    }

    QString m_path, m_part;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_money = nullptr, *m_date = nullptr, *m_dateTime = nullptr;
    lxw_row_t m_next = 1;
    std::vector<char> m_buffer; // of the rows' temporary file, until the book is closed
    std::vector<int> m_widths;  // of the columns, by their kinds and captions
    bool m_widthsSet = false;
};

} // namespace

std::unique_ptr<Output> openOutput(bool xlsx, const QString &path, const QString &name, const QStringList &captions,
                                   const QList<Kind> &kinds)
{
    if (xlsx)
        return std::make_unique<XlsxOutput>(path, name, captions, kinds);
    return std::make_unique<CsvOutput>(path, captions);
}

} // namespace Spreadsheet
