// SPDX-License-Identifier: GPL-3.0-or-later
// Sorting by header clicks, as the list shows it and as the header marks it.

#include "windowfixture.h"

#include "app/shownrows.h"

namespace {

using Names = std::vector<std::string>;

class SortTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        // Lower-case names only, so that the order does not depend on how the locale weighs
        // case; "report" is both a folder and the start of a file's name.
        Dir("work/report");
        Dir("work/zeta");
        File("work/alpha.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (a)", 500));
        File("work/nine.pdf", BuiltPdf("%PDF-1.4", 9, "/Title (n)", 10241));
        File("work/report.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (r)", 2048));
        File("work/small.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (s)", 30000));
        Fixture("work/twelve.pdf", "real/pages12-v17-gs.pdf"); // 7,280 bytes
        File("work/report/b.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (b)"));
        File("work/report/a.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (a)"));
        Dir("work/report/sub2");
    }

    // The files' captions in list order, folders left out.
    Names Files() const {
        Names out;
        for (const ListRow& row : Rows())
            if (!row.isFolder)
                out.push_back(row.caption);
        return out;
    }

    void ExpectIndicator(int section, Qt::SortOrder order) {
        EXPECT_EQ(list->header()->sortIndicatorSection(), section);
        EXPECT_EQ(list->header()->sortIndicatorOrder(), order);
        EXPECT_TRUE(list->header()->isSortIndicatorShown());
    }

    const Names ascending = {"..",       "report",     "zeta",      "alpha.pdf",
                             "nine.pdf", "report.pdf", "small.pdf", "twelve.pdf"};
};

TEST_F(SortTest, ByNameFoldersFirstAndTwiceRestores) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(model->sortColumn(), 1);
    EXPECT_EQ(Captions(), ascending);
    ExpectIndicator(0, Qt::AscendingOrder);

    // Descending: ".." and the folders stay on top, each group reversed.
    ClickHeader(0);
    EXPECT_EQ(model->sortColumn(), -1);
    EXPECT_EQ(Captions(), (Names{"..", "zeta", "report", "twelve.pdf", "small.pdf", "report.pdf",
                                 "nine.pdf", "alpha.pdf"}));
    ExpectIndicator(0, Qt::DescendingOrder);

    ClickHeader(0);
    EXPECT_EQ(Captions(), ascending);
    ExpectIndicator(0, Qt::AscendingOrder);
}

TEST_F(SortTest, AnotherColumnAlwaysStartsAscending) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // 1KB, 2KB, 8KB, 11KB, 30KB: by number.
    const Names bySize = {"alpha.pdf", "report.pdf", "twelve.pdf", "nine.pdf", "small.pdf"};
    ClickHeader(11); // サイズ
    EXPECT_EQ(model->sortColumn(), 12);
    EXPECT_EQ(Files(), bySize);
    ExpectIndicator(11, Qt::AscendingOrder);
    ClickHeader(12); // 種類
    EXPECT_EQ(model->sortColumn(), 13);
    ExpectIndicator(12, Qt::AscendingOrder);
    ClickHeader(11); // サイズ again: ascending, not reversed
    EXPECT_EQ(model->sortColumn(), 12);
    EXPECT_EQ(Files(), bySize);
    ExpectIndicator(11, Qt::AscendingOrder);
    // Folders have an empty size cell; they stay together at the top in both directions.
    const Names folders = {"..", "report", "zeta"};
    auto firstThree = [&] {
        const Names all = Captions();
        return Names(all.begin(), all.begin() + std::min<size_t>(3, all.size()));
    };
    EXPECT_EQ(firstThree(), folders);
    ClickHeader(11);
    EXPECT_EQ(Files(), Names(bySize.rbegin(), bySize.rend()));
    EXPECT_EQ(firstThree(), folders);
}

TEST_F(SortTest, NumbersAndTimesCompareAsSuch) {
    File("work/old.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (o)", 600),
         FixedLocalTime(1999, 12, 31, 23, 0, 0));
    ASSERT_NO_FATAL_FAILURE(Open());
    ClickHeader(8); // 頁数: 1, 1, 1, 1, 9, 12; the ones by name
    EXPECT_EQ(Files(),
              (Names{"alpha.pdf", "old.pdf", "report.pdf", "small.pdf", "nine.pdf", "twelve.pdf"}));
    ClickHeader(9); // 容量: 500, 600, 2,048, 7,280, 10,241, 30,000
    EXPECT_EQ(Files(),
              (Names{"alpha.pdf", "old.pdf", "report.pdf", "twelve.pdf", "nine.pdf", "small.pdf"}));
    ClickHeader(13); // 更新日時: 99/12/31 goes before 04/07/15
    EXPECT_EQ(Files().front(), "old.pdf");
    ClickHeader(13);
    EXPECT_EQ(Files().back(), "old.pdf");
}

TEST_F(SortTest, TheOrderSurvivesAChangeOfFolder) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ClickHeader(0);
    ASSERT_EQ(model->sortColumn(), -1);
    DoubleClick("report");
    ASSERT_EQ(Listed(), At("work/report"));
    EXPECT_EQ(Captions(), (Names{"..", "sub2", "b.pdf", "a.pdf"}));
    ExpectIndicator(0, Qt::DescendingOrder);
    DoubleClick("..");
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(Captions()[1], "zeta");
}

TEST_F(SortTest, CaseDecidesOnlyBetweenOtherwiseEqualNames) {
    File("work/B.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (B)"));
    File("work/b.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (b)"));
    File("work/a.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (a)"));
    File("work/C.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (C)"));
    ASSERT_NO_FATAL_FAILURE(Open());
    Names files = Files();
    std::erase_if(files, [](const std::string& n) { return n.size() != 5; });
    // Whatever the test's locale (C included): letters first; the case of b/B only orders
    // the pair, lower case first.
    EXPECT_EQ(files, (Names{"a.pdf", "b.pdf", "B.pdf", "C.pdf"}));
}

TEST_F(SortTest, TheRowsAndTheWidgetAgreeAfterSorting) {
    ASSERT_NO_FATAL_FAILURE(Open());
    for (int column : {1, 9, 13, 0}) {
        SCOPED_TRACE(column);
        ClickHeader(column);
        ASSERT_EQ(int(Rows().size()), RowCount());
        for (size_t i = 0; i < Rows().size(); ++i) {
            const ListRow& row = Rows()[i];
            EXPECT_EQ(Text(int(i)), row.caption);
            for (int c = 0; c < kCellCount; ++c) {
                std::string scratch;
                EXPECT_EQ(Text(int(i), c + 1), ShownCell(row, c + 1, scratch));
            }
            // 更新日時 with its century, from the two-digit cell's time.
            if (!row.isFolder) {
                EXPECT_EQ(Text(int(i), 13), "20" + std::string(row.cells[12]));
            }
        }
    }
}

} // namespace
