#pragma once

#include "shop/stockfigures.h"

class QPagedPaintDevice;
class QWidget;

// DataReport2, the printed inventory list: the title "库 存 清 单" with a rule
// under it, the six column captions at the top of every page, and one line per
// goods. It never shows the purchase price, the stock value or any total.
namespace InventoryReport {

QStringList captions();
// The six texts of one line, as the screen shows them.
QStringList fieldsOf(const StockFigures::Row &row);

bool paint(const QList<StockFigures::Row> &rows, QPagedPaintDevice *device);
// The modal preview titled "库存打印", from which the list is printed.
void preview(const QList<StockFigures::Row> &rows, QWidget *parent);
// Prints on the default printer without a dialog; empty, or what went wrong.
Done printOnDefaultPrinter(const QList<StockFigures::Row> &rows);

} // namespace InventoryReport
