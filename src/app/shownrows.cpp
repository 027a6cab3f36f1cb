// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shownrows.h"

#include "app/columns.h"
#include "app/sorting.h"
#include "jtext/compatform.h"

std::string_view ShownCell(const ListRow& row, int column, std::string& scratch) {
    std::string_view text = SortText(row, column + 1);
    std::string longDate;
    if (column == int(Column::Modified) && !text.empty())
        text = longDate = LongDateCell(row.modified);
    text = InertText(text, false, scratch);
    if (text.data() == longDate.data()) // nothing was changed: the text lives in longDate
        text = scratch = std::move(longDate);
    return text;
}

namespace {

// Between the cells of a row searched: no shown cell holds it.
constexpr char kCellSeparator = '\n';

} // namespace

RowSearch::RowSearch(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    needle_ = FoldForMatching(text);
    // The shown cells are inert: a control character in what is looked for is found in none.
    foundNowhere_ = needle_.find(kCellSeparator) != std::string::npos;
}

bool RowSearch::matches(const ListRow& row, const std::vector<int>& columns) const {
    if (needle_.empty())
        return true;
    if (foundNowhere_)
        return false;
    haystack_.clear();
    std::string scratch;
    for (const int column : columns) {
        AppendFoldedForMatching(haystack_, ShownCell(row, column, scratch));
        haystack_ += kCellSeparator; // no text is found across two cells
    }
    return haystack_.find(needle_) != std::string::npos;
}

std::string RowsAsTabSeparated(const std::vector<const ListRow*>& rows,
                               const std::vector<int>& columns) {
    std::string out, scratch;
    for (const ListRow* row : rows) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                out += '\t';
            out += ShownCell(*row, columns[i], scratch);
        }
        out += '\n';
    }
    return out;
}

RowTotals TotalsOf(const std::vector<const ListRow*>& rows) {
    RowTotals totals;
    for (const ListRow* row : rows) {
        if (row->isFolder)
            continue;
        ++totals.files;
        totals.bytes += row->size;
        if (const auto pages = CellNumber(row->cells[size_t(Column::Pages) - 1]))
            totals.pages += *pages;
    }
    return totals;
}
