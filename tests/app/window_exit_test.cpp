// SPDX-License-Identifier: GPL-3.0-or-later
// Leaving the window ends the program at once, even while its listing is stuck in a system
// call (the storage hangs for 30 s): the stuck worker is not waited for.

#include "support/pdfbuilder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#ifndef STUCK_WINDOW
#error STUCK_WINDOW must name the program of the stuck window
#endif

namespace {

TEST(StuckListing, TheProgramEndsWithinASecondHoweverTheWindowIsLeft) {
    TempDir folder;
    for (int i = 0; i < 5; ++i)
        folder.Write("f" + std::to_string(i) + ".pdf", "%PDF-1.4\n");
    for (const char* way : {"esc", "exit", "close"}) {
        SCOPED_TRACE(way);
        QProcess program;
        // What the window keeps when it closes goes to the test's own folder.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QString::fromStdString(folder.Path() + "/config"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(STUCK_WINDOW),
                      {QString::fromLatin1(way), QString::fromStdString(folder.Path())});
        ASSERT_TRUE(program.waitForStarted(10000));
        QByteArray said;
        while (!said.contains("leaving\n") && program.waitForReadyRead(20000))
            said += program.readAllStandardOutput();
        ASSERT_TRUE(said.contains("leaving\n")) << program.readAllStandardError().toStdString();
        QElapsedTimer sinceLeaving;
        sinceLeaving.start();
        const bool ended = program.waitForFinished(5000);
        const qint64 took = sinceLeaving.elapsed();
        if (!ended)
            program.kill();
        ASSERT_TRUE(ended);
        EXPECT_LT(took, 1000);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    }
}

} // namespace
