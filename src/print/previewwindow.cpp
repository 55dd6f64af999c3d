#include "print/previewwindow.h"

#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QTimer>

void makeReadable(QPrintPreviewDialog *dialog)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    dialog->resize(std::min(900, available.width() * 9 / 10), std::min(1000, available.height() * 9 / 10));
    if (auto *preview = dialog->findChild<QPrintPreviewWidget *>()) {
        preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
        // The dialog sets its own zoom when it is first shown: fit again then.
        QTimer::singleShot(0, preview, [preview] { preview->fitToWidth(); });
    }
}
