#include "print/closeprinter.h"

#include "print/printfont.h"
#include "print/printout.h"
#include "print/receiptprinter.h"
#include "print/rolldocument.h"
#include "shop/dayclose.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace ClosePrinter {

namespace {

QString documentName()
{
    return QStringLiteral("Tarvel close report");
}

Printout::Paint painter(const CloseReport &report)
{
    return [&report](QPrinter *printer, const QPrinterInfo &info) {
        if (const double roll = ReceiptPrinter::rollWidthMm(info); roll > 0)
            return paintRoll(report, printer, roll);
        return paintPage(report, printer);
    };
}

} // namespace

bool paintPage(const CloseReport &report, QPagedPaintDevice *device)
{
    constexpr double MarginCm = 2.54;
    device->setPageMargins(QMarginsF(MarginCm * 10, MarginCm * 10, MarginCm * 10, MarginCm * 10),
                           QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(device))
        return false;
    const double dpi = device->logicalDpiY();
    auto cm = [dpi](double v) { return v / 2.54 * dpi; };
    p.setFont(printFont(15.75, true));
    p.drawText(QRectF(0, 0, device->width(), cm(1)), Qt::AlignHCenter | Qt::AlignVCenter, report.title);
    p.drawLine(QPointF(cm(1), cm(1.1)), QPointF(device->width() - cm(1), cm(1.1)));
    const QFont body = printFont(10.5, false);
    p.setFont(body);
    const double line = QFontMetricsF(body, device).height() * 1.4;
    double y = cm(1.4);
    for (const auto &[caption, value] : report.rows) {
        if (y + line > device->height()) {
            device->newPage();
            y = 0;
        }
        p.drawText(QRectF(cm(3), y, cm(4), line), Qt::AlignLeft | Qt::AlignVCenter, caption + u'：');
        p.drawText(QRectF(cm(7), y, cm(5), line), Qt::AlignRight | Qt::AlignVCenter, value);
        y += line;
    }
    return p.end();
}

bool paintRoll(const CloseReport &report, QPagedPaintDevice *device, double paperWidthMm)
{
    const QFont body = printFont(9, false);
    QList<RollDocument::Block> blocks;
    blocks.append({report.title, QString(), printFont(12, true), Qt::AlignHCenter});
    blocks.append({QString(), QString(), body, Qt::AlignLeft, true});
    for (const auto &[caption, value] : report.rows)
        blocks.append({caption + u'：', value, body});
    blocks.append({QString(), QString(), body, Qt::AlignLeft, true});
    return RollDocument::paint(blocks, device, paperWidthMm);
}

Done printOn(const QPrinterInfo &printer, const CloseReport &report)
{
    return Printout::printOn(printer, documentName(), painter(report));
}

Done printOnDefaultPrinter(const CloseReport &report)
{
    return Printout::printOnDefaultPrinter(documentName(), painter(report));
}

} // namespace ClosePrinter
