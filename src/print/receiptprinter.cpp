#include "print/receiptprinter.h"

#include "print/printout.h"
#include "print/receiptlayout.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace ReceiptPrinter {

QString documentName()
{
    return QStringLiteral("Tarvel receipt");
}

// A default QPrinter claims A4: the queue's own default paper is asked.
double rollWidthMm(const QPrinterInfo &info)
{
    if (info.isNull())
        return 0;
    const double width = info.defaultPageSize().size(QPageSize::Millimeter).width();
    return width > 0 && width <= RollReceiptLayout::MaxRollWidthMm ? width : 0;
}

namespace {

bool paintFor(const QPrinterInfo &info, const Receipt &receipt, QPrinter *printer)
{
    if (const double roll = rollWidthMm(info); roll > 0)
        return RollReceiptLayout::paint(receipt, printer, roll);
    return ReceiptLayout::paint(receipt, printer);
}

Printout::Paint painter(const Receipt &receipt)
{
    return [&receipt](QPrinter *printer, const QPrinterInfo &info) { return paintFor(info, receipt, printer); };
}

} // namespace

Done printOn(const QPrinterInfo &info, const Receipt &receipt)
{
    return Printout::printOn(info, documentName(), painter(receipt));
}

Done printOnDefaultPrinter(const Receipt &receipt)
{
    return Printout::printOnDefaultPrinter(documentName(), painter(receipt));
}

void preview(const Receipt &receipt, QWidget *parent)
{
    Printout::preview(parent, QStringLiteral("DataReport1"), QStringLiteral("打印"), documentName(), painter(receipt));
}

} // namespace ReceiptPrinter
