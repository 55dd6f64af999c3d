#pragma once

#include <QString>

struct Receipt;
class QWidget;

namespace ReceiptPrinter {

// Prints every page on the default printer, without a printer dialog.
// Returns an empty string on success, otherwise what went wrong.
QString printOnDefaultPrinter(const Receipt &receipt);

// The modal preview window titled "打印", from which the receipt can be printed.
void preview(const Receipt &receipt, QWidget *parent);

// The document name under which receipts are printed.
QString documentName();

} // namespace ReceiptPrinter
