// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/listrows.h"

#include <gtest/gtest.h>

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s) {
    return *TryEncodeDateTime({y, mo, d, h, mi, s});
}

} // namespace

TEST(FileFilter, MasksAndExtensions) {
    struct Case {
        int index;
        const char* name;
        bool passes, pdf;
    } cases[] = {
        {0, "a.pdf", true, true},   {0, "A.PDF", true, true},       {0, "a.p", true, true},
        {0, "a.pd", true, true},    {0, "a.txt", false, false},     {0, "readme", false, false},
        {0, "a.b.pdf", true, true}, {0, "a.pdf.txt", false, false}, {1, "x.JPG", true, false},
        {1, "x.png", true, false},  {1, "x.gif", false, false},     {1, "x.pdf", true, true},
        {2, "readme", true, false}, {2, "a.txt", true, false},      {7, "a.pdf", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PassesFileFilter(FileMaskForIndex(c.index), c.name), c.passes)
            << c.index << " " << c.name;
        EXPECT_EQ(IsPdfName(c.name), c.pdf) << c.name;
    }
    EXPECT_TRUE(PassesFileFilter("   ", "readme"));
    EXPECT_EQ(ExtensionOf("a.b.pdf"), ".pdf");
    EXPECT_EQ(ExtensionOf("noext"), "");
}

TEST(Cells, NumbersSizesAndDates) {
    const CellFormat comma;
    const CellFormat dot{"."};
    EXPECT_EQ(Grouped(0, comma), "0");
    EXPECT_EQ(Grouped(999, comma), "999");
    EXPECT_EQ(Grouped(1234567, comma), "1,234,567");
    EXPECT_EQ(Grouped(1234567, dot), "1.234.567");
    EXPECT_EQ(Grouped(-1000, comma), "-1,000");
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0KB"},    {1, "1KB"},           {1024, "1KB"},
        {1025, "2KB"}, {1234567, "1,206KB"}, {5LL << 30, "5,242,880KB"},
    };
    for (const auto& [bytes, cell] : sizes)
        EXPECT_EQ(SizeCell(bytes, comma), cell) << bytes;
    EXPECT_EQ(LongDateCell(At(2004, 7, 15, 9, 3, 27)), "2004/07/15 09:03:27");
    EXPECT_EQ(LongDateCell(0), "");
    EXPECT_EQ(LongDateCell(At(1899, 12, 31, 23, 59, 59)), "1899/12/31 23:59:59");
    EXPECT_EQ(LongDateCell(At(0, 1, 1, 0, 0, 0)), "0000/01/01 00:00:00");
    EXPECT_EQ(LongDateCell(At(1900, 1, 1, 0, 0, 0)), "1900/01/01 00:00:00");
    EXPECT_EQ(ShortDateCell(At(2004, 7, 15, 9, 3, 27)), "04/07/15 09:03:27");
    EXPECT_EQ(ShortDateCell(At(1999, 12, 31, 23, 0, 0)), "99/12/31 23:00:00");
}

TEST(Cells, EveryKindOfRow) {
    const CellFormat f;
    const EntryFacts entry{"a.pdf", 123456, At(2004, 7, 15, 9, 3, 27)};
    DocumentInfo readable;
    readable.pdfVersion = "1.4";
    readable.title = "Café report";
    readable.subject = "あ";
    readable.author = "Team A 😀";
    readable.keywords = "中文, 한국어";
    readable.producer = "Writer 2.0";
    readable.creationDate = At(2004, 7, 15, 9, 3, 27);
    readable.pageCount = 12;
    readable.fileSize = 123456;
    DocumentInfo locked;
    locked.pdfVersion = "1.6";
    locked.encryption.encrypted = true;
    locked.encryption.keyLengthBits = 128;
    locked.encryption.password = PasswordOutcome::Refused;
    locked.title = "leak";
    locked.pageCount = 3;
    locked.fileSize = 45678;
    DocumentInfo empty; // a file without a header and without properties
    const RowCells expected[] = {
        {"Café report", "あ", "Team A 😀", "中文, 한국어", "Writer 2.0", "2004/07/15 09:03:27",
         "無し", "12", "123,456", "1.4", "121KB", ".PDF", "04/07/15 09:03:27"},
        {"***crypt***", "", "***crypt***", "", "***crypt***", "", "128", "3", "45,678", "1.6",
         "121KB", ".PDF", "04/07/15 09:03:27"},
        {"", "", "", "", "", "", "無し", "0", "0", "", "121KB", ".PDF", "04/07/15 09:03:27"},
    };
    EXPECT_EQ(PdfCells(readable, entry, f), expected[0]);
    EXPECT_EQ(PdfCells(locked, entry, f), expected[1]);
    EXPECT_EQ(PdfCells(empty, entry, f), expected[2]);
    const RowCells text = {
        "", "", "", "", "", "", "", "", "", "", "1KB", ".TXT", "04/07/15 09:03:27"};
    EXPECT_EQ(PlainFileCells({"notes.txt", 10, At(2004, 7, 15, 9, 3, 27)}, f), text);
    EXPECT_EQ(PlainFileCells({"readme", 0, At(2004, 7, 15, 9, 3, 27)}, f)[11], "");
    EXPECT_EQ(FolderCells(), RowCells{});
}

TEST(Paths, AppendBackslashAndPrintableAscii) {
    EXPECT_EQ(AppendBackslash(""), "/");
    EXPECT_EQ(AppendBackslash("/"), "/");
    EXPECT_EQ(AppendBackslash("/home/a"), "/home/a/");
    EXPECT_EQ(AppendBackslash("/home/a/"), "/home/a/");
    EXPECT_TRUE(IsPrintableAscii(""));
    EXPECT_TRUE(IsPrintableAscii("pass word~\r\n"));
    EXPECT_FALSE(IsPrintableAscii("pass\t"));
    EXPECT_FALSE(IsPrintableAscii("パス"));
    EXPECT_FALSE(IsPrintableAscii("\x7F"));
}

TEST(InertText, EachActingClassIsEscapedAndOtherTextKept) {
    struct Case {
        const char* what;
        std::string text, kept, escaped; // keepBreaks, and not
    } cases[] = {
        {"plain", "Report 報告 😀", "Report 報告 😀", "Report 報告 😀"},
        {"terminal title and clear", "é \x1b]0;PWNED\x07\x1b[2J", "é \\x1b]0;PWNED\\x07\\x1b[2J",
         "é \\x1b]0;PWNED\\x07\\x1b[2J"},
        {"PDFDocEncoding controls", "a\x0e\x0b\x7f", "a\\x0e\\x0b\\x7f", "a\\x0e\\x0b\\x7f"},
        {"zero byte", std::string("a\0b", 3), "a\\x00b", "a\\x00b"},
        {"breaks and tab", "a\tb\r\nc", "a\tb\r\nc", "a\\x09b\\x0d\\x0ac"},
        {"C1 CSI and NEL", "x\u009b2Jy\u0085", "x\\u009b2Jy\\u0085", "x\\u009b2Jy\\u0085"},
        {"C1 ends at U+009F", "\u0080\u009f\u00a0", "\\u0080\\u009f\u00a0", "\\u0080\\u009f\u00a0"},
        {"right-to-left override", "evil\u202efdp.exe", "evil\\u202efdp.exe", "evil\\u202efdp.exe"},
        {"embeddings and overrides", "\u202a\u202b\u202c\u202d", "\\u202a\\u202b\\u202c\\u202d",
         "\\u202a\\u202b\\u202c\\u202d"},
        {"isolates", "\u2066\u2067\u2068\u2069", "\\u2066\\u2067\\u2068\\u2069",
         "\\u2066\\u2067\\u2068\\u2069"},
        {"their neighbours stay", "\u2029\u202f\u2065\u206a\u200f",
         "\u2029\u202f\u2065\u206a\u200f", "\u2029\u202f\u2065\u206a\u200f"},
        {"bytes that are not UTF-8", "caf\xe9 \xc2", "caf\\xe9 \\xc2", "caf\\xe9 \\xc2"},
        {"empty", "", "", ""},
    };
    for (const Case& c : cases) {
        std::string scratch = "left over";
        EXPECT_EQ(InertText(c.text, true, scratch), c.kept) << c.what;
        EXPECT_EQ(InertText(c.text, false, scratch), c.escaped) << c.what;
        // Text that needs nothing is handed back as it is, without a copy.
        if (c.text == c.escaped) {
            EXPECT_EQ(InertText(c.text, false, scratch).data(), c.text.data()) << c.what;
        }
    }
}

// Each password typed is tried in turn on a file the first one does not open, whether its
// strings or its whole structure are encrypted; one that opens it ends the trying.
TEST(ReadPdf, TriesEveryPasswordUntilOneOpensTheFile) {
    const std::string data = PAGEWICK_TEST_DATA;
    struct Case {
        std::string file;
        std::string password;
        std::vector<std::string> others;
        std::string title; // empty: the file fails to open
    } cases[] = {
        {"/crypt/user40.pdf", "", {}, "***crypt***"},
        {"/crypt/user40.pdf", "wrong", {"sixsix", "user"}, "Report"},
        {"/crypt/six128.pdf", "user", {"sixsix"}, "Report"},
        {"/crypt/six128.pdf", "", {"user"}, "***crypt***"},
        {"/crypt/tools/qpdf-aes256-unicode.pdf", "user", {"pässwört"}, "Report"},
        {"/mends/structure-encrypted.pdf", "", {"wrong", "owner"}, "Mend fixture"},
        {"/mends/structure-encrypted.pdf", "", {"wrong"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + c.password);
        ScanSettings settings;
        settings.password = c.password;
        settings.otherPasswords = c.others;
        const PdfRead read = ReadPdf(data + c.file, settings);
        EXPECT_EQ(read.error.has_value(), c.title.empty());
        EXPECT_EQ(read.cells[0], c.title);
    }
}

TEST(Cells, PaperAndPermissionsInWords) {
    const struct {
        PageFacts page;
        const char* cell;
    } papers[] = {
        {{true, 210, 297, 0, false}, "A4 縦"},
        {{true, 257, 182, 90, false}, "B5 (JIS) 横"},
        {{true, 210, 297, 0, true}, "A4 縦 混在"},
        {{true, 210, 297, 0, std::nullopt}, "A4 縦 …"},
        {{true, 150.4, 150.2, 0, false}, "150×150"},
        {{true, 190, 250, 0, false}, "190×250 縦"},
        {{false, 0, 0, 0, false}, ""},
    };
    for (const auto& p : papers)
        EXPECT_EQ(PaperCell(p.page), p.cell);
    const struct {
        bool encrypted;
        int32_t revision, permissions;
        const char* cell;
    } rights[] = {
        {false, 0, 0, ""},
        {true, 3, -4, ""},
        {true, 3, -4 & ~4, "印刷×"},
        {true, 3, -4 & ~2048, "高品質印刷×"},
        {true, 3, -4 & ~16 & ~512, "コピー× アクセシビリティ×"},
        {true, 2, -64, "印刷× コピー× 変更× 注釈× フォーム入力× ページ組立て× アクセシビリティ×"},
    };
    for (const auto& r : rights) {
        EncryptionFacts e;
        e.encrypted = r.encrypted;
        e.revision = r.revision;
        e.permissions = r.permissions;
        EXPECT_EQ(PermissionsCell(e), r.cell) << r.permissions;
    }
}
