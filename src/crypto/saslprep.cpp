// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/saslprep.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// Why not full NFKC: the core links no Unicode library, and the complete decomposition and
// composition tables run to thousands of entries, nearly all for characters a password typed
// on a keyboard never holds. What is here covers what input methods produce: full-width and
// half-width forms (a Japanese keyboard's default), decomposed accents and voiced kana marks
// (macOS hands out decomposed text), ligatures and circled numbers. The prohibited-character
// and bidirectional checks are left out: they could only refuse a password, and the programs
// that write these files rarely prepare passwords at all, so refusing would lock out a
// correct one.

namespace {

using CodePoints = std::vector<char32_t>;

std::optional<CodePoints> DecodeUtf8(std::string_view text) {
    CodePoints out;
    for (size_t i = 0; i < text.size();) {
        const uint8_t b = uint8_t(text[i]);
        const int extra = b < 0x80         ? 0
                          : (b >> 5) == 6  ? 1
                          : (b >> 4) == 14 ? 2
                          : (b >> 3) == 30 ? 3
                                           : -1;
        if (extra < 0 || i + size_t(extra) >= text.size())
            return std::nullopt;
        char32_t c = extra == 0 ? b : char32_t(b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            const uint8_t t = uint8_t(text[i + size_t(k)]);
            if ((t & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (t & 0x3F);
        }
        static const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += size_t(extra) + 1;
    }
    return out;
}

void EncodeUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool IsNonAsciiSpace(char32_t c) {
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool MapsToNothing(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x1806 || (c >= 0x180B && c <= 0x180D) ||
           (c >= 0x200B && c <= 0x200D) || c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFEFF;
}

// U+FF61 to U+FF9F in order: the half-width katakana and their punctuation.
const char16_t kHalfWidthKana[] =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン\u3099\u309A";

// The compatibility decomposition of c, appended to out; false when c has none here.
bool AppendCompatibility(char32_t c, CodePoints& out) {
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

// The precomposed character for base followed by the combining mark, or 0.
char32_t Compose(char32_t base, char32_t mark) {
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

} // namespace

std::string PrepareAesPassword(std::string_view password) {
    const bool ascii =
        std::all_of(password.begin(), password.end(), [](char c) { return uint8_t(c) < 0x80; });
    std::optional<CodePoints> decoded;
    if (!ascii)
        decoded = DecodeUtf8(password);
    if (!decoded)
        return std::string(password.substr(0, 127));
    CodePoints mapped;
    for (const char32_t c : *decoded) {
        if (MapsToNothing(c))
            continue;
        if (IsNonAsciiSpace(c))
            mapped.push_back(0x20);
        else if (!AppendCompatibility(c, mapped))
            mapped.push_back(c);
    }
    std::string out;
    for (size_t i = 0; i < mapped.size(); ++i) {
        char32_t c = mapped[i];
        while (i + 1 < mapped.size())
            if (const char32_t composed = Compose(c, mapped[i + 1]); composed != 0) {
                c = composed;
                ++i;
            } else {
                break;
            }
        EncodeUtf8(c, out);
    }
    if (out.size() > 127)
        out.resize(127);
    return out;
}
