// SPDX-License-Identifier: GPL-3.0-or-later
// The first scan, the cells of every kind of row, the filters, the password and its check,
// the key chord, the drive list, device removal and damaged files.

#include "windowfixture.h"

#include "platform/watchers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <set>

namespace {

using Cells = std::array<const char*, kCellCount>;

const Cells kEmpty = {"", "", "", "", "", "", "", "", "", "", "", "", ""};

class ScanTest : public WindowFixture {
protected:
    void MakeMixedFolder() {
        Dir("work/Sub");
        Fixture("work/a.pdf", "crypt/empty40.pdf");
        Fixture("work/locked.pdf", "crypt/user40.pdf");
        Fixture("work/ja.pdf", "real/ja-gs.pdf");
        File("work/a.p", "hi\n");
        File("work/readme", "read me\n");
        SizedFile("work/notes.txt", 1025);
        SizedFile("work/zero.txt", 0);
        SizedFile("work/big.bin", 1234567);
        Png("work/pic.png");
    }

    std::set<std::string> CaptionSet() const {
        const auto captions = Captions();
        return {captions.begin(), captions.end()};
    }
};

TEST_F(ScanTest, FirstListShowsTheCurrentFolderWithEveryKindOfRow) {
    MakeMixedFolder();
    ASSERT_NO_FATAL_FAILURE(Open("work", false));
    ChooseFilter(2); // not shown yet: nothing is listed, the first listing takes the filter
    EXPECT_EQ(scansRun, 0);
    EXPECT_TRUE(Rows().empty());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(scansRun, 1);
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(chooser->text(), At("work")); // without the trailing "/"
    EXPECT_NE(Row("readme"), nullptr);

    const std::string date = kFileTimeCell;
    struct Case {
        const char* caption;
        bool folder;
        Cells cells;
    } cases[] = {
        {"..", true, kEmpty},
        {"Sub", true, kEmpty},
        {"a.pdf",
         false,
         {"Report", "", "Ann", "", "", "", "40", "1", "747", "1.4", "1KB", ".PDF", date.c_str()}},
        {"locked.pdf",
         false,
         {"***crypt***", "", "***crypt***", "", "***crypt***", "", "40", "1", "747", "1.4", "1KB",
          ".PDF", date.c_str()}},
        {"ja.pdf",
         false,
         {"報告書 2024", "月次報告", "山田 太郎", "売上; 予算", "GPL Ghostscript 10.00.0",
          "2024/01/02 03:04:05", "無し", "1", "2,797", "1.4", "3KB", ".PDF", date.c_str()}},
        // Handed to the reader for its name, and no PDF: a plain file's row, and a failure.
        {"a.p", false, {"", "", "", "", "", "", "", "", "", "", "1KB", ".P", date.c_str()}},
        {"readme", false, {"", "", "", "", "", "", "", "", "", "", "1KB", "", date.c_str()}},
        {"notes.txt", false, {"", "", "", "", "", "", "", "", "", "", "2KB", ".TXT", date.c_str()}},
        {"zero.txt", false, {"", "", "", "", "", "", "", "", "", "", "0KB", ".TXT", date.c_str()}},
        {"big.bin",
         false,
         {"", "", "", "", "", "", "", "", "", "", "1,206KB", ".BIN", date.c_str()}},
    };
    ASSERT_EQ(Rows().size(), size_t(RowCount()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        const ListRow* row = Row(c.caption);
        const QModelIndex item = Item(c.caption);
        ASSERT_NE(row, nullptr);
        ASSERT_TRUE(item.isValid());
        EXPECT_EQ(row->isFolder, c.folder);
        for (int i = 0; i < kCellCount; ++i) {
            EXPECT_EQ(row->cells[size_t(i)], c.cells[size_t(i)]) << "column " << i + 1;
            // 更新日時 shows its century in the window, as 作成日 does; the row (and with it
            // the saved list) keeps the two-digit year.
            const std::string shown =
                std::string(i == 12 && !c.folder ? "20" : "") + c.cells[size_t(i)];
            EXPECT_EQ(Text(item.row(), i + 1), shown) << "column " << i + 1;
        }
    }
    EXPECT_NE(Row("pic.png"), nullptr);
    EXPECT_EQ(Row("pic.png")->cells[11], ".PNG");
    ASSERT_EQ(boxes.size(), 1u); // the one listing
    for (const auto& box : boxes)
        EXPECT_TRUE(
            box.text.endsWith(QStringLiteral("（1ファイル）：\r\na.p：PDF ファイルではありません")))
            << box.text.toStdString();
}

TEST_F(ScanTest, EachFilterListsItsFiles) {
    MakeMixedFolder();
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::set<std::string> folders = {"..", "Sub"};
    const std::set<std::string> pdfs = {"a.pdf", "locked.pdf", "ja.pdf", "a.p"};
    struct Case {
        int index;
        std::set<std::string> files;
    } cases[] = {
        {0, pdfs},
        {1, {"a.pdf", "locked.pdf", "ja.pdf", "a.p", "pic.png"}},
        {2,
         {"a.pdf", "locked.pdf", "ja.pdf", "a.p", "pic.png", "readme", "notes.txt", "zero.txt",
          "big.bin"}},
        {0, pdfs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        ChooseFilter(c.index);
        std::set<std::string> expected = folders;
        expected.insert(c.files.begin(), c.files.end());
        EXPECT_EQ(CaptionSet(), expected);
    }
}

TEST_F(ScanTest, TheRootHasNoParentRow) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_NE(Row(".."), nullptr);
    OpenPath("/");
    EXPECT_EQ(form->currentFolder(), "/");
    EXPECT_EQ(chooser->text(), "/");
    EXPECT_EQ(Row(".."), nullptr);
    EXPECT_FALSE(Rows().empty());
}

TEST_F(ScanTest, TypedPasswordOpensTheDocumentAtTheNextScan) {
    Fixture("work/locked.pdf", "crypt/user40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(Row("locked.pdf")->cells[0], "***crypt***");
    QTest::keyClicks(passwordField, "user");
    EXPECT_EQ(passwordField->text(), "user");
    EXPECT_EQ(Row("locked.pdf")->cells[0], "***crypt***"); // typing does not scan
    Click(refreshButton);
    EXPECT_EQ(Row("locked.pdf")->cells[0], "Report");
    EXPECT_EQ(Row("locked.pdf")->cells[2], "Ann");
    EXPECT_EQ(Row("locked.pdf")->cells[6], "40");
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_TRUE(boxes.empty());
}

// Any text may be a password: AES-256 takes Unicode. What RC4 and AES-128 cannot take is
// named when the password is tried, and a control character, which no method takes, is
// refused in the list's own words; the lenient option asks nothing.
TEST_F(ScanTest, PasswordCheckAndTheKeyChord) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString refused = QStringLiteral(
        "Error:パスワードは英数字のみです。記号、日本語（２バイト文字は使えません。）");
    struct Case {
        const char* what;
        QString text;
        QString told; // empty: nothing
        bool kept;
    } plain[] = {
        {"inner blank", "ab cd", "", true},
        {"outer blanks", "  ab  ", "", true},
        {"japanese", QStringLiteral("パス"), "", true},
        {"latin-1 letters", QStringLiteral("pässwört"),
         QStringLiteral("パスワードの「äö」は、RC4 と AES-128 で暗号化された文書のパスワードには"
                        "使えない文字です（AES-256 の文書には使えます）。"),
         true},
        {"a tab", QStringLiteral("ab\tcd"), refused, false},
    };
    for (const Case& c : plain) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        passwordField->setFocus();
        passwordField->setText(c.text);
        EXPECT_TRUE(boxes.empty()); // typing asks nothing
        QTest::keyClick(passwordField, Qt::Key_Return);
        ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
        EXPECT_EQ(passwordField->text(), c.kept ? c.text : QString());
        ASSERT_EQ(boxes.size(), c.told.isEmpty() ? 0u : 1u) << boxes[0].text.toStdString();
        if (!c.told.isEmpty()) {
            EXPECT_EQ(boxes[0].caption, "Check");
            EXPECT_EQ(boxes[0].text, c.told);
            EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
        }
    }
    passwordField->clear();

    auto chord = [&] {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    };
    const QString hint = QStringLiteral("パスワード（Enter で試します）");
    kana = false;
    chord();
    EXPECT_FALSE(lenientCheck->isVisible());
    EXPECT_EQ(passwordField->toolTip(), hint);
    kana = true;
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier); // Shift missing
    EXPECT_FALSE(lenientCheck->isVisible());
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_FALSE(lenientCheck->isVisible()); // the keypad's 7 is not the chord
    chord();
    EXPECT_TRUE(lenientCheck->isVisible());
    EXPECT_TRUE(lenientCheck->isChecked());
    EXPECT_EQ(passwordField->toolTip(),
              QStringLiteral("パスワード（Enter で試します。空のパスワードも認めます）"));
    boxes.clear();
    passwordField->setText("ab\tcd");
    QTest::keyClick(passwordField, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(passwordField->text(), "ab\tcd");
    EXPECT_TRUE(boxes.empty());
    // Alt is not looked at.
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_FALSE(lenientCheck->isVisible());
    EXPECT_FALSE(lenientCheck->isChecked());
    EXPECT_EQ(passwordField->toolTip(), hint);
}

TEST_F(ScanTest, TheDriveListGoesToTheRootOfTheCurrentVolume) {
    Dir("work/deep");
    Fixture("marker.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open("work/deep"));
    EXPECT_EQ(Listed(), At("work/deep"));
    emit chooser->pathChanged("Drives");
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(form->currentFolder(), root + "/");
    EXPECT_NE(Row("marker.pdf"), nullptr);
    EXPECT_NE(Row("work"), nullptr);
    EXPECT_EQ(chooser->text(), root);
}

TEST_F(ScanTest, RemovingTheListedVolumeMovesToTheFallbackFolder) {
    Dir("usb/docs");
    Fixture("usb/docs/stick.pdf", "crypt/empty40.pdf");
    Fixture("work/here.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    auto* watcher = form->findChild<platform::MountWatcher*>("listedVolumeWatcher");
    ASSERT_NE(watcher, nullptr);
    OpenPath(At("usb/docs"));
    ASSERT_EQ(Listed(), At("usb/docs"));

    // Another volume going changes nothing.
    RemoveVolume(At("other"));
    watcher->rescan();
    QApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("usb/docs"));
    EXPECT_NE(Row("stick.pdf"), nullptr);

    // The stick going: its mount point may stay behind as an empty folder of the volume
    // beneath, which must not count as the listed folder still being there.
    RemoveVolume(At("usb"));
    watcher->rescan();
    QApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(form->currentFolder(), root + "/");
    EXPECT_EQ(Row("stick.pdf"), nullptr);
    EXPECT_NE(Row("work"), nullptr);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ScanTest, RemovalDuringAListingIsIgnoredAndTheDriveListFollowsTheFallback) {
    Dir("usb/slow");
    Fixture("usb/slow/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    auto* watcher = form->findChild<platform::MountWatcher*>("listedVolumeWatcher");
    ASSERT_NE(watcher, nullptr);
    // A volume that comes and goes, and the window's answer to it.
    auto comesAndGoes = [&](const QString& mountPoint) {
        volumes.push_back(Volume(mountPoint, platform::VolumeKind::Removable));
        watcher->rescan();
        RemoveVolume(mountPoint);
        watcher->rescan();
        QApplication::processEvents();
        WaitUntilIdle();
    };
    OpenPath(At("usb"));
    ASSERT_EQ(Listed(), At("usb"));
    // The stick goes while a listing of it hangs: nothing is done about it then.
    const std::shared_ptr<Hang> hang = HangIn("/slow/");
    chooser->openPath(At("usb/slow"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    RemoveVolume(At("usb"));
    watcher->rescan();
    QApplication::processEvents();
    EXPECT_EQ(Listed(), At("usb/slow"));
    hang->Release();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("usb/slow"));
    // Afterwards a removal is looked at.
    ASSERT_NO_FATAL_FAILURE(comesAndGoes(At("usb")));
    EXPECT_EQ(form->currentFolder(), root + "/");
    // The drive list is never left standing after a removal.
    chooser->setSelectedPath("Drives");
    ASSERT_NO_FATAL_FAILURE(comesAndGoes(At("other")));
    EXPECT_EQ(form->currentFolder(), root + "/");
}

TEST_F(ScanTest, DamagedPdfsDoNotEndTheScanAndAreReportedOnce) {
    File("work/bad.pdf", "%PDF-1.4\ngarbage\n");
    File("work/empty.pdf", "");
    Fixture("work/xrefstream.pdf", "real/ja-xrefstream.pdf");
    Fixture("work/good.pdf", "crypt/empty40.pdf");
    File("work/zz.txt", "x");
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::set<std::string> expected = {"..", "bad.pdf", "empty.pdf", "xrefstream.pdf",
                                            "good.pdf"};
    const auto captions = Captions();
    EXPECT_EQ(std::set<std::string>(captions.begin(), captions.end()), expected);
    EXPECT_EQ(Row("good.pdf")->cells[0], "Report");
    // A cross-reference stream is no damage: its file is read like any other.
    EXPECT_EQ(Row("xrefstream.pdf")->cells[0], "報告書 2024");
    EXPECT_EQ(captions.front(), ".."); // still sorted
    for (const char* bad : {"bad.pdf", "empty.pdf"}) {
        SCOPED_TRACE(bad);
        const ListRow* row = Row(bad);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->cells[0], "");
        EXPECT_EQ(row->cells[6], "");
        EXPECT_EQ(row->cells[11], ".PDF");
        EXPECT_EQ(row->cells[12], kFileTimeCell);
    }
    const auto errors = BoxesWithIcon(QMessageBox::Critical);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].caption, "Pagewick");
    for (const char* bad : {"bad.pdf", "empty.pdf"})
        EXPECT_TRUE(errors[0].text.contains(bad)) << bad;
    EXPECT_FALSE(errors[0].text.contains("good.pdf"));
    EXPECT_FALSE(errors[0].text.contains("xrefstream.pdf"));
    EXPECT_TRUE(errors[0].text.contains("2"));
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(chooser->text(), At("work"));
}

// The box tells a folder's unreadable files once a run, and only when the user listed the
// folder; the rows and the status line tell them every time.
TEST_F(ScanTest, TheBoxComesOncePerFolderAndOnlyWhenTheUserListsIt) {
    File("work/bad.pdf", "%PDF-1.4\ngarbage\n");
    Dir("work/Sub");
    File("work/Sub/broken.pdf", "%PDF-1.4\n");
    Dir("work/Clean");
    ASSERT_NO_FATAL_FAILURE(Open());
    auto* status = form->findChild<QLabel*>("statusLine");
    const struct {
        const char* what;
        std::function<void()> act;
        int boxes; // in all, so far
        bool unreadable;
    } steps[] = {
        {"the start", [] {}, 1, true},
        {"another file type", [&] { ChooseFilter(2); }, 1, true},
        {"a password",
         [&] {
             QTest::keyClick(passwordField, Qt::Key_Return);
             WaitUntilIdle();
         },
         1, true},
        {"refresh", [&] { Click(refreshButton); }, 1, true},
        {"a change of the folder",
         [&] {
             File("work/new.txt", "x");
             ASSERT_TRUE(QTest::qWaitFor([&] { return Row("new.txt") != nullptr; }, 5000));
         },
         1, true},
        {"another folder", [&] { DoubleClick("Sub"); }, 2, true},
        {"back up", [&] { Click(upButton); }, 2, true},
        {"into it again", [&] { DoubleClick("Sub"); }, 2, true},
        {"a clean folder", [&] { OpenPath(At("work/Clean")); }, 2, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(BoxesWithIcon(QMessageBox::Critical).size(), size_t(step.boxes));
        EXPECT_EQ(status->text().endsWith("読めないファイル 1"), step.unreadable)
            << status->text().toStdString();
    }
    OpenPath(At("work"));
    const QModelIndex bad = Item("bad.pdf");
    ASSERT_TRUE(bad.isValid());
    EXPECT_TRUE(bad.data(Qt::ToolTipRole).toString().startsWith("読めませんでした："));
}

// Names and the reader's messages reach the name field, the tooltips and the boxes inert:
// a right-to-left override or a control character cannot disguise a name there.
TEST_F(ScanTest, NamesAndMessagesAreShownInert) {
    const QString disguised = QStringLiteral("report\u202Etxt.pdf");
    File("work/" + disguised, "%PDF-1.4\n");
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString shown = QStringLiteral("report\\u202etxt.pdf");
    ASSERT_TRUE(Item(shown.toStdString()).isValid());
    Select(shown.toStdString());
    EXPECT_EQ(nameField->text(), shown);
    const auto errors = BoxesWithIcon(QMessageBox::Critical);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.contains(shown)) << errors[0].text.toStdString();
    EXPECT_FALSE(errors[0].text.contains(QChar(0x202E)));
    // The field's name still opens the file itself.
    associations[At("work/") + disguised] = {"/x/v.desktop", "viewer %f", "Viewer"};
    Click(openButton);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv.last(), At("work/") + disguised);
}

TEST_F(ScanTest, ManyDamagedFilesAreListedTwentyAtMost) {
    for (int i = 0; i < 23; ++i)
        File(QStringLiteral("work/bad%1.pdf").arg(i, 2, 10, QLatin1Char('0')), "%PDF-1.4\n");
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(Rows().size(), 24u);
    const auto errors = BoxesWithIcon(QMessageBox::Critical);
    ASSERT_EQ(errors.size(), 1u);
    const QStringList lines = errors[0].text.split("\r\n");
    EXPECT_EQ(lines.size(), 1 + 20 + 1);
    EXPECT_TRUE(lines.first().contains("23"));
    EXPECT_TRUE(lines.last().contains("3"));
    EXPECT_EQ(lines.filter(".pdf").size(), 20);
}

TEST_F(ScanTest, AFolderThatCannotBeListedShowsTheErrorAndRestoresTheControls) {
    Fixture("work/here.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString gone = At("work/gone/");
    Dir("work/gone");
    OpenPath(gone);
    ASSERT_TRUE(Rows().size() == 1u);
    QDir(At("work/gone")).removeRecursively();
    boxes.clear();
    emit chooser->pathChanged(gone);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_TRUE(Rows().empty());
    const auto errors = BoxesWithIcon(QMessageBox::Critical);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.contains("gone")) << errors[0].text.toStdString();
    EXPECT_TRUE(typeFilter->isEnabled());
    EXPECT_TRUE(passwordField->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
