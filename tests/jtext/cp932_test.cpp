// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/cp932.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace std::string_literals;

namespace {

std::string Utf8Of(char16_t unit) {
    std::string out;
    if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
        out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
    return out;
}

std::string UnitToCp932(char16_t unit) {
    std::string out;
    AppendUnitAsCp932(out, unit);
    return out;
}

bool IsSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

// Characters written to a code whose own character is a different one (as Windows does).
const std::set<char16_t> kOneWay = {0x00A2, 0x00A3, 0x00AC, 0x2016, 0x2212, 0x301C};

struct Pair {
    char16_t unit;
    const char* cp932;
};

TEST(Cp932, KnownCharactersConvertBothWays) {
    // clang-format off
    const Pair pairs[] = {
        {u'A', "A"},
        {u'\\', "\\"},
        {u'~', "~"},
        {u'あ', "\x82\xA0"},
        {u'ｱ', "\xB1"},
        {u'表', "\x95\x5C"},     // trail byte 0x5C
        {u'①', "\x87\x40"},
        {u'　', "\x81\x40"},
        {u'Ⅰ', "\x87\x54"},     // NEC row 13 rather than the IBM code 0xFA4A
        {u'≒', "\x81\xE0"},     // JIS rather than NEC row 13 0x8790
        {u'￢', "\x81\xCA"},     // JIS rather than 0xEEF9 or 0xFA54
        {u'ⅰ', "\xFA\x40"},     // IBM extension rather than NEC-selected 0xEEEF
        {u'纊', "\xFA\x5C"},     // likewise rather than 0xED40
        {u'㈱', "\x87\x8A"},
        {u'\uE000', "\xF0\x40"}, // user-defined area
        {u'\u0080', "\x80"},
        {u'\uF8F0', "\xA0"},
        {u'\uF8F3', "\xFF"},
    };
    // clang-format on
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.cp932);
        EXPECT_EQ(UnitToCp932(p.unit), p.cp932);
        EXPECT_EQ(Cp932ToUtf8(p.cp932), Utf8Of(p.unit));
    }
    // The duplicates still read as their character.
    EXPECT_EQ(Cp932ToUtf8("\xEE\xEF\xED\x40\xFA\x4A\x87\x90"), "ⅰ纊Ⅰ≒");
}

TEST(Cp932, UnitsOutsideTheCodePageBecomeAQuestionMark) {
    const char16_t units[] = {
        u'é', u'¥', u'\uFEFF', u'\uFFFD', char16_t{0xD800}, char16_t{0xDC00}, u'\u2014'};
    for (char16_t u : units) {
        SCOPED_TRACE(static_cast<int>(u));
        EXPECT_EQ(UnitToCp932(u), "?");
    }
    EXPECT_EQ(UnitToCp932(0), "");
    EXPECT_EQ(UnitToCp932(u'〜'), "\x81\x60");
    EXPECT_EQ(Cp932ToUtf8(UnitToCp932(u'〜')), "～");
}

TEST(Cp932, EveryWrittenCharacterReadsBack) {
    int mapped = 0;
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        if (IsSurrogate(u) || kOneWay.count(static_cast<char16_t>(u)))
            continue;
        const std::string code = UnitToCp932(static_cast<char16_t>(u));
        if (code == "?" && u != u'?')
            continue;
        ++mapped;
        ASSERT_EQ(Cp932ToUtf8(code), Utf8Of(static_cast<char16_t>(u))) << std::hex << u;
        ASSERT_EQ(Utf8ToCp932(Utf8Of(static_cast<char16_t>(u))), code) << std::hex << u;
    }
    // JIS X 0208, NEC row 13, the IBM extensions, the user-defined area, the single bytes.
    EXPECT_GT(mapped, 9000);
}

TEST(Cp932, EveryDefinedCodeReadsAsACharacterThatWritesBackToIt) {
    int defined = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string text = Cp932ToUtf8(code);
            if (text.size() != 3 || text == "\xEF\xBF\xBD")
                continue; // not a pair, or not defined
            ++defined;
            const std::string again = Utf8ToCp932(text);
            ASSERT_EQ(again.size(), 2u) << std::hex << lead << ' ' << trail;
            ASSERT_EQ(Cp932ToUtf8(again), text) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(defined, 9000);
}

TEST(Cp932, ConvertsMixedText) {
    const std::string sjis = "PDF\x95\x5C\x8E\xA6 \x82\xA0\xB1\x87\x40\0z"s;
    const std::string utf8 = "PDF表示 あｱ①\0z"s;
    EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
    EXPECT_EQ(Utf8ToCp932(utf8), sjis);
    EXPECT_EQ(Utf8ToCp932("\uFEFF表示\U0001F600!"), "?\x95\x5C\x8E\xA6?!");
}

TEST(Cp932, NonAsciiIsFoundAtEveryPlaceOfAnAsciiRun) {
    // ASCII is skipped in steps of eight bytes: a character at any place of a run, and a zero
    // byte within one, must come out as it would on its own.
    for (size_t before = 0; before <= 17; ++before) {
        const std::string ascii(before, 'a');
        std::string out = "kept";
        AppendUtf8AsCp932(out, ascii + "表" + ascii + "\0z"s + "\xC3");
        EXPECT_EQ(out, "kept" + ascii + "\x95\x5C" + ascii + "\0z?"s) << before;
        EXPECT_EQ(Cp932ToUtf8(ascii + "\x95\x5C" + ascii + "\0z\x82"s),
                  ascii + "表" + ascii + "\0z\uFFFD"s)
            << before;
    }
}

struct Malformed {
    const char* name;
    std::string input;
    std::string output;
};

TEST(Cp932, MalformedInputIsReplacedCharByChar) {
    const Malformed cp932[] = {
        {"lead byte at the end", "a\x82", "a\uFFFD"},
        {"lead and ASCII", "\x81 \"", "\uFFFD \""},
        {"lead and 0x7F", "\x81\x7F", "\uFFFD\x7F"},
        {"undefined pair keeps its trail",
         "\x85\x40"
         "A",
         "\uFFFD@A"},
        {"undefined pair, trail starts a pair", "\x85\x81\x40", "\uFFFD\u3000"},
        {"lead then 0xFD", "\x81\xFD", "\uFFFD\uF8F1"},
        {"single bytes", "\x80\xA0\xFD\xFE\xFF", "\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
    };
    for (const auto& c : cp932) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Cp932ToUtf8(c.input), c.output);
    }
    const Malformed utf8[] = {
        {"cut short at the end", "a\xC3", "a?"},
        {"cut short before ASCII",
         "\xE3\x81"
         "A",
         "??A"},
        {"stray continuation", "\x80\xBF", "??"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"encoded surrogate", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"outside the BMP",
         "\xF0\x9F\x98\x80"
         "a",
         "?a"},
        {"not in the code page", "caf\xC3\xA9", "caf?"},
        {"replacement character", "\xEF\xBF\xBD", "?"},
    };
    for (const auto& c : utf8) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToCp932(c.input), c.output);
    }
}

} // namespace
