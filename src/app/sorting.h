#pragma once
// Sorting the list by one column, ascending or descending.

#include "app/listrows.h"

#include <functional>
#include <string>
#include <vector>

// The locale's comparison of two UTF-8 texts: negative, zero or positive.
using TextCompare = std::function<int(const std::string&, const std::string&)>;

// The key of a row for sort column 1-14: for the name, a blank before a folder's caption and
// "0" before a file's, so folders gather together; otherwise the cell as displayed.
std::string SortKey(const ListRow& row, int column);

// The sort column after a click on the header of column index clicked (0-based): the same
// column again reverses the direction, another one sorts ascending by it.
int SortColumnAfterClick(int sortColumn, int clicked);

// Sorts by |sortColumn|, descending when it is negative. Rows with equal keys keep their order.
void SortRows(std::vector<ListRow>& rows, int sortColumn, const TextCompare& compare);
