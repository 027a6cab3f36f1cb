// SPDX-License-Identifier: GPL-3.0-or-later
// The window needs a QApplication; the offscreen platform keeps the tests headless. The C
// locale with UTF-8 file names fixes the thousands separator (",") and the collation.

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    // Nothing a test does reaches the user's own configuration; the window tests give each
    // window a configuration folder of its own besides.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
