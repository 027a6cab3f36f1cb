// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/encodingdetect.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace {

// The binary pre-scan and the UTF-8 scan look at this many bytes at most.
constexpr std::ptrdiff_t kScanLimit = 512;

bool IsBinaryByte(unsigned char c) {
    return c < 0x08 || c == 0xFF;
}

bool InRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

// Shift-JIS lead bytes that EUC-JP never uses in the first position of a pair.
bool IsShiftJisOnlyLead(unsigned char c) {
    return InRange(c, 0x81, 0x8D) || InRange(c, 0x8F, 0x9F);
}

// Reads past the end as 0x00, so a sequence cut short at the end simply fails to match.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    unsigned char operator[](std::size_t i) const {
        return i < bytes_.size() ? static_cast<unsigned char>(bytes_[i]) : 0;
    }
    std::size_t size() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

// A pair 0xA1-0xDF, 0xE0-0xEF is valid in both EUC-JP and Shift-JIS: looks forward from its
// second byte, through bytes that can belong to multibyte text, for one that only one of the two
// allows. Leaves i on the byte that stopped the look.
int LookAhead(const ByteReader& s, std::size_t& i) {
    int r = 6;
    while (i < s.size() && s[i] >= 0x40 && r == 6) {
        unsigned char b = s[i];
        if (InRange(b, 0x81, 0x8D) || InRange(b, 0x8F, 0x9C))
            r = 5;
        else if (b == 0xFD || b == 0xFE)
            r = 4;
        ++i;
    }
    return r;
}

// One step of the main scan at s[i]; moves i to the last byte it read.
int ClassifyAt(const ByteReader& s, std::size_t& i, int r) {
    unsigned char c = s[i];
    if (c == 0x1B) {
        if (s[++i] != 0x24)
            return r;
        unsigned char d = s[++i];
        if (d == 0x42)
            return 2;
        if (d == 0x40)
            return 3;
        return r;
    }
    if (IsBinaryByte(c))
        return 1;
    if (c <= 0x7F)
        return r;
    if (IsShiftJisOnlyLead(c))
        return 5;
    if (c == 0x8E) {
        unsigned char d = s[++i];
        if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0) || InRange(d, 0xE0, 0xFC))
            return 5;
        if (InRange(d, 0xA1, 0xDF))
            return 6;
        return r;
    }
    if (InRange(c, 0xA1, 0xDF)) {
        unsigned char d = s[++i];
        if (InRange(d, 0xF0, 0xFE))
            return 4;
        if (InRange(d, 0xA1, 0xDF))
            return 6;
        if (InRange(d, 0xE0, 0xEF))
            return LookAhead(s, i);
        if (d <= 0x9F)
            return 5;
        return r;
    }
    if (InRange(c, 0xF0, 0xFE))
        return 4;
    if (InRange(c, 0xE0, 0xEF)) {
        unsigned char d = s[++i];
        if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0))
            return 5;
        if (d == 0xFD || d == 0xFE)
            return 4;
        if (InRange(d, 0xA1, 0xFC))
            return 6;
        return r;
    }
    return r; // 0x80, 0xA0
}

} // namespace

int DetectJapaneseEncoding(std::string_view bytes) {
    const ByteReader s(bytes);
    const std::size_t length = s.size();
    if (length < 2)
        return 0;

    // The last byte is left out here as in the main scan, which never looks at it either.
    const std::size_t limit = std::min<std::size_t>(std::size_t(kScanLimit), length - 1);
    for (std::size_t i = 0; i < limit; ++i)
        if (IsBinaryByte(s[i]))
            return 1;

    int r = 0;
    for (std::size_t i = 0; (r == 0 || r == 6) && i + 1 < length; ++i)
        r = ClassifyAt(s, i, r);
    return r;
}

namespace {

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
    const std::ptrdiff_t limit = kScanLimit;
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
