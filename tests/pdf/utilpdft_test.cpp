// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/utilpdft.h"

#include "common/bytestream.h"
#include "common/errors.h"
#include "jtext/junicode.h"
#include "pdf/pdffile.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <random>

using namespace std::string_literals;

namespace {

// A file with one string object, so that values can refer to it.
class StringsFile : public ::testing::Test {
protected:
    void SetUp() override {
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog >>").Object(12, "(Indirect title)");
        pdf.FullSection("/Size 13 /Root 1 0 R");
        reader_ = std::make_unique<PdfReader>(dir_.Write("s.pdf", pdf.Bytes()));
        reader_->ReadXrefChain(reader_->FindStartXref());
    }
    std::string Title(const std::string& value) {
        return ReadInfoText(*reader_, "/title", "/Title " + value, -1);
    }
    std::string UnicodeTitle(const std::string& value) {
        return ReadInfoString(*reader_, "/title", "/Title " + value, -1);
    }
    TempDir dir_;
    std::unique_ptr<PdfReader> reader_;
};

const std::string kA = "A";
const std::string kHiragana = "\x82\xA0"; // あ in code page 932

} // namespace

TEST(OctalEscapeToHex, CountsEachDigitWithItsDecimalValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "00"},   {"7", "07"},   {"8", "08"},   {"12", "0A"}, {"101", "41"},
        {"377", "FF"}, {"777", "FF"}, {"400", "00"}, {"99", "51"},
    };
    for (const auto& [digits, hex] : cases)
        EXPECT_EQ(OctalEscapeToHex(digits), hex) << digits;
}

TEST(IsDisplayableChar, AcceptsPrintableBytesKatakanaAndDoubleByteCharacters) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},         {"\n", true},        {"\r", true},        {"\t", false},
        {" ", true},         {"~", true},         {"\x7F", false},     {"\xA1", true},
        {"\xDF", true},      {"\xE0", false},     {"\x1B", false},     {"\x82\xA0", true},
        {"\x80\x40", true},  {"\x82\x7F", false}, {"\x82\x3F", false}, {"\xFC\xFC", true},
        {"\xFD\x40", false},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(IsDisplayableChar(bytes), shown) << bytes;
}

TEST(HexToText, ConvertsOneUnitAtATime) {
    const std::pair<const char*, std::string> cases[] = {
        {"", ""},      {"004", ""},         {"00410", kA},
        {"0041", kA},  {"00410042", "AB"},  {"0009", "?"},
        {"001B", "?"}, {"3042", kHiragana}, {"00e9", "?"},
        {"0000", ""},  {"0041 0042", "AB"}, {"D83DDE00", "?"}, // one character, one "?"
    };
    for (const auto& [hex, text] : cases)
        EXPECT_EQ(HexToText(hex), text) << hex;
    EXPECT_EQ(HexToText("41004200", true), "AB");
    EXPECT_THROW(HexToText("00G1"), EConvertError);
}

TEST(Utf16LiteralToText, TurnsEscapesIntoUnits) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\\376\\377\\000A", kA},
        {"\\376\\377\\0000A", "0"}, // hex 003041: one whole unit, the last digits ignored
        {"\\376\\377\\000\\101", kA},
        {"\\376\\377\\000\\\r\nA", kA},
        {"\\376\\377\\000\\\nA", kA},
        {"\\376\\3770B", kHiragana}, // the raw bytes "0B" are 30 42: unit 3042
        {"\\376\\377\\000\\(", "("},
        {"\\376\\377\\000A\0\\000B"s, kA}, // the walk ends at a zero byte
    };
    for (const auto& [content, text] : cases)
        EXPECT_EQ(Utf16LiteralToText(content), text) << content;
}

TEST_F(StringsFile, LiteralValuesAreUnescapedAndDecoded) {
    const std::pair<std::string, std::string> cases[] = {
        {"(abc)", "abc"},
        {"(a\\)b)", "a)b"}, // short content is unescaped too
        {"(Hello\\)World)", "Hello)World"},
        {"(Report (v2) final)", "Report (v2) final"},
        {"(\\101\\102)", "AB"},
        {"(\\202\\240)", kHiragana}, // Shift-JIS written as octal escapes
        {"(\x82\xA0\x82\xA2)", "\x82\xA0\x82\xA2"},
        {"(\\376\\377\\000A)", kA},
        {"(\xFE\xFF\\000A)", kA},
        {"(\xFF\xFE"
         "A\\000)",
         kA},
        // 小 is U+5C0F: its first byte is a backslash the producer had to escape.
        {"(\xFE\xFF\\\\\x0F)", "\x8F\xAC"},
        {"(\xFE\xFF\\(\x0F)", "?"},                   // U+280F: braille, not in the code page
        {"(\xFE\xFF\\000\x1Bja\\000\x1B\\000A)", kA}, // language escape
        {"(\xE3\x81\x82\xE3\x81\x84xyz)", "\x82\xA0\x82\xA2xyz"},
        {"(\xEF\xBB\xBF\xE3\x81\x82\xE3\x81\x84xyz)", "\x82\xA0\x82\xA2xyz"},
        {"12 0 R", "Indirect title"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Title(value), text) << value;
}

TEST_F(StringsFile, HexadecimalValuesFollowTheirMark) {
    const std::pair<std::string, std::string> cases[] = {
        {"<FEFF0041>", kA},
        {"<feff0041>", kA},
        {"<FEFF0041>>>", kA},
        {"<FEFF001B6A61001B0041>", kA},
        {"<FEFF001B6A614A50001B0041>", kA}, // with a country code
        {"<FEFF3042>", kHiragana},
        {"<FEFF0009>", "?"},
        {"<FEFF004>", ""},
        {"<FFFE4100>", kA}, // little-endian, as the mark says
        {"<FFFE1B006A611B004100>", kA},
        {"<FE FF 00 41\n00 42>", "AB"},
        {"<48656C6C6F>", "Hello"}, // no mark: bytes
        {"<82A0>", kHiragana},
        {"<E38182E38184787A7A>", "\x82\xA0\x82\xA2xzz"},
        {"<>", ""},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Title(value), text) << value;
    EXPECT_THROW(Title("<FEFF00G1>"), EConvertError);
    EXPECT_THROW(Title("<4X>"), EConvertError);
}

TEST_F(StringsFile, EncryptedValuesAreDecryptedWithTheObjectKeyThenDecoded) {
    const std::string key = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10";
    auto encrypt = [&](const std::string& plain, int32_t keyLength) {
        StringDecryptor rc4(CryptMethod::RC4, key.substr(0, keyLength == 40 ? 5 : 16));
        return *rc4.Decrypt(plain, 7, 0);
    };
    auto hex = [](const std::string& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : bytes)
            out += {digits[c >> 4], digits[c & 15]};
        return out;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"Report", "Report"},
        {"\xFE\xFF\0A"s, kA},
        {"\xFF\xFE"
         "A\0"s,
         kA},
        {"\xFE\xFF\0\x1Bja\0\x1B\0A"s, kA},
        {"", ""},
        {"a\0b"s, "a\0b"s},
        {"\xE3\x81\x82\xE3\x81\x84xyz", "\x82\xA0\x82\xA2xyz"},
        {"\\376\\377\\000A", kA},
    };
    for (const int32_t keyLength : {40, 128}) {
        for (const auto& [plain, text] : cases) {
            const std::string secret = encrypt(plain, keyLength);
            StringDecryptor decryptor(CryptMethod::RC4, key.substr(0, keyLength == 40 ? 5 : 16));
            const std::string asHex = "/Title <" + hex(secret) + ">";
            EXPECT_EQ(ReadEncryptedInfoText(*reader_, decryptor, 7, 0, "/title", asHex, -1), text)
                << plain;
            std::string escaped; // the same bytes as a literal, every byte an octal escape
            for (unsigned char c : secret)
                escaped += "\\" + std::to_string(c >> 6) + std::to_string((c >> 3) & 7) +
                           std::to_string(c & 7);
            EXPECT_EQ(ReadEncryptedInfoText(*reader_, decryptor, 7, 0, "/title",
                                            "/Title (" + escaped + ")", -1),
                      text)
                << plain;
        }
    }
}

// Each string form to Unicode, and the code page 932 text made from it.
TEST_F(StringsFile, EveryStringFormIsReadInUnicode) {
    struct Case {
        std::string value, unicode, cp932;
    };
    const Case cases[] = {
        // UTF-16 with either mark: a pair is one character, one "?" in code page 932.
        {"<FEFF0043006100660065030100200443D83DDE00>", "Cafe\u0301 \u0443\U0001F600",
         "Cafe? \x84\x85?"},
        {"<FFFE3D003DD800DE>", "=\U0001F600", "=?"},
        {"(\xFE\xFF\x4E\x2D\x65\x87)", "\u4E2D\u6587", "\x92\x86\x95\xB6"}, // 中文
        {"<FEFFD55CAE00>", "\uD55C\uAE00", "??"},                           // 한글
        {"<FEFF0041000900420001>", "A\uFFFDB\uFFFD", "A?B?"},               // what 932 cannot show
        {"<FEFFD83D0041>", "\uFFFDA", "?A"},                                // a lone surrogate
        // UTF-8 with its mark (PDF 2.0) and without.
        {"(\xEF\xBB\xBF"
         "Caf\xC3\xA9 \xF0\x9F\x98\x80)",
         "Caf\u00E9 \U0001F600", "Caf? ?"},
        {"(\xEF\xBB\xBF\xE4\xB8\xAD\xF0\x9F\x98\x80\xFF)", "\u4E2D\U0001F600\uFFFD", "\x92\x86??"},
        {"(Caf\xC3\xA9 M\xC3\xBCller)", "Caf\u00E9 M\u00FCller", "Caf? M?ller"},
        // PDFDocEncoding.
        {"(Ni\xF1o \xA9 \xAE \x92 \x85 \x84)", "Ni\u00F1o \u00A9 \u00AE \u2122 \u2013 \u2014",
         "Ni?o ? ? ? ? ?"},
        {"(\x18\x19\x1F\x80\x93\x9F\xA0)", "\u02D8\u02C7\u02DC\u2022\uFB01\uFFFD\u20AC", "???????"},
        {"(Caf\xE9)", "Caf\u00E9", "Caf?"},
        {"(M\xFCller)", "M\u00FCller", "M?ller"},
        {"(Gar\xE7on)", "Gar\u00E7on", "Gar?on"},
        {"(Author\x92s guide)", "Author\u2122s guide", "Author?s guide"},
        {"(\xA9 2020)", "\u00A9 2020", "? 2020"},
        // Japanese multibyte text.
        {"(\x82\xA0\x82\xA2)", "\u3042\u3044", "\x82\xA0\x82\xA2"}, // Shift-JIS
        {"(\x93\xFA\x96\x7B\x8C\xEA)", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"},
        {"(\xC6\xFC\xCB\xDC\xB8\xEC)", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"}, // EUC-JP
        {"(PDF\xA4\xA2)", "PDF\u3042", "PDF\x82\xA0"},
        {"(\x1B$BF|K\\\\8l\x1B\\(B)", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"}, // JIS
        {"(\xC3\xBD\xC4)", "\uFF83\uFF7D\uFF84", "\xC3\xBD\xC4"}, // half-width katakana
        {"(\\202\\240)", "\u3042", "\x82\xA0"},
        {"<82A0>", "\u3042", "\x82\xA0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnicodeTitle(c.value), c.unicode) << c.value;
        EXPECT_EQ(Title(c.value), c.cp932) << c.value;
    }
}

TEST(ChooseByteReading, TellsJapaneseFromLatin) {
    const std::pair<std::string, ByteReading> cases[] = {
        {"plain", ByteReading::PdfDoc},
        {"\x1B$B$\"\x1B(B", ByteReading::Jis},
        {"Caf\xC3\xA9", ByteReading::Utf8},
        {"\xEF\xBB\xBF\xE9", ByteReading::Utf8}, // the mark decides
        {"\x82\xA0", ByteReading::ShiftJis},
        {"\x83\x65\x83\x58\x83\x67", ByteReading::ShiftJis}, // テスト: every trail below 0x80
        {"\xB1\xB2\xB3", ByteReading::ShiftJis}, // half-width katakana, not EUC-JP pairs
        {"\xB1\xB2", ByteReading::EucJp},        // the pair goes to EUC-JP
        {"\xA4\xA2\xA4\xA4", ByteReading::EucJp},
        {"Ni\xF1o", ByteReading::PdfDoc},   // a user-defined Shift-JIS pair
        {"Caf\xE9", ByteReading::PdfDoc},   // a lead byte at the end
        {"M\xFCller", ByteReading::PdfDoc}, // an undefined pair
        {"Gar\xE7on", ByteReading::PdfDoc}, // one pair with an ASCII second byte
        {"\xA9 x", ByteReading::PdfDoc},    // one half-width katakana
        {"cr\xE8me br\xFBl\xE9"
         "e",
         ByteReading::PdfDoc}, // pairs in a row, Latin leads
        {"a\x01\xFF", ByteReading::PdfDoc},
    };
    for (const auto& [bytes, reading] : cases)
        EXPECT_EQ(int(ChooseByteReading(bytes)), int(reading)) << bytes;
}

// Whatever the bytes, their Unicode text is well-formed UTF-8 (the window, the JSON and the
// UTF-8 list take it as such). Random strings, weighted towards the bytes the readings
// turn on.
TEST(DecodeStringUtf8, AnyBytesGiveWellFormedUtf8) {
    std::mt19937 random(18);
    const std::string pieces[] = {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF", "\x1B$B",   "\x1B(B",
                                  "\x8E",     "\x82\xA0", "\xA4\xA2",     "\xD8\x3D", "\0"s};
    for (int n = 0; n < 20000; ++n) {
        std::string bytes;
        for (int i = int(random() % 24); i > 0; --i)
            bytes += random() % 3 == 0 ? pieces[random() % std::size(pieces)]
                                       : std::string(1, char(random() % 256));
        const std::string text = DecodeStringUtf8(bytes);
        ASSERT_TRUE(IsValidUtf8(text)) << bytes;
    }
}
