// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/jconvert.h"

#include "jtext/cp932.h"
#include "jtext/jconvex.h"

#include <cstddef>
#include <utility>

namespace {

bool InRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

unsigned char ByteAt(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Only three-byte sequences count as evidence, and any byte that does not fit cancels it all:
// two- and four-byte sequences look too much like EUC-JP and Shift-JIS pairs to be trusted.
bool LooksLikeUtf8(std::string_view s) {
    const std::ptrdiff_t end = static_cast<std::ptrdiff_t>(s.size()) - 5;
    const std::ptrdiff_t limit = JapaneseScanLimit;
    bool seen = false;
    std::ptrdiff_t i = 0;
    // Positions stay at least four bytes before the end, so i + 2 is always inside.
    while (i < limit && i < end) {
        unsigned char c = ByteAt(s, i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c < 0xE0 || c >= 0xF0)
            return false;
        unsigned char second = ByteAt(s, i + 1);
        unsigned char third = ByteAt(s, i + 2);
        bool secondOk = c == 0xE0 ? InRange(second, 0xA0, 0xBF) : InRange(second, 0x80, 0xBF);
        if (!secondOk || !InRange(third, 0x80, 0xBF))
            return false;
        seen = true;
        i += 3;
    }
    return seen;
}

} // namespace

int DetectEncoding(std::string_view bytes) {
    if (bytes.empty())
        return 1;
    if (StartsWith(bytes, "\xFF\xFE"))
        return 7;
    if (StartsWith(bytes, "\xFE\xFF"))
        return 8;
    if (bytes.size() >= 4 && StartsWith(bytes, "\xEF\xBB\xBF"))
        return 9;
    if (LooksLikeUtf8(bytes))
        return 10;
    return DetectJapaneseEncoding(bytes);
}

std::string Utf16LeToAnsi(std::string_view data) {
    std::u16string units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        auto unit = static_cast<char16_t>(ByteAt(data, i) | (ByteAt(data, i + 1) << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return Utf16ToCp932(units);
}

std::string Utf16BeToAnsi(std::string& data) {
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        if (data[i] == '\0' && data[i + 1] == '\0')
            break;
        std::swap(data[i], data[i + 1]);
    }
    return Utf16LeToAnsi(data);
}
