// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/filename.h"

#include "jtext/cp932.h"
#include "jtext/cp932_tables.h"

bool IsCp932(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (!IsCp932Lead(c)) {
            // 0x80, 0xA0 and 0xFD-0xFF are no characters of Shift-JIS: the converter only
            // keeps them as a control character and private-use placeholders, which would show
            // a damaged name as a plausible one.
            if (kCp932SingleByte[c] == kCp932Undefined || c == 0x80 || c == 0xA0 || c >= 0xFD)
                return false;
            continue;
        }
        if (i + 1 >= bytes.size())
            return false;
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        if (!IsCp932Trail(trail) ||
            kCp932DoubleByte[size_t(c <= 0x9F ? c - 0x81 : c - 0xE0 + 31) * kCp932TrailCount +
                             (trail - 0x40u)] == kCp932Undefined)
            return false;
    }
    return true;
}

bool IsCp932Name(std::string_view bytes) {
    return !IsValidUtf8(bytes) && IsCp932(bytes);
}

std::string FileNameForDisplay(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    if (IsCp932(bytes))
        return Cp932ToUtf8(bytes);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        if (const size_t n = Utf8SequenceAt(bytes, i)) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            const auto c = static_cast<unsigned char>(bytes[i++]);
            out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
        }
    }
    return out;
}
