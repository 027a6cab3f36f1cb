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

// Asks for row's bytes to be brought into the cache ahead of their use.
inline void PrefetchRow(const ListRow& row) {
    const char* bytes = reinterpret_cast<const char*>(&row);
    for (size_t at = 0; at < sizeof(ListRow); at += 64)
        __builtin_prefetch(bytes + at);
}

// The same with each row's key made once by prepare (from its SortKey) and compared by
// compare: for an order whose comparison would otherwise convert both texts every time.
// Returns, for each place, the index the row there had before.
template <class Prepare, class Compare>
std::vector<size_t> SortRowsBy(std::vector<ListRow>& rows, int sortColumn, Prepare prepare,
                               Compare compare) {
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
    std::vector<size_t> moved(keys.size()); // the row that goes to each place, until moved
    for (size_t i = 0; i < keys.size(); ++i)
        moved[i] = keys[i].second;
    keys = {};
    std::vector<size_t> from = moved;
    for (size_t i = 0; i < moved.size(); ++i) {
        if (moved[i] == i)
            continue;
        ListRow first = std::move(rows[i]);
        size_t j = i;
        for (;;) {
            const size_t k = moved[j];
            // A large list's rows lie far apart in memory: the row moved two steps on is
            // fetched while this one is moved.
            PrefetchRow(rows[moved[moved[k]]]);
            moved[j] = j;
            if (k == i) {
                rows[j] = std::move(first);
                break;
            }
            rows[j] = std::move(rows[k]);
            j = k;
        }
    }
    return from;
}
