// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's text conventions and string-value primitives on arbitrary bytes: the word and
// line splits, the line list, the pattern edits, number conversion, literal and hexadecimal
// string content. Besides running them, it checks the properties the reader relies on; a
// broken property aborts, so the fuzzer reports it like a crash.

#include "common/errors.h"
#include "pdf/pdffile.h"
#include "pdf/pdftext.h"
#include "pdf/pdfvalue.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

bool HasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckLines(std::string_view text) {
    const std::vector<std::string> lines = SplitLines(text);
    for (const auto& line : lines)
        Require(!HasLineBreakOrZero(line), "a line holds a line break or a zero byte");
    const std::string normal = Normalise(text);
    Require(normal == JoinLines(lines), "Normalise is not split and join");
    Require(Normalise(normal) == normal, "Normalise is not idempotent");
    Require(SplitLines(JoinLines(lines)) == lines, "split after join changes the lines");

    const LineList list{std::string(text)};
    Require(list.Count() == int64_t(lines.size()), "LineList and SplitLines disagree on count");
    for (int64_t i = 0; i < list.Count(); ++i)
        Require(list[i] == lines[size_t(i)], "LineList and SplitLines disagree on a line");
    LineList merged{std::string(text)};
    for (int64_t i = 0; i < list.Count(); ++i)
        merged.AppendLine(list[i]);
    Require(merged.Count() == std::min(2 * list.Count(), LineList::kMaxLines),
            "AppendLine adds the wrong number of lines");
    for (int64_t probe : {int64_t(-1), list.Count(), INT64_MIN, INT64_MAX}) {
        try {
            (void)list[probe];
            Require(false, "an index outside the line list was accepted");
        } catch (const EListError&) {
        }
    }
}

void CheckWords(std::string_view text) {
    const Words words = SplitWords(text);
    for (const auto& w : words)
        Require(w.find('\0') == std::string::npos, "a word holds a zero byte");
    for (size_t i = 0; i < words.size() && i < 8; ++i) {
        const int at = IndexOf(words, words[i]);
        Require(at >= 0 && size_t(at) <= i, "IndexOf misses a word of the list");
    }
    Require(WordAt(words, -1).empty() && WordAt(words, int64_t(words.size())).empty(),
            "WordAt outside the list is not empty");
    for (const auto& w : words) {
        const int64_t v = StrToInt64Def(w, 7);
        const int32_t v32 = StrToIntDef(w, 7);
        Require(v32 == 7 || v32 == v, "the 32- and 64-bit conversions disagree");
    }
}

void CheckEdits(std::string_view text) {
    const std::string lower = LowerCase(text);
    Require(lower.size() == text.size(), "LowerCase changes the length");
    const std::string trimmed = Trim(text);
    Require(trimmed.empty() || (uint8_t(trimmed.front()) > 0x20 && uint8_t(trimmed.back()) > 0x20),
            "Trim leaves a blank at an end");
    const std::string removed = RemoveAll(text, "<<");
    Require(!Contains(RemoveAll(removed, "<<"), "<<") || Contains(removed, "<<"),
            "RemoveAll is unstable");
    const std::string spaced = ReplaceNoCase(text, "/", " /");
    Require(spaced.size() >= text.size(), "ReplaceNoCase lost bytes");
    (void)ReplaceNoCase(text, "/XRefStm", "/YRefStm");
}

void CheckValues(std::string_view text) {
    const std::string unescaped = UnescapeLiteral(text);
    Require(unescaped.size() <= text.size(), "UnescapeLiteral grew the text");
    try {
        const std::string bytes = HexToBytes(text);
        Require(bytes.size() <= text.size() / 2, "HexToBytes made too many bytes");
    } catch (const EConvertError&) {
    }
    const std::string stripped = StripHexWhiteSpace(text);
    Require(stripped.size() <= text.size(), "StripHexWhiteSpace grew the text");
    for (size_t from : {size_t(0), size_t(1), text.size() / 2, text.size()}) {
        if (from > text.size())
            continue;
        const size_t end = FindLiteralEnd(text, from);
        Require(end >= from && end <= text.size(), "FindLiteralEnd outside the text");
        Require(end == text.size() || text[end] == ')', "FindLiteralEnd not at a ')'");
    }
    const std::string lowered = LowerCase(text);
    for (std::string_view key : {"/title", "/o", "/id", "/"}) {
        const size_t at = FindKeyOutsideStrings(lowered, key);
        Require(at == std::string::npos || lowered.compare(at, key.size(), key) == 0,
                "FindKeyOutsideStrings points at something else");
        const size_t name = FindNameOutsideStrings(lowered, key);
        Require(name == std::string::npos || lowered.compare(name, key.size(), key) == 0,
                "FindNameOutsideStrings points at something else");
        Require(FindNameOutsideStrings(text, key) == name,
                "FindNameOutsideStrings depends on the case of the text");
        // The first whole name in the masked text, found the plain way.
        const std::string masked = MaskStrings(lowered);
        size_t expected = masked.find(key);
        while (expected != std::string::npos && expected + key.size() < masked.size() &&
               uint8_t(masked[expected + key.size()]) > 0x20 &&
               std::string_view("()<>[]{}/%").find(masked[expected + key.size()]) ==
                   std::string_view::npos)
            expected = masked.find(key, expected + 1);
        Require(name == expected,
                "FindNameOutsideStrings differs from a search of the masked text");
        const auto names = NamesOutsideStrings(text);
        Require((name != std::string::npos) ==
                    std::any_of(names.begin(), names.end(),
                                [&](std::string_view n) { return LowerCase(n) == key; }),
                "NamesOutsideStrings disagrees with FindNameOutsideStrings");
    }
    Require(MaskStrings(text).size() == text.size(), "MaskStrings changes the length");
    for (const bool spaced : {false, true}) {
        std::string expected = RemoveAll(RemoveAll(Normalise(text), "<<"), ">>");
        if (spaced)
            expected = ReplaceNoCase(expected, "/", " /");
        Require(NormaliseUnbracketed(text, spaced) == expected,
                "NormaliseUnbracketed differs from its steps");
    }
    for (std::string_view key : {"/count", "/pages", "/prev"}) {
        Words words = SplitWords(LowerCase(Trim(text)));
        const int at = IndexOf(words, key);
        if (at >= 0) {
            words.erase(words.begin(), words.begin() + at);
            words.resize(std::min<size_t>(words.size(), 4));
        } else {
            words.clear();
        }
        Require(KeyAndNextWords(text, key) == words, "KeyAndNextWords differs from SplitWords");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckLines(text);
    CheckWords(text);
    CheckEdits(text);
    CheckValues(text);
    return 0;
}
