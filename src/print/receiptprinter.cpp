#include "print/receiptprinter.h"

#include "print/previewwindow.h"
#include "print/receiptlayout.h"

#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace ReceiptPrinter {

QString documentName()
{
    return QStringLiteral("Tarvel receipt");
}

namespace {

// The paper width of a receipt roll in the printer, or 0 for page paper. A
// default QPrinter claims A4: the queue's own default paper is asked.
double rollWidthMm(const QPrinterInfo &info)
{
    if (info.isNull())
        return 0;
    const double width = info.defaultPageSize().size(QPageSize::Millimeter).width();
    return width > 0 && width <= RollReceiptLayout::MaxRollWidthMm ? width : 0;
}

bool paintFor(const QPrinterInfo &info, const Receipt &receipt, QPrinter *printer)
{
    if (const double roll = rollWidthMm(info); roll > 0)
        return RollReceiptLayout::paint(receipt, printer, roll);
    return ReceiptLayout::paint(receipt, printer);
}

} // namespace

QString printOn(const QPrinterInfo &info, const Receipt &receipt)
{
    if (info.isNull())
        return QStringLiteral("没有设置默认打印机。");
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(documentName());
    if (!printer.isValid())
        return QStringLiteral("打印机 %1 不可用。").arg(info.printerName());
    if (!paintFor(info, receipt, &printer) || printer.printerState() == QPrinter::Error)
        return QStringLiteral("打印机 %1 打印失败。").arg(info.printerName());
    return QString();
}

QString printOnDefaultPrinter(const Receipt &receipt)
{
    return printOn(QPrinterInfo::defaultPrinter(), receipt);
}

void preview(const Receipt &receipt, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName());
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("DataReport1"));
    dialog.setWindowTitle(QStringLiteral("打印"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&receipt](QPrinter *target) { paintFor(QPrinterInfo::defaultPrinter(), receipt, target); });
    makeReadable(&dialog);
    dialog.exec();
}

} // namespace ReceiptPrinter
