#include "print/rolldocument.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace RollDocument {

bool paint(const QList<Block> &blocks, QPagedPaintDevice *device, double paperWidthMm)
{
    constexpr double MarginMm = 3;
    using RollBlock = Block;
    // Measure first: the page is as long as what is printed on it.
    const double dpi = device->logicalDpiY();
    auto mm = [dpi](double v) { return v / 25.4 * dpi; };
    const double width = mm(paperWidthMm - 2 * MarginMm);
    constexpr int wrap = Qt::TextWordWrap | Qt::TextWrapAnywhere;
    auto heightOf = [&](const RollBlock &b) {
        if (b.rule)
            return mm(2.5);
        const QFontMetricsF fm(b.font, device);
        const double rightWidth = b.right.isEmpty() ? 0 : fm.horizontalAdvance(b.right) + mm(2);
        const QRectF need = fm.boundingRect(QRectF(0, 0, width - rightWidth, 1e6), int(b.align) | wrap,
                                            b.left.isEmpty() ? QStringLiteral(" ") : b.left);
        return need.height() + mm(0.6);
    };
    double contentHeight = 0;
    for (const RollBlock &b : blocks)
        contentHeight += heightOf(b);
    // Never shorter than wide: a page wider than long would be turned round
    // on its way to the printer.
    const double lengthMm = std::max(contentHeight / dpi * 25.4 + 2 * MarginMm + 2, paperWidthMm + 1);
    device->setPageSize(QPageSize(QSizeF(paperWidthMm, lengthMm), QPageSize::Millimeter, QStringLiteral("Receipt"),
                                  QPageSize::ExactMatch));
    device->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);

    QPainter p;
    if (!p.begin(device))
        return false;
    double y = 0;
    for (const RollBlock &b : blocks) {
        const double h = heightOf(b);
        if (b.rule) {
            QPen dashed(Qt::black, 0, Qt::DashLine);
            p.setPen(dashed);
            p.drawLine(QPointF(0, y + h / 2), QPointF(width, y + h / 2));
            p.setPen(QPen(Qt::black));
        } else {
            p.setFont(b.font);
            const double rightWidth =
                b.right.isEmpty() ? 0 : QFontMetricsF(b.font, device).horizontalAdvance(b.right) + mm(2);
            p.drawText(QRectF(0, y, width - rightWidth, h), int(b.align | Qt::AlignTop) | wrap, b.left);
            if (!b.right.isEmpty())
                p.drawText(QRectF(0, y, width, h), Qt::AlignRight | Qt::AlignTop, b.right);
        }
        y += h;
    }
    return p.end();
}

} // namespace RollDocument
