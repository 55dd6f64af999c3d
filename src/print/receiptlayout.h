#pragma once

#include "shop/receipt.h"

class QPagedPaintDevice;

// Draws the receipt on any paged device (a printer, a PDF writer, the preview).
// Positions are in centimetres from the left edge of the printable area; the
// column captions repeat at the top of every page, the summary follows the
// last line once.
class ReceiptLayout
{
public:
    // Sets 2.54 cm margins on the device and paints. False when painting
    // could not start.
    static bool paint(const Receipt &receipt, QPagedPaintDevice *device);
};

// The same receipt in one narrow column for a receipt roll (58 or 80 mm):
// header, ticket number and time, each line as its name and then quantity ×
// price = amount, the total, paid and change, the footer. Margins of 3 mm, the
// paper's width used, the page as long as the receipt.
class RollReceiptLayout
{
public:
    // Paper at most this wide is a roll.
    static constexpr double MaxRollWidthMm = 80.5;
    static bool paint(const Receipt &receipt, QPagedPaintDevice *device, double paperWidthMm);
};
