// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/cp932.h"

#include "jtext/cp932_tables.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::size_t LeadIndex(unsigned char lead) {
    return lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + (0x9Fu - 0x81u + 1);
}

char16_t DecodePair(unsigned char lead, unsigned char trail) {
    if (!IsCp932Trail(trail))
        return kCp932Undefined;
    return kCp932DoubleByte[LeadIndex(lead) * kCp932TrailCount + (trail - 0x40u)];
}

// Strict UTF-8: overlong forms, encoded surrogates and values past U+10FFFF are malformed.
// Returns the number of bytes taken, 0 when the sequence at i is malformed.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = at(i);
    std::size_t length;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp))
        return 0;
    return length;
}

// A place at or before the end of the run of ASCII bytes from i, found eight bytes at a time;
// the caller goes on from there byte by byte.
std::size_t AsciiRunEnd(std::string_view text, std::size_t i) {
    for (uint64_t word; i + 8 <= text.size(); i += 8) {
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    return i;
}

} // namespace

void AppendUnitAsCp932(std::string& out, char16_t unit) {
    if (unit == 0)
        return;
    if (unit < 0x80) {
        out += static_cast<char>(unit);
        return;
    }
    const uint16_t code = kUnicodeToCp932Codes[unit];
    if (code == 0)
        out += '?';
    else if (code < 0x100)
        out += static_cast<char>(code);
    else
        out.append({static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
}

// A lead byte whose pair is not defined becomes U+FFFD on its own and the next byte is read
// afresh, so a damaged pair never swallows the ASCII byte after it. Single bytes decode as the
// code page has them: 0x80 to U+0080, 0xA0 and 0xFD-0xFF to the private-use U+F8F0-U+F8F3.
std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // ASCII is the same in both, and most text is ASCII: runs of it are copied at once.
        std::size_t run = AsciiRunEnd(bytes, i);
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80)
            ++run;
        if (run > i) {
            out.append(bytes.substr(i, run - i));
            i = run - 1;
            continue;
        }
        auto c = static_cast<unsigned char>(bytes[i]);
        char16_t unit = kCp932SingleByte[c];
        if (IsCp932Lead(c)) {
            unit = kCp932Undefined;
            if (i + 1 < bytes.size()) {
                char16_t pair = DecodePair(c, static_cast<unsigned char>(bytes[i + 1]));
                if (pair != kCp932Undefined) {
                    unit = pair;
                    ++i;
                }
            }
        }
        AppendUtf8(out, unit);
    }
    return out;
}

// Unlike UnitToCp932, a zero byte is kept: these are counted strings.
void AppendUtf8AsCp932(std::string& out, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        // ASCII, the zero byte included, stays as it is; it is looked for eight bytes at once.
        std::size_t run = AsciiRunEnd(utf8, i);
        while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80)
            ++run;
        if (run > i) {
            out.append(utf8.substr(i, run - i));
            i = run;
            continue;
        }
        char32_t cp = 0;
        std::size_t taken = DecodeUtf8(utf8, i, cp);
        if (taken == 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        i += taken;
        if (cp == 0)
            out.push_back('\0');
        else if (cp > 0xFFFF)
            out.push_back('?');
        else
            AppendUnitAsCp932(out, static_cast<char16_t>(cp));
    }
}

std::string Utf8ToCp932(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    AppendUtf8AsCp932(out, utf8);
    return out;
}
