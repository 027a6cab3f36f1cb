// SPDX-License-Identifier: GPL-3.0-or-later
// The list's item model over the scan's rows: rows shown in batches, sorted under the view's
// highlight and selection, failures marked, and the rows moved between vectors.

#include "app/columns.h"
#include "app/rowmodel.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ListRow MakeRow(const std::string& caption, const std::string& pages = "") {
    ListRow row;
    row.caption = caption;
    row.nameBytes = caption;
    row.cells[size_t(Column::Pages) - 1] = pages;
    return row;
}

std::vector<std::string> Shown(const ListRowModel& model) {
    std::vector<std::string> out;
    for (int i = 0; i < model.rowCount(); ++i)
        out.push_back(model.index(i, 0).data().toString().toStdString());
    return out;
}

class RowModelTest : public ::testing::Test {
protected:
    std::vector<ListRow> rows{MakeRow("c.pdf", "3"), MakeRow("a.pdf", "12"), MakeRow("b.pdf", "7")};
    ListRowModel model{[](int) { return QPixmap(); }};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(RowModelTest, ShowsRowsInBatchesAndOnlyThoseShown) {
    model.Show(&rows, 0);
    EXPECT_EQ(model.rowCount(), 0);
    model.ShowMore(2);
    EXPECT_EQ(Shown(model), (std::vector<std::string>{"c.pdf", "a.pdf"}));
    model.ShowMore(1);  // fewer than shown: nothing changes
    model.ShowMore(99); // more than there are: all of them
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), kColumnCount);
    EXPECT_EQ(model.index(1, int(Column::Pages)).data().toString(), "12");
    // Numbers are right-aligned, names keep the view's own alignment.
    EXPECT_TRUE(
        model.index(1, int(Column::Pages)).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
        Qt::AlignRight);
    EXPECT_FALSE(model.index(1, 0).data(Qt::TextAlignmentRole).isValid());
    EXPECT_EQ(model.headerData(int(Column::Pages), Qt::Horizontal, Qt::DisplayRole).toString(),
              "頁数");
    EXPECT_FALSE(model.index(3, 0).data().isValid());
}

TEST_F(RowModelTest, ASortKeepsTheHighlightAndTheSelectionOnTheirRows) {
    struct Case {
        std::vector<size_t> from; // place i holds the row that was at from[i]
        int highlighted;          // before the sort
        int expected;             // after it
    };
    const Case cases[] = {
        {{1, 2, 0}, 0, 2}, // c a b -> a b c: "c.pdf" goes last
        {{0, 1, 2}, 1, 1}, // unchanged
        {{2, 1, 0}, 2, 0}, // reversed
    };
    for (const Case& c : cases) {
        std::vector<ListRow> sorted = {MakeRow("c.pdf"), MakeRow("a.pdf"), MakeRow("b.pdf")};
        model.Show(&sorted, sorted.size());
        QItemSelectionModel selection(&model);
        selection.setCurrentIndex(model.index(c.highlighted, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const std::string caption = sorted[size_t(c.highlighted)].caption;

        model.BeginRearrange();
        std::vector<ListRow> before = sorted;
        for (size_t place = 0; place < c.from.size(); ++place)
            sorted[place] = before[c.from[place]];
        model.EndRearrange(c.from);

        EXPECT_EQ(selection.currentIndex().row(), c.expected);
        EXPECT_EQ(selection.currentIndex().data().toString().toStdString(), caption);
        ASSERT_EQ(selection.selectedRows().size(), 1);
        EXPECT_EQ(selection.selectedRows().first().row(), c.expected);
        model.Show(nullptr, 0);
    }
}

TEST_F(RowModelTest, FailedFilesAreMarkedUntilCleared) {
    model.Show(&rows, rows.size());
    model.SetFailures({{"a.pdf", "壊れています"}});
    const QModelIndex failed = model.index(1, 0);
    EXPECT_EQ(failed.data(Qt::ToolTipRole).toString(), "読めませんでした：壊れています");
    EXPECT_EQ(model.index(1, 5).data(Qt::ToolTipRole).toString(), "読めませんでした：壊れています");
    EXPECT_EQ(failed.data(Qt::ForegroundRole).value<QBrush>().color(), Qt::red);
    EXPECT_FALSE(model.index(1, 5).data(Qt::ForegroundRole).isValid()); // the name only
    EXPECT_FALSE(model.index(0, 0).data(Qt::ToolTipRole).isValid());
    model.SetFailures({});
    EXPECT_FALSE(failed.data(Qt::ToolTipRole).isValid());
}

TEST_F(RowModelTest, RowsMovedToAnotherVectorStayShownWithoutAReset) {
    model.Show(&rows, rows.size());
    const QPersistentModelIndex kept(model.index(2, 0));
    std::vector<ListRow> moved = std::move(rows);
    rows.clear();
    model.Relocated(&moved);
    EXPECT_TRUE(kept.isValid());
    EXPECT_EQ(Shown(model), (std::vector<std::string>{"c.pdf", "a.pdf", "b.pdf"}));
    EXPECT_EQ(model.RowOf("b.pdf"), 2);
    EXPECT_EQ(model.RowOf("z.pdf"), -1);
    model.Show(nullptr, 5);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(kept.isValid());
}

} // namespace
