// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChooserFixture.h"

#include "dirchooser/DirCaptions.h"

#include <QTest>

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
    tree()->SelectPath(fixed + "/Data/Sub/");
    QTreeWidgetItem* sub = tree()->Selected();
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->text(0), "Sub");
    EXPECT_EQ(PathOf(sub), fixed + "/Data/Sub");
    EXPECT_EQ(PathOf(sub->parent()), fixed + "/Data");
}

TEST_F(TreeTest, ExpandingListsHiddenFoldersSortedWithoutCaseAndMarksChildren) {
    QTreeWidgetItem* volume = VolumeNode(fixed);
    tree()->ExpandNode(volume);
    // Files are not listed; hidden folders are; "Alpha" < "beta" < "Data" ignoring case.
    EXPECT_EQ(Captions(volume),
              (QStringList{".hidden", "Alpha", "beta", "Data", "fileonly", "Gamma", "Nest"}));
    struct Case {
        const char* caption;
        bool marked;
    };
    for (const Case& c :
         {Case{"Alpha", true}, Case{"beta", false}, Case{"fileonly", false}, Case{"Nest", true}}) {
        QTreeWidgetItem* node = Child(volume, c.caption);
        ASSERT_TRUE(node) << c.caption;
        EXPECT_EQ(node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, c.marked)
            << c.caption;
        EXPECT_EQ(node->childCount(), 0) << c.caption; // not listed before its own expansion
    }
    // A folder without subfolders loses its mark on expansion.
    QTreeWidgetItem* beta = Child(volume, "beta");
    tree()->ExpandNode(beta);
    EXPECT_EQ(beta->childCount(), 0);
    EXPECT_NE(beta->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
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
        tree()->SelectPath(c.path);
        QTreeWidgetItem* node = tree()->Selected();
        ASSERT_TRUE(node) << c.path.toStdString();
        EXPECT_EQ(PathOf(node), c.selectedPath) << c.path.toStdString();
        EXPECT_EQ(TDirTreeView::Level(node), c.level) << c.path.toStdString();
        EXPECT_TRUE(node->isExpanded()) << c.path.toStdString();
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
            EXPECT_TRUE(up->isExpanded()) << c.path.toStdString();
    }
}

TEST_F(TreeTest, SelectPathCollapsesWhatWasOpenBefore) {
    tree()->SelectPath(fixed + "/Alpha/inner/");
    QTreeWidgetItem* alpha = Child(VolumeNode(fixed), "Alpha");
    ASSERT_TRUE(alpha && alpha->isExpanded());
    tree()->SelectPath(fixed + "/Data/");
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_FALSE(Child(alpha, "inner")->isExpanded());
    // A path on no volume leaves the selection on the collapsed root.
    tree()->SelectPath("/nowhere/at/all/");
    EXPECT_EQ(tree()->Selected(), root());
    EXPECT_FALSE(root()->isExpanded());
}

TEST_F(TreeTest, HotTrackingMovesTheSelectionAndFiresNothing) {
    tree()->SelectPath(fixed + "/");
    combo->DropDown();
    ASSERT_TRUE(tree()->IsOpen() && tree()->isVisible());
    QTreeWidgetItem* beta = Child(VolumeNode(fixed), "beta");
    MouseTo(QEvent::MouseMove, tree()->LabelRect(beta).center());
    EXPECT_EQ(tree()->Selected(), beta);
    // Over the indentation the selection stays.
    MouseTo(QEvent::MouseMove,
            QPoint(2, tree()->visualItemRect(Child(VolumeNode(fixed), "Data")).center().y()));
    EXPECT_EQ(tree()->Selected(), beta);
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(tree()->IsOpen());
}

TEST_F(TreeTest, ClickOnLabelOrIconCommitsOnceWithTheTreeAsSender) {
    for (bool onIcon : {false, true}) {
        fired.clear();
        combo->OpenPath(fixed + "/");
        fired.clear();
        combo->DropDown();
        QTreeWidgetItem* data = Child(VolumeNode(fixed), "Data");
        ClickAt(onIcon ? tree()->IconRect(data).center() : tree()->LabelRect(data).center());
        ASSERT_EQ(fired.size(), 1u) << onIcon;
        EXPECT_EQ(fired[0].sender, tree());
        EXPECT_EQ(fired[0].path, fixed + "/Data");
        EXPECT_EQ(combo->SelectedPath(), fixed + "/Data");
        EXPECT_EQ(combo->text(), "Data");
        EXPECT_EQ(combo->ImageIndex(), TDirTreeView::ImageIndexOf(data));
        EXPECT_FALSE(tree()->IsOpen());
        EXPECT_FALSE(tree()->isVisible());
    }
}

TEST_F(TreeTest, ClickOnExpandButtonKeepsTheTreeOpen) {
    combo->OpenPath(fixed + "/");
    fired.clear();
    combo->DropDown();
    QTreeWidgetItem* alpha = Child(VolumeNode(fixed), "Alpha");
    const QRect cell = tree()->visualItemRect(alpha);
    ClickAt(QPoint(cell.left() - tree()->indentation() / 2, cell.center().y()));
    EXPECT_TRUE(alpha->isExpanded());
    EXPECT_EQ(Captions(alpha), QStringList{"inner"});
    EXPECT_TRUE(tree()->IsOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(TreeTest, ClickOutsideClosesWithoutChange) {
    combo->OpenPath(fixed + "/");
    fired.clear();
    combo->DropDown();
    ASSERT_TRUE(tree()->IsOpen());
    // Through the window system, as a real click on the window below the popup.
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 300));
    EXPECT_FALSE(tree()->IsOpen());
    EXPECT_FALSE(tree()->isVisible());
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(combo->SelectedPath(), fixed + "/");
}

TEST_F(TreeTest, RemovableVolumeNotReadyWarnsAndReportsThePreviousPathAgain) {
    combo->OpenPath(fixed + "/Data");
    fired.clear();
    combo->DropDown();
    ClickAt(tree()->LabelRect(VolumeNode(usb)).center());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ディスクが挿入されていないか、ドライブの準備が出来ていません");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, fixed + "/Data/");
    EXPECT_EQ(combo->SelectedPath(), fixed + "/Data/");
    EXPECT_EQ(tree()->Selected()->text(0), "Data");
    EXPECT_EQ(combo->text(), "Data");

    // Once the media is in, the same click goes through.
    volumes[2].totalSize = 4096;
    fired.clear();
    combo->DropDown();
    ClickAt(tree()->LabelRect(VolumeNode(usb)).center());
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, usb + "/");
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(TreeTest, GoingBackFromTheDriveListStaysOnTheDriveList) {
    ASSERT_EQ(combo->SelectedPath(), "Drives");
    tree()->SetSelected(VolumeNode(usb));
    tree()->ApplySelection();
    EXPECT_EQ(tree()->FSelectedPath, "Drives");
    EXPECT_EQ(tree()->Selected(), root());
}

TEST_F(TreeTest, FixedVolumesAreNotChecked) {
    volumes[0].totalSize.reset(); // a fixed volume is trusted as it is
    tree()->SetSelected(VolumeNode(fixed));
    tree()->ApplySelection();
    EXPECT_EQ(tree()->FSelectedPath, fixed + "/");
    EXPECT_TRUE(boxes.empty());
}
