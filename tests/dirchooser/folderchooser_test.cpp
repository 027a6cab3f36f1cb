// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooserfixture.h"
#include "platform/watchers.h"
#include "support/stalledshare.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include <cstdlib>

using ChooserTest = ChooserFixture;

TEST_F(ChooserTest, LayoutOfButtonAndText) {
    EXPECT_EQ(button()->geometry().left(), 316);
    EXPECT_EQ(button()->geometry().height(), 16);
    EXPECT_FALSE(chooser->isReadOnly()); // a path may be typed
    chooser->setImageIndex(-1);
    EXPECT_EQ(chooser->textMargins().left(), 0);
    chooser->openPath(fixed);
    ASSERT_GE(chooser->imageIndex(), 0);
    EXPECT_EQ(chooser->textMargins().left(), 23);
}

TEST_F(ChooserTest, StartsOnTheDriveList) {
    EXPECT_EQ(chooser->selectedPath(), "Drives");
    EXPECT_EQ(chooser->text(), "コンピュータ");
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(ChooserTest, OpenPathReportsExistingFoldersWithTrailingSlash) {
    struct Case {
        QString path;
        QString reported; // empty: nothing is reported
    };
    const Case cases[] = {
        {fixed + "/Data", fixed + "/Data/"},
        {fixed + "/Data/", fixed + "/Data/"},
        {fixed + "/Alpha/inner", fixed + "/Alpha/inner/"},
        {fixed + "/missing", ""},
        {fixed + "/zfile.txt", ""},
        {"", ""},
        {"x", ""},
        {"Fixed/Data", ""}, // relative
    };
    for (const Case& c : cases) {
        fired.clear();
        chooser->openPath(c.path);
        if (c.reported.isEmpty()) {
            EXPECT_TRUE(fired.empty()) << c.path.toStdString();
            continue;
        }
        ASSERT_EQ(fired.size(), 1u) << c.path.toStdString();
        EXPECT_EQ(fired[0], c.reported);
        EXPECT_EQ(chooser->selectedPath(), c.reported);
        EXPECT_EQ(chooser->text(), QDir(c.path).dirName());
    }
}

// A folder on a share that answers after the wait is opened when it answers, unless another
// was chosen meanwhile.
TEST_F(ChooserTest, AFolderOnAShareThatAnswersLateOpensThenUnlessAnotherWasChosen) {
    for (const char* folder : {"late", "dropped", "typed"})
        ASSERT_TRUE(QDir().mkpath(base + "/Share/" + folder));
    volumes.push_back(Volume(base + "/Share", "", platform::VolumeKind::Network, true));
    // Told as the mount table's watcher tells a new volume: the watcher knows it from now on,
    // and a change of the real mount table meanwhile (another process mounting) does not
    // report it again, rebuilding the tree and reporting the folder shown once more.
    chooser->findChild<platform::MountWatcher*>()->rescan();
    QCoreApplication::processEvents();
    const struct {
        QString path;
        QString chosenMeanwhile; // empty: none
        QString typedMeanwhile;  // into the field
        QStringList reported;
    } cases[] = {
        {base + "/Share/late", "", "", {base + "/Share/late/"}},
        {base + "/Share/dropped", fixed + "/Data", "", {fixed + "/Data/"}},
        {base + "/Share/typed", "", "/tm", {}},
    };
    for (const auto& c : cases) {
        fired.clear();
        std::promise<void> serverBack = StallFileInfoOf(c.path);
        chooser->openPath(c.path);
        EXPECT_TRUE(fired.empty()) << c.path.toStdString();
        if (!c.chosenMeanwhile.isEmpty())
            chooser->openPath(c.chosenMeanwhile);
        if (!c.typedMeanwhile.isEmpty())
            QTest::keyClicks(chooser, c.typedMeanwhile);
        serverBack.set_value();
        QTest::qWait(1000); // asked again every quarter second: four times over
        EXPECT_EQ(fired, c.reported) << c.path.toStdString();
    }
    // The tree goes down to the folder once the share has listed the folders on the way.
    chooser->rebuildTree();
    std::promise<void> listed = StallSubfolderNamesOf(base + "/Share");
    chooser->openPath(base + "/Share/late");
    EXPECT_EQ(PathOf(tree()->currentItem()), base + "/Share/");
    listed.set_value();
    QTest::qWait(1000);
    EXPECT_EQ(PathOf(tree()->currentItem()), base + "/Share/late");
}

TEST_F(ChooserTest, OpenPathOfTheFileSystemRoot) {
    // "/" is one character long but names a folder; the tree cannot reach it here (no volume
    // "/" in the fake list), so the path alone is reported.
    chooser->openPath("/");
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], "/");
}

TEST_F(ChooserTest, TheButtonOpensTheTreeBelowAndClosesIt) {
    QTest::mouseClick(button(), Qt::LeftButton);
    EXPECT_TRUE(tree()->isOpen());
    EXPECT_EQ(tree()->geometry().topLeft(), chooser->mapToGlobal(QPoint(0, chooser->height())));
    EXPECT_EQ(tree()->width(), chooser->width());
    EXPECT_EQ(tree()->height(), 240);
    // A click on the button of the open tree reaches the popup first, which closes, and the
    // click is not handed on to open it again.
    const QPoint onButton = button()->geometry().center() + chooser->pos();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, onButton);
    EXPECT_FALSE(tree()->isOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ChooserTest, TreeOpensAboveWhenThereIsNoRoomBelow) {
    const QRect screen = chooser->screen()->geometry();
    window->move(0, screen.bottom() - 100);
    QApplication::processEvents();
    chooser->dropDown();
    EXPECT_EQ(tree()->geometry().top(), chooser->mapToGlobal(QPoint(0, 0)).y() - 240);
}

TEST_F(ChooserTest, ArrowKeysMoveWithoutFiringAndEnterFiresOnce) {
    chooser->openPath(fixed + "/beta");
    fired.clear();
    chooser->setFocus();
    Key(Qt::Key_Up); // onto "Alpha"
    EXPECT_EQ(tree()->selectedNode()->text(0), "Alpha");
    Key(Qt::Key_Right);
    EXPECT_TRUE(tree()->selectedNode()->isExpanded());
    Key(Qt::Key_Left); // collapses Alpha and moves up, onto its volume
    EXPECT_EQ(tree()->selectedNode()->text(0), " (" + fixed + ")  FIXED");
    EXPECT_TRUE(fired.empty());

    Key(Qt::Key_Return);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/");
    EXPECT_EQ(chooser->text(), " (" + fixed + ")  FIXED");

    // With the tree open, Down walks the visible nodes and Enter commits and closes.
    fired.clear();
    chooser->dropDown();
    ASSERT_TRUE(tree()->isOpen());
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(tree()->selectedNode()->text(0), "beta");
    EXPECT_TRUE(fired.empty());
    Key(Qt::Key_Return);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/beta");
    EXPECT_FALSE(tree()->isOpen());
}

// The owner of the chooser lists a real folder when the drive list is chosen and then shows
// the listed folder's path in the field, as the main window does; Home and Enter on the root
// must leave the field as a click on the root does.
TEST_F(ChooserTest, HomeAndEnterOnTheRootShowWhatAClickOnItShows) {
    // The fixture records what is reported; this listener reacts as the window does.
    const auto reaction = QObject::connect(chooser, &FolderChooser::pathChanged, chooser,
                                           [this](const QString& path) {
                                               if (path == "Drives")
                                                   chooser->openPath(fixed);
                                               else
                                                   chooser->showText(QDir::cleanPath(path));
                                           });
    struct Shown {
        QString text, selectedPath;
        int image;
        QStringList reported;
    };
    auto commitRoot = [&](bool byKeys) {
        chooser->openPath(fixed + "/Data");
        fired.clear();
        chooser->dropDown();
        EXPECT_TRUE(tree()->isOpen());
        if (byKeys) {
            Key(Qt::Key_Home);
            EXPECT_EQ(tree()->selectedNode(), root());
            EXPECT_TRUE(fired.empty());
            Key(Qt::Key_Return);
        } else {
            ClickAt(tree()->labelRect(root()).center());
        }
        EXPECT_FALSE(tree()->isOpen());
        return Shown{chooser->text(), chooser->selectedPath(), chooser->imageIndex(), fired};
    };
    const Shown clicked = commitRoot(false);
    const Shown keyed = commitRoot(true);
    EXPECT_EQ(clicked.reported, (QStringList{"Drives", fixed + "/"}));
    EXPECT_EQ(clicked.text, fixed);
    EXPECT_EQ(clicked.image, FolderTree::imageIndexOf(VolumeNode(fixed)));
    EXPECT_EQ(keyed.reported, clicked.reported);
    EXPECT_EQ(keyed.text, clicked.text);
    EXPECT_EQ(keyed.image, clicked.image);
    EXPECT_EQ(keyed.selectedPath, clicked.selectedPath);

    // An owner that lists the drive list itself: the field shows the root's caption and icon.
    QObject::disconnect(reaction);
    const Shown driveList = commitRoot(true);
    EXPECT_EQ(driveList.reported, QStringList{"Drives"});
    EXPECT_EQ(driveList.text, "コンピュータ");
    EXPECT_EQ(driveList.image, FolderTree::imageIndexOf(root()));
    EXPECT_EQ(driveList.selectedPath, "Drives");
}

TEST_F(ChooserTest, LeftAndUpNeverLeaveTheVolumesForTheRoot) {
    tree()->selectNode(root()->child(0));
    Key(Qt::Key_Left);
    EXPECT_EQ(tree()->selectedNode(), root()->child(0));
    Key(Qt::Key_Up);
    EXPECT_EQ(tree()->selectedNode(), root());
    Key(Qt::Key_Up); // at the root Up does nothing
    EXPECT_EQ(tree()->selectedNode(), root());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ChooserTest, EscClosesTheTreeAndDownOpensIt) {
    chooser->setFocus();
    Key(Qt::Key_Down);
    EXPECT_TRUE(tree()->isOpen());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(tree()->isOpen());
    Key(Qt::Key_F4);
    EXPECT_TRUE(tree()->isOpen());
    Key(Qt::Key_F4);
    EXPECT_FALSE(tree()->isOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ChooserTest, WheelUpMovesTheSelectionWheelDownOpensTheTree) {
    chooser->openPath(fixed + "/Data");
    fired.clear();
    const QPoint at = chooser->rect().center();
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(at), QPointF(chooser->mapToGlobal(at)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chooser, &event);
    };
    wheel(120);
    EXPECT_EQ(tree()->selectedNode()->text(0), "beta");
    EXPECT_FALSE(tree()->isOpen());
    wheel(-120);
    EXPECT_TRUE(tree()->isOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ChooserTest, F5RebuildsAndReportsTheFolderAgain) {
    chooser->openPath(fixed + "/Data");
    ASSERT_TRUE(QDir().mkdir(fixed + "/Data/Later"));
    fired.clear();
    chooser->setFocus();
    Key(Qt::Key_F5);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/Data/");
    EXPECT_TRUE(Child(Child(VolumeNode(fixed), "Data"), "Later"));
}

TEST_F(ChooserTest, CreatingASubfolderRebuildsAndReportsTheCurrentFolder) {
    chooser->openPath(fixed + "/Alpha");
    fired.clear();
    ASSERT_TRUE(QDir().mkdir(fixed + "/Alpha/fresh"));
    for (int i = 0; i < 100 && fired.empty(); ++i)
        QTest::qWait(50);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/Alpha/");
    EXPECT_EQ(Captions(Child(VolumeNode(fixed), "Alpha")), (QStringList{"fresh", "inner"}));
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(ChooserTest, NotificationsOfOtherKindsAndVanishedFoldersReportNothing) {
    chooser->openPath(fixed + "/beta");
    fired.clear();
    chooser->notifyChange(0x2); // a file created: not a reason to rebuild
    EXPECT_TRUE(fired.empty());
    ASSERT_TRUE(QDir(fixed + "/beta").removeRecursively());
    chooser->notifyChange(0x10);
    EXPECT_TRUE(fired.empty());
    EXPECT_FALSE(Child(VolumeNode(fixed), "beta"));
}

TEST_F(ChooserTest, VolumeAddedRebuildsTheTree) {
    chooser->openPath(fixed + "/Data");
    fired.clear();
    volumes.push_back(Volume(base + "/Fixed/Gamma", "GAMMA", platform::VolumeKind::Fixed, true));
    chooser->notifyChange(0x100);
    EXPECT_TRUE(VolumeNode(base + "/Fixed/Gamma"));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], fixed + "/Data/");
}

TEST_F(ChooserTest, WritingTheSelectedPathMovesNothingAndReportsNothing) {
    chooser->openPath(fixed + "/Data");
    fired.clear();
    chooser->setSelectedPath(fixed + "/DATA/"); // equal without case: kept as it was
    EXPECT_EQ(chooser->selectedPath(), fixed + "/Data/");
    chooser->setSelectedPath(fixed + "/beta");
    EXPECT_EQ(chooser->selectedPath(), fixed + "/beta");
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(tree()->selectedNode()->text(0), "Data"); // the tree does not follow
}

TEST_F(ChooserTest, HintShowsOnlyWhileTheTreeIsClosed) {
    chooser->setToolTip("ファイルの場所");
    const QPoint at(5, 5);
    auto hintShown = [&] {
        QToolTip::hideText(); // it goes after a moment
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent help(QEvent::ToolTip, at, chooser->mapToGlobal(at));
        QApplication::sendEvent(chooser, &help);
        return QToolTip::isVisible() && QToolTip::text() == "ファイルの場所";
    };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(chooser->mapToGlobal(at)));
    QApplication::sendEvent(chooser, &enter);
    EXPECT_TRUE(hintShown());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chooser, &leave);
    EXPECT_FALSE(hintShown());
    chooser->dropDown();
    QApplication::sendEvent(chooser, &enter);
    EXPECT_FALSE(hintShown());
    QToolTip::hideText();
}
