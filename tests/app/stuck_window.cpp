// SPDX-License-Identifier: GPL-3.0-or-later
// stuck_window WAY FOLDER: the main window on FOLDER, whose storage hangs as a dead share's
// does (every search step in FOLDER waits 30 s, on whatever thread makes it). Once the
// listing is stuck the window is left the way WAY says: "esc", "exit" (the exit button) or
// "close" (the window system's close). "leaving" is printed just before; the process is to end
// at once after it.

#include "app/mainwindow.h"
#include "platform/platform.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const std::string way = argv[1];
    const QString folder = platform::PathFromBytes(argv[2]);
    const std::string stuckFolder = platform::PathToBytes(folder) + "/";
    static std::atomic<bool> stuck = false;
    platform::SetSearchStepHook([stuckFolder](const std::string& path) {
        if (path != stuckFolder)
            return;
        stuck = true;
        std::this_thread::sleep_for(std::chrono::seconds(30));
    });
    platform::SetMessageBoxHandler([](const platform::MessageBoxRequest& request) {
        std::fprintf(stderr, "box: %s\n", request.text.toUtf8().constData());
        return QMessageBox::Ok;
    });
    MainWindow window(folder);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (!stuck)
            return;
        poll.stop();
        std::printf("leaving\n");
        std::fflush(stdout);
        if (way == "esc") {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&window, &esc);
        } else if (way == "exit") {
            window.findChild<QToolButton*>("exitButton")->click();
        } else {
            window.windowHandle()->close(); // as the window system's close button does
        }
    });
    poll.start(10);
    return app.exec();
}
