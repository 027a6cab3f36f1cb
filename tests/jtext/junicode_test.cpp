// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/cp932.h"
#include "jtext/junicode.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(IsValidUtf8, RejectsWhatAStrictDecoderRejects) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"abc", true},
        {"Caf\xC3\xA9", true},
        {"\xF0\x9F\x98\x80", true},
        {"Caf\xE9", false},          // Latin-1
        {"\xC0\xAF", false},         // overlong
        {"\xED\xA0\x80", false},     // an encoded surrogate
        {"\xF4\x90\x80\x80", false}, // past U+10FFFF
        {"\xE3\x81", false},         // cut short
        {"\x82\xA0\x82\xA2", false}, // Shift-JIS あい
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes;
}

TEST(JisPairToShiftJis, MapsTheRowsOfBothLeadRanges) {
    const std::pair<std::pair<int, int>, std::string> cases[] = {
        {{0x21, 0x21}, "\x81\x40"}, // ideographic space
        {{0x24, 0x22}, "\x82\xA0"}, // あ
        {{0x25, 0x5F}, "\x83\x7E"}, // ミ: the last cell before the gap at 0x7F
        {{0x25, 0x60}, "\x83\x80"}, // ム
        {{0x30, 0x21}, "\x88\x9F"}, // 亜
        {{0x5F, 0x21}, "\xE0\x40"}, // the first row of the second lead range
        {{0x74, 0x26}, "\xEA\xA4"}, // 熙, the last kanji
    };
    for (const auto& [pair, sjis] : cases)
        EXPECT_EQ(JisPairToShiftJis(pair.first, pair.second), sjis) << pair.first;
}

TEST(EucJpToShiftJis, ConvertsWholeCharactersAndCountsTheRest) {
    struct Case {
        std::string euc, sjis;
        int bad;
    };
    const Case cases[] = {
        {"\xC6\xFC\xCB\xDC\xB8\xEC", "\x93\xFA\x96\x7B\x8C\xEA", 0}, // 日本語
        {"PDF\xA4\xA2", "PDF\x82\xA0", 0},
        {"\x8E\xB1\x8E\xDF", "\xB1\xDF", 0}, // half-width katakana
        {"\x8F\xB0\xA1", "?", 1},            // JIS X 0212
        {"\xC6", "?", 1},                    // a lead byte at the end
        {"Ni\xF1o", "Ni?o", 1},
    };
    for (const auto& c : cases) {
        int bad = -1;
        EXPECT_EQ(EucJpToShiftJis(c.euc, &bad), c.sjis) << c.euc;
        EXPECT_EQ(bad, c.bad) << c.euc;
    }
}

TEST(Iso2022JpToShiftJis, FollowsTheEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x1B$BF|K\\8l\x1B(B", "\x93\xFA\x96\x7B\x8C\xEA"}, // 日本語
        {"PDF\x1B$@$\"\x1B(J!", "PDF\x82\xA0!"},
        {"\x1B(I1_\x1B(B1", "\xB1\xDF"
                            "1"},
        {"a\x0E"
         "1\x0F"
         "1",
         "a\xB1"
         "1"},
        {"\x1B$BF", "F"}, // half a pair is left as it is
        {"\x1B$(Dab\x1B(Bc", "?c"},
    };
    for (const auto& [jis, sjis] : cases)
        EXPECT_EQ(Iso2022JpToShiftJis(jis), sjis) << jis;
}

TEST(RepairUtf8, ReplacesEachByteOutsideAWholeSequence) {
    const std::pair<std::string, std::string> cases[] = {
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"a\xE9z", "a\xEF\xBF\xBDz"},
        {"\xE4\xB8\xAD\xE4\xB8", "\xE4\xB8\xAD\xEF\xBF\xBD\xEF\xBF\xBD"}, // cut short
    };
    for (const auto& [bytes, repaired] : cases)
        EXPECT_EQ(RepairUtf8(bytes), repaired) << bytes;
}
