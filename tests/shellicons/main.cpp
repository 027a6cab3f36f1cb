// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the icon cache tests inside a QApplication on the offscreen platform, so that icons,
// message boxes and notifiers work without a display.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
