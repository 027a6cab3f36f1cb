// SPDX-License-Identifier: GPL-3.0-or-later
// The list model on its own, with Qt's model tester watching every change it signals: a folder
// loaded shows once and in order, a long listing in batches, a sort keeps the view's highlight
// on its row, files the reader failed on are marked, and a quiet re-read changes only the rows
// that changed.

#include "app/columns.h"
#include "app/folderlistmodel.h"
#include "platform/hooks.h"
#include "platform/pathnames.h"
#include "support/pdfbuilder.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QDir>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

std::string Pdf(int pages, const std::string& title) {
    PdfBuilder pdf("%PDF-1.4");
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count " + std::to_string(pages) + " >>")
        .Object(3, "<< /Title (" + title + ") >>")
        .FullSection("/Size 4 /Root 1 0 R /Info 3 0 R");
    return pdf.Bytes();
}

class FolderListModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(QString::fromStdString(dir.File("sub")));
        dir.Write("c.pdf", Pdf(3, "c"));
        dir.Write("a.pdf", Pdf(12, "a"));
        dir.Write("b.pdf", Pdf(7, "b"));
    }

    QString Folder() const { return platform::PathFromBytes(dir.Path()); }

    // Loads the folder and waits for the listing, quiet or not, to finish.
    void Load() {
        model.loadFolder(Folder(), {});
        WaitForListing(false);
    }

    void WaitForListing(bool quiet, int timeoutMs = 10000) {
        QSignalSpy finished(model.loader(), &FolderLoader::finished);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const QList<QVariant>& args : finished)
                    if (args.at(0).toBool() == quiet)
                        return model.loader()->state() == FolderLoader::State::Idle;
                return false;
            },
            timeoutMs));
    }

    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (int i = 0; i < model.rowCount(); ++i)
            out.push_back(model.index(i, 0).data().toString().toStdString());
        return out;
    }

    TempDir dir;
    FolderListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(FolderListModelTest, AFolderReadAtOnceShowsOnceAndInOrder) {
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy rearranged(&model, &QAbstractItemModel::layoutChanged);
    Load();
    EXPECT_EQ(reset.count(), 1); // the rows of before go
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(rearranged.count(), 0);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"..", "sub", "a.pdf", "b.pdf", "c.pdf"}));
    EXPECT_EQ(model.rows().size(), size_t(model.rowCount()));
    EXPECT_EQ(model.columnCount(), kAllColumnCount);
    EXPECT_EQ(model.index(2, int(Column::Pages)).data().toString(), "12");
    // Numbers are right-aligned, names keep the view's own alignment.
    EXPECT_TRUE(
        model.index(2, int(Column::Pages)).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
        Qt::AlignRight);
    EXPECT_FALSE(model.index(2, 0).data(Qt::TextAlignmentRole).isValid());
    EXPECT_EQ(model.headerData(int(Column::Pages), Qt::Horizontal, Qt::DisplayRole).toString(),
              "頁数");
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.index(5, 0).data().isValid());
    EXPECT_EQ(model.rowOfFile("b.pdf"), 3);
    EXPECT_EQ(model.rowOfFile("sub"), -1); // a folder
    EXPECT_TRUE(model.failures().empty());
}

TEST_F(FolderListModelTest, ALongListingShowsItsRowsInBatches) {
    for (int i = 0; i < 12; ++i)
        dir.Write("f" + std::to_string(10 + i) + ".pdf", Pdf(1, "f"));
    std::atomic<bool> slow = true;
    platform::ScopedHook<platform::SearchStepHook> slowly{platform::SetSearchStepHook,
                                                          [&slow](const std::string&) {
                                                              if (slow)
                                                                  QThread::msleep(40);
                                                          }};
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.loadFolder(Folder(), {});
    // The first rows show while the listing still runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() > 0; }, 5000));
    EXPECT_NE(model.loader()->state(), FolderLoader::State::Idle);
    WaitForListing(false);
    slow = false;
    EXPECT_GE(inserted.count(), 2);
    EXPECT_EQ(model.rowCount(), 17);
    const std::vector<std::string> shown = Shown();
    EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 4),
              (std::vector<std::string>{"..", "sub", "a.pdf", "b.pdf"}));
    EXPECT_EQ(shown.back(), "f21.pdf");
}

TEST_F(FolderListModelTest, ASortKeepsTheHighlightAndTheSelectionOnTheirRows) {
    Load();
    QItemSelectionModel selection(&model);
    struct Case {
        int sortColumn;
        std::string highlighted;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {int(Column::Pages) + 1, "c.pdf", {"..", "sub", "c.pdf", "b.pdf", "a.pdf"}},
        {-1, "b.pdf", {"..", "sub", "c.pdf", "b.pdf", "a.pdf"}},
        {1, "a.pdf", {"..", "sub", "a.pdf", "b.pdf", "c.pdf"}},
    };
    QSignalSpy rearranged(&model, &QAbstractItemModel::layoutChanged);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sortColumn);
        const int before = model.rowOfFile(c.highlighted);
        selection.setCurrentIndex(model.index(before, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        model.setSortColumn(c.sortColumn);
        EXPECT_EQ(model.sortColumn(), c.sortColumn);
        EXPECT_EQ(Shown(), c.order);
        EXPECT_EQ(selection.currentIndex().data().toString().toStdString(), c.highlighted);
        ASSERT_EQ(selection.selectedRows().size(), 1);
        EXPECT_EQ(selection.selectedRows().first().row(), model.rowOfFile(c.highlighted));
    }
    EXPECT_EQ(rearranged.count(), 3);
    // The view's own call: by a column index and an order.
    model.sort(int(Column::Pages), Qt::DescendingOrder);
    EXPECT_EQ(model.sortColumn(), -(int(Column::Pages) + 1));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"..", "sub", "a.pdf", "b.pdf", "c.pdf"}));
}

TEST_F(FolderListModelTest, FilesTheReaderFailedOnAreMarked) {
    dir.Write("bad.pdf", "%PDF-1.4\ngarbage\n");
    Load();
    ASSERT_EQ(model.failures().size(), 1u);
    EXPECT_EQ(model.failures()[0].name, "bad.pdf");
    const int bad = model.rowOfFile("bad.pdf");
    const QString why = model.index(bad, 0).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(why.startsWith("読めませんでした：")) << why.toStdString();
    EXPECT_EQ(model.index(bad, 5).data(Qt::ToolTipRole).toString(), why);
    EXPECT_EQ(model.index(bad, 0).data(Qt::ForegroundRole).value<QBrush>().color(), Qt::red);
    EXPECT_FALSE(model.index(bad, 5).data(Qt::ForegroundRole).isValid()); // the name only
    EXPECT_FALSE(model.index(model.rowOfFile("a.pdf"), 0).data(Qt::ToolTipRole).isValid());
    // The next listing clears them.
    QFile::remove(QString::fromStdString(dir.File("bad.pdf")));
    Load();
    EXPECT_TRUE(model.failures().empty());
    EXPECT_FALSE(model.index(0, 0).data(Qt::ToolTipRole).isValid());
}

// A change of the folder is read again without a reset: the rows that went are removed, the
// new ones inserted, and what the view holds of the others (the highlight, the selection)
// stays with them.
TEST_F(FolderListModelTest, AQuietReReadChangesOnlyWhatChanged) {
    Load();
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(model.rowOfFile("b.pdf"), 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPersistentModelIndex kept(model.index(model.rowOfFile("c.pdf"), 0));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QFile::remove(QString::fromStdString(dir.File("a.pdf")));
    dir.Write("aa.pdf", Pdf(2, "aa"));
    ASSERT_NO_FATAL_FAILURE(WaitForListing(true));
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"..", "sub", "aa.pdf", "b.pdf", "c.pdf"}));
    EXPECT_EQ(selection.currentIndex().data().toString(), "b.pdf");
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows().first().data().toString(), "b.pdf");
    ASSERT_TRUE(kept.isValid());
    EXPECT_EQ(kept.data().toString(), "c.pdf");
    EXPECT_EQ(model.index(model.rowOfFile("aa.pdf"), int(Column::Pages)).data().toString(), "2");
}

} // namespace
