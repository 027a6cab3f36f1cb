// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/bytestream.h"

#include <gtest/gtest.h>

TEST(MemoryStream, ReadsWritesAndGrowsAtItsPosition) {
    MemoryStream s(std::string("abc\0def", 7));
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), std::string("abc\0", 4));
    EXPECT_EQ(s.Read(buf, 10), 3);
    EXPECT_EQ(s.Read(buf, 10), 0);
    s.Seek(5);
    EXPECT_EQ(s.Write("XYZ", 3), 3);
    EXPECT_EQ(s.Bytes(), std::string("abc\0dXYZ", 8));
    EXPECT_EQ(s.Position(), 8);
    s.Seek(100);
    EXPECT_EQ(s.Position(), 8);
}
