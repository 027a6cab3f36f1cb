// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sorting.h"

#include <cmath>
#include <cstdlib>

int SortGroup(const ListRow& row) {
    if (!row.isFolder)
        return 2;
    return row.caption == ".." ? 0 : 1;
}

std::optional<int64_t> CellNumber(std::string_view cell) {
    bool any = false;
    int64_t value = 0;
    for (char c : cell) {
        if (c < '0' || c > '9')
            continue;
        any = true;
        // A cell never holds more than 19 digits (a 64-bit size grouped, or a date); a longer
        // one would only be wrong in its order, never undefined.
        value = int64_t(uint64_t(value) * 10 + uint64_t(c - '0'));
    }
    return any ? std::optional<int64_t>(value) : std::nullopt;
}

NumberKey NumberKeyOf(const ListRow& row, int column) {
    if (column < 2 || column > kAllColumnCount)
        return {};
    const std::string_view cell = CellText(row, Column(column - 1));
    switch (kColumns[size_t(column - 1)].sort) {
    case SortKind::Time:
        return cell.empty() ? NumberKey{} : NumberKey{true, std::llround(row.modified * 86400.0)};
    case SortKind::Paper:
        // Square millimetres, in hundredths: sizes a few tenths apart keep their order.
        return row.features && row.features->paperAreaMm2 >= 0
                   ? NumberKey{true, std::llround(row.features->paperAreaMm2 * 100)}
                   : NumberKey{};
    default:
        const auto number = CellNumber(cell);
        return number ? NumberKey{true, *number} : NumberKey{};
    }
}

std::string_view SortText(const ListRow& row, int column) {
    if (column <= 1 || column > kAllColumnCount)
        return row.caption;
    return CellText(row, Column(column - 1));
}

int SortColumnAfterClick(int sortColumn, int clicked) {
    const int n = clicked + 1;
    return n == std::abs(sortColumn) ? -sortColumn : n;
}

void SortRows(std::vector<ListRow>& rows, int sortColumn, const TextCompare& compare) {
    SortRowsBy(
        rows, sortColumn, [](std::string_view text) { return std::string(text); }, compare,
        [&compare] { return compare; });
}

void MoveRowsInto(std::vector<ListRow>& rows, std::vector<size_t> moved) {
    // The rows are put in their new places in place, cycle by cycle: a second list of rows
    // would hold a large folder's rows twice.
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
}
