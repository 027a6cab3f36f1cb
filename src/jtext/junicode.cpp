// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/junicode.h"

#include <cstddef>
#include <cstdint>

namespace {

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
bool InRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

size_t Utf8SequenceAt(std::string_view s, size_t i) {
    const auto c = uint8_t(s[i]);
    size_t length;
    char32_t cp, min;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2, min = 0x80, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3, min = 0x800, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4, min = 0x10000, cp = c & 0x07;
    else
        return 0;
    if (s.size() - i < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((uint8_t(s[i + k]) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp))
        return 0;
    return length;
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t length = Utf8SequenceAt(s, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string RepairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size();) {
        if (const size_t length = Utf8SequenceAt(s, i)) {
            out.append(s.substr(i, length));
            i += length;
        } else {
            AppendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
}

std::string JisPairToShiftJis(unsigned char row, unsigned char cell) {
    const unsigned lead = ((row + 1u) >> 1) + (row <= 0x5E ? 0x70u : 0xB0u);
    const unsigned trail = (row & 1) ? cell + (cell < 0x60 ? 0x1Fu : 0x20u) : cell + 0x7Eu;
    return {char(lead), char(trail)};
}

std::string EucJpToShiftJis(std::string_view s, int* badBytes) {
    std::string out;
    out.reserve(s.size());
    int bad = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = uint8_t(s[i]);
        const auto next = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) : 0; };
        if (c < 0x80) {
            out += char(c);
        } else if (InRange(c, 0xA1, 0xFE) && InRange(next(1), 0xA1, 0xFE)) {
            out += JisPairToShiftJis(c - 0x80, next(1) - 0x80);
            ++i;
        } else if (c == 0x8E && InRange(next(1), 0xA1, 0xDF)) {
            out += char(next(1));
            ++i;
        } else if (c == 0x8F && InRange(next(1), 0xA1, 0xFE) && InRange(next(2), 0xA1, 0xFE)) {
            out += '?';
            ++bad;
            i += 2;
        } else {
            out += '?';
            ++bad;
        }
    }
    if (badBytes)
        *badBytes = bad;
    return out;
}

std::string Iso2022JpToShiftJis(std::string_view s) {
    enum class Set { Ascii, Kanji, Supplement, Kana } set = Set::Ascii;
    bool shiftedOut = false; // SO: half-width katakana until SI
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = uint8_t(s[i]);
        if (c == 0x1B) {
            std::string_view seq = s.substr(i + 1, 2);
            if (seq == "$(")
                seq = s.substr(i + 1, 3);
            if (seq == "$B" || seq == "$@" || seq == "$(B")
                set = Set::Kanji;
            else if (seq == "$(D")
                set = Set::Supplement;
            else if (seq == "(B" || seq == "(J")
                set = Set::Ascii;
            else if (seq == "(I")
                set = Set::Kana;
            i += seq.size();
            continue;
        }
        if (c == 0x0E || c == 0x0F) {
            shiftedOut = c == 0x0E;
            continue;
        }
        if ((set == Set::Kana || shiftedOut) && InRange(c, 0x21, 0x5F)) {
            out += char(c + 0x80);
        } else if ((set == Set::Kanji || set == Set::Supplement) && InRange(c, 0x21, 0x7E) &&
                   i + 1 < s.size() && InRange(uint8_t(s[i + 1]), 0x21, 0x7E)) {
            out += set == Set::Kanji ? JisPairToShiftJis(c, uint8_t(s[i + 1])) : "?";
            ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}
