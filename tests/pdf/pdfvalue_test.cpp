// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfvalue.h"

#include "common/errors.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(UnescapeLiteral, ResolvesEscapesOctalAndContinuations) {
    struct Case {
        std::string content, bytes;
    } cases[] = {
        {"plain", "plain"},
        {"a\\)b", "a)b"},
        {"\\(\\)\\\\", "()\\"},
        {"\\n\\r\\t\\b\\f", "\n\r\t\b\f"},
        {"\\101", "A"},
        {"\\0", "\0"s},
        {"\\12z", "\nz"},
        {"\\1234", "S4"},  // three digits at most
        {"\\777", "\xFF"}, // 511: the ninth bit is dropped
        {"\\8", "8"},      // not an octal digit: the character is kept
        {"\\a\\q", "aq"},
        {"line\\\ncont", "linecont"},
        {"line\\\r\ncont", "linecont"},
        {"line\\\rcont", "linecont"},
        {"end\\", "end"},
        {"\\202\\240", "\x82\xA0"}, // Shift-JIS written as octal escapes
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnescapeLiteral(c.content), c.bytes) << c.content;
}

TEST(HexToBytes, TakesPairsSkipsWhiteSpaceAndRejectsOtherCharacters) {
    EXPECT_EQ(HexToBytes("48656c6C6F"), "Hello");
    EXPECT_EQ(HexToBytes("4 8\r\n65\t6C\f6C6F"), "Hello");
    EXPECT_EQ(HexToBytes("414"), "A");
    EXPECT_EQ(HexToBytes("4"), "");
    EXPECT_EQ(HexToBytes(""), "");
    try {
        HexToBytes("41G2");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("G2"), std::string::npos) << e.what();
    }
}

TEST(FindLiteralEnd, BalancesParenthesesAndStepsOverEscapes) {
    struct Case {
        std::string text; // starts just after the opening parenthesis
        size_t end;
    } cases[] = {
        {"Report (v2) final) rest", 17},
        {"Budget \\(draft\\) 2024) x", 21},
        {"a\\\\) b", 3},
        {"never closes", 12},
        {"((x)) y) z", 7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindLiteralEnd(c.text, 0), c.end) << c.text;
}

TEST(FindKeyOutsideStrings, IgnoresKeysInsideValues) {
    EXPECT_EQ(FindKeyOutsideStrings("/title (see /author) /author (ann)", "/author"), 21u);
    EXPECT_EQ(FindKeyOutsideStrings("/u <2f6f> /o (x)", "/o"), 10u);
    EXPECT_EQ(FindKeyOutsideStrings("<</o (x)>>", "/o"), 2u);
    EXPECT_EQ(FindKeyOutsideStrings("/t (/o)", "/o"), std::string::npos);
    EXPECT_EQ(FindNameOutsideStrings("/filter /other /o <00>", "/o"), 15u);
    EXPECT_EQ(FindNameOutsideStrings("/o(x)", "/o"), 0u);
    EXPECT_EQ(FindNameOutsideStrings("/open", "/o"), std::string::npos);
    // Letters of the text in either case; strings, also unclosed ones, stepped over.
    EXPECT_EQ(FindNameOutsideStrings("/Title (x) /AUTHOR<41>", "/author"), 11u);
    EXPECT_EQ(FindNameOutsideStrings("/t <2f /author", "/author"), std::string::npos);
    EXPECT_EQ(FindNameOutsideStrings("/t (a (b) /author", "/author"), std::string::npos);
    EXPECT_EQ(FindNameOutsideStrings("<</author", "/author"), 2u);
}

TEST(NamesOutsideStrings, ListsEachNameAsWritten) {
    const struct {
        std::string text;
        std::vector<std::string_view> names;
    } cases[] = {
        {"/Title (see /Author)/Author<2f41>", {"/Title", "/Author"}},
        {"<</Type/Catalog /Pages 2 0 R>>", {"/Type", "/Catalog", "/Pages"}},
        {"/A[/B]/ /C%x", {"/A", "/B", "/", "/C"}},
        {"(/x) <2f> /y (", {"/y"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NamesOutsideStrings(c.text), c.names) << c.text;
}
