// SPDX-License-Identifier: GPL-3.0-or-later
#include "jtext/filename.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameForDisplay, Utf8ThenCodePage932ThenEscapedBytes) {
    struct Case {
        const char* what;
        std::string bytes, shown;
        bool cp932Name;
    } cases[] = {
        {"ASCII", "report.pdf", "report.pdf", false},
        {"UTF-8", "報告.pdf", "報告.pdf", false},
        {"Shift-JIS", "\x95\xf1\x8d\x90.pdf", "報告.pdf", true},
        {"half-width kana", "\xb1\xb2.pdf", "ｱｲ.pdf", true},
        {"Shift-JIS with a 5C trail byte", "\x95\x5c.pdf", "表.pdf", true},
        {"EUC-JP", "\xc6\xfc\xcb\xdc.pdf", "\\xc6\\xfc\\xcb\\xdc.pdf", false},
        {"Latin-1", "caf\xe9.pdf", "caf\\xe9.pdf", false},
        {"UTF-8 with one stray byte", "資料\xff.pdf", "資料\\xff.pdf", false},
        {"a lead byte without its trail", "\x81 .pdf", "\\x81 .pdf", false},
        {"cut Shift-JIS", "\x95", "\\x95", false},
        {"placeholder bytes", "bad\xff\xfe.pdf", "bad\\xff\\xfe.pdf", false},
        {"Shift-JIS with a placeholder byte", "\x95\xf1\xa0\x80", "\\x95\\xf1\\xa0\\x80", false},
        {"empty", "", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameForDisplay(c.bytes), c.shown) << c.what;
        EXPECT_EQ(IsCp932Name(c.bytes), c.cp932Name) << c.what;
    }
}

} // namespace
