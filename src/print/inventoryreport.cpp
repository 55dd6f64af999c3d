#include "print/inventoryreport.h"

#include "print/listreport.h"
#include "print/printout.h"

#include <QPagedPaintDevice>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace InventoryReport {
namespace {

// Left edges of the six columns in centimetres from the margin, and the last
// column's end.
constexpr double ColumnCm[] = {0, 3.3, 6.9, 8.9, 11.7, 13.9, 16.1};

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
    ListReport list{QStringLiteral("库 存 清 单"), captions(), {}, {}, -1};
    for (int c = 0; c < 6; ++c)
        list.widthsCm.append(ColumnCm[c + 1] - ColumnCm[c]);
    for (const StockFigures::Row &row : rows)
        list.rows.append(fieldsOf(row));
    return list.paint(device);
}

void preview(const QList<StockFigures::Row> &rows, QWidget *parent)
{
    Printout::preview(parent, QStringLiteral("DataReport2"), QStringLiteral("库存打印"),
                      QStringLiteral("Tarvel inventory"),
                      [&rows](QPrinter *printer, const QPrinterInfo &) { return paint(rows, printer); });
}

Done printOnDefaultPrinter(const QList<StockFigures::Row> &rows)
{
    return Printout::printOnDefaultPrinter(
        QStringLiteral("Tarvel inventory"),
        [&rows](QPrinter *printer, const QPrinterInfo &) { return paint(rows, printer); });
}

} // namespace InventoryReport
