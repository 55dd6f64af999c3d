#include "print/receiptlayout.h"

#include "print/printfont.h"
#include "print/rolldocument.h"
#include "print/wrappedrow.h"
#include "shop/displayformat.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextOption>

namespace {

constexpr double MarginCm = 2.54;
constexpr double HeaderHeightCm = 1.32;
constexpr double SummaryHeightCm = 3.71;
constexpr double ColumnGapCm = 0.15;

} // namespace

namespace {

struct Column
{
    QString caption;
    double x, width;
};

enum { CodeColumn, NameColumn, QuantityColumn, PriceColumn, AmountColumn, TimeColumn };
const Column Columns[] = {
    {QStringLiteral("货号"), 1, 1}, {QStringLiteral("货名"), 2, 2}, {QStringLiteral("数量"), 4, 1},
    {QStringLiteral("售价"), 5, 2}, {QStringLiteral("金额"), 8, 2}, {QStringLiteral("时间"), 11, 1},
};
// The amount runs on to the time column, the time 3 cm to the right edge.
constexpr double AmountWidthCm = 3;
constexpr double TimeWidthCm = 3;
// A code is never cut into more than two lines of its narrow column: a
// longer one (a 13-digit barcode) is set smaller, down to this size.
constexpr int CodeLines = 2;
constexpr double SmallestCodePt = 5;

class Painter
{
public:
    Painter(QPagedPaintDevice *device, QPainter &painter) : m_device(device), m_p(painter)
    {
        m_dpi = device->logicalDpiY();
        m_pageHeight = device->height();
        m_font = printFont(9, false);
        m_p.setFont(m_font);
        m_lineHeight = QFontMetricsF(m_font, device).height() * 1.25;
    }

    double cm(double v) const { return v / 2.54 * m_dpi; }

    void text(double xCm, double widthCm, double y, const QString &s, bool allowOverflow = true)
    {
        const QRectF box(cm(xCm), y, allowOverflow ? m_device->width() - cm(xCm) : cm(widthCm), m_lineHeight);
        m_p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, s);
    }

    void rule(double fromCm, double toCm, double y) { m_p.drawLine(QPointF(cm(fromCm), y), QPointF(cm(toCm), y)); }

    void header(const Receipt &r)
    {
        m_p.setFont(printFont(15.75, true));
        // A header longer than its 6 cm box runs on rather than being cut.
        m_p.drawText(QRectF(cm(5), 0, cm(6), cm(1)), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, r.header);
        m_p.setFont(m_font);
        rule(1, 15, cm(1));
        m_y = cm(HeaderHeightCm);
        // The sale's number and till, by which a return finds it: right of
        // the header, above the rule.
        if (!r.ticketNumber.isEmpty())
            m_p.drawText(QRectF(cm(11), 0, m_device->width() - cm(11), cm(1)),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, r.saleLine());
    }

    void captions()
    {
        for (const Column &c : Columns)
            text(c.x, c.width, m_y, c.caption);
        m_y += m_lineHeight;
    }

    // Starts a new page when `height` no longer fits.
    void ensureRoom(double height)
    {
        if (m_y + height <= m_pageHeight)
            return;
        m_device->newPage();
        m_y = 0;
        captions();
    }

    // A line grows downwards where a field is wider than its column, so a long
    // code or name is wrapped inside its column (at a blank where it can)
    // rather than cut or run into the next column. A small gap stays free at
    // the right of every column, so neighbouring fields never touch.
    void line(const Receipt::Line &l)
    {
        WrappedRow fields;
        // A quantity wider than its column (a weighed line's kg) is printed
        // under the line, whole, rather than broken up.
        const bool quantityBelow = QFontMetricsF(m_font, m_device).horizontalAdvance(l.quantity) >
                                   cm(Columns[QuantityColumn].width - ColumnGapCm);
        const QString texts[] = {l.code, l.name, quantityBelow ? QString() : l.quantity, l.price, l.amount.toYuan()};
        for (int c = CodeColumn; c <= AmountColumn; ++c) {
            const double width = c == AmountColumn ? AmountWidthCm : Columns[c].width;
            fields.fields.append({cm(Columns[c].x), cm(width - ColumnGapCm), texts[c]});
        }
        fields.fields[CodeColumn].font = codeFont(l.code, fields.fields[CodeColumn].width);
        const double height = fields.height(m_p, m_lineHeight, m_lineHeight - QFontMetricsF(m_font, m_device).height());
        ensureRoom(height);
        fields.draw(m_p, m_y, height);
        // The time, the last column, runs on towards the right edge on one line.
        m_p.drawText(QRectF(cm(Columns[TimeColumn].x), m_y, cm(TimeWidthCm), height),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, l.time);
        m_y += height;
        // The quantity that did not fit, and a special's mark and what it
        // saved, under the name.
        const QString below = quantityBelow ? QStringLiteral("数量 %1　%2").arg(l.quantity, l.note).trimmed() : l.note;
        if (!below.isEmpty()) {
            ensureRoom(m_lineHeight);
            m_p.drawText(
                QRectF(cm(Columns[NameColumn].x), m_y, cm(Columns[TimeColumn].x - Columns[NameColumn].x), m_lineHeight),
                Qt::AlignLeft | Qt::AlignTop, below);
            m_y += m_lineHeight;
        }
    }

    // The body's font, or a smaller one where `code` would take more than
    // CodeLines lines of `width`.
    std::optional<QFont> codeFont(const QString &code, double width) const
    {
        const double wide = QFontMetricsF(m_font, m_device).horizontalAdvance(code);
        if (wide <= CodeLines * width * 0.9)
            return std::nullopt;
        QFont smaller = m_font;
        smaller.setPointSizeF(std::max(SmallestCodePt, m_font.pointSizeF() * CodeLines * width * 0.85 / wide));
        return smaller;
    }

    void summary(const Receipt &r)
    {
        // The summary stays together as far as its fixed part goes.
        ensureRoom(cm(1.71) + m_lineHeight);
        const double top = m_y;
        // Left of the fixed summary: what the ticket gives back, how it was paid.
        text(1, 5.8, top, r.returnNote, false);
        text(7, 1, top, QStringLiteral("合计："));
        text(8, 3, top, r.total.toYuan());
        text(1, 5.8, top + cm(1), r.method, false);
        text(7, 1, top + cm(1), QStringLiteral("付款："));
        text(8, 2, top + cm(1), r.paid);
        text(10, 1, top + cm(1), r.changeCaption);
        text(11, 3, top + cm(1), r.change);
        rule(0, 15.26, top + cm(1.53));
        m_y = top + cm(1.71);
        if (!r.member.isEmpty()) {
            ensureRoom(m_lineHeight);
            text(1, 10, m_y, r.member, false);
            m_y += m_lineHeight;
        }
        for (const QString &footerLine : r.footer) {
            ensureRoom(m_lineHeight);
            text(2, 5, m_y, footerLine);
            m_y += m_lineHeight;
        }
        m_y = std::max(m_y, top + cm(SummaryHeightCm));
    }

private:
    QPagedPaintDevice *m_device;
    QPainter &m_p;
    QFont m_font;
    double m_dpi = 96;
    double m_pageHeight = 0;
    double m_lineHeight = 0;
    double m_y = 0;
};

} // namespace

bool ReceiptLayout::paint(const Receipt &receipt, QPagedPaintDevice *device)
{
    device->setPageMargins(QMarginsF(MarginCm * 10, MarginCm * 10, MarginCm * 10, MarginCm * 10),
                           QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(device))
        return false;
    Painter page(device, painter);
    page.header(receipt);
    page.captions();
    for (const Receipt::Line &line : receipt.lines)
        page.line(line);
    page.summary(receipt);
    return painter.end();
}

bool RollReceiptLayout::paint(const Receipt &receipt, QPagedPaintDevice *device, double paperWidthMm)
{
    const QFont body = printFont(9, false);
    const QFont title = printFont(12, true);
    const QFont big = printFont(10.5, true);

    QList<RollDocument::Block> blocks;
    blocks.append({receipt.header, QString(), title, Qt::AlignHCenter});
    blocks.append({receipt.saleLine(), QString(), body});
    blocks.append({receipt.time, QString(), body});
    if (!receipt.returnNote.isEmpty())
        blocks.append({receipt.returnNote, QString(), big});
    blocks.append({QString(), QString(), body, Qt::AlignLeft, true});
    for (const Receipt::Line &l : receipt.lines) {
        blocks.append({l.name.isEmpty() ? l.code : l.name, QString(), body});
        blocks.append({QStringLiteral("  %1 × %2").arg(l.quantity, l.price), l.amount.toYuan(), body});
        if (!l.note.isEmpty())
            blocks.append({QStringLiteral("  ") + l.note, QString(), body});
    }
    blocks.append({QString(), QString(), body, Qt::AlignLeft, true});
    blocks.append({QStringLiteral("合计："), receipt.total.toYuan(), big});
    blocks.append({QStringLiteral("付款："), receipt.paid, body});
    blocks.append({receipt.changeCaption, receipt.change, receipt.changeCaption == u"找零：" ? body : big});
    if (!receipt.method.isEmpty())
        blocks.append({receipt.method, QString(), body});
    if (!receipt.member.isEmpty())
        blocks.append({receipt.member, QString(), body});
    blocks.append({QString(), QString(), body, Qt::AlignLeft, true});
    for (const QString &line : receipt.footer)
        blocks.append({line, QString(), body, Qt::AlignHCenter});

    return RollDocument::paint(blocks, device, paperWidthMm);
}
