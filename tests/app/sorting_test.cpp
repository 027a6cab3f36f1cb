// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sorting.h"

#include <gtest/gtest.h>

namespace {

// Byte order stands in for the locale's collation here; the window passes the real one.
int ByteCompare(const std::string& a, const std::string& b) {
    return a.compare(b);
}

ListRow Row(std::string name, bool folder, int column = 0, std::string cell = "",
            TDateTime modified = 0) {
    ListRow r;
    r.caption = std::move(name);
    r.isFolder = folder;
    if (column) {
        RowCells cells;
        cells[size_t(column - 2)] = std::move(cell);
        r.cells = cells;
    }
    r.modified = modified;
    return r;
}

using Names = std::vector<std::string>;

Names NamesOf(const std::vector<ListRow>& rows) {
    Names names;
    for (const auto& r : rows)
        names.push_back(r.caption);
    return names;
}

Names Sorted(std::vector<ListRow> rows, int column) {
    SortRows(rows, column, ByteCompare);
    return NamesOf(rows);
}

} // namespace

TEST(Sorting, DotDotAndFoldersLeadInBothDirections) {
    const std::vector<ListRow> rows = {Row("b.pdf", false),   Row("Sub", true),
                                       Row("..", true),       Row("a.pdf", false),
                                       Row("Sub.pdf", false), Row("Alpha", true)};
    EXPECT_EQ(Sorted(rows, 1), (Names{"..", "Alpha", "Sub", "Sub.pdf", "a.pdf", "b.pdf"}));
    EXPECT_EQ(Sorted(rows, -1), (Names{"..", "Sub", "Alpha", "b.pdf", "a.pdf", "Sub.pdf"}));
    // By another column the folders' cells are empty: they keep together, in name order.
    EXPECT_EQ(Sorted(rows, -12), (Names{"..", "Alpha", "Sub", "Sub.pdf", "a.pdf", "b.pdf"}));
}

TEST(Sorting, NumericColumnsCompareNumbers) {
    // The cells as the list shows them, out of order as text.
    const struct {
        int column;
        std::vector<std::string> cells; // in ascending order
    } cases[] = {
        {9, {"", "9", "12", "1,178", "17,134"}},             // 頁数; a plain file's is empty
        {10, {"", "1,178", "17,134", "107,307", "133,458"}}, // 容量
        {12, {"0KB", "2KB", "10KB", "999KB", "1,024KB"}},    // サイズ
        {8, {"", "無し", "40", "128"}},                      // 暗号: no digits count as none
        {7, {"", "1999/12/31 23:59:59", "2004/07/15 09:03:27", "2004/07/15 10:00:00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        std::vector<ListRow> rows;
        Names ascending;
        // Named so that the name order is the reverse of the value order, but for the last
        // two cells of the 暗号 case, which compare equal and fall back to the name.
        for (size_t i = c.cells.size(); i-- > 0;)
            rows.push_back(Row(std::string(1, char('z' - i)), false, c.column, c.cells[i]));
        for (size_t i = 0; i < c.cells.size(); ++i)
            ascending.push_back(std::string(1, char('z' - i)));
        Names descending(ascending.rbegin(), ascending.rend());
        if (c.column == 8) // "" and "無し" tie, and go by name in both directions
            std::swap(ascending[0], ascending[1]);
        EXPECT_EQ(Sorted(rows, c.column), ascending);
        EXPECT_EQ(Sorted(rows, -c.column), descending);
    }
}

TEST(Sorting, ModifiedGoesByTheTimeNotTheTwoDigitYear) {
    // 1999 and 2004 show as 99/… and 04/…; an empty cell (a folder has none) goes first.
    const double y1999 = 36500, y2004 = 38200;
    const std::vector<ListRow> rows = {Row("new", false, 14, "04/07/15 09:03:27", y2004),
                                       Row("old", false, 14, "99/12/31 23:59:59", y1999),
                                       Row("none", false)};
    EXPECT_EQ(Sorted(rows, 14), (Names{"none", "old", "new"}));
    EXPECT_EQ(Sorted(rows, -14), (Names{"new", "old", "none"}));
}

TEST(Sorting, EqualValuesGoByNameInBothDirections) {
    const std::vector<ListRow> rows = {Row("c", false, 13, ".PDF"), Row("a", false, 13, ".TXT"),
                                       Row("b", false, 13, ".PDF"), Row("d", false, 9, "1")};
    EXPECT_EQ(Sorted(rows, 13), (Names{"d", "b", "c", "a"}));
    EXPECT_EQ(Sorted(rows, -13), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(Sorted(rows, 9), (Names{"a", "b", "c", "d"}));
}

TEST(Sorting, CellNumberReadsEveryDigit) {
    const struct {
        const char* cell;
        std::optional<int64_t> number;
    } cases[] = {{"", std::nullopt}, {"無し", std::nullopt},
                 {"0", 0},           {"1,234,567", 1234567},
                 {"1 206KB", 1206},  {"2004/07/15 09:03:27", 20040715090327}};
    for (const auto& c : cases)
        EXPECT_EQ(CellNumber(c.cell), c.number) << c.cell;
}

TEST(Sorting, HeaderClicksSetTheColumnAndDirection) {
    const struct {
        int before, clicked, after;
    } cases[] = {{1, 0, -1}, {-1, 0, 1}, {1, 11, 12}, {12, 12, 13}, {13, 11, 12}, {-12, 11, 12}};
    for (const auto& c : cases)
        EXPECT_EQ(SortColumnAfterClick(c.before, c.clicked), c.after) << c.before << c.clicked;
}

TEST(Sorting, EveryOrderOfFiveRowsEndsSortedWithItsCells) {
    // Rows move to their places in cycles; every permutation of five has cycles of every length.
    std::vector<int> order = {0, 1, 2, 3, 4};
    do {
        std::vector<ListRow> rows;
        for (int k : order)
            rows.push_back(Row("f" + std::to_string(k), false, 9, std::to_string(k)));
        SortRows(rows, 1, ByteCompare);
        for (int k = 0; k < 5; ++k) {
            ASSERT_EQ(rows[size_t(k)].caption, "f" + std::to_string(k));
            ASSERT_EQ(rows[size_t(k)].cells[7], std::to_string(k));
        }
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(Sorting, ALargeListSortedInHalvesKeepsEqualRowsInTheirOrder) {
    // Few names and few types, so that most rows tie on both: a large list is sorted in two
    // halves on two threads and merged, and rows that tie must still keep the order they had.
    std::vector<ListRow> rows;
    for (int i = 0; i < 5000; ++i) {
        RowCells cells;
        cells[7] = std::to_string(i); // where the row was
        cells[11] = i % 3 ? ".PDF" : ".TXT";
        ListRow& row = rows.emplace_back(Row(std::string(1, char('a' + i * 7 % 5)), i % 997 == 0));
        row.cells = cells;
    }
    for (const int column : {13, -13, 1, -1}) {
        SCOPED_TRACE(column);
        const int direction = column < 0 ? -1 : 1;
        auto before = [&](const ListRow& a, const ListRow& b) {
            if (a.isFolder != b.isFolder)
                return a.isFolder;
            if (std::abs(column) == 1)
                return direction * a.caption.compare(b.caption) < 0;
            if (const int type = a.cells[11].compare(b.cells[11]))
                return direction * type < 0;
            return a.caption < b.caption;
        };
        std::vector<ListRow> expected = rows;
        std::stable_sort(expected.begin(), expected.end(), before);
        std::vector<ListRow> sorted = rows;
        SortRows(sorted, column, ByteCompare);
        for (size_t k = 0; k < sorted.size(); ++k)
            ASSERT_EQ(sorted[k].cells[7], expected[k].cells[7]) << k;
    }
}

TEST(Sorting, OptionalColumnsGoByTheirValues) {
    // name, paper cell, its area (-1: none), signatures, updates
    const struct {
        const char* name;
        const char* paper;
        double area;
        const char* signatures;
    } rows[] = {
        {"a", "A3 横", 420 * 297, "2"},
        {"b", "A4 横", 210 * 297, "10"},
        {"c", "A4 縦", 210 * 297, ""},
        {"d", "はがき 縦", 100 * 148, "1"},
        {"e", "", -1, "3"},
    };
    std::vector<ListRow> list;
    for (const auto& r : rows) {
        ListRow row = Row(r.name, false);
        FeatureCells cells;
        cells.cells[size_t(Column::Paper) - kColumnCount] = r.paper;
        cells.cells[size_t(Column::Signatures) - kColumnCount] = r.signatures;
        cells.paperAreaMm2 = r.area;
        row.features = std::make_shared<const FeatureCells>(cells);
        list.push_back(std::move(row));
    }
    list.push_back(Row("f", false)); // a file without features: no value
    const int paper = int(Column::Paper) + 1, signatures = int(Column::Signatures) + 1;
    // By area, then by the cell: A4 横 before A4 縦.
    EXPECT_EQ(Sorted(list, paper), (Names{"e", "f", "d", "b", "c", "a"}));
    EXPECT_EQ(Sorted(list, -paper), (Names{"a", "c", "b", "d", "e", "f"}));
    EXPECT_EQ(Sorted(list, signatures), (Names{"c", "f", "d", "a", "e", "b"}));
}
