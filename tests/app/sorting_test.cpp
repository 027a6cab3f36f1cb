#include "app/sorting.h"

#include <gtest/gtest.h>

namespace {

// Byte order stands in for the locale's collation here; the window passes the real one.
int ByteCompare(const std::string& a, const std::string& b) {
    return a.compare(b);
}

ListRow Row(std::string name, bool folder, int pagesColumn = 0, std::string pages = "") {
    ListRow r;
    r.caption = std::move(name);
    r.isFolder = folder;
    if (pagesColumn)
        r.cells[size_t(pagesColumn - 2)] = std::move(pages);
    return r;
}

std::vector<std::string> Names(const std::vector<ListRow>& rows) {
    std::vector<std::string> names;
    for (const auto& r : rows)
        names.push_back(r.caption);
    return names;
}

} // namespace

TEST(Sorting, ByNameFoldersComeFirstAscendingAndLastDescending) {
    std::vector<ListRow> rows = {Row("b.pdf", false), Row("Sub", true), Row("..", true),
                                 Row("a.pdf", false), Row("Sub.pdf", false)};
    SortRows(rows, 1, ByteCompare);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"..", "Sub", "Sub.pdf", "a.pdf", "b.pdf"}));
    SortRows(rows, -1, ByteCompare);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"b.pdf", "a.pdf", "Sub.pdf", "Sub", ".."}));
}

TEST(Sorting, OtherColumnsCompareTheCellText) {
    std::vector<ListRow> rows = {Row("nine", false, 9, "9"), Row("twelve", false, 9, "12"),
                                 Row("dir", true, 9, "")};
    SortRows(rows, 9, ByteCompare);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"dir", "twelve", "nine"}));
    SortRows(rows, -9, ByteCompare);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"nine", "twelve", "dir"}));
}

TEST(Sorting, HeaderClicksSetTheColumnAndDirection) {
    const struct {
        int before, clicked, after;
    } cases[] = {{1, 0, -1}, {-1, 0, 1}, {1, 11, 12}, {12, 12, 13}, {13, 11, 12}, {-12, 11, 12}};
    for (const auto& c : cases)
        EXPECT_EQ(SortColumnAfterClick(c.before, c.clicked), c.after) << c.before << c.clicked;
    EXPECT_EQ(SortKey(Row("x", true), 1), " x");
    EXPECT_EQ(SortKey(Row("x", false), 1), "0x");
    EXPECT_EQ(SortKey(Row("x", false, 14, "t"), 14), "t");
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
