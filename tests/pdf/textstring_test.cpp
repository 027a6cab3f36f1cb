// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/textstring.h"

#include "jtext/junicode.h"
#include "pdf/pdfobject.h"

#include <gtest/gtest.h>

#include <random>

using namespace std::string_literals;

namespace {

// The text of a string value as a file writes it.
std::string TextOf(const std::string& written) {
    size_t pos = 0;
    return TextStringToUtf8(ParseObject(written, pos).text);
}

} // namespace

// Each string form a writer uses, to Unicode.
TEST(TextString, EveryStringFormIsReadInUnicode) {
    const std::pair<std::string, std::string> cases[] = {
        {"(abc)", "abc"},
        {"(Hello\\)World)", "Hello)World"},
        {"(\\101\\102)", "AB"},
        // UTF-16 with either mark: a pair is one character.
        {"<FEFF0041>", "A"},
        {"<feff0041>", "A"},
        {"(\\376\\377\\000A)", "A"},
        {"(\xFE\xFF\\000A)", "A"},
        {"(\xFF\xFE"
         "A\\000)",
         "A"},
        {"<FFFE4100>", "A"},
        {"<FE FF 00 41\n00 42>", "AB"},
        {"<FEFF0043006100660065030100200443D83DDE00>", "Cafe\u0301 \u0443\U0001F600"},
        {"<FFFE3D003DD800DE>", "=\U0001F600"},
        {"(\xFE\xFF\x4E\x2D\x65\x87)", "\u4E2D\u6587"},
        {"<FEFFD55CAE00>", "\uD55C\uAE00"},
        // 小 is U+5C0F: its first byte is a backslash the producer had to escape.
        {"(\xFE\xFF\\\\\x0F)", "\u5C0F"},
        // Language escapes, with and without a country code, in both byte orders.
        {"(\xFE\xFF\\000\x1Bja\\000\x1B\\000A)", "A"},
        {"<FEFF001B6A61001B0041>", "A"},
        {"<FEFF001B6A614A50001B0041>", "A"},
        {"<FFFE1B006A611B004100>", "A"},
        // Controls other than CR and LF show as U+FFFD, lone surrogates too; zero units
        // (padding) are dropped.
        {"<FEFF0041000900420001>", "A\uFFFDB\uFFFD"},
        {"<FEFFD83D0041>", "\uFFFDA"},
        {"<FEFF00410000004200000000>", "AB"},
        {"<FEFF000A000D>", "\n\r"},
        // UTF-8 with its mark (PDF 2.0) and without.
        {"(\xEF\xBB\xBF"
         "Caf\xC3\xA9 \xF0\x9F\x98\x80)",
         "Caf\u00E9 \U0001F600"},
        {"(\xEF\xBB\xBF\xE4\xB8\xAD\xF0\x9F\x98\x80\xFF)", "\u4E2D\U0001F600\uFFFD"},
        {"(Caf\xC3\xA9 M\xC3\xBCller)", "Caf\u00E9 M\u00FCller"},
        // PDFDocEncoding.
        {"(Ni\xF1o \xA9 \xAE \x92 \x85 \x84)", "Ni\u00F1o \u00A9 \u00AE \u2122 \u2013 \u2014"},
        {"(\x18\x19\x1F\x80\x93\x9F\xA0)", "\u02D8\u02C7\u02DC\u2022\uFB01\uFFFD\u20AC"},
        {"(Caf\xE9)", "Caf\u00E9"},
        {"(Author\x92s guide)", "Author\u2122s guide"},
        {"(\xA9 2020)", "\u00A9 2020"},
        // Japanese multibyte text.
        {"(\x82\xA0\x82\xA2)", "\u3042\u3044"}, // Shift-JIS
        {"(\\202\\240)", "\u3042"},
        {"<82A0>", "\u3042"},
        {"(\x93\xFA\x96\x7B\x8C\xEA)", "\u65E5\u672C\u8A9E"},
        {"(\xC6\xFC\xCB\xDC\xB8\xEC)", "\u65E5\u672C\u8A9E"}, // EUC-JP
        {"(PDF\xA4\xA2)", "PDF\u3042"},
        {"(\x1B$BF|K\\\\8l\x1B\\(B)", "\u65E5\u672C\u8A9E"}, // JIS
        {"(\xC3\xBD\xC4)", "\uFF83\uFF7D\uFF84"},            // half-width katakana
        {"<>", ""},
    };
    for (const auto& [written, text] : cases)
        EXPECT_EQ(TextOf(written), text) << written;
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
// lists take it as such). Random strings, weighted towards the bytes the readings turn on.
TEST(TextString, AnyBytesGiveWellFormedUtf8) {
    std::mt19937 random(18);
    const std::string pieces[] = {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF", "\x1B$B",   "\x1B(B",
                                  "\x8E",     "\x82\xA0", "\xA4\xA2",     "\xD8\x3D", "\0"s};
    for (int n = 0; n < 20000; ++n) {
        std::string bytes;
        for (int i = int(random() % 24); i > 0; --i)
            bytes += random() % 3 == 0 ? pieces[random() % std::size(pieces)]
                                       : std::string(1, char(random() % 256));
        const std::string text = TextStringToUtf8(bytes);
        ASSERT_TRUE(IsValidUtf8(text)) << bytes;
    }
}
