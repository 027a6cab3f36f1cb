// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-bench-scan [--start] DIR
// Times the main window's scan of DIR. The window is built and shown on the offscreen
// platform in an empty folder, then the chooser opens DIR, which reports the path change at
// once and so runs the whole scan before OpenPath returns. With --start the window is built
// to list DIR as it shows, as `pagewick DIR` starts. The clock starts at the first path change
// and stops when the scan is done. Prints the seconds and the number of rows listed, and with
// --start also the seconds from the program's start until the window was shown. A box the
// scan would show (files that could not be read) is answered at once and its text goes to
// stderr.

#include "app/Unit1.h"
#include "dirchooser/folderchooser.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <string_view>

namespace {

// Notes when the window is first exposed: on screen, as far as the platform can tell.
class ExposeClock : public QObject {
public:
    explicit ExposeClock(const QElapsedTimer& since) : since_(since) {}
    double shown = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && shown < 0)
            shown = double(since_.nsecsElapsed()) / 1e9;
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& since_;
};

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool start = argc == 3 && std::string_view(argv[1]) == "--start";
    const char* dir = argv[argc - 1];
    if (argc != 2 + int(start) || !QFileInfo(QString::fromLocal8Bit(dir)).isDir()) {
        std::fprintf(stderr, "usage: pagewick-bench-scan [--start] DIR\n");
        return 2;
    }
    const QString folder = QFileInfo(QString::fromLocal8Bit(dir)).canonicalFilePath();

    int boxes = 0;
    const platform::ScopedHook<platform::MessageBoxHandler> boxHook{
        platform::SetMessageBoxHandler, [&boxes](const platform::MessageBoxRequest& request) {
            ++boxes;
            std::fprintf(stderr, "%s\n", request.text.toUtf8().constData());
            return QMessageBox::Ok;
        }};

    // The window lists its current folder when it shows; an empty one keeps that out of
    // the measurement.
    QTemporaryDir empty;
    if (!empty.isValid() || !QDir::setCurrent(empty.path())) {
        std::fprintf(stderr, "pagewick-bench-scan: no temporary folder\n");
        return 2;
    }
    TForm1 form(start ? folder : QString());
    // From the first path change of DIR to the end of its scan.
    bool measuring = start;
    QElapsedTimer clock;
    QElapsedTimer scanned;
    // The window's own handler, timed around.
    QObject::disconnect(form.FDirCombo, &FolderChooser::pathChanged, &form, nullptr);
    QObject::connect(form.FDirCombo, &FolderChooser::pathChanged, &form, [&](const QString& path) {
        const bool first = measuring && !clock.isValid();
        if (first)
            clock.start();
        form.PathChanged(form.FDirCombo, path);
        if (first)
            scanned.start();
    });
    ExposeClock exposed(sinceStart);
    form.winId(); // the window's handle, to watch before it shows
    form.windowHandle()->installEventFilter(&exposed);
    form.show();
    QElapsedTimer waited;
    waited.start();
    // The window lists its first folder once it shows.
    while (!(form.windowHandle() && form.windowHandle()->isExposed() && form.Idle()) &&
           waited.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();

    if (!start) {
        measuring = true;
        form.FDirCombo->openPath(folder);
    }
    if (!clock.isValid() || !scanned.isValid()) {
        std::fprintf(stderr, "pagewick-bench-scan: the chooser did not open %s\n", dir);
        return 1;
    }
    const double seconds = double(clock.nsecsElapsed() - scanned.nsecsElapsed()) / 1e9;
    if (start)
        std::printf("%.6f %zu %.6f\n", seconds, form.Rows().size(), exposed.shown);
    else
        std::printf("%.6f %zu\n", seconds, form.Rows().size());
    return boxes > 0 ? 1 : 0;
}
