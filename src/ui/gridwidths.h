#pragma once

#include <initializer_list>

class QTableView;

// Gives every column of a grid its designed width in twips, or more where its
// content needs it, so codes, names, amounts and times are shown whole.
void fitColumns(QTableView *grid, std::initializer_list<int> twipWidths);
