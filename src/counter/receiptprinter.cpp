#include "receiptprinter.h"

#include "receipt.h"

#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace ReceiptPrinter {

QString documentName()
{
    return QStringLiteral("Tarvel receipt");
}

QString printOnDefaultPrinter(const Receipt &receipt)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return QStringLiteral("没有设置默认打印机。");
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(documentName());
    if (!printer.isValid())
        return QStringLiteral("打印机 %1 不可用。").arg(info.printerName());
    if (!ReceiptLayout::paint(receipt, &printer) || printer.printerState() == QPrinter::Error)
        return QStringLiteral("打印机 %1 打印失败。").arg(info.printerName());
    return QString();
}

void preview(const Receipt &receipt, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName());
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("DataReport1"));
    dialog.setWindowTitle(QStringLiteral("打印"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&receipt](QPrinter *target) { ReceiptLayout::paint(receipt, target); });
    dialog.exec();
}

} // namespace ReceiptPrinter
