// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdffile.h"

#include "common/errors.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

// A plain file: catalog 1, information dictionary 2, page tree 3, page 4.
PdfBuilder PlainFile() {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title (Report) /Author (Ann) >>")
        .Object(3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>")
        .Object(4, "<< /Type /Page /Parent 3 0 R >>");
    return pdf;
}

std::string EntriesOf(const PdfReader& reader, const char* key) {
    // The words of the trailer line that holds key, one blank between them.
    for (const auto& line : reader.TrailerLines()) {
        if (LowerCase(line).find(key) == std::string::npos)
            continue;
        std::string joined;
        for (const auto& word : SplitWords(line))
            joined += (joined.empty() ? "" : " ") + word;
        return joined;
    }
    return {};
}

struct Opened {
    TempDir dir;
    std::string path;
    PdfReader reader;
    explicit Opened(const std::string& bytes) : path(dir.Write("t.pdf", bytes)), reader(path) {}
    void Walk() { reader.ReadXrefChain(reader.FindStartXref()); }
};

} // namespace

TEST(PdfReader, HeaderLineIsTheFirstTenBytesUpToALineBreak) {
    struct Case {
        std::string bytes, header;
    } cases[] = {{"%PDF-1.4\n%...", "%PDF-1.4"},
                 {"%PDF-1.7\r\n", "%PDF-1.7"},
                 {"%PDF-1.10.5 and more", "%PDF-1.10."},
                 {"abc", "abc"},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(Opened(c.bytes).reader.HeaderLine(), c.header) << c.bytes;
}

TEST(PdfReader, FindsTheNewestSectionInEveryStartxrefForm) {
    struct Case {
        const char* form;
    } cases[] = {
        {"startxref\n%d\n%%EOF\n"},
        {"startxref\n%d\n%%EOF"},
        {"startxref %d\n%%EOF\n"},
        {"startxref\r%d\r%%EOF\r"},
        {"startxref\r\n%d\r\n%%EOF\r\n\r\n\n  \n"},
        {"StartXRef\n%d\n%%EOF\n"},
        {"startxref\n%d\n%%EOF\n<<>>\n"},
    };
    for (const auto& c : cases) {
        PdfBuilder pdf = PlainFile();
        pdf.StartxrefForm(c.form).FullSection("/Size 5 /Root 1 0 R");
        Opened o(pdf.Bytes());
        EXPECT_EQ(o.reader.FindStartXref(), pdf.LastSectionOffset()) << c.form;
        const Words& tail = o.reader.TailWords();
        ASSERT_GE(tail.size(), 2u);
        EXPECT_EQ(tail.back(), "startxref") << c.form;
    }
}

TEST(PdfReader, TooFewTailWordsRaiseTheListIndexError) {
    struct Case {
        std::string bytes;
        int64_t index;
    } cases[] = {
        {"", -2},
        {std::string(5000, 'x'), -2}, // no line break at all
        {"%PDF-1.4\nstartxref", -1},  // the last line is startxref alone
        {"%PDF-1.4\nstartxref\n", -1},
    };
    for (const auto& c : cases) {
        try {
            Opened(c.bytes).reader.FindStartXref();
            ADD_FAILURE() << "no error for " << c.bytes.substr(0, 20);
        } catch (const EListError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "リストのインデックスが範囲を超えています (" + std::to_string(c.index) + ")");
        }
    }
}

TEST(PdfReader, ReadUntilKeywordFindsItAcrossBlockEdges) {
    // The keyword starts at every position around the end of the first 256-byte block.
    for (size_t at = 240; at <= 262; ++at) {
        const std::string bytes = std::string(at, 'a') + "TRAILER<<>>" + std::string(300, 'b');
        Opened o(bytes);
        const KeywordRead r = o.reader.ReadUntilKeyword(0, "trailer");
        EXPECT_TRUE(r.found) << at;
        EXPECT_EQ(r.bytes, std::string(at, 'a')) << at;
        EXPECT_EQ(r.keywordOffset, int64_t(at));
    }
}

TEST(PdfReader, ReadUntilKeywordCopiesZeroBytesAndStopsAtTheEnd) {
    const std::string bytes = "ab\0cd"s + std::string(600, '\0') + "endobj";
    Opened o(bytes);
    const KeywordRead r = o.reader.ReadUntilKeyword(0, "endobj");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.bytes, bytes.substr(0, bytes.size() - 6));
    const KeywordRead missing = o.reader.ReadUntilKeyword(0, "trailer");
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.bytes, bytes);
    // The read stops once a single byte is left.
    Opened odd(std::string(513, 'x'));
    EXPECT_EQ(odd.reader.ReadUntilKeyword(0, "trailer").bytes.size(), 512u);
    EXPECT_FALSE(o.reader.ReadUntilKeyword(int64_t(bytes.size()) + 10, "endobj").found);
    EXPECT_FALSE(o.reader.ReadUntilKeyword(-5, "endobj").found);
}

TEST(PdfReader, FilesOfEverySizeAroundTheBlocksReadBackWhole) {
    // Small files are read in one call into several blocks, larger ones a block at a time:
    // either way every byte comes back where it was, from any place on.
    for (const size_t size :
         {16u, 4095u, 4096u, 4097u, 8191u, 8193u, 12288u, 16383u, 16384u, 16385u, 20480u}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = char('a' + (i * 7 + i / 4096) % 26);
        bytes.replace(size - 7, 7, "ENDOBJ\n"); // the last byte may be left unread
        Opened o(bytes);
        for (const size_t from : {size_t(0), size / 3, size - 8}) {
            const KeywordRead r = o.reader.ReadUntilKeyword(int64_t(from), "endobj");
            ASSERT_TRUE(r.found) << size << " " << from;
            EXPECT_EQ(r.bytes, bytes.substr(from, size - 7 - from)) << size << " " << from;
        }
    }
}

TEST(PdfReader, AKeywordThatNeverComesStopsTheReadAtItsBound) {
    TempDir dir;
    const std::string path = dir.File("big.pdf");
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 40 << 20), 0); // 40 MiB of zero bytes, sparse
    ::close(fd);
    PdfReader reader(path);
    const KeywordRead r = reader.ReadUntilKeyword(0, "endobj");
    EXPECT_FALSE(r.found);
    EXPECT_LE(r.bytes.size(), (16u << 20) + 256);
}

TEST(PdfReader, TrailerAtEveryPositionOfABlockIsFoundAndObjectsStillLineUp) {
    for (int pad = 0; pad < 300; pad += 7) {
        PdfBuilder pdf = PlainFile();
        // Blanks after the last entry move the trailer keyword through the block.
        pdf.StartxrefForm(std::string(size_t(pad), ' ') + "\nstartxref\n%d\n%%EOF\n");
        pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R");
        Opened o(pdf.Bytes());
        o.Walk();
        EXPECT_EQ(o.reader.XrefLines()[0], "xref") << pad;
        EXPECT_EQ(o.reader.XrefLines().Count(), 7) << pad;
        EXPECT_EQ(o.reader.ObjectOffset(2), pdf.OffsetOf(2)) << pad;
        EXPECT_EQ(EntriesOf(o.reader, "/root"), "/Size 5 /Root 1 0 R /Info 2 0 R") << pad;
    }
}

TEST(PdfReader, TrailerTextEndsBeforeStartxrefAndKeepsAHybridFilesXRefStm) {
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R /XRefStm 4711");
    Opened o(pdf.Bytes());
    o.Walk();
    EXPECT_EQ(EntriesOf(o.reader, "/xrefstm"), "/Size 5 /Root 1 0 R /XRefStm 4711");
    for (const auto& line : o.reader.TrailerLines())
        EXPECT_EQ(LowerCase(line).find("startxref"), std::string::npos) << line;
}

TEST(PdfReader, ATrailerWithoutBlanksSplitsIntoItsWords) {
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5/Root 1 0 R/Info 2 0 R");
    std::string bytes = pdf.Bytes();
    const size_t at = bytes.find("<< /Size");
    bytes.replace(at, 3, "<<"); // "<</Size 5/Root 1 0 R/Info 2 0 R >>"
    Opened o(bytes);
    o.Walk();
    Words words;
    for (const auto& line : o.reader.TrailerLines())
        for (auto& w : SplitWords(LowerCase(line)))
            words.push_back(w);
    const Words expected = {"trailer", "/size", "5", "/root", "1", "0",
                            "r",       "/info", "2", "0",     "r"};
    EXPECT_EQ(words, expected);
}

// The whole first string is hashed into the file key, whatever its length.
TEST(PdfReader, TheFileIdentifierIsTheWholeFirstIdString) {
    struct Case {
        std::string id;
        std::string bytes;
    } cases[] = {
        {"[<0123456789ABCDEF0123456789ABCDEF> <FFFF>]",
         "\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF"},
        {"[<01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 99>]",
         "\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF\x99"},
        {"[<41424344>]", "ABCD"},
        {"[(abc\\)defghijklmnopq) (x)]", "abc)defghijklmnopq"},
    };
    for (const auto& c : cases) {
        PdfBuilder pdf = PlainFile();
        pdf.FullSection("/Size 5 /Root 1 0 R /ID " + c.id);
        Opened o(pdf.Bytes());
        o.Walk();
        EXPECT_EQ(o.reader.FileId(), c.bytes) << c.id;
    }
}

TEST(PdfReader, AnUpdateThatRewritesObjectsIsReadFromItsNewestEntries) {
    for (const bool fullSections : {false, true}) {
        PdfBuilder pdf = PlainFile();
        pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R");
        const int64_t oldInfo = pdf.OffsetOf(2);
        pdf.Object(2, "<< /Title (Edited) >>").Object(5, "<< /Title (New) >>");
        if (fullSections)
            pdf.FullSection("/Size 6 /Root 1 0 R /Info 5 0 R", true);
        else
            pdf.UpdateSection("/Size 6 /Root 1 0 R /Info 5 0 R");
        Opened o(pdf.Bytes());
        o.Walk();
        EXPECT_NE(pdf.OffsetOf(2), oldInfo);
        EXPECT_EQ(o.reader.ObjectOffset(2), pdf.OffsetOf(2)) << fullSections;
        EXPECT_EQ(o.reader.ObjectOffset(5), pdf.OffsetOf(5));
        EXPECT_EQ(o.reader.ObjectOffset(3), pdf.OffsetOf(3));
        EXPECT_EQ(EntriesOf(o.reader, "/info"), "/Size 6 /Root 1 0 R /Info 5 0 R /Prev " +
                                                    std::to_string(pdf.Bytes().find("xref\n0 5")));
        // The merged lines: the oldest section whole, then the update from its third line.
        const int64_t updateLines = fullSections ? 8 : 7; // xref, 0 1, f, 2 1, 2, 5 1, 5
        EXPECT_EQ(o.reader.XrefLines().Count(), 7 + updateLines - 2);
        EXPECT_EQ(o.reader.XrefLines()[0], "xref");
    }
}

TEST(PdfReader, AFreeEntryInTheNewestSectionMakesTheObjectAbsent) {
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R");
    pdf.Free(4).UpdateSection("/Size 5 /Root 1 0 R");
    Opened o(pdf.Bytes());
    o.Walk();
    EXPECT_EQ(o.reader.ObjectOffset(3), pdf.OffsetOf(3));
    EXPECT_THROW(o.reader.ObjectOffset(4), EListError);
    try {
        o.reader.ObjectOffset(99);
    } catch (const EListError& e) {
        EXPECT_EQ(std::string(e.what()), "リストのインデックスが範囲を超えています (101)");
    }
}

TEST(PdfReader, EntriesUnderADamagedFirstHeaderCountFromZero) {
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R");
    std::string bytes = pdf.Bytes();
    bytes.replace(bytes.find("xref\n0 5"), 8, "xref\nx0 5");
    Opened o(bytes);
    o.Walk();
    EXPECT_EQ(o.reader.ObjectOffset(3), pdf.OffsetOf(3));
}

TEST(PdfReader, EntryOffsetsAreReadDigitByDigitWhateverTheirForm) {
    // Entries of the usual form are read at fixed places; any other byte sends the line to
    // the reading by words. ':' and '/' stand next to the digits in ASCII.
    const struct {
        const char* line;
        int64_t offset; // -1: a free entry
    } entries[] = {
        {"0000000000 65535 f \r\n", -1},       {"9876543210 00000 n \r\n", 9876543210},
        {"0123456789 00000 n\r\n", 123456789}, {"1000000001 00000 n \n", 1000000001},
        {"00000:0017 00000 n \r\n", 0},        {"0000000/17 00000 n \r\n", 0},
        {"   0000017 00000 n \r\n", 17},       {"0000004242 0000x n \r\n", 4242},
        {"0000000099 00000 f \r\n", -1},       {"0000005000 00000 n\r\r\n", 5000},
    };
    std::string bytes = "%PDF-1.4\n";
    const int64_t xref = int64_t(bytes.size());
    bytes += "xref\n0 " + std::to_string(std::size(entries)) + "\n";
    for (const auto& e : entries)
        bytes += e.line;
    bytes += "trailer\n<< /Size 9 >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    Opened o(bytes);
    o.Walk();
    for (size_t n = 0; n < std::size(entries); ++n) {
        if (entries[n].offset < 0)
            EXPECT_THROW(o.reader.ObjectOffset(int64_t(n)), EListError) << entries[n].line;
        else
            EXPECT_EQ(o.reader.ObjectOffset(int64_t(n)), entries[n].offset) << entries[n].line;
    }
}

TEST(PdfReader, ALinearizedLayoutFindsEveryObject) {
    // Objects 5-7 belong to the first-page section, which the startxref names; its /Prev is
    // the main section for objects 0-4.
    PdfBuilder pdf = PlainFile();
    pdf.Object(5, "<< /Linearized 1 >>").Object(6, "(six)").Object(7, "(seven)");
    pdf.Section(0, 5, "/Size 8", false);
    pdf.Section(5, 3, "/Size 8 /Root 1 0 R /Info 2 0 R", true);
    Opened o(pdf.Bytes());
    o.Walk();
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(o.reader.ObjectOffset(n), pdf.OffsetOf(n)) << n;
    EXPECT_EQ(o.reader.ReadObjectText(7), "(seven)");
}

TEST(PdfReader, APrevChainThatLoopsEndsWithTheSectionsReadSoFar) {
    // Two sections whose /Prev entries name each other; the offsets are written with leading
    // zeros so that they can be filled in after the file is laid out.
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R /Prev AAAAAAAAAA");
    const int64_t first = pdf.LastSectionOffset();
    pdf.Object(2, "<< /Title (Edited) >>");
    pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /Prev BBBBBBBBBB");
    const int64_t second = pdf.LastSectionOffset();
    std::string bytes = pdf.Bytes();
    char number[16];
    std::snprintf(number, sizeof number, "%010lld", static_cast<long long>(second));
    bytes.replace(bytes.find("AAAAAAAAAA"), 10, number);
    std::snprintf(number, sizeof number, "%010lld", static_cast<long long>(first));
    bytes.replace(bytes.find("BBBBBBBBBB"), 10, number);
    Opened o(bytes);
    o.Walk();
    EXPECT_EQ(EntriesOf(o.reader, "/info"),
              "/Size 5 /Root 1 0 R /Info 2 0 R /Prev " + std::string(number));
    EXPECT_EQ(o.reader.ObjectOffset(2), pdf.OffsetOf(2));
    EXPECT_EQ(o.reader.XrefLines().Count(), 7 + 5); // each section once
}

TEST(PdfReader, SectionLinesListTheOldestSectionFirst) {
    // Each later section adds its lines after the oldest one's, without its own first two.
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R");
    for (const char* title : {"(One)", "(Two)"}) {
        pdf.Object(2, std::string("<< /Title ") + title + " >>");
        pdf.UpdateSection("/Size 5 /Root 1 0 R /Info 2 0 R");
    }
    Opened o(pdf.Bytes());
    o.Walk();
    // The oldest section whole, then each update from the oldest on without its first two
    // lines ("xref" and "0 1").
    const LineList& lines = o.reader.XrefLines();
    ASSERT_EQ(lines.Count(), 7 + 3 + 3);
    EXPECT_EQ(lines[0], "xref");
    EXPECT_EQ(lines[1], "0 5");
    EXPECT_EQ(lines[8], "2 1");
    EXPECT_EQ(lines[11], "2 1");
    char newest[16];
    std::snprintf(newest, sizeof newest, "%010lld", static_cast<long long>(pdf.OffsetOf(2)));
    EXPECT_EQ(lines[12].substr(0, 10), newest);
    EXPECT_NE(lines[9].substr(0, 10), newest);
    EXPECT_EQ(o.reader.ObjectOffset(2), pdf.OffsetOf(2));
}

TEST(PdfReader, IndirectIntegersAndObjectBodies) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog >>")
        .Object(5, "128")
        .Object(6, "\r\n(body)")
        .Object(7, "<< /Title (Hello) /Author 8 0 R >>")
        .Object(8, "(From eight)");
    pdf.FullSection("/Size 9 /Root 1 0 R");
    Opened o(pdf.Bytes());
    o.Walk();
    const Words indirect = SplitWords("/length 5 0 r");
    const Words direct = SplitWords("/length 128 /filter");
    EXPECT_EQ(o.reader.ReadIntValue(indirect, 0), 128);
    EXPECT_EQ(o.reader.ReadIntValue(direct, 0), 128);
    EXPECT_EQ(o.reader.LookupObjectOffset(direct, 0), -1);
    EXPECT_EQ(o.reader.LookupObjectOffset(indirect, 0), pdf.OffsetOf(5));
    EXPECT_EQ(o.reader.ReadObjectText(6), "\n(body)"); // LF CR after obj counts as one break
    EXPECT_EQ(o.reader.ReadObjectText(8), "(From eight)");

    struct Case {
        std::string key, text;
        int minLength;
        std::string value;
        StringKind kind;
    } cases[] = {
        {"/title", "/Title (Hello)", -1, "Hello", StringKind::Literal},
        {"/title", "/Title (Report (v2) final)>>", -1, "Report (v2) final", StringKind::Literal},
        {"/title", "/Title (a\\) b) /x", -1, "a\\) b", StringKind::Literal},
        {"/title", "/Title <FEFF0041>>>", -1, "FEFF0041", StringKind::Hexadecimal},
        {"/title", "/Title <<>> <41>", -1, "41", StringKind::Hexadecimal},
        {"/author", "/Author 8 0 R", -1, "From eight", StringKind::Literal},
        {"/title", "/Title 7 0 R/Author (Ann)", -1, "Hello", StringKind::Literal},
        {"/title", "/Title", -1, "", StringKind::Hexadecimal},
        {"/o", "/O (" + std::string(10, 'a') + ")" + std::string(21, 'b') + ")/P -4", 32,
         std::string(10, 'a') + ")" + std::string(21, 'b'), StringKind::Literal},
        {"/o", "/O (ab>cd\\)" + std::string(28, 'x') + ")", 32, "ab>cd\\)" + std::string(28, 'x'),
         StringKind::Literal},
    };
    for (const auto& c : cases) {
        const ValueText v = o.reader.ExtractValueText(c.key, c.text, c.minLength);
        EXPECT_EQ(v.text, c.value) << c.text;
        EXPECT_EQ(v.kind, c.kind) << c.text;
    }
    EXPECT_EQ(o.reader.ReadStringValue("/o", "/O (a\\)b\\101)", 0), "a)bA");
}

TEST(PdfReader, AFileWithOnlyAStreamTableHasNoLinesToLookUp) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog >>");
    const int64_t at = int64_t(pdf.Bytes().size());
    pdf.Raw("2 0 obj\n<< /Type /XRef /Size 3 /Root 1 0 R /W [1 2 1] /Length 0 >>\nstream\n"
            "\nendstream\nendobj\nstartxref\n" +
            std::to_string(at) + "\n%%EOF\n");
    Opened o(pdf.Bytes());
    o.Walk();
    EXPECT_EQ(o.reader.XrefLines().Count(), 0);
    const Words words = SplitWords("/root 1 0 r");
    EXPECT_THROW(o.reader.LookupObjectOffset(words, 0), EListError);
}

TEST(PdfReader, AFileThatCannotBeOpenedRaisesTheOpenError) {
    TempDir dir;
    try {
        PdfReader reader(dir.File("missing.pdf"));
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + dir.File("missing.pdf") + " は開けません");
    }
    EXPECT_THROW(PdfReader{dir.Path()}, EFOpenError);
    const std::string fifo = dir.File("y.pdf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_THROW(PdfReader{fifo}, EFOpenError); // and does not block
}
