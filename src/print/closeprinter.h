#pragma once

#include "shop/result.h"

#include <QString>

struct CloseReport;
class QPagedPaintDevice;
class QPrinterInfo;

// The report of a till's period (X: printed without closing; Z: the close)
// on the shop's receipt printer, through the same print helper as the
// receipt: one narrow column on a roll printer, a page otherwise.
namespace ClosePrinter {

Done printOnDefaultPrinter(const CloseReport &report);
Done printOn(const QPrinterInfo &printer, const CloseReport &report);

// The page layout: the title, then caption and value per row, 2.54 cm margins.
bool paintPage(const CloseReport &report, QPagedPaintDevice *device);
bool paintRoll(const CloseReport &report, QPagedPaintDevice *device, double paperWidthMm);

} // namespace ClosePrinter
