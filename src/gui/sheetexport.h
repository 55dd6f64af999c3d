#pragma once

#include "print/spreadsheet.h"

#include <functional>

class QAbstractItemView;
class QPushButton;
class QTableView;
class QWidget;

// A grid as a sheet: the view, the kinds of its model's columns and the sheet's name.
struct GridSheet
{
    const QTableView *view = nullptr;
    QList<Spreadsheet::Kind> kinds;
    QString name;
};

// "导出" on a back-office grid: asks where (.xlsx or .csv), writes every row
// of the grid there and says how it went.
QPushButton *exportButton(QWidget *parent, const QString &fileName, std::function<GridSheet()> grid);

// Every row a grid shows (its hidden columns left out) written to `path`,
// the file being written while the rows are read. Empty, or what went wrong;
// `rows` gets the number of rows.
QString exportGrid(const GridSheet &grid, const QString &path, int *rows = nullptr);

// The sheet of what a grid shows: every row of its model, its hidden columns left out.
Spreadsheet::Sheet sheetOfView(const QTableView *view, const QList<Spreadsheet::Kind> &kinds, const QString &name);
