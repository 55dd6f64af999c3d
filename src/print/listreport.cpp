#include "print/listreport.h"

#include "print/printfont.h"
#include "print/printout.h"
#include "print/wrappedrow.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <numeric>

namespace {
constexpr double MarginMm = 20;
constexpr double GapCm = 0.15;
} // namespace

bool ListReport::paint(QPagedPaintDevice *device) const
{
    device->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(device))
        return false;
    const double dpi = device->logicalDpiY();
    auto cm = [dpi](double v) { return v / 2.54 * dpi; };
    const QFont body = printFont(10, false);
    const QFont bold = printFont(10.5, true);
    const double lineHeight = QFontMetricsF(body, device).height() * 1.3;
    const double width = cm(std::accumulate(widthsCm.begin(), widthsCm.end(), 0.0));
    auto rowOf = [&](const QStringList &texts) {
        WrappedRow row;
        double x = 0;
        for (int c = 0; c < texts.size() && c < widthsCm.size(); ++c) {
            row.fields.append({cm(x), cm(widthsCm[c] - GapCm), texts.at(c)});
            x += widthsCm[c];
        }
        return row;
    };

    p.setFont(printFont(18, true));
    p.drawText(QRectF(0, 0, width, cm(1.2)), Qt::AlignHCenter | Qt::AlignVCenter, title);
    double y = cm(1.3);
    p.drawLine(QPointF(0, y), QPointF(width, y));
    y += cm(0.2);
    p.setFont(body);
    auto pageHeader = [&] {
        rowOf(captions).draw(p, y, lineHeight);
        y += lineHeight;
        p.drawLine(QPointF(0, y), QPointF(width, y));
        y += cm(0.1);
    };
    pageHeader();
    QString group;
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList &row = rows[r];
        const bool heading = groupColumn >= 0 && (r == 0 || row.value(groupColumn) != group);
        // The group's heading names it; its lines do not again.
        QStringList shown = row;
        if (groupColumn >= 0 && groupColumn < shown.size())
            shown[groupColumn].clear();
        const WrappedRow fields = rowOf(shown);
        const double height = fields.height(p, lineHeight, lineHeight - QFontMetricsF(body, device).height());
        if (y + height + (heading ? 2 * lineHeight : 0) > device->height()) {
            device->newPage();
            y = 0;
            pageHeader();
        }
        if (heading) {
            group = row.value(groupColumn);
            y += lineHeight / 2;
            p.setFont(bold);
            p.drawText(QRectF(0, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       (group.isEmpty() ? QStringLiteral("（厂家未填）") : group));
            p.setFont(body);
            y += lineHeight;
        }
        fields.draw(p, y, height);
        y += height;
    }
    return p.end();
}

void ListReport::preview(QWidget *parent, const QString &objectName) const
{
    Printout::preview(parent, objectName, title, QStringLiteral("Tarvel ") + title,
                      [this](QPrinter *printer, const QPrinterInfo &) { return paint(printer); });
}

Done ListReport::printOnDefaultPrinter() const
{
    return Printout::printOnDefaultPrinter(QStringLiteral("Tarvel ") + title,
                                           [this](QPrinter *printer, const QPrinterInfo &) { return paint(printer); });
}
