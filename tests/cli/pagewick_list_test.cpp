// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/folderloader.h"
#include "app/mainwindow.h"
#include "app/savedialog.h"
#include "platform/platform.h"
#include "support/pdfbuilder.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <utime.h>

namespace {

const std::string kData = PAGEWICK_TEST_DATA;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ListRun {
    int status;
    std::string out, err;
};

// environment, when given, sets the program's locale ("LANG=C"), with no other locale variable.
ListRun ListFolder(const std::string& arguments, const std::string& environment = {}) {
    // A file of this process's own: the tests run side by side.
    static int calls = 0;
    const std::string errFile =
        std::filesystem::temp_directory_path() /
        ("pagewick-list-" + std::to_string(::getpid()) + "-" + std::to_string(++calls) + ".err");
    std::string command;
    if (!environment.empty())
        command = "env -u LC_ALL -u LC_MESSAGES -u LC_NUMERIC -u LANG -u LANGUAGE ";
    command.append(environment).append(" ").append(PAGEWICK_LIST).append(" ").append(arguments);
    command.append(" 2>").append(errFile);
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    ListRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadAll(errFile)};
    std::filesystem::remove(errFile);
    return run;
}

// A folder of every kind of entry, with fixed modification times.
class ListedFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir_.File("Sub"));
        for (const char* name : {"empty40.pdf", "user40.pdf", "empty128.pdf"})
            std::filesystem::copy_file(kData + "/crypt/" + name, dir_.File(name));
        dir_.Write("notes, v2.txt", "hello");
        dir_.Write("damaged.pdf", ""); // an empty file ends in a reader error
        dir_.Write("Sub/inner.pdf", ReadAll(kData + "/crypt/empty40.pdf"));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.Path())) {
            const utimbuf times{1100000000, 1100000000};
            ::utime(entry.path().c_str(), &times);
        }
        saved_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_.Path()));
        errors_ = platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return QMessageBox::Ok; });
    }
    void TearDown() override {
        QDir::setCurrent(saved_);
        platform::SetMessageBoxHandler(errors_);
    }
    // Waits for the window's listing, and its first one.
    static void WaitForListing(const FolderLoader& loader) {
        while (loader.listedFolder().isEmpty() || loader.state() != FolderLoader::State::Idle)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    // What the window saves for the folder after the given header clicks and type.
    std::string WindowSaves(ListEncoding encoding, int typeIndex, std::vector<int> clicks = {}) {
        MainWindow form;
        form.show();
        const FolderLoader& loader = *form.findChild<FolderLoader*>();
        WaitForListing(loader);
        if (typeIndex != 0) {
            auto* type = form.findChild<QComboBox*>("typeFilter");
            type->setCurrentIndex(typeIndex);
            emit type->activated(typeIndex);
            WaitForListing(loader);
        }
        for (int column : clicks)
            emit form.findChild<QTreeView*>("fileList")->header()->sectionClicked(column);
        const std::string target = dir_.File("saved.txt");
        const auto previous = SetSaveDialogHandler(
            [&](QWidget*, const QString&, const QString&) -> std::optional<SaveChoice> {
                return SaveChoice{QString::fromStdString(target), encoding};
            });
        form.findChild<QPushButton*>("saveListButton")->click();
        SetSaveDialogHandler(previous);
        const std::string bytes = ReadAll(target);
        std::filesystem::remove(target);
        return bytes;
    }

    TempDir dir_;
    QString saved_;
    platform::MessageBoxHandler errors_;
};

} // namespace

TEST_F(ListedFolder, WritesWhatTheWindowSavesByteForByte) {
    struct Case {
        ListEncoding encoding;
        int typeIndex;
        std::vector<int> clicks;
        std::string arguments;
    } cases[] = {
        {ListEncoding::Cp932, 0, {}, ""},
        {ListEncoding::Utf8WithMark, 2, {}, "--type all --encoding utf8"}, // the old spelling
        {ListEncoding::Utf8WithMark, 0, {0}, "--format csv --sort -1"},
        {ListEncoding::Cp932, 2, {11}, "--type all --sort 12"},
        {ListEncoding::Cp932, 0, {0}, "--sort -1"},
    };
    for (const auto& c : cases) {
        const std::string window = WindowSaves(c.encoding, c.typeIndex, c.clicks);
        const ListRun run = ListFolder(c.arguments + " '" + dir_.Path() + "'");
        ASSERT_FALSE(window.empty()) << c.arguments;
        EXPECT_EQ(run.out, window) << c.arguments;
        EXPECT_EQ(run.status, 1) << c.arguments; // damaged.pdf cannot be read
        EXPECT_NE(run.err.find("damaged.pdf"), std::string::npos) << run.err;
    }
}

TEST_F(ListedFolder, TsvAndJsonCarryTheSameCells) {
    const ListRun tsv = ListFolder("--format tsv --type all '" + dir_.Path() + "'");
    const ListRun json = ListFolder("--format json --type all '" + dir_.Path() + "'");
    EXPECT_NE(tsv.out.find("empty40.pdf\tReport\t\tAnn\t"), std::string::npos) << tsv.out;
    EXPECT_NE(tsv.out.find("user40.pdf\t***crypt***\t\t***crypt***\t"), std::string::npos);
    EXPECT_NE(tsv.out.find("notes, v2.txt\t"), std::string::npos);
    EXPECT_EQ(std::count(tsv.out.begin(), tsv.out.end(), '\n'), 1 + 5); // header and five files
    EXPECT_NE(json.out.find("{\"名前\": \"empty40.pdf\", \"タイトル\": \"Report\""),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.front(), '[');
}

TEST_F(ListedFolder, RecursiveNamesAreRelativeToTheFolder) {
    const ListRun run = ListFolder("--recursive --format csv '" + dir_.Path() + "'");
    EXPECT_NE(run.out.find("\r\nSub/inner.pdf,Report,,Ann,"), std::string::npos) << run.out;
    // The header and five files.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 6) << run.out;
}

// The environment names the locale as the window takes it: LC_ALL, then LC_MESSAGES for the
// order, or LC_NUMERIC for the digit groups, then LANG; the first language of LANGUAGE decides
// the order when it says otherwise. The C locale and languages without data sort as Japanese
// does: by letter, not by code. Punctuation counts in every locale.
TEST(PagewickList, TheLocaleDecidesTheOrderAndTheDigitGroups) {
    TempDir dir;
    // Blank lines after the end make the file 1,148 bytes and change nothing read.
    const std::string pdf = ReadAll(kData + "/crypt/empty128.pdf") + std::string(400, '\n');
    for (const char* name : {"b.pdf", "\xc3\xa4.pdf", "Z.pdf", "a.pdf", "_z.pdf"})
        dir.Write(name, pdf);
    const std::string japanese = "_z a \xc3\xa4 b Z", swedish = "_z a b Z \xc3\xa4";
    const struct {
        const char* environment;
        std::string order;
        const char* bytes; // as the files' 容量 shows them
    } cases[] = {
        {"LANG=C", japanese, "1,148"},
        {"LANG=xx_YY.UTF-8", japanese, "1,148"},
        {"LANG=de_DE.UTF-8", japanese, "1.148"},
        {"LANG=th_TH.UTF-8", japanese, "1,148"},
        {"LANG=C LC_MESSAGES=sv_SE.UTF-8", swedish, "1,148"},
        {"LANG=C LC_NUMERIC=de_DE.UTF-8", japanese, "1.148"},
        {"LANG=sv_SE.UTF-8 LC_ALL=de_DE.UTF-8", japanese, "1.148"},
        {"LANG=en_US.UTF-8 LANGUAGE=sv:en", swedish, "1,148"},
        {"LANG=C LANGUAGE=sv", japanese, "1,148"},
    };
    for (const auto& c : cases) {
        const ListRun run =
            ListFolder("--format tsv --columns name,bytes '" + dir.Path() + "'", c.environment);
        std::string expected;
        for (size_t at = 0; at <= c.order.size();) {
            const size_t end = std::min(c.order.find(' ', at), c.order.size());
            expected += c.order.substr(at, end - at) + ".pdf\t" + c.bytes + "\n";
            at = end + 1;
        }
        EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), expected) << c.environment;
    }
}

TEST(PagewickList, ExitStatusesAndMessages) {
    TempDir dir;
    const ListRun missing = ListFolder("'" + dir.File("nowhere") + "'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("ディレクトリ'" + dir.File("nowhere") + "/'は検索できません"),
              std::string::npos)
        << missing.err;
    for (const char* bad :
         {"--bogus", "--sort 0", "--sort 35", "--sort -nope", "--type word", "--format xml", "a b",
          "--password", "--encoding utf16", "--format csv --encoding cp932",
          "--format list --encoding utf8", "--columns paper", "--format list --columns name",
          "--format tsv --columns name,nope", "--format csv --columns paper,用紙",
          "--format json --columns name,"}) {
        const ListRun run = ListFolder(bad);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("使い方"), std::string::npos) << bad;
    }
    const ListRun empty = ListFolder("'" + dir.Path() + "'");
    EXPECT_EQ(empty.status, 0);
    EXPECT_NE(empty.out.find(std::string("\x8d\x87\x8c\x76\x81\x46") + "0"), std::string::npos);
    const ListRun out = ListFolder("-o '" + dir.File("list.txt") + "' '" + dir.Path() + "'");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, "");
    EXPECT_NE(ReadAll(dir.File("list.txt")).find("\r\n"), std::string::npos);
}
