// SPDX-License-Identifier: GPL-3.0-or-later
// Text as the list's search compares it.

#include "jtext/compatform.h"

#include <gtest/gtest.h>

namespace {

TEST(FoldForMatching, WidthsCasesAndMarksFoldAlike) {
    const struct {
        const char* text;
        const char* folded;
    } cases[] = {
        {"ABC abc", "abc abc"},
        {"ＡＢＣ１２３", "abc123"},              // full-width ASCII
        {"ｱｲｳ", "アイウ"},                       // half-width katakana
        {"ｶﾞｷﾞｸﾞ ﾊﾟ", "ガギグ パ"},              // with their voiced marks composed
        {"か\u3099", "が"},                      // a decomposed voiced mark
        {"報告書\u3000２０２４", "報告書 2024"}, // the ideographic space
        {"ÉCOLE Ärger", "école ärger"},
        {"E\u0301", "é"},
        {"ΑΒΓ Привет Ёж", "αβγ привет ёж"},
        {"ŁÓDŹ", "łódź"},
        {"①②", "12"},
        {"ﬁle", "file"},
        {"a\xFF"
         "B",
         "a\xFF"
         "b"}, // a byte that is not UTF-8 stays
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldForMatching(c.text), c.folded) << c.text;
}

} // namespace
