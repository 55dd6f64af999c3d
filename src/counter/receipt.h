#pragma once

#include "money.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QFont;
class QPagedPaintDevice;

class Ticket;

// One receipt as it is laid out: header, lines, summary and footer texts.
struct Receipt
{
    struct Line
    {
        QString code, name, quantity, price, time;
        Money amount;
    };

    QString header;
    QList<Line> lines;
    Money total;    // the sum of the line amounts
    QString paid;   // "Currency" text, or empty
    QString change; // "Currency" text, or empty
    QStringList footer;
    // Printed on roll receipts under the header: a receipt kept for returns
    // names its sale.
    QString ticketNumber;
    QString time; // "yyyy-MM-dd HH:mm:ss"

    // The lines of the ticket with its total; header, paid, change and footer
    // are filled by the caller.
    static Receipt fromTicket(const Ticket &ticket);
};

// Where the receipt's texts live: the header row 20000 and the footer rows
// above it in table `code`.
class ReceiptTexts
{
public:
    explicit ReceiptTexts(QSqlDatabase db);

    // The header as loaded last (at start and after a new header is saved).
    QString header() const { return m_header; }
    bool reloadHeader();
    // The footer lines, read afresh from the file.
    QStringList readFooter(QString *error = nullptr) const;
    QString lastError() const { return m_error; }

private:
    QSqlDatabase m_db;
    QString m_header;
    QString m_error;
};

// Draws the receipt on any paged device (a printer, a PDF writer, the preview).
// Positions are in centimetres from the left edge of the printable area; the
// column captions repeat at the top of every page, the summary follows the
// last line once.
class ReceiptLayout
{
public:
    // Sets 2.54 cm margins on the device and paints. False when painting
    // could not start.
    static bool paint(const Receipt &receipt, QPagedPaintDevice *device);
};

// The same receipt in one narrow column for a receipt roll (58 or 80 mm):
// header, ticket number and time, each line as its name and then quantity ×
// price = amount, the total, paid and change, the footer. Margins of 3 mm, the
// paper's width used, the page as long as the receipt.
class RollReceiptLayout
{
public:
    // Paper at most this wide is a roll.
    static constexpr double MaxRollWidthMm = 80.5;
    static bool paint(const Receipt &receipt, QPagedPaintDevice *device, double paperWidthMm);
};
