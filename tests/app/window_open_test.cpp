// SPDX-License-Identifier: GPL-3.0-or-later
// Selecting, entering folders, going up, starting files through the platform's seams, help.

#include "windowfixture.h"

#include "app/fileopener.h"
#include "app/helppage.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cerrno>

namespace {

const QString kInfoCaption = QStringLiteral("Pagewick Ver. 1.0の情報");
const QString kNoProgram = QStringLiteral("ファイルが存在しない又は実行できません：\r\n");
const QString kNoApplication =
    QStringLiteral("このファイルを開くアプリケーションが関連付けられていません：\r\n");

class OpenTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Dir("work/Sub/Deeper");
        Fixture("work/Sub/inner.pdf", "crypt/empty40.pdf");
        Fixture("work/doc.pdf", "crypt/empty40.pdf");
        File("work/readme", "read me\n");
        File("work/page.htm", "<html></html>\n");
        File("work/notes.txt", "notes\n");
    }

    // The one message box shown since the last call, as caption and text.
    std::pair<QString, QString> OnlyBox() {
        EXPECT_EQ(boxes.size(), 1u);
        if (boxes.empty())
            return {};
        const auto box = boxes.front();
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
        boxes.clear();
        return {box.caption, box.text};
    }
};

TEST_F(OpenTest, SelectingShowsTheName) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Select("Sub");
    EXPECT_EQ(nameField->text(), "Sub");
    Select("..");
    EXPECT_EQ(nameField->text(), "");
    Select("Sub");
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(nameField->text().toStdString(), Captions()[2]);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(nameField->text(), "Sub");
}

// However the highlight moves, the name field shows the highlighted row and Enter opens it.
TEST_F(OpenTest, TheNameFieldAndEnterFollowTheHighlightedRow) {
    associations[At("work/doc.pdf")] = {"/x/viewer.desktop", "viewer %f", "Viewer"};
    associations[At("work/notes.txt")] = {"/x/editor.desktop", "editor %f", "Editor"};
    ASSERT_NO_FATAL_FAILURE(Open());
    ChooseFilter(2);
    const std::vector<std::string> captions = Captions();
    ASSERT_EQ(captions, (std::vector<std::string>{"..", "Sub", "doc.pdf", "notes.txt", "page.htm",
                                                  "readme"}));
    struct Case {
        Qt::Key key;
        const char* text; // typed instead of a key when set
        std::string highlighted;
    } cases[] = {
        {Qt::Key_End, nullptr, "readme"},      {Qt::Key_Home, nullptr, ".."},
        {Qt::Key_PageDown, nullptr, "readme"}, {Qt::Key_PageUp, nullptr, ".."},
        {Qt::Key_unknown, "no", "notes.txt"},  {Qt::Key_unknown, "d", "doc.pdf"},
    };
    Select("Sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.highlighted);
        list->setFocus();
        if (c.text) {
            // A new search, not the continuation of the last one.
            QTest::qWait(QApplication::keyboardInputInterval() + 50);
            QTest::keyClicks(list, c.text);
        } else
            QTest::keyClick(list, c.key);
        ASSERT_EQ(Highlighted(), c.highlighted);
        EXPECT_EQ(nameField->text().toStdString(), c.highlighted == ".." ? "" : c.highlighted);
        QApplication::processEvents();
    }
    started.clear();
    PressEnter();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv, (QStringList{"viewer", At("work/doc.pdf")}));
    // "開く" too.
    QTest::keyClick(list, Qt::Key_Down);
    Click(openButton);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].argv, (QStringList{"editor", At("work/notes.txt")}));
    // A sort keeps the highlighted row, and the name with it.
    ClickHeader(0);
    EXPECT_EQ(Highlighted(), "notes.txt");
    EXPECT_EQ(nameField->text(), "notes.txt");
}

TEST_F(OpenTest, FoldersAreEnteredByDoubleClickAndByEnter) {
    ASSERT_NO_FATAL_FAILURE(Open());
    DoubleClick("Sub");
    EXPECT_EQ(Listed(), At("work/Sub"));
    EXPECT_EQ(nameField->text(), "");
    DoubleClick("..");
    EXPECT_EQ(Listed(), At("work"));

    Select("Sub");
    ASSERT_EQ(nameField->text(), "Sub");
    PressEnter();
    EXPECT_EQ(Listed(), At("work/Sub"));
    EXPECT_EQ(nameField->text(), "");
    Select("Deeper");
    PressEnter();
    EXPECT_EQ(Listed(), At("work/Sub/Deeper"));
    Select("..");
    PressEnter();
    EXPECT_EQ(Listed(), At("work/Sub"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(started.empty());
}

TEST_F(OpenTest, TheUpButton) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Click(upButton);
    EXPECT_EQ(Listed(), root);
    EXPECT_NE(Row("work"), nullptr);

    OpenPath("/");
    ASSERT_EQ(form->currentFolder(), "/");
    const int scans = scansRun; // the up button at "/" lists "/" again
    Click(upButton);
    EXPECT_EQ(form->currentFolder(), "/");
    EXPECT_GT(scansRun, scans);
    EXPECT_GT(RowCount(), 0);
    EXPECT_EQ(Row(".."), nullptr);

    chooser->setSelectedPath("Drives");
    Click(upButton);
    EXPECT_EQ(form->currentFolder(), "Drives");
}

TEST_F(OpenTest, FilesGoToTheirPrograms) {
    associations[At("work/doc.pdf")] = {"/x/viewer.desktop", "viewer --open %f", "Viewer"};
    associations[At("work/page.htm")] = {"/x/browser.desktop", "browser %u", "Browser"};
    ASSERT_NO_FATAL_FAILURE(Open());
    ChooseFilter(2);

    struct Case {
        const char* name;
        QStringList argv; // empty: the "no program" message
    } cases[] = {
        {"doc.pdf", {"viewer", "--open", At("work/doc.pdf")}},
        {"page.htm", {"xdg-open", At("work/page.htm")}},
        {"notes.txt", {}},
        {"readme", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int way = 0; way < 2; ++way) {
            SCOPED_TRACE(way == 0 ? "double-click" : "open button");
            started.clear();
            boxes.clear();
            if (way == 0) {
                DoubleClick(c.name);
            } else {
                Select(c.name);
                ASSERT_EQ(nameField->text(), c.name);
                Click(openButton);
            }
            if (c.argv.isEmpty()) {
                EXPECT_TRUE(started.empty());
                const auto [caption, text] = OnlyBox();
                EXPECT_EQ(caption, kInfoCaption);
                EXPECT_EQ(text, kNoApplication + At("work/") + c.name);
                EXPECT_EQ(boxes.size(), 0u);
            } else {
                ASSERT_EQ(started.size(), 1u);
                EXPECT_EQ(started[0].argv, c.argv);
                EXPECT_EQ(started[0].workingFolder, "");
                EXPECT_TRUE(boxes.empty());
            }
            EXPECT_EQ(Listed(), At("work"));
        }
    }
}

TEST_F(OpenTest, TheNoProgramBoxIsOwnerlessAndInFront) {
    ASSERT_NO_FATAL_FAILURE(Open());
    OpenFile(At("work/readme"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_TRUE(boxes[0].foreground);
    EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
}

TEST_F(OpenTest, ProgramsStartInTheirOwnFolder) {
    Dir("work/bin");
    File("work/bin/run.sh", "#!/bin/sh\npwd > ran.txt\n");
    QFile::setPermissions(At("work/bin/run.sh"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    File("work/bin/junk.sh", QByteArray("\x7f\x01\x02garbage", 10));
    QFile::setPermissions(At("work/bin/junk.sh"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ASSERT_NO_FATAL_FAILURE(Open("work/bin"));
    ChooseFilter(2);

    DoubleClick("run.sh");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv, QStringList{At("work/bin/run.sh")});
    EXPECT_EQ(started[0].workingFolder, At("work/bin"));

    // A failing start names the error number and the command.
    startError = ENOENT;
    boxes.clear();
    DoubleClick("run.sh");
    auto [caption, text] = OnlyBox();
    EXPECT_EQ(caption, kInfoCaption);
    EXPECT_EQ(text, QStringLiteral("Exec Error 2\r\n") + At("work/bin/run.sh"));

    // The system's own start: the script runs, in its folder; a file that is no program fails.
    platform::ScopedHook<platform::ProcessStarter> real{platform::SetProcessStarter, {}};
    DoubleClick("run.sh");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFileInfo(At("work/bin/ran.txt")).size() > 0; }, 5000));
    QFile ran(At("work/bin/ran.txt"));
    ASSERT_TRUE(ran.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(ran.readAll()).trimmed(), At("work/bin"));

    // With the execute bit but neither ELF nor "#!": a document, which has no application.
    DoubleClick("junk.sh");
    std::tie(caption, text) = OnlyBox();
    EXPECT_EQ(text, kNoApplication + At("work/bin/junk.sh"));
}

// Only real programs are started as programs; documents with the execute bit (every file on a
// FAT stick) open in their application, terminal applications in a terminal.
TEST_F(OpenTest, DocumentsWithTheExecuteBitOpenInTheirApplication) {
    Dir("work/bin");
    Fixture("work/bin/stick.pdf", "crypt/empty40.pdf");
    File("work/bin/todo.txt", "todo\n");
    QFile::copy("/bin/true", At("work/bin/tool"));
    for (const char* name : {"stick.pdf", "todo.txt", "tool"})
        QFile::setPermissions(At("work/bin/") + name, QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner);
    associations[At("work/bin/stick.pdf")] = {"/x/viewer.desktop", "viewer %f", "Viewer"};
    associations[At("work/bin/todo.txt")] = {"/x/vim.desktop", "vim %F", "Vim", true};
    QStringList terminal = {"x-terminal-emulator", "-e"};
    platform::ScopedHook<platform::TerminalLookup> terminalHook{platform::SetTerminalLookup,
                                                                [&] { return terminal; }};
    ASSERT_NO_FATAL_FAILURE(Open("work/bin"));
    ChooseFilter(2);
    struct Case {
        const char* name;
        QStringList argv;
        QString folder;
    } cases[] = {
        {"stick.pdf", {"viewer", At("work/bin/stick.pdf")}, ""},
        {"todo.txt", {"x-terminal-emulator", "-e", "vim", At("work/bin/todo.txt")}, ""},
        {"tool", {At("work/bin/tool")}, At("work/bin")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        started.clear();
        DoubleClick(c.name);
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].argv, c.argv);
        EXPECT_EQ(started[0].workingFolder, c.folder);
        EXPECT_TRUE(boxes.empty());
    }
    // Without a terminal the user is told so; nothing starts invisibly.
    terminal.clear();
    started.clear();
    DoubleClick("todo.txt");
    EXPECT_TRUE(started.empty());
    const auto [caption, text] = OnlyBox();
    EXPECT_TRUE(text.contains("端末")) << text.toStdString();
    EXPECT_TRUE(text.contains("Vim")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(At("work/bin/todo.txt")));
}

TEST_F(OpenTest, ANameThatIsGoneCountsAsAFolder) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ChooseFilter(2);
    Select("notes.txt");
    ASSERT_EQ(nameField->text(), "notes.txt");
    QFile::remove(At("work/notes.txt"));
    const size_t rows = Rows().size();
    Click(openButton);
    EXPECT_EQ(nameField->text(), "");
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(Rows().size(), rows); // the chooser ignored it: no scan
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(started.empty());

    // Nothing selected and nothing named: nothing happens.
    list->clearSelection();
    Click(openButton);
    PressEnter();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(started.empty());
}

TEST_F(OpenTest, HelpNeedsAPageAndABrowser) {
    const QString exe = platform::ExecutablePath();
    // Where an install puts the page: PREFIX/share/pagewick/NAME.htm for PREFIX/bin/NAME.
    const QString installed =
        QDir::cleanPath(QFileInfo(exe).absolutePath() + "/" PAGEWICK_DATA_FROM_BIN "/pagewick/" +
                        QFileInfo(exe).fileName());
    const platform::AssociatedProgram browser{"/x/browser.desktop", "browser %u", "Browser"};
    struct Case {
        const char* what;
        std::vector<QString> associated;
        QString page; // empty: none to open
    } cases[] = {
        {"no page or no browser", {}, {}},
        {".htm", {exe + ".htm", exe + ".html"}, exe + ".htm"},
        {".html only", {exe + ".html"}, exe + ".html"},
        {"installed", {installed + ".htm", installed + ".html"}, installed + ".htm"},
        {"installed .html only", {installed + ".html"}, installed + ".html"},
        {"beside the executable first", {installed + ".htm", exe + ".html"}, exe + ".html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        associations.clear();
        for (const QString& page : c.associated)
            associations[page] = browser;
        ASSERT_NO_FATAL_FAILURE(Open());
        EXPECT_TRUE(helpButton->isEnabled()); // it says why when it cannot help
        started.clear();
        boxes.clear();
        if (c.page.isEmpty()) {
            helpButton->click();
            EXPECT_TRUE(started.empty());
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, QStringLiteral("ヘルプのページ（%1.htm）が見つかりません。")
                                         .arg(QFileInfo(exe).fileName()));
            continue;
        }
        Click(helpButton);
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].argv, (QStringList{"xdg-open", c.page}));
        startError = ENOENT;
        Click(helpButton);
        startError = 0;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("Pagewick - Tarnvale の情報"));
        EXPECT_EQ(boxes[0].text, QStringLiteral("Exec Error 2\r\nxdg-open ") + c.page);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    }
}

// A page that no program opens is named, for the user to open by hand.
TEST(HelpPage, APageWithoutABrowserIsNamed) {
    const QStringList candidates = {"/p/a.htm", "/p/a.html", "/s/a.htm", "/s/a.html"};
    struct Case {
        QStringList existing, opened;
        QString page;
        bool browser;
    } cases[] = {
        {{"/p/a.htm", "/s/a.htm"}, {"/s/a.htm"}, "/s/a.htm", true},
        {{"/p/a.html", "/s/a.htm"}, {}, "/p/a.html", false},
        {{}, {}, "", false},
    };
    for (const Case& c : cases) {
        const HelpPage help = ChooseHelpPage(
            candidates, [&](const QString& p) { return c.existing.contains(p); },
            [&](const QString& p) { return c.opened.contains(p); });
        EXPECT_EQ(help.page, c.page);
        EXPECT_EQ(help.browser, c.browser);
    }
}

} // namespace
