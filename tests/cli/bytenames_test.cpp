// SPDX-License-Identifier: GPL-3.0-or-later
// Files named by bytes that are not UTF-8, names that would break a list line, folders that
// cannot be listed and links that lead back up: the window and both command-line tools, on
// real files in a temporary folder.

#include "app/folderlistmodel.h"
#include "app/mainwindow.h"
#include "app/rowfiltermodel.h"
#include "app/savedialog.h"
#include "jtext/cp932.h"
#include "jtext/filename.h"
#include "platform/platform.h"
#include "support/pdfbuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ToolRun {
    int status;
    std::string out, err;
};

// program with arguments through the shell, standard error kept apart; asNobody drops root's
// rights first (root lists any folder, whatever its permissions say).
ToolRun RunTool(const std::string& program, const std::string& arguments, bool asNobody = false) {
    static int calls = 0;
    const std::string base =
        std::filesystem::temp_directory_path() /
        ("pagewick-bytes-" + std::to_string(::getpid()) + "-" + std::to_string(++calls));
    const std::string command = program + " " + arguments + " >" + base + ".out 2>" + base + ".err";
    int status = -1;
    if (!asNobody) {
        status = std::system(command.c_str());
    } else {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(98);
        }
        ::waitpid(pid, &status, 0);
    }
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(base + ".out"),
                ReadAll(base + ".err")};
    std::filesystem::remove(base + ".out");
    std::filesystem::remove(base + ".err");
    return run;
}

ToolRun List(const std::string& arguments, bool asNobody = false) {
    return RunTool(PAGEWICK_LIST, arguments, asNobody);
}

std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A PDF of so many pages whose /Title is titleValue as written in the file.
std::string PdfTitled(int pages, const std::string& titleValue) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count " + std::to_string(pages) + " >>")
        .Object(3, "<< /Title " + titleValue + " >>")
        .FullSection("/Size 4 /Root 1 0 R /Info 3 0 R");
    return pdf.Bytes();
}

std::string Pdf(int pages, const std::string& title) {
    return PdfTitled(pages, "(" + title + ")");
}

struct NamedFile {
    const char* what;
    std::string bytes; // the name on disk
    std::string shown; // the caption in UTF-8
    int pages;
};

const NamedFile kNames[] = {
    {"Shift-JIS", "\x95\xf1\x8d\x90.pdf", "報告.pdf", 3},
    {"EUC-JP", "\xc6\xfc\xcb\xdc.pdf", "\\xc6\\xfc\\xcb\\xdc.pdf", 4},
    {"Latin-1", "caf\xe9.pdf", "caf\\xe9.pdf", 5},
    {"UTF-8", "資料.pdf", "資料.pdf", 6},
    {"line break", "two\nlines.pdf", "two\nlines.pdf", 7},
    {"comma and quote", "a, \"b\".pdf", "a, \"b\".pdf", 8},
};

class ByteNames : public ::testing::Test {
protected:
    void SetUp() override {
        for (const NamedFile& f : kNames)
            dir_.Write(f.bytes, Pdf(f.pages, f.what));
    }
    TempDir dir_;
};

TEST_F(ByteNames, EveryNameIsReadSortedAndWrittenWithItsBytes) {
    const ToolRun tsv = List("--format tsv " + Quoted(dir_.Path()));
    const ToolRun cp932 = List(Quoted(dir_.Path()));
    const ToolRun utf8 = List("--encoding utf8 " + Quoted(dir_.Path()));
    const ToolRun json = List("--format json " + Quoted(dir_.Path()));
    EXPECT_EQ(tsv.status, 0) << tsv.err;
    EXPECT_TRUE(IsValidUtf8(json.out));
    std::vector<size_t> places;
    for (const NamedFile& f : kNames) {
        SCOPED_TRACE(f.what);
        EXPECT_EQ(FileNameForDisplay(f.bytes), f.shown);
        // Title and page count: the reader was handed the file itself.
        std::string shownInTsv = f.shown;
        std::replace(shownInTsv.begin(), shownInTsv.end(), '\n', ' ');
        const std::string row =
            shownInTsv + "\t" + f.what + "\t\t\t\t\t\t無し\t" + std::to_string(f.pages) + "\t";
        places.push_back(tsv.out.find(row));
        EXPECT_NE(places.back(), std::string::npos) << tsv.out;
        // The 932 list holds a Shift-JIS name as its own bytes; a line break or a comma is
        // quoted so that the row stays one record.
        auto quoted = [](const std::string& name) {
            if (name.find_first_of(",\"\n") == std::string::npos)
                return name;
            std::string out = "\"";
            for (char c : name)
                out += c == '"' ? std::string("\"\"") : std::string(1, c);
            return out + "\"";
        };
        auto listed = [&](const std::string& name) { return "\r\n  " + quoted(name) + ","; };
        // The UTF-8 table shows every name as it is shown in the window.
        EXPECT_NE(utf8.out.find("\r\n" + quoted(f.shown) + ","), std::string::npos) << utf8.out;
        EXPECT_NE(cp932.out.find(listed(IsCp932Name(f.bytes) ? f.bytes : Utf8ToCp932(f.shown))),
                  std::string::npos);
        // JSON names every file by its exact bytes when they are not UTF-8.
        if (!IsValidUtf8(f.bytes)) {
            std::string hex;
            for (unsigned char c : f.bytes) {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", c);
                hex += two;
            }
            EXPECT_NE(json.out.find("\"path_bytes\": \"" + hex + "\""), std::string::npos);
        }
    }
    // Sorted by name as shown, the same as the window does (checked below): "a, ..." first.
    EXPECT_LT(places[5], places[2]);
}

TEST_F(ByteNames, TheWindowListsOpensAndSavesThemAsTheCommandLineDoes) {
    const QString saved = QDir::currentPath();
    QDir::setCurrent(platform::PathFromBytes(dir_.Path()));
    const auto boxes = platform::SetMessageBoxHandler(
        [](const platform::MessageBoxRequest&) { return QMessageBox::Ok; });
    std::vector<std::string> started;
    platform::ScopedHook<platform::AssociationLookup> association{
        platform::SetAssociationLookup, [](const QString&) {
            return std::optional<platform::AssociatedProgram>(
                platform::AssociatedProgram{"viewer.desktop", "viewer %f", "Viewer"});
        }};
    platform::ScopedHook<platform::ProcessStarter> starter{
        platform::SetProcessStarter, [&](const QStringList& argv, const QString&) {
            started.push_back(platform::PathToBytes(argv.last()));
            return 0;
        }};
    {
        MainWindow form;
        form.show();
        auto* list = form.findChild<QTreeView*>("fileList");
        auto* shown = qobject_cast<RowFilterModel*>(list->model());
        ASSERT_NE(shown, nullptr);
        FolderListModel* model = shown->rows();
        // The window lists its first folder once it shows.
        while (model->loader()->listedFolder().isEmpty() ||
               model->loader()->state() != FolderLoader::State::Idle)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const std::string target = dir_.File("saved.txt");
        const auto previous = SetSaveDialogHandler(
            [&](QWidget*, const QString&, const QString&) -> std::optional<SaveChoice> {
                return SaveChoice{QString::fromStdString(target), ListEncoding::Cp932};
            });
        form.findChild<QPushButton*>("saveListButton")->click();
        SetSaveDialogHandler(previous);
        const ToolRun cli = List(Quoted(dir_.Path()));
        EXPECT_EQ(ReadAll(target), cli.out);
        std::filesystem::remove(target);

        for (const NamedFile& f : kNames) {
            SCOPED_TRACE(f.what);
            int row = -1;
            const std::vector<ListRow>& rows = model->rows();
            for (size_t i = 0; i < rows.size(); ++i)
                if (rows[i].nameBytes == f.bytes)
                    row = int(i);
            ASSERT_GE(row, 0);
            EXPECT_EQ(rows[size_t(row)].caption, f.shown);
            EXPECT_EQ(rows[size_t(row)].cells[7], std::to_string(f.pages));
            const QModelIndex item = shown->index(shown->placeOf(row), 0);
            list->selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
            started.clear();
            emit list->doubleClicked(item);
            ASSERT_EQ(started.size(), 1u);
            EXPECT_EQ(started[0], dir_.File(f.bytes));
            EXPECT_TRUE(std::filesystem::exists(started[0]));
            // "開く" with the name the row put in the field opens the same file.
            started.clear();
            form.findChild<QPushButton*>("openButton")->click();
            ASSERT_EQ(started.size(), 1u);
            EXPECT_EQ(started[0], dir_.File(f.bytes));
        }
    }
    platform::SetMessageBoxHandler(boxes);
    QDir::setCurrent(saved);
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

// A folder whose name is not UTF-8 is listed however it is named: by its path, from beside it,
// or as the current folder (the name was once made into text and lost on the way back).
TEST(ByteFolders, AFolderNamedInShiftJisIsListedFromAnywhere) {
    TempDir dir;
    const std::string folder = "\x95\xf1\x8d\x90"; // 報告
    std::filesystem::create_directory(dir.File(folder));
    dir.Write(folder + "/a.pdf", Pdf(2, "Shift-JIS folder"));
    const std::string list = std::string(PAGEWICK_LIST) + " --format tsv --columns name,pages ";
    const std::string from[] = {
        list + Quoted(dir.File(folder)),
        "cd " + Quoted(dir.Path()) + " && " + list + Quoted(folder),
        "cd " + Quoted(dir.Path()) + " && " + list + Quoted("./" + folder + "/../" + folder + "/"),
        "cd " + Quoted(dir.File(folder)) + " && " + list,
    };
    for (const std::string& command : from) {
        const ToolRun run = RunTool(command, "");
        EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
        EXPECT_NE(run.out.find("a.pdf\t2\n"), std::string::npos) << command;
    }
}

TEST(RecursiveList, GoesOnPastUnlistableFoldersAndSaysWhichLinksItDoesNotEnter) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    std::filesystem::create_directories(dir.File("open/deeper"));
    std::filesystem::create_directory(dir.File("closed"));
    std::filesystem::create_directory(dir.File("side"));
    dir.Write("top.pdf", Pdf(1, "top"));
    dir.Write("open/deeper/inner.pdf", Pdf(2, "inner"));
    dir.Write("closed/hidden.pdf", Pdf(3, "hidden"));
    ::symlink(".", dir.File("self").c_str());              // a cycle
    ::symlink("..", dir.File("open/up").c_str());          // a cycle from below
    ::symlink("../open", dir.File("side/toopen").c_str()); // sideways, walked after open
    ::chmod(dir.File("closed").c_str(), 0);
    struct Case {
        std::string options;
        std::string message; // told once for each of the three links
    } cases[] = {
        {"--recursive", "フォルダへのリンクなので中は読みません"},
        {"--recursive --follow-links", "と同じフォルダなので、もう一度は読みません"},
        {"-L --recursive", "と同じフォルダなので、もう一度は読みません"},
    };
    // Root reads a folder whatever its permissions, so the listing runs without root's rights.
    // Nobody may not enter the build folder (a clone in root's home, say), so it runs a copy
    // of the tool kept in a folder of this test's own.
    const bool asNobody = ::geteuid() == 0;
    TempDir tools;
    std::string program = PAGEWICK_LIST;
    if (asNobody) {
        program = tools.File("pagewick-list");
        std::filesystem::copy_file(PAGEWICK_LIST, program);
        ::chmod(tools.Path().c_str(), 0755);
        ::chmod(program.c_str(), 0755);
        if (RunTool(program, "--help", true).status != 0)
            GTEST_SKIP() << "the user nobody cannot reach " << tools.Path()
                         << " (a temporary folder inside a private one?)";
    }
    for (const Case& c : cases) {
        const ToolRun run = RunTool(program, c.options + " " + Quoted(dir.Path()), asNobody);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("ディレクトリ'" + dir.File("closed") + "/'は検索できません"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find("\r\n  top.pdf,top,"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\r\n  open/deeper/inner.pdf,inner,"), std::string::npos);
        EXPECT_EQ(run.out.find("hidden.pdf"), std::string::npos);
        EXPECT_NE(run.out.find(Utf8ToCp932("合計：2ファイル")), std::string::npos) << c.options;
        EXPECT_EQ(Occurrences(run.err, c.message), 3u) << c.options << "\n" << run.err;
        EXPECT_NE(run.err.find(dir.File("side/toopen") + ": "), std::string::npos) << run.err;
    }
    EXPECT_NE(List("-L --recursive " + Quoted(dir.Path()))
                  .err.find(dir.File("side/toopen") + ": " + dir.File("open") + " と同じフォルダ"),
              std::string::npos);

    // Without the unlistable folder the list is complete: links told or not, status 0.
    ::chmod(dir.File("closed").c_str(), 0755);
    std::filesystem::remove_all(dir.File("closed"));
    EXPECT_EQ(List("--recursive " + Quoted(dir.Path())).status, 0);
    EXPECT_EQ(List("--recursive -L " + Quoted(dir.Path())).status, 0);
}

TEST(HostileText, TitlesAndNamesAreInertInTextOutputAndExactInJson) {
    TempDir dir;
    // A UTF-8 title: T ESC ] 0 ; P BEL (a terminal title), a right-to-left override, A, a
    // one-byte CSI and 2 J (a screen clear).
    dir.Write("u.pdf", Pdf(1, "\xEF\xBB\xBFT\x1b]0;P\x07\xE2\x80\xAE"
                              "A\xC2\x9B"
                              "2J"));
    dir.Write("s.pdf", Pdf(1, "\x95\xf1\x1b]0;P\x07")); // Shift-JIS
    dir.Write("p.pdf", Pdf(1, "T\x07\x0e\x0bX"));       // PDFDocEncoding: BEL, SO, VT
    dir.Write("f.pdf", Pdf(1, "=HYPERLINK(\"http://x\")"));
    dir.Write("n\x1b[2J.pdf", Pdf(1, "plain"));
    const std::string u = "T\\x1b]0;P\\x07\\u202eA\\u009b2J";
    const std::string s = "報\\x1b]0;P\\x07", p = "T\\x07\\x0e\\x0bX";
    struct Case {
        std::string options;
        std::vector<std::string> parts; // of the output, one for each file
    } cases[] = {
        {"",
         {"\r\n  u.pdf," + u + ",", "\r\n  s.pdf," + s + ",", "\r\n  p.pdf," + p + ",",
          "\r\n  f.pdf,\"=HYPERLINK(\"\"http://x\"\")\",", "\r\n  n\\x1b[2J.pdf,plain,"}},
        // The table for spreadsheets alone makes the formula text.
        {"--format csv",
         {"\r\nu.pdf," + u + ",", "\r\ns.pdf," + s + ",", "\r\np.pdf," + p + ",",
          "\r\nf.pdf,\"'=HYPERLINK(\"\"http://x\"\")\",", "\r\nn\\x1b[2J.pdf,plain,"}},
        {"--format tsv",
         {"\nu.pdf\t" + u + "\t", "\ns.pdf\t" + s + "\t", "\np.pdf\t" + p + "\t",
          "\nf.pdf\t=HYPERLINK(\"http://x\")\t", "\nn\\x1b[2J.pdf\tplain\t"}},
        {"--format json",
         {"\"u.pdf\", \"タイトル\": \"T\\u001b]0;P\\u0007\u202e"
          "A\u009b"
          "2J\"",
          "\"s.pdf\", \"タイトル\": \"報\\u001b]0;P\\u0007\"",
          "\"p.pdf\", \"タイトル\": \"T\\u0007\\u000e\\u000bX\"",
          "\"f.pdf\", \"タイトル\": \"=HYPERLINK(\\\"http://x\\\")\"",
          "\"n\\u001b[2J.pdf\", \"タイトル\": \"plain\""}},
    };
    for (const Case& c : cases) {
        const ToolRun run = List(c.options + " " + Quoted(dir.Path()));
        EXPECT_EQ(run.status, 0) << c.options << run.err;
        for (const std::string& part : c.parts)
            EXPECT_NE(run.out.find(c.options.empty() ? Utf8ToCp932(part) : part), std::string::npos)
                << c.options << ": " << part << "\n"
                << run.out;
        EXPECT_EQ(run.out.find_first_of("\x1b\x07\x0e\x0b"), std::string::npos) << c.options;
    }
}

TEST(HostileText, MessagesShowNamesAsEscapesOneLineEach) {
    TempDir dir;
    // Files the reader fails on, so that their names reach standard error.
    dir.Write("bad\x1b]0;x\x07\n.pdf", "");
    dir.Write("bad\xff\xfe.pdf", "");
    dir.Write("bad\u202e.pdf", "");
    const ToolRun run = List(Quoted(dir.Path()));
    EXPECT_EQ(run.status, 1);
    for (const char* name :
         {"bad\\x1b]0;x\\x07\\x0a.pdf: ", "bad\\xff\\xfe.pdf: ", "bad\\u202e.pdf: "})
        EXPECT_NE(run.err.find(std::string("pagewick-list: ") + name), std::string::npos)
            << name << "\n"
            << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
    EXPECT_EQ(run.err.find_first_of("\x1b\x07"), std::string::npos);
    // The list shows the name that is neither UTF-8 nor Shift-JIS the same way.
    EXPECT_NE(run.out.find("\r\n  bad\\xff\\xfe.pdf,"), std::string::npos) << run.out;
    // So are arguments repeated in a usage message, by either program.
    for (const char* program : {PAGEWICK_LIST, PAGEWICK_INFO}) {
        const ToolRun bad = RunTool(program, Quoted("--bogus\x1b[2J"), false);
        EXPECT_EQ(bad.status, 2) << program;
        EXPECT_NE(bad.err.find("--bogus\\x1b[2J"), std::string::npos) << bad.err;
    }
}

TEST(PagewickInfo, RefusesWhatIsNotAFileAndFailsOnAFullOutput) {
    TempDir dir;
    const std::string pdf = dir.Write("a.pdf", Pdf(2, "A"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
    struct Case {
        std::string path, error;
    } cases[] = {
        {dir.File("missing.pdf"), "ファイルがありません"},
        {dir.Path(), "フォルダです"},
        {dir.File("fifo"), "通常のファイルではありません"},
    };
    for (const Case& c : cases) {
        const ToolRun run = RunTool(PAGEWICK_INFO, Quoted(c.path) + " " + Quoted(pdf));
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_NE(run.out.find("（" + c.error + "）\", \"errorKind\": \"unreadable\""),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("\"PageCount\": 2"), std::string::npos) << run.out;
        // Both spellings of the version: scripts written for earlier releases read "Version".
        EXPECT_NE(run.out.find("\"Version\": \"%PDF-1.4\", \"PdfVersion\": \"1.4\""),
                  std::string::npos)
            << run.out;
    }
    EXPECT_EQ(RunTool(PAGEWICK_INFO, Quoted(pdf)).status, 0);
    for (const std::string& program : {std::string(PAGEWICK_INFO), std::string(PAGEWICK_LIST)}) {
        const std::string target = program == PAGEWICK_INFO ? pdf : dir.Path();
        const int status = std::system(
            (program + " " + Quoted(target) + " >/dev/full 2>" + dir.File("err")).c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << program;
        EXPECT_NE(ReadAll(dir.File("err")).find("標準出力に書けません"), std::string::npos);
    }
}

TEST(ListOutput, NeverReplacesWhatIsNotARegularFile) {
    TempDir dir;
    dir.Write("a.pdf", Pdf(1, "A"));
    const std::string target = dir.Write("list.txt", "old");
    ::symlink("list.txt", dir.File("link.txt").c_str());
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
    const ToolRun viaLink = List("-o " + Quoted(dir.File("link.txt")) + " " + Quoted(dir.Path()));
    EXPECT_EQ(viaLink.status, 0) << viaLink.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.txt")));
    EXPECT_NE(ReadAll(target).find("\r\n"), std::string::npos);
    const ToolRun fifo = List("-o " + Quoted(dir.File("fifo")) + " " + Quoted(dir.Path()));
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.err.find("通常のファイルではありません"), std::string::npos) << fifo.err;
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo")));
}

} // namespace

TEST(ListOutput, AFailedWriteIsToldAndLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    // A list of some 12 KB, more than each limit below lets through.
    for (int i = 0; i < 60; ++i)
        dir.Write("folder/" + std::to_string(i) + std::string(180, 'n') + ".txt", "x");
    const bool namespaces = RunTool("unshare", "-rm true").status == 0;
    struct Case {
        const char* what;
        std::string wrapper, setup, output, message, left; // left: what the folder holds after
    } cases[] = {
        {"file-size limit", "sh -c", "ulimit -f 4", "-o %/list.txt",
         "ファイル %/list.txt を作成できません（ファイルが大きすぎます）", "list.txt\n"},
        {"file-size limit on standard output", "sh -c", "ulimit -f 4", ">%/out.txt",
         "標準出力に書けません（ファイルが大きすぎます）", "list.txt\nout.txt\n"},
        // A small file system of its own, in a mount namespace that ends with the shell.
        {"full file system", "unshare -rm sh -c", "mount -t tmpfs -o size=8k tmpfs % || exit 77",
         "-o %/list.txt", "ファイル %/list.txt を作成できません（空き容量がありません）",
         "list.txt\n"},
    };
    int n = 0;
    for (Case c : cases) {
        const std::string at = dir.File(std::to_string(++n));
        std::filesystem::create_directory(at);
        for (std::string* text : {&c.setup, &c.output, &c.message})
            for (size_t p; (p = text->find('%')) != std::string::npos;)
                text->replace(p, 1, text == &c.message ? at : Quoted(at));
        if (c.wrapper.starts_with("unshare") && !namespaces) {
            std::printf("%s: no mount namespace can be made here, not tried\n", c.what);
            continue;
        }
        const std::string script =
            c.setup + " && printf old >" + Quoted(at + "/list.txt") + " && " +
            Quoted(PAGEWICK_LIST) + " --type all " + c.output + " " + Quoted(dir.File("folder")) +
            "; s=$?; cat " + Quoted(at + "/list.txt") + " >" + Quoted(at + ".kept") + "; ls -A " +
            Quoted(at) + " >" + Quoted(at + ".left") + "; exit $s";
        const ToolRun run = RunTool(c.wrapper, Quoted(script));
        ASSERT_NE(run.status, 77) << c.what << ": " << run.err;
        EXPECT_EQ(run.status, 2) << c.what << ": " << run.err;
        EXPECT_EQ(run.err, "pagewick-list: " + c.message + "\n") << c.what;
        EXPECT_EQ(ReadAll(at + ".kept"), "old") << c.what;
        EXPECT_EQ(ReadAll(at + ".left"), c.left) << c.what;
    }
    // An empty name is no file to write to, not standard output.
    const ToolRun empty = List("-o '' " + Quoted(dir.File("folder")));
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.out, "");
    EXPECT_NE(empty.err.find("-o にはファイル名が要ります"), std::string::npos) << empty.err;
}
