#pragma once

#include "print/spreadsheet.h"

#include <functional>

class QAbstractItemView;
class QPushButton;
class QTableView;
class QWidget;

// "导出" on a back-office grid: asks where (.xlsx or .csv), writes every row
// of the grid there and says how it went.
QPushButton *exportButton(QWidget *parent, const QString &fileName, std::function<Spreadsheet::Sheet()> sheet);

// The sheet of what a grid shows: every row of its model, its hidden columns left out.
Spreadsheet::Sheet sheetOfView(const QTableView *view, const QList<Spreadsheet::Kind> &kinds, const QString &name);
