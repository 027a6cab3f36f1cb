// SPDX-License-Identifier: GPL-3.0-or-later
// The object store and the parser under it on the structures of PDF 1.5 and later
// (cross-reference streams, object streams, hybrid files), dictionaries read by tokens, page
// trees, and damaged files.

#include "pdf/objectstore.h"

#include "common/errors.h"
#include "pdf/bytesource.h"
#include "pdf/documentreader.h"
#include "pdf/indirectobject.h"
#include "pdf/objectstream.h"
#include "pdf/readbudget.h"
#include "pdf/streamfilters.h"
#include "pdf/xrefchain.h"
#include "support/modernpdf.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

DocumentInfo Read(const std::string& path) {
    return ReadPdfInfo(path);
}

const char* const kCatalog = "<< /Type /Catalog /Pages 3 0 R >>";
const char* const kInfo = "<< /Title (Report) /Author (Ann) >>";
const char* const kPages = "<< /Type /Pages /Kids [] /Count 4 >>";

} // namespace

TEST(ModernStructures, ObjectsInObjectStreamsWhateverTheRowsEncoding) {
    for (auto rows : {ModernPdf::Rows::Plain, ModernPdf::Rows::Flate, ModernPdf::Rows::FlatePng,
                      ModernPdf::Rows::FlateTiff}) {
        for (bool flate : {false, true}) {
            TempDir dir;
            ModernPdf pdf;
            pdf.ObjectStream(5, {{1, kCatalog}, {2, kInfo}, {3, kPages}}, flate);
            pdf.XrefStream(6, "/Size 7 /Root 1 0 R /Info 2 0 R", rows);
            const auto info = Read(dir.Write("m.pdf", pdf.Bytes()));
            EXPECT_EQ(info.title, "Report") << int(rows) << flate;
            EXPECT_EQ(info.author, "Ann") << int(rows) << flate;
            EXPECT_EQ(info.pageCount, 4) << int(rows) << flate;
        }
    }
}

TEST(ModernStructures, ObjectsAnywhereInALargeObjectStream) {
    // Decoded a part at a time: objects near its start, far into it, and one that runs across
    // where the first part ends.
    std::vector<std::pair<int, std::string>> objects;
    for (int n = 10; n < 2010; ++n)
        objects.emplace_back(n, "<< /Title (object " + std::to_string(n) + ") >>");
    objects[100].second = "<< /Title (" + std::string(9000, 'x') + ") >>";
    objects.emplace_back(2, kInfo);
    TempDir dir;
    ModernPdf pdf;
    pdf.ObjectStream(5, objects, true).Object(1, kCatalog).Object(3, kPages);
    pdf.XrefStream(6, "/Size 2010 /Root 1 0 R /Info 2 0 R");
    const std::string path = dir.Write("large.pdf", pdf.Bytes());
    const ByteSource source(path);
    ReadBudget budget;
    const XrefTable table = ReadXrefChain(source, budget);
    ObjectStore store(source, table, budget);
    for (const int n : {10, 110, 111, 1500, 2009, 12, 2})
        EXPECT_EQ(store.Object(n).Get("Title")->text, n == 2     ? "Report"
                                                      : n == 110 ? std::string(9000, 'x')
                                                                 : "object " + std::to_string(n))
            << n;
    EXPECT_EQ(Read(path).title, "Report");
}

TEST(ModernStructures, PrevChainsMixingTablesAndStreamsTakeTheNewestEntry) {
    TempDir dir;
    {
        // A stream base with a classic update that rewrites the information dictionary.
        ModernPdf pdf;
        pdf.Object(1, kCatalog).ObjectStream(5, {{2, kInfo}, {3, kPages}});
        pdf.XrefStream(6, "/Size 7 /Root 1 0 R /Info 2 0 R");
        pdf.Object(7, "<< /Title (Updated) >>").ClassicUpdate("/Size 8 /Root 1 0 R /Info 7 0 R");
        const auto info = Read(dir.Write("a.pdf", pdf.Bytes()));
        EXPECT_EQ(info.title, "Updated");
        EXPECT_EQ(info.pageCount, 4);
    }
    {
        // A classic base with a stream update that moves the page tree into an object stream.
        ModernPdf pdf;
        pdf.Object(1, kCatalog).Object(2, kInfo).Object(3, "<< /Type /Pages /Count 1 >>");
        pdf.ClassicUpdate("/Size 4 /Root 1 0 R /Info 2 0 R");
        pdf.ObjectStream(4, {{3, kPages}});
        pdf.XrefStream(5, "/Size 6 /Root 1 0 R /Info 2 0 R", ModernPdf::Rows::Flate, true);
        const auto info = Read(dir.Write("b.pdf", pdf.Bytes()));
        EXPECT_EQ(info.title, "Report");
        EXPECT_EQ(info.pageCount, 4);
    }
}

TEST(ModernStructures, AHybridFilesStreamFillsInWhatItsTableLeavesFree) {
    TempDir dir;
    ModernPdf pdf;
    pdf.Object(1, kCatalog).Object(3, kPages).ObjectStream(5, {{2, kInfo}});
    pdf.XrefStream(6, "/Size 7", ModernPdf::Rows::FlatePng, true);
    const int64_t stream = pdf.LastSection();
    std::string bytes = pdf.Bytes();
    const int64_t at = int64_t(bytes.size());
    char line[32];
    bytes += "xref\n0 7\n0000000000 65535 f\r\n";
    for (int n = 1; n <= 6; ++n) {
        if (n == 2 || n == 4) {
            bytes += "0000000000 00001 f\r\n";
            continue;
        }
        std::snprintf(line, sizeof line, "%010lld 00000 n\r\n",
                      static_cast<long long>(pdf.OffsetOf(n)));
        bytes += line;
    }
    bytes += "trailer\n<< /Size 7 /Root 1 0 R /Info 2 0 R /XRefStm " + std::to_string(stream) +
             " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    const auto info = Read(dir.Write("h.pdf", bytes));
    EXPECT_EQ(info.title, "Report");
    EXPECT_EQ(info.pageCount, 4);
}

TEST(ModernStructures, AnUnknownFilterOnAnObjectStreamIsNamed) {
    // Object 2 lives in stream 5, whose filter this reader lacks; its plain rows are pointed
    // there by hand.
    ModernPdf lzw;
    lzw.Object(1, kCatalog).Object(3, kPages);
    lzw.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Filter /LZWDecode /Length 3 >>\nstream\nabc"
                  "\nendstream");
    lzw.ObjectStream(7, {{2, kInfo}});
    lzw.XrefStream(6, "/Size 8 /Root 1 0 R /Info 2 0 R", ModernPdf::Rows::Plain);
    std::string bytes = lzw.Bytes();
    const std::string from("\x02\x00\x00\x00\x07\x00\x00", 7),
        to("\x02\x00\x00\x00\x05\x00\x00", 7);
    const size_t where = bytes.rfind(from);
    ASSERT_NE(where, std::string::npos);
    bytes.replace(where, 7, to);
    TempDir dir;
    try {
        Read(dir.Write("lzw.pdf", bytes));
        FAIL() << "no error";
    } catch (const EPagewickError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::UnsupportedFilter);
        EXPECT_NE(std::string(e.what()).find("/LZWDecode"), std::string::npos) << e.what();
    }
}

TEST(ObjectStore, ObjectsByNumberAndAStreamsDecodedBytes) {
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>...</x:xmpmeta>";
    const std::string packed = Deflate(xmp);
    TempDir dir;
    ModernPdf pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R /Metadata 7 0 R >>");
    pdf.Object(7, "<< /Type /Metadata /Subtype /XML /Filter /FlateDecode /Length " +
                      std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream");
    pdf.ObjectStream(5, {{2, "<< /Title (Report) /Nested [(x) <4142>] >>"}, {3, kPages}});
    pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Info 2 0 R");
    const ByteSource source(dir.Write("s.pdf", pdf.Bytes()));
    ReadBudget budget;
    const XrefTable table = ReadXrefChain(source, budget);
    ObjectStore store(source, table, budget);
    const PdfObject catalog = store.Resolve(*table.Trailer().Get("Root"));
    ASSERT_TRUE(catalog.IsDictionary());
    const PdfObject* metadata = catalog.Get("Metadata");
    ASSERT_TRUE(metadata && metadata->IsReference());
    EXPECT_EQ(store.StreamData(metadata->integer, 1000), xmp);
    EXPECT_EQ(store.StreamData(metadata->integer, 10), xmp.substr(0, 10));
    const PdfObject info = store.Object(2); // parsed where it stands in the object stream
    EXPECT_EQ(info.Get("Title")->text, "Report");
    EXPECT_EQ(info.Get("Nested")->items[1].text, "AB");
    EXPECT_EQ(store.Object(3).Get("Count")->integer, 4);
    EXPECT_TRUE(store.Object(99).IsNull());   // no such object
    EXPECT_TRUE(store.Object(0).IsNull());    // a free one
    EXPECT_EQ(store.StreamData(2, 1000), ""); // no stream
}

TEST(ObjectStore, AFileCutShortAfterItWasOpenedIsReadAsFarAsItGoes) {
    // The file's size is taken when it is opened; reads beyond what is left come back short,
    // which must end the file for the parser, not make it ask again and again.
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count 3 >>")
        .Raw(std::string(6000, ' '))
        .Object(3, "<< /Title (Late) >>")
        .FullSection("/Size 4 /Root 1 0 R /Info 3 0 R");
    const std::string bytes = pdf.Bytes();
    const struct {
        int64_t keep; // bytes left of the file
        int32_t pages;
    } cases[] = {
        {int64_t(bytes.size()) - 40, 3}, // the trailer cut: the objects are found by a scan
        {pdf.OffsetOf(3) + 10, 3},       // the Info dictionary cut too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keep);
        TempDir dir;
        const std::string path = dir.Write("cut.pdf", bytes);
        const ByteSource source(path);
        ASSERT_EQ(::truncate(path.c_str(), c.keep), 0);
        EXPECT_EQ(ReadPdfInfo(source).pageCount, c.pages);
        ReadBudget budget;
        EXPECT_TRUE(ReadValueAt(source, c.keep + 100, budget).IsNull()); // beyond what is left
    }
}

TEST(ObjectStore, AnEntryThatDoesNotHoldItsObjectDistrustsTheWholeTable) {
    PdfBuilder pdf;
    pdf.Object(1, kCatalog).Object(2, kInfo).Object(3, kPages);
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
    // Object 2's entry gives object 3's offset.
    std::string bytes = pdf.Bytes();
    char entry[11];
    std::snprintf(entry, sizeof entry, "%010lld", static_cast<long long>(pdf.OffsetOf(2)));
    const size_t at = bytes.find(entry, bytes.find("xref"));
    std::snprintf(entry, sizeof entry, "%010lld", static_cast<long long>(pdf.OffsetOf(3)));
    bytes.replace(at, 10, entry);
    TempDir dir;
    const ByteSource source(dir.Write("s.pdf", bytes));
    ReadBudget budget;
    const XrefTable table = ReadXrefChain(source, budget);
    ObjectStore store(source, table, budget);
    EXPECT_TRUE(store.Object(1).IsDictionary());
    EXPECT_THROW(store.Object(2), ObjectNotAtEntry);
    // The document is read from the objects a scan finds instead.
    const DocumentInfo info = Read(dir.File("s.pdf"));
    EXPECT_EQ(info.title, "Report");
    EXPECT_EQ(info.pageCount, 4);
}

TEST(ModernStructures, StreamLengthsDirectIndirectWrongOrAbsent) {
    const std::string data = std::string("2 0 ") + kInfo;
    const std::string exact = std::to_string(data.size());
    for (const std::string& length : {exact, std::string("9 0 R"), std::string("4"),
                                      std::string("100000"), std::string("8 0 R"), std::string()}) {
        TempDir dir;
        ModernPdf pdf;
        pdf.Object(1, kCatalog).Object(3, kPages).Object(9, exact);
        pdf.Object(5, "<< /Type /ObjStm /N 1 /First 4" +
                          (length.empty() ? std::string() : " /Length " + length) +
                          " >>\nstream\n" + data + "\nendstream");
        pdf.Compressed(2, 5, 0).XrefStream(6, "/Size 10 /Root 1 0 R /Info 2 0 R");
        const auto info = Read(dir.Write("l.pdf", pdf.Bytes()));
        EXPECT_EQ(info.title, "Report") << length;
        EXPECT_EQ(info.pageCount, 4) << length;
    }
}

TEST(StreamDecoding, PredictorsAndTheirLimits) {
    // Two rows of three bytes, under each PNG filter type, decode to the same bytes.
    const std::string plain = "\x01\x02\x03\x04\x06\x08";
    struct Case {
        std::string data;
        int64_t predictor, columns;
        std::string expected;
    } cases[] = {
        {std::string("\x00\x01\x02\x03\x00\x04\x06\x08", 8), 12, 3, plain},
        {std::string("\x01\x01\x01\x01\x01\x04\x02\x02", 8), 15, 3, plain},
        {std::string("\x02\x01\x02\x03\x02\x03\x04\x05", 8), 10, 3, plain},
        {std::string("\x03\x01\x02\x02\x03\x04\x03\x04", 8), 13, 3, plain},
        {std::string("\x04\x01\x01\x01\x04\x03\x02\x02", 8), 14, 3, plain},
        {std::string("\x01\x01\x01\x04\x02\x02", 6), 2, 3, plain}, // TIFF
        {plain, 1, 3, plain},
        {plain, 12, 0, ""},                          // /Columns 0 holds no row
        {std::string("\x00\x01\x02", 3), 12, 3, ""}, // a row cut short is dropped
    };
    for (const auto& c : cases)
        EXPECT_EQ(Unpredict(c.data, c.predictor, c.columns, 1, 8), c.expected)
            << c.predictor << " " << c.columns;
}

// One stream is inflated after another on a thread: one left unfinished or damaged must not
// change the next.
TEST(StreamDecoding, InflateStopsAtItsBound) {
    const std::string zeros(1 << 20, '\0');
    const std::string packed = Deflate(zeros);
    std::string damaged = packed;
    damaged[2] = char(0xFF); // a block type that does not exist
    EXPECT_EQ(Inflate(packed, 1000).size(), 1000u);
    EXPECT_EQ(Inflate(packed, size_t(4) << 20), zeros);
    EXPECT_EQ(Inflate(packed.substr(0, packed.size() / 2), size_t(4) << 20).size() > 0, true);
    EXPECT_EQ(Inflate(damaged, size_t(4) << 20), "");
    EXPECT_EQ(Inflate(Deflate("abc"), 3), "abc");
}

TEST(Tokenizer, IntegersAreReadAsTheParserReadsThem) {
    const struct {
        const char* text;
        bool integer;
        int64_t value;
        size_t end;
    } cases[] = {
        {" 12 34", true, 12, 3},  {"007", true, 7, 3},
        {"+5 ", true, 5, 2},      {"-3 1", true, -3, 2},
        {"%note\n9", true, 9, 7}, {"1.5", false, 0, 3},
        {"3 0 R 4", false, 0, 5}, {"3 0 Rx", true, 3, 1},
        {"12ab", false, 0, 4},    {"99999999999999999999", false, 0, 20},
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        size_t pos = 0;
        int64_t value = 0;
        EXPECT_EQ(ParseIntegerAt(c.text, pos, value), c.integer) << c.text;
        EXPECT_EQ(c.integer ? value : 0, c.value) << c.text;
        EXPECT_EQ(pos, c.end) << c.text;
    }
}

TEST(Tokenizer, AnObjectStreamsTableHoldsItsPairsOfNumbersAlone) {
    using Pairs = std::vector<std::pair<int64_t, int64_t>>;
    const struct {
        std::string header; // /First is its size; /N is 4
        Pairs objects;      // offsets from /First
    } cases[] = {
        {"5 0 6 12 ", {{5, 0}, {6, 12}}},
        {"5 0\r\n6 12\0\t7  3"s, {{5, 0}, {6, 12}, {7, 3}}},
        {"5 0 6 99 7 3 ", {{5, 0}, {7, 3}}},                  // 99 lies beyond the data
        {"5 0 6 12 R 7 3 ", {{5, 0}}},                        // "6 12 R" is a reference
        {"5 0 %six\n6 12 ", {{5, 0}, {6, 12}}},               // a comment is a blank
        {"5 0 6 1234567890123456789 7 3 ", {{5, 0}, {7, 3}}}, // 19 digits: beyond the data
        {"5 0 6 x 7 3 ", {{5, 0}}},                           // what is no number ends it
        {"1 0 2 1 3 2 4 3 5 4 6 5 ", {{1, 0}, {2, 1}, {3, 2}, {4, 3}}}, // /N pairs at most
    };
    for (const auto& c : cases) {
        const std::string data = c.header + std::string(50, ' ');
        const int64_t first = int64_t(c.header.size());
        Pairs expected = c.objects;
        for (auto& [number, offset] : expected)
            offset += first;
        EXPECT_EQ(ReadObjectStreamTable(4, first, data, int64_t(data.size())).objects, expected)
            << c.header;
    }
}

TEST(Tokenizer, ReadsEveryKindOfValue) {
    const std::string text = "<< /A (x (y) \\) z) /B <41 42> /C [1 -2.5 /N 3 0 R] /D << /E true "
                             ">> /F null /G#20H 7 0 R /I false >>";
    size_t pos = 0;
    const PdfObject o = ParseObject(text, pos);
    ASSERT_TRUE(o.IsDictionary());
    EXPECT_EQ(o.Get("A")->text, "x (y) ) z");
    EXPECT_EQ(o.Get("B")->text, "AB");
    ASSERT_EQ(o.Get("C")->items.size(), 4u);
    EXPECT_EQ(o.Get("C")->items[1].real, -2.5);
    EXPECT_TRUE(o.Get("C")->items[3].IsReference());
    EXPECT_EQ(o.Get("D")->Get("E")->integer, 1);
    EXPECT_TRUE(o.Get("F")->IsNull());
    EXPECT_EQ(o.Get("G H")->integer, 7);
    EXPECT_EQ(o.Get("I")->kind, PdfObject::Kind::Boolean);
    EXPECT_EQ(pos, text.size());
}

TEST(Tokenizer, StringsComeOutAsTheirBytes) {
    struct Case {
        std::string written, bytes;
    } cases[] = {
        {"(plain)", "plain"},
        {"(a\\)b)", "a)b"},
        {"(\\(\\)\\\\)", "()\\"},
        {"(\\n\\r\\t\\b\\f)", "\n\r\t\b\f"},
        {"(\\101)", "A"},
        {"(\\0)", "\0"s},
        {"(\\12z)", "\nz"},
        {"(\\1234)", "S4"},  // three digits at most
        {"(\\777)", "\xFF"}, // 511: the ninth bit is dropped
        {"(\\8)", "8"},      // not an octal digit: the character is kept
        {"(line\\\ncont)", "linecont"},
        {"(line\\\r\ncont)", "linecont"},
        {"(Report (v2) final)", "Report (v2) final"},
        {"(\\202\\240)", "\x82\xA0"}, // Shift-JIS written as octal escapes
        {"<48656c6C6F>", "Hello"},
        {"<4 8\r\n65\t6C\f6C6F>", "Hello"},
        {"<414>", "A@"}, // a final odd digit stands as if followed by 0
        // A character that is no digit is passed over: the string costs nothing else.
        {"<zz>", ""},
        {"<41G42>", "AB"},
    };
    for (const auto& c : cases) {
        size_t pos = 0;
        const PdfObject o = ParseObject(c.written, pos);
        EXPECT_TRUE(o.IsString()) << c.written;
        EXPECT_EQ(o.text, c.bytes) << c.written;
        EXPECT_EQ(pos, c.written.size()) << c.written;
    }
}

TEST(Tokenizer, DictionaryKeysAreFoundByThemselvesWhateverTheirNumber) {
    // A few keys are looked through one by one, many are searched: the same answers either way.
    for (const int others : {3, 90000}) {
        SCOPED_TRACE(others);
        std::string text = "<<";
        for (int k = 0; k < others; ++k)
            text += " /K" + std::to_string(k) + " " + std::to_string(k);
        text += " /Title (first) /title (lower) /Title (second) /TITLE (upper) >>";
        size_t pos = 0;
        const PdfObject o = ParseObject(text, pos);
        EXPECT_EQ(o.entries.size(), size_t(others) + 3); // a key written twice is one entry
        EXPECT_EQ(o.Get("K0")->integer, 0);
        EXPECT_EQ(o.Get("K" + std::to_string(others - 1))->integer, others - 1);
        EXPECT_EQ(o.Get("Title")->text, "second"); // the later value of a key wins
        EXPECT_EQ(o.Get("title")->text, "lower");
        // A key in another case is found when none is exact: the last of them in key order.
        EXPECT_EQ(o.Get("TiTlE")->text, "lower");
        EXPECT_EQ(o.Get("Author"), nullptr);
        EXPECT_EQ(o.Get("K"), nullptr);
    }
    // What a newer trailer leaves out, an older one fills in.
    size_t pos = 0;
    PdfObject o = ParseObject("<< /K0 0 /Root 1 0 R >>", pos);
    pos = 0;
    const PdfObject older = ParseObject("<< /K0 (old) /Size 7 >>", pos);
    o.AddMissing(older);
    EXPECT_EQ(o.Get("K0")->integer, 0);
    EXPECT_EQ(o.Get("Size")->integer, 7);
}

TEST(Tokenizer, DeepNestingAndDamageEndWithoutHarm) {
    for (const std::string& text :
         {std::string(100000, '['), std::string(100000, '<'), std::string("<< /A (open"),
          std::string("<< /A [1 2 endobj"), std::string(")>>]}{ /X")}) {
        size_t pos = 0;
        bool cutShort = false;
        ParseObject(text, pos, &cutShort);
        EXPECT_LE(pos, text.size());
    }
    size_t pos = 0;
    bool cutShort = false;
    const PdfObject o = ParseObject("<< /A (open", pos, &cutShort);
    EXPECT_TRUE(cutShort);
    EXPECT_TRUE(o.Get("A")->IsNull()); // a string that never closes is no value
    pos = 0;
    ParseObject("[1 2 3", pos, &cutShort);
    EXPECT_TRUE(cutShort);
}

TEST(Tokenizer, ADictionaryReadForSomeKeysEndsWhereItDoesWhenReadWhole) {
    static constexpr std::string_view kKeys[] = {"Type", "Count"};
    for (const std::string& text : {
             "<< /Type /Pages /Kids [1 0 R 2 0 R 3 0 R] /Count 3 >> 9"s,
             "<< /Kids [<< /A (x) >> [1 [2]] (s \\) )] /count 5 /Type/Pages>>"s,
             "<< /Kids [4 0 R 5 0 R /Count 4 endobj"s, // a damaged array stops at the keyword
             "<< /Kids (never closed /Count 3 >>"s,    // nor does the dictionary end
             "<< 12 0 R /Count 7 /X 1 0 R /Y <41 /Count 8 >>"s,
             "<< /Kids "s + std::string(200, '[') + " /Count 2 >>",
             "[/Count 1]"s,
         }) {
        SCOPED_TRACE(text);
        size_t wholeEnd = 0, keptEnd = 0;
        bool wholeCut = false, keptCut = false;
        const PdfObject whole = ParseObject(text, wholeEnd, &wholeCut);
        const PdfObject kept = ParseObject(text, keptEnd, &keptCut, kKeys);
        EXPECT_EQ(keptEnd, wholeEnd);
        EXPECT_EQ(keptCut, wholeCut);
        ASSERT_EQ(kept.kind, whole.kind);
        if (!whole.IsDictionary()) {
            EXPECT_EQ(kept.items.size(), whole.items.size());
            continue;
        }
        EXPECT_EQ(kept.Get("Kids"), nullptr);
        for (const std::string_view key : kKeys) {
            const PdfObject* a = whole.Get(key);
            const PdfObject* b = kept.Get(key);
            ASSERT_EQ(a == nullptr, b == nullptr) << key;
            if (a) {
                EXPECT_TRUE(a->kind == b->kind && a->integer == b->integer && a->text == b->text)
                    << key;
            }
        }
    }
}

// Each case was a silent wrong result when dictionaries were read line by line.
TEST(ReadPdfInfo, DictionariesAreReadByTokens) {
    struct Case {
        const char* name;
        std::string catalog, pages, info, trailer;
        int32_t count;
        std::string title, author;
    } cases[] = {
        {"root split over lines", kCatalog, kPages, kInfo, "/Size 5 /Root\n1\n0\nR /Info 2 0 R", 4,
         "Report", "Ann"},
        {"pages on the next line", "<< /Type /Catalog /Pages\n3 0 R >>", kPages, kInfo, "", 4,
         "Report", "Ann"},
        {"count on the next line", kCatalog, "<< /Type /Pages /Count\n1 >>", kInfo, "", 1, "Report",
         "Ann"},
        {"reference split after its number", "<< /Type /Catalog /Pages 3\n0 R >>", kPages, kInfo,
         "", 4, "Report", "Ann"},
        {"inline dictionary with its own count", "<< /Outlines << /Count 6 >> /Pages 3 0 R >>",
         kPages, kInfo, "", 4, "Report", "Ann"},
        {"key with a null value", kCatalog, kPages, "<< /Title null /Author (Ann) >>", "", 4, "",
         "Ann"},
        {"endobj inside a string", kCatalog, kPages,
         "<< /Title (ends with endobj here) /Author (Ann) >>", "", 4, "ends with endobj here",
         "Ann"},
        {"indirect count", kCatalog, "<< /Type /Pages /Count 4 0 R >>", kInfo, "", 9, "Report",
         "Ann"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        PdfBuilder pdf;
        pdf.Object(1, c.catalog).Object(2, c.info).Object(3, c.pages).Object(4, "9");
        pdf.FullSection(c.trailer.empty() ? "/Size 5 /Root 1 0 R /Info 2 0 R" : c.trailer);
        const auto info = Read(pdf.WriteTo(dir.File("t.pdf")));
        EXPECT_EQ(info.pageCount, c.count) << c.name;
        EXPECT_EQ(info.title, c.title) << c.name;
        EXPECT_EQ(info.author, c.author) << c.name;
    }
}

TEST(ReadPdfInfo, RawBytesInsideEncryptionStringsAndTheIdentifier) {
    // Literal strings that hold bytes 00, CR and LF unescaped, as some writers leave them.
    std::string u(32, 'u'), o(32, 'o'), id(16, 'i');
    u[3] = '\0';
    u[7] = '\r';
    u[8] = '\n';
    o[5] = '\n';
    id[2] = '\r';
    TempDir dir;
    PdfBuilder pdf;
    pdf.Object(1, kCatalog).Object(2, kInfo).Object(3, kPages);
    pdf.Object(4, "<< /Filter /Standard /V 1 /R 2 /O (" + o + ") /U (" + u + ") /P -4 >>");
    pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [(" + id + ") (" + id +
                    ")]");
    const auto info = Read(pdf.WriteTo(dir.File("e.pdf")));
    EXPECT_EQ(info.encryption.userEntry, u);
    EXPECT_EQ(info.encryption.ownerEntry, o);
    EXPECT_EQ(info.encryption.fileId, id);
    EXPECT_EQ(info.pageCount, 4);
}

TEST(ReadPdfInfo, PagesAreCountedWhenTheRootHasNoCount) {
    struct Case {
        std::string root;
        std::vector<std::string> nodes; // objects 4, 5, ...
        int32_t count;
    } cases[] = {
        {"<< /Type /Pages /Kids [4 0 R 5 0 R] >>",
         {"<< /Type /Page >>", "<< /Type /Pages /Kids [6 0 R 7 0 R] >>", "<< /Type /Page >>",
          "<< /Type /Page >>"},
         3},
        // A kid that names the root again, and one named twice, count once or not at all.
        {"<< /Type /Pages /Kids [4 0 R 4 0 R 3 0 R] >>", {"<< /Type /Page >>"}, 1},
        {"<< /Type /Pages /Kids [4 0 R] >>", {"<< /Type /Pages /Kids [3 0 R 4 0 R] >>"}, 0},
        // The catalog names one page instead of a tree.
        {"<< /Type /Page /MediaBox [0 0 200 200] >>", {}, 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        PdfBuilder pdf;
        pdf.Object(1, kCatalog).Object(2, kInfo).Object(3, c.root);
        for (size_t k = 0; k < c.nodes.size(); ++k)
            pdf.Object(int(4 + k), c.nodes[k]);
        pdf.FullSection("/Size " + std::to_string(4 + c.nodes.size()) + " /Root 1 0 R /Info 2 0 R");
        EXPECT_EQ(Read(pdf.WriteTo(dir.File("p.pdf"))).pageCount, c.count) << c.root;
    }
}

TEST(ReadPdfInfo, DamagedFilesAreRecoveredFromTheirObjects) {
    PdfBuilder pdf;
    pdf.Object(1, kCatalog).Object(2, kInfo).Object(3, kPages);
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
    const std::string good = pdf.Bytes();
    std::string wrongStartxref = good;
    const size_t sx = wrongStartxref.rfind("startxref\n") + 10;
    wrongStartxref.replace(sx, wrongStartxref.find('\n', sx) - sx, "17");
    std::string shifted = good;
    shifted.insert(9, "   "); // after the header line: every offset is 3 bytes off
    const std::string cutOff = good.substr(0, good.find("xref\n") + 30);
    std::string noTrailerRoot = good;
    noTrailerRoot.replace(noTrailerRoot.find("/Root 1 0 R"), 11, "           ");
    for (const auto& [name, bytes] :
         {std::pair{"wrong startxref", wrongStartxref}, std::pair{"shifted by 3", shifted}}) {
        TempDir dir;
        const auto info = Read(dir.Write("d.pdf", bytes));
        EXPECT_EQ(info.title, "Report") << name;
        EXPECT_EQ(info.pageCount, 4) << name;
    }
    {
        // An update whose /Prev names itself: the objects only the base lists are found by a
        // scan.
        PdfBuilder update;
        update.Object(1, kCatalog).Object(2, kInfo).Object(3, kPages);
        update.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
        const std::string base = std::to_string(update.LastSectionOffset());
        update.Object(4, "<< /Title (Updated) >>").UpdateSection("/Size 5 /Root 1 0 R /Info 4 0 R");
        std::string bytes = update.Bytes();
        const std::string self = std::to_string(update.LastSectionOffset());
        ASSERT_EQ(self.size(), base.size());
        bytes.replace(bytes.rfind("/Prev " + base) + 6, base.size(), self);
        TempDir dir;
        const auto info = Read(dir.Write("u.pdf", bytes));
        EXPECT_EQ(info.title, "Updated");
        EXPECT_EQ(info.pageCount, 4);
    }
    TempDir dir;
    // Cut off inside the table, the trailer is lost with it: the catalog is found by its
    // type, the information dictionary (named only by the trailer) is not.
    const auto info = Read(dir.Write("c.pdf", cutOff));
    EXPECT_EQ(info.pageCount, 4);
    EXPECT_EQ(info.title, "");
    EXPECT_EQ(Read(dir.Write("r.pdf", noTrailerRoot)).pageCount, 4);
}

// Files written by the TeX engines and dvipdfmx, and by qpdf rewriting them with object
// streams, linearized, and RC4-encrypted (tools/make_tex_fixtures.sh).
TEST(RealWriters, TexEnginesDvipdfmxAndQpdfRewrites) {
    const std::string folder = std::string(PAGEWICK_TEST_DATA) + "/tex/";
    const struct {
        const char* file;
        const char* engine;
        int32_t pages;
    } writers[] = {{"pdflatex", "pdfLaTeX", 2},
                   {"lualatex", "LuaLaTeX", 3},
                   {"xelatex", "XeLaTeX", 4},
                   {"dvipdfmx", "dvipdfmx", 5}};
    for (const auto& w : writers) {
        for (const char* variant : {"", "-objstm", "-linearized"}) {
            const std::string name = std::string(w.file) + variant + ".pdf";
            const auto info = Read(folder + name);
            EXPECT_EQ(info.title, std::string("報告書 2024 ") + w.engine) << name;
            EXPECT_EQ(info.author, "山田 太郎") << name;
            EXPECT_EQ(info.keywords, "売上; 予算") << name;
            EXPECT_EQ(info.pageCount, w.pages) << name;
            EXPECT_NE(info.creationDate, 0) << name;
        }
    }
    const auto info = Read(folder + "lualatex-objstm-rc4.pdf");
    EXPECT_TRUE(info.encryption.encrypted);
    EXPECT_EQ(info.encryption.password, PasswordOutcome::NotNeeded);
    EXPECT_EQ(info.title, "報告書 2024 LuaLaTeX");
    EXPECT_EQ(info.pageCount, 3);
}
