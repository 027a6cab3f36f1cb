#include "jtext/filename.h"

#include "jtext/cp932.h"
#include "jtext/cp932_tables.h"

size_t Utf8SequenceAt(std::string_view s, size_t i) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = at(i);
    if (c < 0x80)
        return 1;
    size_t length;
    char32_t cp, min;
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
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool IsCp932(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (!IsCp932Lead(c)) {
            if (kCp932SingleByte[c] == kCp932Undefined)
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
    return !IsUtf8(bytes) && IsCp932(bytes);
}

std::string FileNameForDisplay(std::string_view bytes) {
    if (IsUtf8(bytes))
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
