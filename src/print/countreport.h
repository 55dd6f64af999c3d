#pragma once

#include "print/listreport.h"
#include "shop/stockcount.h"

// The printed lists of a stock count: the count sheet handed to the
// counters (code, name, maker and an empty column to write in; no book
// stock, so that nobody copies it), and the variance list of the codes
// whose count differs from the book, with the totals.
namespace CountReport {

ListReport countSheet(const StockCount::Sheet &sheet);
ListReport varianceList(const StockCount::Sheet &sheet);

} // namespace CountReport
