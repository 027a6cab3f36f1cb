// SPDX-License-Identifier: GPL-3.0-or-later
// Files named by bytes that are not UTF-8, names that would break a list line, folders that
// cannot be listed and links that lead back up: the window and both command-line tools, on
// real files in a temporary folder.

#include "app/folderlistmodel.h"
#include "app/mainwindow.h"
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

std::string Pdf(int pages, const std::string& title) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count " + std::to_string(pages) + " >>")
        .Object(3, "<< /Title (" + title + ") >>")
        .FullSection("/Size 4 /Root 1 0 R /Info 3 0 R");
    return pdf.Bytes();
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
        auto* model = qobject_cast<FolderListModel*>(list->model());
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
            list->selectionModel()->setCurrentIndex(model->index(row, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
            started.clear();
            emit list->doubleClicked(model->index(row, 0));
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

TEST(RecursiveList, GoesOnPastUnlistableFoldersAndReportsACycleOnce) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    std::filesystem::create_directories(dir.File("open/deeper"));
    std::filesystem::create_directory(dir.File("closed"));
    dir.Write("top.pdf", Pdf(1, "top"));
    dir.Write("open/deeper/inner.pdf", Pdf(2, "inner"));
    dir.Write("closed/hidden.pdf", Pdf(3, "hidden"));
    ::symlink(".", dir.File("self").c_str());
    ::symlink("..", dir.File("open/up").c_str());
    ::chmod(dir.File("closed").c_str(), 0);
    // Root reads a folder whatever its permissions, so the listing runs without root's rights.
    const bool asNobody = ::geteuid() == 0;
    const ToolRun run = List("--recursive " + Quoted(dir.Path()), asNobody);
    ::chmod(dir.File("closed").c_str(), 0755);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("ディレクトリ'" + dir.File("closed") + "/'は検索できません"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("\r\n  top.pdf,top,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\r\n  open/deeper/inner.pdf,inner,"), std::string::npos);
    EXPECT_EQ(run.out.find("hidden.pdf"), std::string::npos);
    EXPECT_NE(run.out.find(Utf8ToCp932("合計：2ファイル")), std::string::npos);
    // Both links lead to the listed folder: one report.
    size_t reports = 0;
    for (size_t at = 0; (at = run.err.find("リンクが上のフォルダ", at)) != std::string::npos; ++at)
        ++reports;
    EXPECT_EQ(reports, 1u) << run.err;

    // Without the unlistable folder a cycle alone leaves the list complete: status 0.
    std::filesystem::remove(dir.File("closed/hidden.pdf"));
    std::filesystem::remove(dir.File("closed"));
    const ToolRun clean = List("--recursive " + Quoted(dir.Path()));
    EXPECT_EQ(clean.status, 0) << clean.err;
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
        EXPECT_NE(run.out.find("\"error\": \"" + c.error + "\""), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\"PageCount\": 2"), std::string::npos) << run.out;
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
