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
    const int column = std::abs(sortColumn);
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys.emplace_back(SortKey(rows[i], column), i);
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const int c = compare(a.first, b.first);
        return sortColumn < 0 ? c > 0 : c < 0;
    });
    std::vector<ListRow> sorted;
    sorted.reserve(rows.size());
    for (const auto& [key, index] : keys)
        sorted.push_back(std::move(rows[index]));
    rows = std::move(sorted);
}
