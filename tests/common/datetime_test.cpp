// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/datetime.h"

#include <gtest/gtest.h>

TEST(DateTime, EncodesKnownDaysAndRejectsInvalidOnes) {
    struct Case {
        DateTimeParts parts;
        std::optional<double> expected;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{2005, 4, 12, 15, 30, 0}, 38454.0 + 15.5 / 24},
        {{2000, 2, 29, 0, 0, 0}, 36585.0},
        {{1899, 12, 29, 6, 0, 0}, -1.25},
        {{1900, 2, 29, 0, 0, 0}, std::nullopt},
        {{2001, 2, 29, 0, 0, 0}, std::nullopt},
        {{2005, 13, 1, 0, 0, 0}, std::nullopt},
        {{2005, 4, 31, 0, 0, 0}, std::nullopt},
        {{2005, 4, 12, 24, 0, 0}, std::nullopt},
        {{2005, 4, 12, 0, 60, 0}, std::nullopt},
        {{0, 1, 1, 0, 0, 0}, -693959.0}, // year 0000, a leap year, as PDF dates write it
        {{0, 2, 29, 0, 0, 0}, -693900.0},
        {{-1, 12, 31, 0, 0, 0}, std::nullopt},
        {{10000, 1, 1, 0, 0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = TryEncodeDateTime(c.parts);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.parts.year << "-" << c.parts.month;
        if (got) {
            EXPECT_NEAR(*got, *c.expected, 1e-9) << c.parts.year;
        }
    }
}

TEST(DateTime, DecodeIsTheInverseOfEncode) {
    const DateTimeParts samples[] = {
        {2005, 4, 12, 15, 30, 0},   {1900, 1, 1, 0, 0, 0}, {1899, 12, 29, 6, 0, 0},
        {9999, 12, 31, 23, 59, 59}, {1, 1, 1, 0, 0, 1},    {0, 1, 1, 12, 0, 0},
    };
    for (const auto& p : samples) {
        const auto d = DecodeDateTime(*TryEncodeDateTime(p));
        EXPECT_EQ(std::tie(d.year, d.month, d.day, d.hour, d.minute, d.second),
                  std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second));
    }
}
