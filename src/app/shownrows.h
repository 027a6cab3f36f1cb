// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window shows of its rows, as plain values: the text of each cell, the search that
// narrows the rows, the rows as tab-separated text for the clipboard, and the totals of the
// rows shown.

#include "app/listrows.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text the window shows in column (0-based) of row: made inert (InertText), and 更新日時
// with its four-digit year, as 作成日 beside it has (the saved list keeps the cell's
// two-digit one).
std::string_view ShownCell(const ListRow& row, int column, std::string& scratch);

// What the search looks for, folded as FoldForMatching folds (so ｱ finds ア and Ａ finds A),
// and the rows' text folded the same way once per row.
class RowSearch {
public:
    // Blanks around text are not looked for; an empty text finds every row.
    explicit RowSearch(std::string_view text = {});

    bool empty() const { return needle_.empty(); }
    // Whether the shown text of one of columns (0-based) of row holds the text.
    bool matches(const ListRow& row, const std::vector<int>& columns) const;

private:
    std::string needle_;
    bool foundNowhere_ = false;
    mutable std::string haystack_; // reused from row to row
};

// The shown cells of columns (0-based, in the order given) of rows: a tab between cells and a
// line feed after each row. The cells are inert, so no tab or line break of their own splits a
// row.
std::string RowsAsTabSeparated(const std::vector<const ListRow*>& rows,
                               const std::vector<int>& columns);

struct RowTotals {
    int64_t files = 0; // rows that are not folders
    int64_t pages = 0; // of the PDF files among them
    int64_t bytes = 0;
    bool operator==(const RowTotals&) const = default;
};

// The totals of rows (folders count for nothing).
RowTotals TotalsOf(const std::vector<const ListRow*>& rows);
