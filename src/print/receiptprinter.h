#pragma once

#include "shop/result.h"

#include <QString>

struct Receipt;
class QPrinterInfo;
class QWidget;

namespace ReceiptPrinter {

// Prints every page on the default printer, without a printer dialog.
// Returns an empty string on success, otherwise what went wrong. A printer
// whose paper is a receipt roll (at most 80 mm wide) gets the roll receipt,
// any other the page layout.
Done printOnDefaultPrinter(const Receipt &receipt);
Done printOn(const QPrinterInfo &printer, const Receipt &receipt);

// The modal preview window titled "打印", from which the receipt can be printed.
void preview(const Receipt &receipt, QWidget *parent);

// The paper width of a receipt roll in the printer, or 0 for page paper.
double rollWidthMm(const QPrinterInfo &info);

// The document name under which receipts are printed.
QString documentName();

} // namespace ReceiptPrinter
