// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooserfixture.h"

#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>

using TreeTest = ChooserFixture;

TEST_F(TreeTest, RootAndVolumeNodesWithCaptionsAndPaths) {
    ASSERT_TRUE(root());
    EXPECT_EQ(root()->text(0), "コンピュータ");
    EXPECT_EQ(PathOf(root()), "Drives");
    // Label, else the last component of the mount point.
    EXPECT_EQ(Captions(root()), (QStringList{" (" + fixed + ")  FIXED", " (" + nest + ")  Nest",
                                             " (" + usb + ")  Usb"}));
    EXPECT_EQ(PathOf(VolumeNode(fixed)), fixed + "/");
    EXPECT_EQ(VolumeNode(usb)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // Nothing of a volume is read before it expands.
    EXPECT_EQ(VolumeNode(fixed)->childCount(), 0);
}

TEST_F(TreeTest, FolderPathsHaveNoTrailingSlash) {
    tree()->selectPath(fixed + "/Data/Sub/");
    QTreeWidgetItem* sub = tree()->selectedNode();
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->text(0), "Sub");
    EXPECT_EQ(PathOf(sub), fixed + "/Data/Sub");
    EXPECT_EQ(PathOf(sub->parent()), fixed + "/Data");
}

TEST_F(TreeTest, ExpandingListsFoldersSortedWithoutCaseAndMarksChildren) {
    QTreeWidgetItem* volume = VolumeNode(fixed);
    tree()->expandNode(volume);
    // Files are not listed, nor hidden folders; "Alpha" < "beta" < "Data" ignoring case.
    EXPECT_EQ(Captions(volume),
              (QStringList{"Alpha", "beta", "Data", "fileonly", "Gamma", "Nest"}));
    struct Case {
        const char* caption;
        bool marked;
    };
    const Case cases[] = {{"Alpha", true}, {"beta", false}, {"fileonly", false}, {"Nest", true}};
    auto marked = [&](const char* caption) {
        const QTreeWidgetItem* node = Child(volume, caption);
        return node && node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    };
    // The subfolders are probed on a thread of their own, and the marks of those without any
    // go once their answers come.
    QDeadlineTimer deadline(5000);
    while ((marked("beta") || marked("fileonly")) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (const Case& c : cases) {
        QTreeWidgetItem* node = Child(volume, c.caption);
        ASSERT_TRUE(node) << c.caption;
        EXPECT_EQ(marked(c.caption), c.marked) << c.caption;
        EXPECT_EQ(node->childCount(), 0) << c.caption; // not listed before its own expansion
    }
    // A folder without subfolders loses its mark on expansion.
    QTreeWidgetItem* beta = Child(volume, "beta");
    tree()->expandNode(beta);
    EXPECT_EQ(beta->childCount(), 0);
    EXPECT_NE(beta->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

// Hidden folders show once the user asks for them in the tree's menu, and go again.
TEST_F(TreeTest, HiddenFoldersShowWhenAskedFor) {
    chooser->openPath(fixed + "/Alpha");
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown);
        chooser->dropDown();
        ASSERT_TRUE(tree()->isOpen());
        bool offered = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            auto* action = menu ? menu->findChild<QAction*>("showHiddenFolders") : nullptr;
            offered = action && action->isChecked() != shown;
            if (action)
                action->trigger();
            if (menu)
                menu->close();
        });
        const QPoint at = tree()->visualItemRect(tree()->selectedNode()).center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at,
                                    tree()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree()->viewport(), &menuEvent);
        EXPECT_TRUE(offered);
        EXPECT_EQ(tree()->showsHidden(), shown);
        EXPECT_EQ(Captions(VolumeNode(fixed)).contains(".hidden"), shown);
        // The folder chosen stays chosen.
        ASSERT_TRUE(tree()->selectedNode());
        EXPECT_EQ(PathOf(tree()->selectedNode()), fixed + "/Alpha");
        tree()->closeUp();
    }
}

// The user's own folders come first, above the drives, each a folder that opens like any.
TEST_F(TreeTest, TheUsersFoldersComeFirst) {
    places = {{platform::PlaceKind::Home, "ホーム", fixed + "/Data"},
              {platform::PlaceKind::Documents, "ドキュメント", fixed + "/Alpha"}};
    chooser->rebuildTree();
    ASSERT_EQ(tree()->topLevelItemCount(), 3);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), "ホーム");
    EXPECT_EQ(tree()->topLevelItem(1)->text(0), "ドキュメント");
    EXPECT_EQ(tree()->topLevelItem(2), root());
    QTreeWidgetItem* documents = tree()->topLevelItem(1);
    EXPECT_EQ(PathOf(documents), fixed + "/Alpha");
    tree()->expandNode(documents);
    ASSERT_EQ(Captions(documents), QStringList{"inner"});
    EXPECT_EQ(PathOf(documents->child(0)), fixed + "/Alpha/inner");
    // Choosing one reports its folder.
    fired.clear();
    chooser->dropDown();
    tree()->setCurrentItem(documents->child(0));
    Key(Qt::Key_Return);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/Alpha/inner");
}

TEST_F(TreeTest, SelectPathIgnoresCaseTakesLongestMountAndStopsAtDeepestMatch) {
    struct Case {
        QString path;
        QString selectedPath; // of the node selected afterwards
        int level;
    };
    const Case cases[] = {
        {fixed + "/ALPHA/Inner/", fixed + "/Alpha/inner", 3},
        {fixed.toUpper() + "/data/", fixed + "/Data", 2},
        {nest + "/inside/", nest + "/inside", 2}, // the nested volume, not the folder Nest
        {fixed + "/Alpha/missing/deep/", fixed + "/Alpha", 2},
        {fixed + "/", fixed + "/", 1},
    };
    for (const Case& c : cases) {
        tree()->selectPath(c.path);
        QTreeWidgetItem* node = tree()->selectedNode();
        ASSERT_TRUE(node) << c.path.toStdString();
        EXPECT_EQ(PathOf(node), c.selectedPath) << c.path.toStdString();
        EXPECT_EQ(FolderTree::level(node), c.level) << c.path.toStdString();
        EXPECT_TRUE(node->isExpanded()) << c.path.toStdString();
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
            EXPECT_TRUE(up->isExpanded()) << c.path.toStdString();
    }
}

TEST_F(TreeTest, SelectPathCollapsesWhatWasOpenBefore) {
    tree()->selectPath(fixed + "/Alpha/inner/");
    QTreeWidgetItem* alpha = Child(VolumeNode(fixed), "Alpha");
    ASSERT_TRUE(alpha && alpha->isExpanded());
    tree()->selectPath(fixed + "/Data/");
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_FALSE(Child(alpha, "inner")->isExpanded());
    // A path on no volume leaves the selection on the collapsed root.
    tree()->selectPath("/nowhere/at/all/");
    EXPECT_EQ(tree()->selectedNode(), root());
    EXPECT_FALSE(root()->isExpanded());
}

TEST_F(TreeTest, HotTrackingMovesTheSelectionAndFiresNothing) {
    tree()->selectPath(fixed + "/");
    chooser->dropDown();
    ASSERT_TRUE(tree()->isOpen() && tree()->isVisible());
    QTreeWidgetItem* beta = Child(VolumeNode(fixed), "beta");
    MouseTo(QEvent::MouseMove, tree()->labelRect(beta).center());
    EXPECT_EQ(tree()->selectedNode(), beta);
    // Over the indentation the selection stays.
    MouseTo(QEvent::MouseMove,
            QPoint(2, tree()->visualItemRect(Child(VolumeNode(fixed), "Data")).center().y()));
    EXPECT_EQ(tree()->selectedNode(), beta);
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(tree()->isOpen());
}

TEST_F(TreeTest, ClickOnLabelOrIconCommitsOnce) {
    for (bool onIcon : {false, true}) {
        fired.clear();
        chooser->openPath(fixed + "/");
        fired.clear();
        chooser->dropDown();
        QTreeWidgetItem* data = Child(VolumeNode(fixed), "Data");
        ClickAt(onIcon ? tree()->iconRect(data).center() : tree()->labelRect(data).center());
        ASSERT_EQ(fired.size(), 1u) << onIcon;
        EXPECT_EQ(fired[0], fixed + "/Data");
        EXPECT_EQ(chooser->selectedPath(), fixed + "/Data");
        EXPECT_EQ(chooser->text(), "Data");
        EXPECT_EQ(chooser->imageIndex(), FolderTree::imageIndexOf(data));
        EXPECT_FALSE(tree()->isOpen());
        EXPECT_FALSE(tree()->isVisible());
    }
}

TEST_F(TreeTest, ClickOnExpandButtonKeepsTheTreeOpen) {
    chooser->openPath(fixed + "/");
    fired.clear();
    chooser->dropDown();
    QTreeWidgetItem* alpha = Child(VolumeNode(fixed), "Alpha");
    const QRect cell = tree()->visualItemRect(alpha);
    ClickAt(QPoint(cell.left() - tree()->indentation() / 2, cell.center().y()));
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(Captions(alpha), QStringList{"inner"});
    EXPECT_TRUE(tree()->isOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(TreeTest, ClickOutsideClosesWithoutChange) {
    chooser->openPath(fixed + "/");
    fired.clear();
    chooser->dropDown();
    ASSERT_TRUE(tree()->isOpen());
    // Through the window system, as a real click on the window below the popup.
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 300));
    EXPECT_FALSE(tree()->isOpen());
    EXPECT_FALSE(tree()->isVisible());
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(chooser->selectedPath(), fixed + "/");
}

TEST_F(TreeTest, RemovableVolumeNotReadyWarnsAndReportsThePreviousPathAgain) {
    chooser->openPath(fixed + "/Data");
    fired.clear();
    chooser->dropDown();
    ClickAt(tree()->labelRect(VolumeNode(usb)).center());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ディスクが挿入されていないか、ドライブの準備が出来ていません");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/Data/");
    EXPECT_EQ(chooser->selectedPath(), fixed + "/Data/");
    EXPECT_EQ(tree()->selectedNode()->text(0), "Data");
    EXPECT_EQ(chooser->text(), "Data");

    // Once the media is in, the same click goes through.
    volumes[2].totalSize = 4096;
    fired.clear();
    chooser->dropDown();
    ClickAt(tree()->labelRect(VolumeNode(usb)).center());
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], usb + "/");
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(TreeTest, GoingBackFromTheDriveListStaysOnTheDriveList) {
    ASSERT_EQ(chooser->selectedPath(), "Drives");
    tree()->selectNode(VolumeNode(usb));
    tree()->applySelection();
    EXPECT_EQ(tree()->selectedPath(), "Drives");
    EXPECT_EQ(tree()->selectedNode(), root());
}

TEST_F(TreeTest, FixedVolumesAreNotChecked) {
    volumes[0].totalSize.reset(); // a fixed volume is trusted as it is
    tree()->selectNode(VolumeNode(fixed));
    tree()->applySelection();
    EXPECT_EQ(tree()->selectedPath(), fixed + "/");
    EXPECT_TRUE(boxes.empty());
}
