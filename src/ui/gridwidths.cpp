#include "gridwidths.h"

#include "twips.h"

#include <QHeaderView>
#include <QTableView>

void fitColumns(QTableView *grid, std::initializer_list<int> twipWidths)
{
    // The widths follow the first few hundred rows: twenty thousand goods are
    // not measured one by one.
    grid->horizontalHeader()->setResizeContentsPrecision(300);
    int column = 0;
    for (const int width : twipWidths) {
        if (!grid->isColumnHidden(column)) {
            grid->resizeColumnToContents(column);
            grid->setColumnWidth(column, std::max(twips(width), grid->columnWidth(column)));
        } else {
            grid->setColumnWidth(column, twips(width));
        }
        ++column;
    }
}
