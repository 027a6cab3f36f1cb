// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/jconvex.h"

#include <algorithm>
#include <cstddef>

int JapaneseScanLimit = 512;

namespace {

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
    const std::size_t limit = std::min<std::size_t>(std::max(JapaneseScanLimit, 0), length - 1);
    for (std::size_t i = 0; i < limit; ++i)
        if (IsBinaryByte(s[i]))
            return 1;

    int r = 0;
    for (std::size_t i = 0; (r == 0 || r == 6) && i + 1 < length; ++i)
        r = ClassifyAt(s, i, r);
    return r;
}
