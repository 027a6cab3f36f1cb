// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows of its rows: the cells, the search, the copied text and the totals.

#include "app/columns.h"
#include "app/shownrows.h"

#include <gtest/gtest.h>

namespace {

ListRow FileRow(std::string name, std::string title, std::string pages, int64_t size) {
    ListRow row;
    row.caption = row.nameBytes = std::move(name);
    RowCells cells;
    cells[size_t(Column::Title) - 1] = std::move(title);
    cells[size_t(Column::Pages) - 1] = std::move(pages);
    cells[size_t(Column::Modified) - 1] = "26/12/10 09:03:27";
    row.cells = cells;
    row.modified = *TryEncodeDateTime({2026, 12, 10, 9, 3, 27, 0});
    row.size = size;
    return row;
}

std::vector<int> AllColumns() {
    std::vector<int> columns;
    for (int i = 0; i < kColumnCount; ++i)
        columns.push_back(i);
    return columns;
}

TEST(ShownRows, CellsAreInertAndTheModifiedTimeHasItsCentury) {
    const ListRow row = FileRow("a\xE2\x80\xAEgpj.pdf", "line\nbreak", "1", 10);
    std::string scratch;
    EXPECT_EQ(ShownCell(row, int(Column::Name), scratch), "a\\u202egpj.pdf");
    EXPECT_EQ(ShownCell(row, int(Column::Title), scratch), "line\\x0abreak");
    EXPECT_EQ(ShownCell(row, int(Column::Modified), scratch), "2026/12/10 09:03:27");
    EXPECT_EQ(ShownCell(ListRow{"..", 0, true, {}, {}}, int(Column::Modified), scratch), "");
}

TEST(ShownRows, TheSearchFindsAnyColumnAcrossWidthsAndCases) {
    const ListRow row = FileRow("報告書.pdf", "ｱﾆﾒ Report", "12", 10);
    const struct {
        const char* text;
        bool found;
    } cases[] = {
        {"", true},         {"  ", true},           {"report", true}, {"ＲＥＰ", true},
        {"アニメ", true},   {"ｱﾆﾒ", true},          {"報告", true},   {"2026/12", true},
        {" ort ", true},    {"pdfレポート", false}, {"ﾒ Rep", true},  {"pdfｱ", false},
        {"26/12/10", true}, {".pdf\nｱ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RowSearch(c.text).matches(row, AllColumns()), c.found) << c.text;
    // Only the columns asked about are searched.
    EXPECT_FALSE(RowSearch("report").matches(row, {int(Column::Name)}));
}

TEST(ShownRows, RowsCopyAsTabSeparatedLinesOfTheGivenColumns) {
    const ListRow a = FileRow("a.pdf", "One", "3", 10);
    const ListRow b = FileRow("b\tc.pdf", "Two", "1,024", 20);
    EXPECT_EQ(RowsAsTabSeparated({&a, &b}, {int(Column::Title), int(Column::Name)}),
              "One\ta.pdf\nTwo\tb\\x09c.pdf\n");
    EXPECT_EQ(RowsAsTabSeparated({}, {0}), "");
}

TEST(ShownRows, TotalsCountFilesPagesAndBytes) {
    const ListRow a = FileRow("a.pdf", "", "3", 1000);
    const ListRow b = FileRow("b.pdf", "", "1,024", 2000);
    const ListRow text = FileRow("c.txt", "", "", 5);
    const ListRow folder{"sub", 0, true, {}, {}};
    EXPECT_EQ(TotalsOf({&a, &b, &text, &folder}), (RowTotals{3, 1027, 3005}));
    EXPECT_EQ(TotalsOf({}), RowTotals{});
}

} // namespace
