#pragma once
// Sorting the list by one column, ascending or descending.

#include "app/listrows.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
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

// The same with each row's key made once by prepare (from its SortKey) and compared by
// compare: for an order whose comparison would otherwise convert both texts every time.
template <class Prepare, class Compare>
void SortRowsBy(std::vector<ListRow>& rows, int sortColumn, Prepare prepare, Compare compare) {
    const int column = sortColumn < 0 ? -sortColumn : sortColumn;
    using Key = decltype(prepare(std::string()));
    std::vector<std::pair<Key, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys.emplace_back(prepare(SortKey(rows[i], column)), i);
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const int c = compare(a.first, b.first);
        return sortColumn < 0 ? c > 0 : c < 0;
    });
    // The rows are put in their new places in place, cycle by cycle: a second list of rows
    // would hold a large folder's rows twice.
    std::vector<size_t> from(keys.size()); // the row that goes to each place
    for (size_t i = 0; i < keys.size(); ++i)
        from[i] = keys[i].second;
    keys = {};
    for (size_t i = 0; i < from.size(); ++i) {
        if (from[i] == i)
            continue;
        ListRow first = std::move(rows[i]);
        size_t j = i;
        for (;;) {
            const size_t k = from[j];
            from[j] = j;
            if (k == i) {
                rows[j] = std::move(first);
                break;
            }
            rows[j] = std::move(rows[k]);
            j = k;
        }
    }
}
