#include "print/inventoryreport.h"

#include "print/printfont.h"
#include "print/printout.h"
#include "print/wrappedrow.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextOption>

namespace InventoryReport {
namespace {

constexpr double MarginMm = 20;
// Left edges of the six columns in centimetres from the margin, and the last
// column's end.
constexpr double ColumnCm[] = {0, 3.3, 6.9, 8.9, 11.7, 13.9, 16.1};
constexpr double GapCm = 0.15;

} // namespace

QStringList captions()
{
    // The first six columns of the inventory grid, under the same captions.
    return StockFigures::captions().mid(0, 6);
}

QStringList fieldsOf(const StockFigures::Row &row)
{
    QStringList fields;
    for (int column = 0; column < 6; ++column)
        fields.append(StockFigures::text(row, column));
    return fields;
}

bool paint(const QList<StockFigures::Row> &rows, QPagedPaintDevice *device)
{
    device->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(device))
        return false;
    const double dpi = device->logicalDpiY();
    auto cm = [dpi](double v) { return v / 2.54 * dpi; };
    const QFont body = printFont(10, false);
    const double lineHeight = QFontMetricsF(body, device).height() * 1.3;
    const double pageHeight = device->height();
    auto rowOf = [&](const QStringList &texts) {
        WrappedRow row;
        for (int c = 0; c < texts.size(); ++c)
            row.fields.append({cm(ColumnCm[c]), cm(ColumnCm[c + 1] - ColumnCm[c] - GapCm), texts.at(c)});
        return row;
    };

    double y = 0;
    // Report header: the title and a rule under it, once.
    p.setFont(printFont(18, true));
    const QRectF titleBox(0, 0, cm(ColumnCm[6]), cm(1.2));
    p.drawText(titleBox, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("库 存 清 单"));
    y = cm(1.3);
    p.drawLine(QPointF(0, y), QPointF(cm(ColumnCm[6]), y));
    y += cm(0.2);
    p.setFont(body);

    auto pageHeader = [&] {
        rowOf(captions()).draw(p, y, lineHeight);
        y += lineHeight;
        p.drawLine(QPointF(0, y), QPointF(cm(ColumnCm[6]), y));
        y += cm(0.1);
    };
    pageHeader();
    for (const StockFigures::Row &row : rows) {
        const WrappedRow fields = rowOf(fieldsOf(row));
        const double height = fields.height(p, lineHeight, lineHeight - QFontMetricsF(body, device).height());
        if (y + height > pageHeight) {
            device->newPage();
            y = 0;
            pageHeader();
        }
        fields.draw(p, y, height);
        y += height;
    }
    return p.end();
}

void preview(const QList<StockFigures::Row> &rows, QWidget *parent)
{
    Printout::preview(parent, QStringLiteral("DataReport2"), QStringLiteral("库存打印"),
                      QStringLiteral("Tarvel inventory"),
                      [&rows](QPrinter *printer, const QPrinterInfo &) { return paint(rows, printer); });
}

QString printOnDefaultPrinter(const QList<StockFigures::Row> &rows)
{
    return Printout::printOnDefaultPrinter(
        QStringLiteral("Tarvel inventory"),
        [&rows](QPrinter *printer, const QPrinterInfo &) { return paint(rows, printer); });
}

} // namespace InventoryReport
