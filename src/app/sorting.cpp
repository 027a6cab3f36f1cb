#include "app/sorting.h"

#include <algorithm>
#include <cstdlib>

std::string SortKey(const ListRow& row, int column) {
    if (column <= 1)
        return (row.isFolder ? " " : "0") + row.caption;
    return row.cells[size_t(std::min(column, kCellCount + 1) - 2)];
}

int SortColumnAfterClick(int sortColumn, int clicked) {
    const int n = clicked + 1;
    return n == std::abs(sortColumn) ? -sortColumn : n;
}

void SortRows(std::vector<ListRow>& rows, int sortColumn, const TextCompare& compare) {
    SortRowsBy(
        rows, sortColumn, [](std::string key) { return key; }, compare);
}
