// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sorting the list by one column, ascending or descending.
//
// The order, whatever the column and direction: ".." first, then the folders, then the files.
// Within each group the rows go by the column's value (numbers as numbers, times as times, text
// in the locale's collation), reversed for a descending sort; rows with equal values go by
// name, ascending, and rows equal in that too keep their order.

#include "app/columns.h"
#include "app/listrows.h"
#include "common/sidebyside.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The locale's comparison of two UTF-8 texts: negative, zero or positive.
using TextCompare = std::function<int(const std::string&, const std::string&)>;

// Where a row goes before any column is compared: ".." (0), folders (1), files (2).
int SortGroup(const ListRow& row);

// The digits of cell read as one number, every other character ignored; nothing when the cell
// has no digit (an empty cell, "無し").
std::optional<int64_t> CellNumber(std::string_view cell);

// A row's place by a Number, Date, Time or Paper column: rows without a value go before all
// others.
struct NumberKey {
    bool has = false;
    int64_t value = 0;
};
NumberKey NumberKeyOf(const ListRow& row, int column);

// The text a Name or Text column orders a row by: the caption or the cell as displayed.
std::string_view SortText(const ListRow& row, int column);

// The sort column after a click on the header of column index clicked (0-based): the same
// column again reverses the direction, another one sorts ascending by it.
int SortColumnAfterClick(int sortColumn, int clicked);

// Sorts by |sortColumn|, descending when it is negative, comparing texts with compare (which a
// large list calls from two threads at once).
void SortRows(std::vector<ListRow>& rows, int sortColumn, const TextCompare& compare);

// Asks for row's bytes to be brought into the cache ahead of their use.
inline void PrefetchRow(const ListRow& row) {
    const char* bytes = reinterpret_cast<const char*>(&row);
    for (size_t at = 0; at < sizeof(ListRow); at += 64)
        __builtin_prefetch(bytes + at);
}

// Puts rows in the order moved gives (moved[place] = the index of the row that goes there).
void MoveRowsInto(std::vector<ListRow>& rows, std::vector<size_t> moved);

// The same sort with each text made once by prepare (from a UTF-8 text) and compared by
// compare: for a collation that would otherwise convert both texts every time. A large list is
// sorted in two halves side by side, the second with what helperCompare() makes on the other
// thread (a collation that may not be shared between threads), then merged.
// Returns, for each place, the index the row there had before.
template <class Prepare, class Compare, class MakeCompare>
std::vector<size_t> SortRowsBy(std::vector<ListRow>& rows, int sortColumn, Prepare prepare,
                               const Compare& compare, MakeCompare helperCompare) {
    const int column = sortColumn < 0 ? -sortColumn : sortColumn;
    const bool descending = sortColumn < 0;
    const SortKind kind = InfoOfSortColumn(column).sort;
    const bool byText = kind == SortKind::Name || kind == SortKind::Text;
    const bool byNumber = !byText;
    // The paper column goes by area, then by its text ("A4 横" beside "A4 縦").
    const bool thenText = kind == SortKind::Paper;
    using Text = decltype(prepare(std::string_view()));
    struct Key {
        int group;
        NumberKey number;
        Text text; // of the column; empty for a numeric one but the paper
        Text name; // for ties; empty when the column is the name
        size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const ListRow& row = rows[i];
        Key key{SortGroup(row), {}, {}, {}, i};
        if (byText || thenText)
            key.text = prepare(SortText(row, column));
        if (byNumber)
            key.number = NumberKeyOf(row, column);
        if (kind != SortKind::Name)
            key.name = prepare(row.caption);
        keys.push_back(std::move(key));
    }
    // Whether a goes before b, texts compared by textCompare.
    auto before = [&](const Key& a, const Key& b, const auto& textCompare) {
        if (a.group != b.group)
            return a.group < b.group;
        int c = 0;
        if (byText)
            c = textCompare(a.text, b.text);
        else if (a.number.has != b.number.has)
            c = a.number.has ? 1 : -1;
        else if (a.number.value != b.number.value)
            c = a.number.value < b.number.value ? -1 : 1;
        else if (thenText)
            c = textCompare(a.text, b.text);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return kind != SortKind::Name && textCompare(a.name, b.name) < 0;
    };
    auto sortPart = [&](auto first, auto last, const auto& textCompare) {
        std::stable_sort(first, last,
                         [&](const Key& a, const Key& b) { return before(a, b, textCompare); });
    };
    if (TwoThreadsPay(keys.size())) {
        const auto middle = keys.begin() + ptrdiff_t(keys.size() / 2);
        RunSideBySide([&] { sortPart(keys.begin(), middle, compare); },
                      [&] { sortPart(middle, keys.end(), helperCompare()); });
        // Of equal keys, the first half's go first: the order a stable sort of the whole keeps.
        std::inplace_merge(keys.begin(), middle, keys.end(),
                           [&](const Key& a, const Key& b) { return before(a, b, compare); });
    } else {
        sortPart(keys.begin(), keys.end(), compare);
    }
    std::vector<size_t> from(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        from[i] = keys[i].index;
    keys = {};
    MoveRowsInto(rows, from);
    return from;
}
