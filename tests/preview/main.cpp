// SPDX-License-Identifier: GPL-3.0-or-later
// The provider answers through Qt signals and starts processes, so its tests run in a Qt event
// loop; no window system is needed.

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
