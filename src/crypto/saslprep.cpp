// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/saslprep.h"

#include "jtext/compatform.h"
#include "jtext/junicode.h"

#include <algorithm>
#include <cstdint>
#include <optional>

// The compatibility forms are those of jtext/compatform.h. The prohibited-character and
// bidirectional checks are left out: they could only refuse a password, and the programs that
// write these files rarely prepare passwords at all, so refusing would lock out a correct one.

namespace {

bool MapsToNothing(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x1806 || (c >= 0x180B && c <= 0x180D) ||
           (c >= 0x200B && c <= 0x200D) || c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFEFF;
}

} // namespace

std::string PrepareAesPassword(std::string_view password) {
    const bool ascii =
        std::all_of(password.begin(), password.end(), [](char c) { return uint8_t(c) < 0x80; });
    std::optional<std::u32string> decoded;
    if (!ascii)
        decoded = DecodeUtf8(password);
    if (!decoded)
        return std::string(password.substr(0, 127));
    std::u32string mapped;
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
            if (const char32_t composed = ComposeMark(c, mapped[i + 1]); composed != 0) {
                c = composed;
                ++i;
            } else {
                break;
            }
        AppendUtf8(out, c);
    }
    if (out.size() > 127)
        out.resize(127);
    return out;
}
