#pragma once

#include <initializer_list>

class QTableView;
class QWidget;

// Gives every column of a grid its designed width in twips, or more where its
// content needs it, so codes, names, amounts and times are shown whole.
void fitColumns(QTableView *grid, std::initializer_list<int> twipWidths);
// Makes `window`, whose layout the grid spans, wide enough for every shown
// column (at most the screen's width, never narrower than it is).
void widenToColumns(QTableView *grid, QWidget *window);
