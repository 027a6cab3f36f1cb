// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/compatform.h"

#include "jtext/junicode.h"

#include <cstdint>

namespace {

// U+FF61 to U+FF9F in order: the half-width katakana and their punctuation.
const char16_t kHalfWidthKana[] =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン\u3099\u309A";

char32_t DecodeAt(std::string_view text, size_t i, size_t n) {
    const auto b = [&](size_t k) { return char32_t(uint8_t(text[i + k])); };
    switch (n) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

// The lower-case letter of c in the scripts a document's Latin, Greek or Cyrillic text uses;
// c itself for any other.
char32_t FoldCase(char32_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A pairs its letters upper then lower, on even code points up to U+0137
    // and from U+014A, on odd ones between and from U+0179.
    if (c >= 0x100 && c <= 0x17E) {
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        if (c != 0x138 && c != 0x149 && (c % 2 == 1) == oddUpper)
            return c + 1;
    }
    return c;
}

} // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8SequenceAt(text, i);
        if (n == 0)
            return std::nullopt;
        out.push_back(DecodeAt(text, i, n));
        i += n;
    }
    return out;
}

bool IsNonAsciiSpace(char32_t c) {
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool AppendCompatibility(char32_t c, std::u32string& out) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
        out.push_back(c - 0xFF01 + 0x21);
        return true;
    }
    if (c >= 0xFF61 && c <= 0xFF9F) {
        out.push_back(kHalfWidthKana[c - 0xFF61]);
        return true;
    }
    if (c >= 0x2460 && c <= 0x2473) { // circled 1 to 20
        for (char d : std::to_string(unsigned(c - 0x2460 + 1)))
            out.push_back(char32_t(d));
        return true;
    }
    static const struct {
        char32_t from;
        const char32_t* to;
    } table[] = {
        {0x00AA, U"a"},        {0x00B2, U"2"},      {0x00B3, U"3"},        {0x00B5, U"\u03BC"},
        {0x00B9, U"1"},        {0x00BA, U"o"},      {0x00BC, U"1\u20444"}, {0x00BD, U"1\u20442"},
        {0x00BE, U"3\u20444"}, {0x2122, U"TM"},     {0x2026, U"..."},      {0xFB00, U"ff"},
        {0xFB01, U"fi"},       {0xFB02, U"fl"},     {0xFB03, U"ffi"},      {0xFB04, U"ffl"},
        {0xFB05, U"st"},       {0xFB06, U"st"},     {0xFFE0, U"\u00A2"},   {0xFFE1, U"\u00A3"},
        {0xFFE2, U"\u00AC"},   {0xFFE4, U"\u00A6"}, {0xFFE5, U"\u00A5"},   {0xFFE6, U"\u20A9"},
    };
    for (const auto& entry : table)
        if (entry.from == c) {
            for (const char32_t* p = entry.to; *p != 0; ++p)
                out.push_back(*p);
            return true;
        }
    return false;
}

char32_t ComposeMark(char32_t base, char32_t mark) {
    if (mark == 0x3099 || mark == 0x309A) { // voiced and semi-voiced kana marks
        // Hiragana from か and katakana from カ share one layout: か to ち take the voiced
        // mark on every second code point, つ て と on the odd ones after, and は to ほ, every
        // third, take both marks.
        for (const char32_t first : {char32_t(0x304B), char32_t(0x30AB)}) {
            if (base < first)
                continue;
            const char32_t d = base - first;
            if (mark == 0x3099 &&
                ((d <= 0x16 && d % 2 == 0) || d == 0x19 || d == 0x1B || d == 0x1D))
                return base + 1;
            if (d >= 0x24 && d <= 0x30 && (d - 0x24) % 3 == 0)
                return base + (mark == 0x3099 ? 1 : 2);
        }
        if (mark == 0x3099) {
            switch (base) {
            case 0x3046:
                return 0x3094; // う
            case 0x30A6:
                return 0x30F4; // ウ
            case 0x30EF:
            case 0x30F0:
            case 0x30F1:
            case 0x30F2:
                return base + 8; // ワヰヱヲ
            case 0x309D:
            case 0x30FD:
                return base + 1; // ゝ ヽ
            default:
                break;
            }
        }
        return 0;
    }
    static const struct {
        char32_t mark;
        const char* bases; // Latin-1 letters that take the mark
        const char32_t* composed;
    } latin[] = {
        {0x0300, "AEIOUaeiou", U"\u00C0\u00C8\u00CC\u00D2\u00D9\u00E0\u00E8\u00EC\u00F2\u00F9"},
        {0x0301, "AEIOUYaeiouy",
         U"\u00C1\u00C9\u00CD\u00D3\u00DA\u00DD\u00E1\u00E9\u00ED\u00F3\u00FA\u00FD"},
        {0x0302, "AEIOUaeiou", U"\u00C2\u00CA\u00CE\u00D4\u00DB\u00E2\u00EA\u00EE\u00F4\u00FB"},
        {0x0303, "ANOano", U"\u00C3\u00D1\u00D5\u00E3\u00F1\u00F5"},
        {0x0308, "AEIOUaeiouy",
         U"\u00C4\u00CB\u00CF\u00D6\u00DC\u00E4\u00EB\u00EF\u00F6\u00FC\u00FF"},
        {0x030A, "Aa", U"\u00C5\u00E5"},
        {0x0327, "Cc", U"\u00C7\u00E7"},
    };
    for (const auto& row : latin) {
        if (row.mark != mark || base > 0x7F)
            continue;
        const char* at = std::char_traits<char>::find(
            row.bases, std::char_traits<char>::length(row.bases), char(base));
        if (at != nullptr)
            return row.composed[at - row.bases];
    }
    return 0;
}

std::string FoldForMatching(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFoldedForMatching(out, text);
    return out;
}

void AppendFoldedForMatching(std::string& out, std::string_view text) {
    std::u32string mapped;
    char32_t last = 0; // the last character written, which a mark may compose with
    size_t lastAt = 0; // where it begins in out
    for (size_t i = 0; i < text.size();) {
        const auto b = uint8_t(text[i]);
        if (b < 0x80) { // most of a name or title: no table to ask
            last = b >= 'A' && b <= 'Z' ? b + 0x20 : b;
            lastAt = out.size();
            out += char(last);
            ++i;
            continue;
        }
        const size_t n = Utf8SequenceAt(text, i);
        if (n == 0) {
            out += char(b);
            last = 0;
            ++i;
            continue;
        }
        const char32_t c = DecodeAt(text, i, n);
        i += n;
        mapped.clear();
        if (IsNonAsciiSpace(c))
            mapped.push_back(U' ');
        else if (!AppendCompatibility(c, mapped))
            mapped.push_back(c);
        for (char32_t m : mapped) {
            m = FoldCase(m);
            const bool mark = m == 0x3099 || m == 0x309A || (m >= 0x300 && m <= 0x36F);
            if (const char32_t composed = mark && last ? ComposeMark(last, m) : 0) {
                out.resize(lastAt);
                m = composed;
            }
            lastAt = out.size();
            AppendUtf8(out, m);
            last = m;
        }
    }
}
