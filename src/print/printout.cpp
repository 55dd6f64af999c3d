#include "print/printout.h"

#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace Printout {

namespace {

// A sensible size on the screen, opened at the page's width, so a receipt or
// a list is readable at once.
void makeReadable(QPrintPreviewDialog *dialog)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    dialog->resize(std::min(900, available.width() * 9 / 10), std::min(1000, available.height() * 9 / 10));
    if (auto *widget = dialog->findChild<QPrintPreviewWidget *>()) {
        widget->setZoomMode(QPrintPreviewWidget::FitToWidth);
        // The dialog sets its own zoom when it is first shown: fit again then.
        QTimer::singleShot(0, widget, [widget] { widget->fitToWidth(); });
    }
}

} // namespace

Done printOn(const QPrinterInfo &info, const QString &documentName, const Paint &paint)
{
    if (info.isNull())
        return Error{QStringLiteral("没有设置默认打印机。")};
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(documentName);
    if (!printer.isValid())
        return Error{QStringLiteral("打印机 %1 不可用。").arg(info.printerName())};
    if (!paint(&printer, info) || printer.printerState() == QPrinter::Error)
        return Error{QStringLiteral("打印机 %1 打印失败。").arg(info.printerName())};
    return {};
}

Done printOnDefaultPrinter(const QString &documentName, const Paint &paint)
{
    return printOn(QPrinterInfo::defaultPrinter(), documentName, paint);
}

void preview(QWidget *parent, const QString &objectName, const QString &title, const QString &documentName,
             const Paint &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(title);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { paint(target, info); });
    makeReadable(&dialog);
    dialog.exec();
}

} // namespace Printout
