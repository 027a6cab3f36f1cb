// SPDX-License-Identifier: GPL-3.0-or-later
// Folders whose names are not UTF-8 are entered, listed, watched and left as any other: by a
// double click, by Enter, through the chooser, by the up button and from the command line.

#include "windowfixture.h"

#include "app/startargs.h"

#include <QLabel>
#include <QLineEdit>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ByteFolder {
    const char* what;
    std::string bytes; // the name on disk
    std::string shown; // its row's caption
    int pages;         // of the PDF inside
};

const ByteFolder kFolders[] = {
    {"Shift-JIS", "\x8e\x91\x97\xbf", "資料", 2},
    {"EUC-JP", "\xc6\xfc\xcb\xdc", "\\xc6\\xfc\\xcb\\xdc", 3},
    {"Latin-1", "caf\xe9", "caf\\xe9", 4},
};

class ByteFolderTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        for (const ByteFolder& f : kFolders) {
            ASSERT_EQ(::mkdir(Bytes(f).c_str(), 0755), 0) << f.what;
            ASSERT_NO_FATAL_FAILURE(WritePdf(Bytes(f) + "/doc.pdf", f.pages));
            ASSERT_EQ(::mkdir((Bytes(f) + "/inner").c_str(), 0755), 0) << f.what;
        }
    }

    void TearDown() override {
        WindowFixture::TearDown();
        // Qt cannot name these to remove them.
        for (const ByteFolder& f : kFolders)
            std::filesystem::remove_all(Bytes(f));
    }

    static void WritePdf(const std::string& path, int pages) {
        const QByteArray pdf = BuiltPdf("%PDF-1.4", pages, "/Title (inside)");
        std::ofstream out(path, std::ios::binary);
        ASSERT_TRUE(out.write(pdf.constData(), pdf.size())) << path;
    }

    std::string Bytes(const ByteFolder& f) const {
        return platform::PathToBytes(At("work")) + "/" + f.bytes;
    }
    QString Inside(const ByteFolder& f) const { return platform::PathFromBytes(Bytes(f)); }

    // The window lists the folder: its PDF with its page count, and shows where it is.
    void ExpectListed(const ByteFolder& f) {
        EXPECT_EQ(platform::PathToBytes(Listed()), Bytes(f));
        const ListRow* pdf = Row("doc.pdf");
        ASSERT_NE(pdf, nullptr);
        EXPECT_EQ(pdf->cells[7], std::to_string(f.pages));
        EXPECT_NE(Row("inner"), nullptr);
        EXPECT_EQ(chooser->text(), At("work/") + QString::fromStdString(f.shown));
        ASSERT_NE(chooser->selectedNode(), nullptr);
        EXPECT_EQ(chooser->selectedNode()->text(0).toStdString(), f.shown);
    }
};

TEST_F(ByteFolderTest, EnteredByDoubleClickEnterAndTheChooserAndLeftByTheUpButton) {
    ASSERT_NO_FATAL_FAILURE(Open());
    for (const ByteFolder& f : kFolders) {
        SCOPED_TRACE(f.what);
        ASSERT_NE(Row(f.shown), nullptr);
        EXPECT_EQ(Row(f.shown)->nameBytes, f.bytes);
        DoubleClick(f.shown);
        ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
        Click(upButton);
        EXPECT_EQ(Listed(), At("work"));

        Select(f.shown);
        PressEnter();
        ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
        // Up and down again from one of its subfolders.
        DoubleClick("inner");
        EXPECT_EQ(platform::PathToBytes(Listed()), Bytes(f) + "/inner");
        Click(upButton);
        ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
        DoubleClick("..");
        EXPECT_EQ(Listed(), At("work"));

        OpenPath(Inside(f));
        ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
        OpenPath(At("work"));
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(started.empty());
}

TEST_F(ByteFolderTest, TheListedFolderIsWatchedAndItsEntriesCounted) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const ByteFolder& f = kFolders[0];
    // The listing tells how far it has got against the folder's entries: doc.pdf and inner
    // (".." is no entry of the folder's own).
    QStringList progress;
    QObject::connect(loader, &FolderLoader::progressed, form.get(),
                     [&] { progress << scanProgress->text(); });
    OpenPath(Inside(f));
    ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
    ASSERT_FALSE(progress.isEmpty());
    for (const QString& text : progress)
        EXPECT_TRUE(text.endsWith(" / 2")) << text.toStdString();

    ASSERT_NO_FATAL_FAILURE(WritePdf(Bytes(f) + "/new.pdf", 9));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("new.pdf") != nullptr; }, 5000));
    EXPECT_EQ(Row("new.pdf")->cells[7], "9");
}

TEST_F(ByteFolderTest, TheCommandLineStartsInThem) {
    for (const ByteFolder& f : kFolders) {
        SCOPED_TRACE(f.what);
        const struct {
            const char* how;
            QString argument;
            QString currentFolder;
            QString selected;
        } cases[] = {
            {"relative", platform::PathFromBytes(f.bytes), At("work"), ""},
            {"absolute, with a trailing slash", Inside(f) + "/", At("work"), ""},
            {"a file in it", platform::PathFromBytes(f.bytes + "/doc.pdf"), At("work"), "doc.pdf"},
            {"run inside it", "", Inside(f), ""},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.how);
            boxes.clear();
            ASSERT_EQ(::chdir(platform::PathToBytes(c.currentFolder).c_str()), 0);
            form = OpenMainWindow(ResolveStartPlace(c.argument, platform::CurrentFolderPath()));
            ASSERT_NO_FATAL_FAILURE(Bind());
            ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
            ASSERT_NO_FATAL_FAILURE(ExpectListed(f));
            EXPECT_EQ(nameField->text(), c.selected);
            EXPECT_TRUE(boxes.empty());
        }
    }
    // A name that is not there is reported as the list would show it.
    const StartPlace missing =
        ResolveStartPlace(platform::PathFromBytes("nothing\xe9"), At("work"));
    EXPECT_TRUE(missing.folder.isEmpty());
    EXPECT_TRUE(missing.problem.contains("「nothing\\xe9」")) << missing.problem.toStdString();
}

} // namespace
