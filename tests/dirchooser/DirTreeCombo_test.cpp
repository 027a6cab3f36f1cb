// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChooserFixture.h"

#include "dirchooser/DirCaptions.h"

#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>

using ComboTest = ChooserFixture;

namespace {

class RecordingFileList : public QObject, public TDirFileList {
public:
    void SetDirectory(const QString& path) override { directories << path; }
    void Refresh() override { ++refreshes; }
    QStringList directories;
    int refreshes = 0;
};

} // namespace

TEST_F(ComboTest, LayoutOfButtonAndText) {
    EXPECT_EQ(combo->Btn->geometry().left(), 316);
    EXPECT_EQ(combo->Btn->geometry().height(), 16);
    EXPECT_TRUE(combo->isReadOnly());
    combo->SetImageIndex(-1);
    EXPECT_EQ(combo->textMargins().left(), 0);
    combo->OpenPath(fixed);
    ASSERT_GE(combo->ImageIndex(), 0);
    EXPECT_EQ(combo->textMargins().left(), 23);
}

TEST_F(ComboTest, StartsOnTheDriveList) {
    EXPECT_EQ(combo->SelectedPath(), "Drives");
    EXPECT_EQ(combo->text(), "コンピュータ");
    EXPECT_TRUE(root()->isExpanded()); // ExpandRoot is on by default
    EXPECT_EQ(combo->TreeHeight(), 240);
}

TEST_F(ComboTest, OpenPathReportsExistingFoldersWithTrailingSlash) {
    struct Case {
        QString path;
        bool dropEnabled;
        QString reported; // empty: nothing is reported
    };
    const Case cases[] = {
        {fixed + "/Data", true, fixed + "/Data/"},
        {fixed + "/Data/", true, fixed + "/Data/"},
        {fixed + "/Alpha/inner", true, fixed + "/Alpha/inner/"},
        {fixed + "/Data", false, ""},
        {fixed + "/missing", true, ""},
        {fixed + "/zfile.txt", true, ""},
        {"", true, ""},
        {"x", true, ""},
        {"Fixed/Data", true, ""}, // relative
    };
    for (const Case& c : cases) {
        fired.clear();
        combo->FDropEnabled = c.dropEnabled;
        combo->OpenPath(c.path);
        if (c.reported.isEmpty()) {
            EXPECT_TRUE(fired.empty()) << c.path.toStdString();
            continue;
        }
        ASSERT_EQ(fired.size(), 1u) << c.path.toStdString();
        EXPECT_EQ(fired[0].sender, combo);
        EXPECT_EQ(fired[0].path, c.reported);
        EXPECT_EQ(combo->SelectedPath(), c.reported);
        EXPECT_EQ(combo->text(), QDir(c.path).dirName());
    }
}

TEST_F(ComboTest, OpenPathOfTheFileSystemRoot) {
    // "/" is one character long but names a folder; the tree cannot reach it here (no volume
    // "/" in the fake list), so the path alone is reported.
    combo->OpenPath("/");
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, "/");
}

TEST_F(ComboTest, DropDownIsRefusedWhileDisabledAndToggles) {
    combo->FDropEnabled = false;
    QTest::mouseClick(combo->Btn, Qt::LeftButton);
    EXPECT_FALSE(tree()->IsOpen());
    combo->FDropEnabled = true;
    QTest::mouseClick(combo->Btn, Qt::LeftButton);
    EXPECT_TRUE(tree()->IsOpen());
    EXPECT_EQ(tree()->geometry().topLeft(), combo->mapToGlobal(QPoint(0, combo->height())));
    EXPECT_EQ(tree()->width(), combo->width());
    EXPECT_EQ(tree()->height(), 240);
    // A click on the button of the open tree reaches the popup first, which closes, and the
    // click is not handed on to open it again.
    const QPoint button = combo->Btn->geometry().center() + combo->pos();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, button);
    EXPECT_FALSE(tree()->IsOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ComboTest, TreeOpensAboveWhenThereIsNoRoomBelow) {
    const QRect screen = combo->screen()->geometry();
    window->move(0, screen.bottom() - 100);
    QApplication::processEvents();
    combo->DropDown();
    EXPECT_EQ(tree()->geometry().top(), combo->mapToGlobal(QPoint(0, 0)).y() - 240);
}

TEST_F(ComboTest, ArrowKeysMoveWithoutFiringAndEnterFiresOnce) {
    combo->OpenPath(fixed + "/beta");
    fired.clear();
    combo->setFocus();
    Key(Qt::Key_Up); // onto "Alpha"
    EXPECT_EQ(tree()->Selected()->text(0), "Alpha");
    Key(Qt::Key_Right);
    EXPECT_TRUE(tree()->Selected()->isExpanded());
    Key(Qt::Key_Left); // collapses Alpha and moves up
    EXPECT_EQ(tree()->Selected()->text(0), ".hidden");
    EXPECT_TRUE(fired.empty());

    Key(Qt::Key_Return);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].sender, combo);
    EXPECT_EQ(fired[0].path, fixed + "/.hidden");
    EXPECT_EQ(combo->text(), ".hidden");

    // With the tree open, Down walks the visible nodes and Enter commits and closes.
    fired.clear();
    combo->DropDown();
    ASSERT_TRUE(tree()->IsOpen());
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(tree()->Selected()->text(0), "beta");
    EXPECT_TRUE(fired.empty());
    Key(Qt::Key_Return);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, fixed + "/beta");
    EXPECT_FALSE(tree()->IsOpen());
}

// The owner of the chooser lists a real folder when the drive list is chosen and then shows
// the listed folder's path in the field, as the main window does; Home and Enter on the root
// must leave the field as a click on the root does.
TEST_F(ComboTest, HomeAndEnterOnTheRootShowWhatAClickOnItShows) {
    combo->OnPathChange = [this](QObject* sender, QString path) {
        fired.push_back({sender, path});
        if (path == "Drives")
            combo->OpenPath(fixed);
        else
            combo->setText(QDir::cleanPath(path));
    };
    struct Shown {
        QString text, selectedPath;
        int image;
        QStringList reported;
    };
    auto commitRoot = [&](bool byKeys) {
        combo->OpenPath(fixed + "/Data");
        fired.clear();
        combo->DropDown();
        EXPECT_TRUE(tree()->IsOpen());
        if (byKeys) {
            Key(Qt::Key_Home);
            EXPECT_EQ(tree()->Selected(), root());
            EXPECT_TRUE(fired.empty());
            Key(Qt::Key_Return);
        } else {
            ClickAt(tree()->LabelRect(root()).center());
        }
        EXPECT_FALSE(tree()->IsOpen());
        Shown shown{combo->text(), combo->SelectedPath(), combo->ImageIndex(), {}};
        for (const Fired& f : fired)
            shown.reported << f.path;
        return shown;
    };
    const Shown clicked = commitRoot(false);
    const Shown keyed = commitRoot(true);
    EXPECT_EQ(clicked.reported, (QStringList{"Drives", fixed + "/"}));
    EXPECT_EQ(clicked.text, fixed);
    EXPECT_EQ(clicked.image, TDirTreeView::ImageIndexOf(VolumeNode(fixed)));
    EXPECT_EQ(keyed.reported, clicked.reported);
    EXPECT_EQ(keyed.text, clicked.text);
    EXPECT_EQ(keyed.image, clicked.image);
    EXPECT_EQ(keyed.selectedPath, clicked.selectedPath);

    // An owner that lists the drive list itself: the field shows the root's caption and icon.
    combo->OnPathChange = [this](QObject* sender, QString path) {
        fired.push_back({sender, path});
    };
    const Shown driveList = commitRoot(true);
    EXPECT_EQ(driveList.reported, QStringList{"Drives"});
    EXPECT_EQ(driveList.text, "コンピュータ");
    EXPECT_EQ(driveList.image, TDirTreeView::ImageIndexOf(root()));
    EXPECT_EQ(driveList.selectedPath, "Drives");
}

// While the owner lists a folder (FDropEnabled false) nothing the chooser does reports another
// folder; a change of the folders seen meanwhile is taken up afterwards.
TEST_F(ComboTest, NothingIsReportedWhileDropIsDisabled) {
    combo->OpenPath(fixed + "/Data");
    fired.clear();
    combo->setFocus();
    combo->FDropEnabled = false;
    Key(Qt::Key_Up); // the selection still moves, onto "beta"
    EXPECT_EQ(tree()->Selected()->text(0), "beta");
    Key(Qt::Key_Return);
    Key(Qt::Key_F5);
    combo->FirePathChange(combo, fixed + "/Gamma");
    // A tree left open when the listing began.
    combo->FDropEnabled = true;
    combo->DropDown();
    combo->FDropEnabled = false;
    ASSERT_TRUE(tree()->IsOpen());
    ClickAt(tree()->LabelRect(Child(VolumeNode(fixed), "Gamma")).center());
    EXPECT_FALSE(tree()->IsOpen());
    ASSERT_TRUE(QDir().mkdir(fixed + "/Data/New"));
    combo->ShellNotify(0x8);
    QTest::qWait(400);
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(combo->SelectedPath(), fixed + "/Data/");
    EXPECT_EQ(combo->text(), "Data");

    // Once enabled again the folder change is reported, once, with the folder listed before.
    combo->FDropEnabled = true;
    for (int i = 0; i < 40 && fired.empty(); ++i)
        QTest::qWait(50);
    QTest::qWait(200);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, fixed + "/Data/");
    EXPECT_TRUE(Child(Child(VolumeNode(fixed), "Data"), "New"));
}

TEST_F(ComboTest, LeftAndUpNeverLeaveTheVolumesForTheRoot) {
    tree()->SetSelected(root()->child(0));
    Key(Qt::Key_Left);
    EXPECT_EQ(tree()->Selected(), root()->child(0));
    Key(Qt::Key_Up);
    EXPECT_EQ(tree()->Selected(), root());
    Key(Qt::Key_Up); // at the root Up does nothing
    EXPECT_EQ(tree()->Selected(), root());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ComboTest, EscClosesTheTreeAndDownOpensIt) {
    combo->setFocus();
    Key(Qt::Key_Down);
    EXPECT_TRUE(tree()->IsOpen());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(tree()->IsOpen());
    Key(Qt::Key_F4);
    EXPECT_TRUE(tree()->IsOpen());
    Key(Qt::Key_F4);
    EXPECT_FALSE(tree()->IsOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ComboTest, WheelUpMovesTheSelectionWheelDownOpensTheTree) {
    combo->OpenPath(fixed + "/Data");
    fired.clear();
    const QPoint at = combo->rect().center();
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(at), QPointF(combo->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &event);
    };
    wheel(120);
    EXPECT_EQ(tree()->Selected()->text(0), "beta");
    EXPECT_FALSE(tree()->IsOpen());
    wheel(-120);
    EXPECT_TRUE(tree()->IsOpen());
    EXPECT_TRUE(fired.empty());
}

TEST_F(ComboTest, F5RebuildsAndReportsTheFolderAgain) {
    combo->OpenPath(fixed + "/Data");
    ASSERT_TRUE(QDir().mkdir(fixed + "/Data/Later"));
    fired.clear();
    combo->setFocus();
    Key(Qt::Key_F5);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, fixed + "/Data/");
    EXPECT_TRUE(Child(Child(VolumeNode(fixed), "Data"), "Later"));
}

TEST_F(ComboTest, CreatingASubfolderRebuildsAndReportsTheCurrentFolder) {
    combo->OpenPath(fixed + "/Alpha");
    fired.clear();
    ASSERT_TRUE(QDir().mkdir(fixed + "/Alpha/fresh"));
    for (int i = 0; i < 100 && fired.empty(); ++i)
        QTest::qWait(50);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].sender, combo);
    EXPECT_EQ(fired[0].path, fixed + "/Alpha/");
    EXPECT_EQ(Captions(Child(VolumeNode(fixed), "Alpha")), (QStringList{"fresh", "inner"}));
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(ComboTest, NotificationsOfOtherKindsAndVanishedFoldersReportNothing) {
    combo->OpenPath(fixed + "/beta");
    fired.clear();
    combo->ShellNotify(0x2); // a file created: not a reason to rebuild
    EXPECT_TRUE(fired.empty());
    ASSERT_TRUE(QDir(fixed + "/beta").removeRecursively());
    combo->ShellNotify(0x10);
    EXPECT_TRUE(fired.empty());
    EXPECT_FALSE(Child(VolumeNode(fixed), "beta"));
}

TEST_F(ComboTest, VolumeAddedRebuildsTheTree) {
    combo->OpenPath(fixed + "/Data");
    fired.clear();
    volumes.push_back(Volume(base + "/Fixed/Gamma", "GAMMA", platform::VolumeKind::Fixed, true));
    combo->ShellNotify(0x100);
    EXPECT_TRUE(VolumeNode(base + "/Fixed/Gamma"));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].path, fixed + "/Data/");
}

TEST_F(ComboTest, SelectedPathWriteAndFileList) {
    RecordingFileList list;
    combo->OpenPath(fixed + "/Data");
    combo->SetFileList(&list);
    EXPECT_EQ(list.directories, QStringList{fixed + "/Data/"});
    EXPECT_EQ(list.refreshes, 1);
    fired.clear();
    combo->SetSelectedPath(fixed + "/DATA/"); // equal without case: kept as it was
    EXPECT_EQ(combo->SelectedPath(), fixed + "/Data/");
    combo->SetSelectedPath(fixed + "/beta");
    EXPECT_EQ(combo->SelectedPath(), fixed + "/beta");
    EXPECT_EQ(list.directories.last(), fixed + "/beta");
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(tree()->Selected()->text(0), "Data"); // the tree does not follow
}

TEST_F(ComboTest, FileListIsForgottenWhenDestroyed) {
    auto list = std::make_unique<RecordingFileList>();
    combo->SetFileList(list.get());
    list.reset();
    EXPECT_EQ(combo->FileList(), nullptr);
    combo->OpenPath(fixed); // must not touch the destroyed list
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(ComboTest, LanguageFollowsTheLocaleAndAboutIsFixed) {
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "ja_JP.UTF-8", 1);
    combo->SetLanguage(lnEnglish);
    EXPECT_EQ(DirCaption(dcDriveNotReady), "There is no disk in Drive or Drive is not ready");
    combo->SetLanguage(lnSysDefault);
    EXPECT_EQ(combo->Language(), lnJapanese);
    EXPECT_EQ(DirCaption(dcInvalidDrive), "不正な ドライブID です");
    combo->SetLanguage(lnJapanese);
    EXPECT_EQ(combo->Language(), lnJapanese);

    combo->SetAbout("something else");
    EXPECT_EQ(combo->About(), "Version 2.8.8.3");
}

TEST(DirCaptions, LocaleNamesMapToLanguages) {
    const std::pair<const char*, TLanguage> cases[] = {
        {"ja_JP.UTF-8", lnJapanese},
        {"zh_CN.GB18030", lnChinese_Sim},
        {"zh_TW.UTF-8", lnChinese_Tra},
        {"de_AT@euro", lnGerman},
        {"pt_BR", lnPortuguese},
        {"sl_SI", lnSlovenian},
        {"sk", lnSlovak},
        {"C", lnEnglish},
        {"POSIX", lnEnglish},
        {"ru_RU.UTF-8", lnEnglish},
        {"", lnEnglish},
    };
    for (const auto& [name, language] : cases)
        EXPECT_EQ(LanguageOfLocaleName(name), language) << name;
    // Languages without texts of their own read the English set, all 21 entries filled.
    const TDirCaptionSet german = CaptionSetOf(lnGerman);
    EXPECT_EQ(german, CaptionSetOf(lnEnglish));
    for (const QString& text : CaptionSetOf(lnJapanese))
        EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(CaptionSetOf(lnJapanese)[dcFolderPrefix], "フォルダ \"");
}

TEST_F(ComboTest, HintShowsOnlyWhileTheTreeIsClosed) {
    combo->SetHint("ファイルの場所");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(combo->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(combo, &enter);
    EXPECT_TRUE(combo->ShowHint());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(combo, &leave);
    EXPECT_FALSE(combo->ShowHint());
    combo->DropDown();
    QApplication::sendEvent(combo, &enter);
    EXPECT_FALSE(combo->ShowHint());
}
