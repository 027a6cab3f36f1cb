// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's locale as the list uses it: the collation rows are sorted by and the thousands
// separator of its numbers. Shared by the window and the command-line lister.

#include "app/listrows.h"

#include <string>
#include <vector>

// SortRows in the locale's collation of the UTF-8 texts, case deciding only between otherwise
// equal ones. Returns what SortRowsBy returns.
std::vector<size_t> SortRowsByLocale(std::vector<ListRow>& rows, int sortColumn);
// The cell format of the user's locale.
CellFormat LocaleCellFormat();
