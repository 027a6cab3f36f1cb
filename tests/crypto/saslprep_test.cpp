// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/saslprep.h"

#include <gtest/gtest.h>

TEST(PrepareAesPassword, MapsSpacesDropsInvisiblesAndNormalisesCompatibilityForms) {
    const struct {
        std::string typed, prepared;
    } cases[] = {
        {"plain ascii", "plain ascii"},
        {"p\xC3\xA4sswort", "p\xC3\xA4sswort"},  // precomposed stays
        {"pa\xCC\x88sswort", "p\xC3\xA4sswort"}, // a + U+0308 composes
        {"caf\x65\xCC\x81", "caf\xC3\xA9"},      // e + U+0301
        {"a\xC2\xA0"
         "b\xE3\x80\x80"
         "c",
         "a b c"},                                                  // NBSP, ideographic space
        {"in\xC2\xADvis\xE2\x80\x8Bible\xEF\xBB\xBF", "invisible"}, // soft hyphen, ZWSP, BOM
        {"\xEF\xBC\xB0\xEF\xBD\x81\xEF\xBC\x93", "Pa3"},            // full-width ASCII
        {"\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A\xEF\xBE\x9F",
         "\xE3\x82\xAC\xE3\x83\x91"}, // ｶﾞﾊﾟ → ガパ
        {"\xE3\x81\x8B\xE3\x82\x99\xE3\x81\xA8\xE3\x82\x99",
         "\xE3\x81\x8C\xE3\x81\xA9"},                             // か゛と゛ → がど
        {"\xE3\x81\xAF\xE3\x82\x9A", "\xE3\x81\xB1"},             // は + semi-voiced → ぱ
        {"\xE3\x81\xAA\xE3\x82\x99", "\xE3\x81\xAA\xE3\x82\x99"}, // な takes no mark: kept
        {"\xEF\xAC\x81x\xE2\x91\xAB", "fix12"},                   // ligature fi, circled 12
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"}, // 日本 unchanged
        {"\xFF\xFEnot utf-8", "\xFF\xFEnot utf-8"},               // bytes taken as they are
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrepareAesPassword(c.typed), c.prepared) << c.typed;
}

TEST(PrepareAesPassword, CutTo127Bytes) {
    EXPECT_EQ(PrepareAesPassword(std::string(200, 'x')), std::string(127, 'x'));
    EXPECT_EQ(PrepareAesPassword(std::string(127, 'y')), std::string(127, 'y'));
    // Full-width letters are three bytes each but one byte prepared: 150 of them fit whole
    // after preparing only if the cut comes after the mapping.
    std::string wide;
    for (int k = 0; k < 150; ++k)
        wide += "\xEF\xBD\x9A"; // full-width z
    EXPECT_EQ(PrepareAesPassword(wide), std::string(127, 'z'));
}
