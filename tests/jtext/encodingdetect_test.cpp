// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/encodingdetect.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string Ascii(std::size_t n) {
    return std::string(n, 'a');
}

// ASCII text with one byte put at a 0-based index.
std::string AsciiWith(std::size_t n, std::size_t index, char byte, std::string prefix = {}) {
    std::string s = prefix + Ascii(n);
    s[index] = byte;
    return s;
}

constexpr int kSame = -1; // DetectJapaneseEncoding gives what DetectEncoding gives

struct DetectCase {
    const char* name;
    std::string bytes;
    int encoding;         // DetectEncoding
    int japanese = kSame; // DetectJapaneseEncoding
};

const std::string kSjisA = "\x82\xA0"; // あ in Shift-JIS

TEST(DetectEncoding, ClassifiesByteStrings) {
    // clang-format off
    const DetectCase cases[] = {
        {"empty", "", 1, 0},
        {"one control byte", "\x07", 0},
        {"UTF-16LE mark", Bytes({0xFF, 0xFE, 0x41, 0x00}), 7, 1},
        {"UTF-16LE mark alone", "\xFF\xFE", 7, 1},
        {"UTF-16BE mark", Bytes({0xFE, 0xFF, 0x00, 0x41}), 8, 1},
        {"UTF-8 mark", "\xEF\xBB\xBF\x41", 9, 5},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", 6},
        {"ASCII", "Hello, world.\r\n", 0},
        {"long ASCII", Ascii(3000), 0},
        {"tab is text", "a\tb\tc", 0},
        {"0x07 in the middle", "ab\x07" "cd", 1},
        {"0xFF in the middle", "ab\xFF" "cd", 1},
        {"last byte never looked at", "ab\x07", 0},
        {"0x07 at byte 512", AsciiWith(1000, 511, '\x07'), 1},
        {"0x07 after byte 512, ASCII", AsciiWith(1000, 512, '\x07'), 1},
        {"0x07 at byte 512 after Shift-JIS", AsciiWith(998, 511, '\x07', kSjisA), 1},
        {"0x07 after byte 512 after Shift-JIS", AsciiWith(998, 512, '\x07', kSjisA), 5},
        {"ESC $ B", "ab\x1B$Bxyz", 2},
        {"ESC $ @", "ab\x1B$@xyz", 3},
        {"ESC $ B at the very end", "\x1B$B", 2},
        {"ESC $ at the very end", "ab\x1B$", 0},
        {"ESC ( B alone", "\x1B(B", 0},
        {"ESC skips the byte after it", "\x1B\x82\xA0", 0},
        {"Shift-JIS hiragana", kSjisA, 5},
        {"Shift-JIS after ASCII", "xyz" + kSjisA + "xyz", 5},
        {"EUC-JP hiragana alone", "\xA4\xA2", 6},
        {"EUC-JP then F0 A1", "\xA4\xA2\xA4\xA2" "z\xF0\xA1", 4},
        {"EUC-JP then 0x8E pair", "\xA4\xA2\x8E\xA1", 6},
        {"0x8E then Shift-JIS trail", "\x8E\x40z", 5},
        {"0x8E then ASCII", "\x8E z", 0},
        {"look-ahead finds Shift-JIS", "\xB1\xE0\x81", 5},
        {"look-ahead finds EUC-JP", "\xB1\xE0\xFD", 4},
        {"look-ahead stops at ASCII", "\xB1\xE0 \x81", 6},
        {"byte after the look-ahead", "\xB1\xE0 \x81@", 5},
        {"look-ahead skips its stopping ESC", "\xB1\xE0\x1B$Bz", 6},
        {"half-width then ASCII trail", "\xB1\x41z", 5},
        {"0xA1 then 0xA0", "\xA1\xA0z", 0},
        {"0xF0 lead", "\xF0\xA1z", 4},
        {"E0 then Shift-JIS trail", "\xE0\x40z", 5},
        {"E0 then FD", "\xE0\xFDz", 4},
        {"E0 then high byte", "\xE0\xA1", 6},
        {"E0 then ASCII", "\xE0 z", 0},
        {"0x80 and 0xA0", "\x80z\xA0z", 0},
        {"UTF-8 hiragana and three more", "\xE3\x81\x82" "xyz", 10, 5},
        {"UTF-8 hiragana in five bytes", "\xE3\x81\x82" "xy", 5},
        {"UTF-8 at position 2 of six bytes", "z\xE3\x81\x82" "xy", 5},
        {"UTF-8 at position 2 of seven bytes", "z\xE3\x81\x82" "xyz", 10, 5},
        {"UTF-8 E0 form", "\xE0\xA0\x80" "xyz", 10, 5},
        {"UTF-8 E0 overlong", "\xE0\x80\x80" "xyz", 5},
        {"accented Latin before Japanese", "\xC3\xA9\xE3\x81\x82" "xyz", 5},
        {"invalid byte cancels evidence", "\xE3\x81\x82\xC3\xA9" "xyz123", 5},
        {"invalid byte too near the end", "\xE3\x81\x82\xC3\xA9" "xyz", 10, 5},
        {"bad continuation", "\xE3\x81\x82\x81" "xyz123", 5},
        {"four-byte UTF-8", "\xF0\x9F\x98\x80" "xyz", 4},
        {"UTF-8 at byte 512", Ascii(511) + "\xE3\x81\x82" "xyz", 10, 5},
        {"UTF-8 after byte 512", Ascii(512) + "\xE3\x81\x82" "xyz", 5},
        {"invalid byte after byte 512", "\xE3\x81\x82" + Ascii(520) + "\xC3\xA9" "wxyz", 10, 5},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DetectEncoding(c.bytes), c.encoding);
        EXPECT_EQ(DetectJapaneseEncoding(c.bytes), c.japanese == kSame ? c.encoding : c.japanese);
    }
}

} // namespace
