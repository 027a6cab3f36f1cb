// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdftext.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(ReaderText, LowerCaseTouchesOnlyAsciiLettersAndTrimRemovesControlBytes) {
    EXPECT_EQ(LowerCase("AbZ\xC4\x82@[`{"), "abz\xC4\x82@[`{");
    EXPECT_EQ(Trim("\0\x01 \t x y \r\n\x20"s), "x y");
    EXPECT_EQ(Trim("\x21!\x21"), "!!!");
    EXPECT_EQ(Trim(" \x80 "), "\x80");
}

TEST(ReaderText, LinesSplitAtCrLfOrCrLfAndStopAtZero) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n", {"a", "b", "c"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb\0c\nd"s, {"a", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
        EXPECT_EQ(Normalise(c.text), JoinLines(c.lines)) << c.text;
    }
    EXPECT_EQ(Normalise("a\rb\n"), "a\r\nb\r\n");
    EXPECT_EQ(Normalise("a"), "a\r\n");
}

TEST(ReaderText, KeywordsAreFoundWithoutRegardToCase) {
    struct Case {
        std::string text;
        size_t from, expected;
    } cases[] = {
        {"1 0 obj EndObj", 0, 8},          {"ENDOBJ endobj", 1, 7},
        {"endob", 0, std::string::npos},   {"end obj", 0, std::string::npos},
        {"xendobj", 7, std::string::npos}, {"", 0, std::string::npos},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindNoCase(c.text, "endobj", c.from), c.expected) << c.text;
    // Only letters are folded: a slash matches a slash and nothing else.
    EXPECT_EQ(FindNoCase("\x0f"
                         "COUNT /Count",
                         "/count"),
              7u);
    EXPECT_EQ(FindNoCase("\x0f"
                         "count",
                         "/count"),
              std::string::npos);
}

TEST(ReaderText, ReplacingIgnoresCase) {
    EXPECT_EQ(ReplaceNoCase("/V 1/v 2/Version", "/V", "\r\n/V "),
              "\r\n/V  1\r\n/V  2\r\n/V ersion");
    EXPECT_EQ(RemoveAll("<<a<<<b>>", "<<"), "a<b>>");
}

TEST(ReaderText, IntegersConvertWithDefaults) {
    struct Case {
        const char* word;
        int32_t value;
    } cases[] = {{"12", 12},         {"+7", 7},
                 {"-1340", -1340},   {"", -9},
                 {"-", -9},          {"1.5", -9},
                 {"12a", -9},        {"2147483647", 2147483647},
                 {"2147483648", -9}, {"99999999999999999999999", -9},
                 {" 1", -9}};
    for (const auto& c : cases)
        EXPECT_EQ(StrToIntDef(c.word, -9), c.value) << c.word;
    EXPECT_EQ(StrToInt64Def("3000000000", 0), 3000000000LL);
}

TEST(ReaderText, SplitWordsFollowsSeparatorsQuotesAndCommas) {
    struct Case {
        std::string text;
        Words words;
    } cases[] = {
        {"<</Size 22/Root 1 0 R>>", {"<</Size", "22/Root", "1", "0", "R>>"}},
        {"/size 22 /root 1 0 r", {"/size", "22", "/root", "1", "0", "r"}},
        {"  \t a\r\nb  ", {"a", "b"}},
        {"a,b", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a , b", {"a", "b"}},
        {"a,", {"a", ""}},
        {"\"two words\" x", {"two words", "x"}},
        {"\"say \"\"hi\"\"\",y", {"say \"hi\"", "y"}},
        {"\"open", {"open"}},
        {"(a)[b]<c>/d", {"(a)[b]<c>/d"}},
        {"a\0b c"s, {"a"}},
        // 0x81 0x20 and 0x82 0x2C are double-byte characters: the blank and comma are their
        // trail bytes, not separators.
        {"x\x81\x20y \x82,z", {"x\x81\x20y", "\x82,z"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitWords(c.text), c.words) << c.text;
}

TEST(ReaderText, IndexOfMatchesWholeWordsWithoutCase) {
    const Words words = {"/Prev", "12", "/prevx", "/PREV"};
    EXPECT_EQ(IndexOf(words, "/prev"), 0);
    EXPECT_EQ(IndexOf(words, "/PREVX"), 2);
    EXPECT_EQ(IndexOf(words, "/pre"), -1);
    EXPECT_EQ(WordAt(words, 4), "");
    EXPECT_EQ(WordAt(words, -1), "");
}

TEST(ReaderText, KeyAndNextWordsAgreeWithSplittingTheWholeLine) {
    // What the line's words give: the key and the three words after it.
    auto reference = [](std::string_view line, std::string_view key) {
        Words words = SplitWords(LowerCase(Trim(line)));
        const int at = IndexOf(words, key);
        if (at < 0)
            return Words();
        words.erase(words.begin(), words.begin() + at);
        words.resize(std::min<size_t>(words.size(), 4));
        return words;
    };
    const std::string lines[] = {
        "/Type /Pages /Kids [4 0 R 5 0 R] /Count 2",
        "  /COUNT 12 0 R  ",
        "/Kids [1 0 R] /Counter 3 /Count 4",
        "x/count 5 /count 6",
        "/count",
        "/count 7",
        "\"/count\" 8 0 R",
        "/a \"b c\" /count 9",
        "/count 9 0 R \"q\" ,",
        "/a,/count 10",
        "/a \x81/count 11",
        "/count\x81 12",
        "/count 13 0 R \x81\x40 tail",
        "\0/count 14"s,
        "/count\t15\x01"
        "0 R",
        "",
        "/Pages 2 0 R",
    };
    for (const std::string& line : lines)
        for (const char* key : {"/count", "/pages"})
            EXPECT_EQ(KeyAndNextWords(line, key), reference(line, key)) << line << " " << key;
}

TEST(ReaderText, UnbracketingInOnePassAgreesWithTheStepsItStandsFor) {
    const std::string texts[] = {
        "<< /Type /Pages /Count 3 >>",
        "<</A<</B 1>>>>\r\n/C 2",
        "><<>",
        "<<<",
        ">>>",
        "<><>",
        "<\n<",
        ">\r>",
        "a<<b>>c<d>e",
        "line\rnext\n\nlast",
        "\r\n\r",
        "ends<",
        "ends>",
        "<<",
        "",
        "nul<<\0after>>"s,
        "/x/y//z",
    };
    for (const std::string& text : texts)
        for (const bool spaced : {false, true}) {
            std::string expected = RemoveAll(RemoveAll(Normalise(text), "<<"), ">>");
            if (spaced)
                expected = ReplaceNoCase(expected, "/", " /");
            EXPECT_EQ(NormaliseUnbracketed(text, spaced), expected) << text << " " << spaced;
        }
}
