// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-bench-scan [--start | --search TEXT] DIR
// Times the main window's listing of DIR. The window is built and shown on the offscreen
// platform in an empty folder, then the chooser opens DIR, which the window lists on its
// loader's worker thread. With --start the window is built to list DIR as it shows, as
// `pagewick DIR` starts. The clock starts when the listing of DIR starts and stops when its
// rows are in the list, in order. Prints the seconds and the number of rows listed, and with
// --start also the seconds from the program's start until the window was shown. A box the
// listing would show (files that could not be read) is answered at once and its text goes to
// stderr. With --search TEXT, once DIR is listed, TEXT is typed into the search field one
// character at a time; each key's time, from the text changing until the list is painted with
// the rows found, is printed with the rows found, one key a line.

#include "app/folderlistmodel.h"
#include "app/folderloader.h"
#include "app/mainwindow.h"
#include "dirchooser/folderchooser.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <cstdio>
#include <functional>
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
    const bool search = argc == 4 && std::string_view(argv[1]) == "--search";
    const char* dir = argv[argc - 1];
    if (argc != 2 + int(start) + 2 * int(search) ||
        !QFileInfo(QString::fromLocal8Bit(dir)).isDir()) {
        std::fprintf(stderr, "usage: pagewick-bench-scan [--start | --search TEXT] DIR\n");
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
    MainWindow form(start ? folder : QString());
    const FolderListModel& model = *form.findChild<FolderListModel*>();
    const FolderLoader& loader = *model.loader();
    // From the start of the listing of DIR to its end, after the window's own handling of it.
    bool measuring = start;
    QElapsedTimer clock;
    double seconds = -1;
    QObject::connect(&loader, &FolderLoader::started, &form, [&](bool quiet) {
        if (measuring && !quiet && !clock.isValid())
            clock.start();
    });
    QObject::connect(&loader, &FolderLoader::finished, &form,
                     [&](bool quiet, FolderLoader::Outcome outcome) {
                         if (clock.isValid() && seconds < 0 && !quiet &&
                             outcome == FolderLoader::Outcome::Completed)
                             seconds = double(clock.nsecsElapsed()) / 1e9;
                     });
    ExposeClock exposed(sinceStart);
    form.winId(); // the window's handle, to watch before it shows
    form.windowHandle()->installEventFilter(&exposed);
    form.show();
    // The window lists its first folder once it shows.
    // Waits in an event loop, as the program does, rather than calling processEvents over and
    // over: that returns at once when nothing is pending, and the spinning took a processor
    // from the scan being measured.
    auto waitFor = [](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done() || waited.elapsed() >= 600000)
                loop.quit();
        });
        check.start(5);
        if (!done())
            loop.exec();
    };
    waitFor([&] {
        return form.windowHandle() && form.windowHandle()->isExposed() &&
               !loader.listedFolder().isEmpty() && loader.state() == FolderLoader::State::Idle;
    });
    QApplication::processEvents();

    if (!start) {
        measuring = true;
        form.findChild<FolderChooser*>()->openPath(folder);
    }
    waitFor([&] {
        return seconds >= 0 || (clock.isValid() && loader.state() == FolderLoader::State::Idle);
    });
    if (seconds < 0) {
        std::fprintf(stderr, "pagewick-bench-scan: the window did not list %s\n", dir);
        return 1;
    }
    if (search) {
        auto* field = form.findChild<QLineEdit*>(QStringLiteral("searchField"));
        auto* list = form.findChild<QTreeView*>(QStringLiteral("fileList"));
        const QString text = QString::fromLocal8Bit(argv[2]);
        for (qsizetype typed = 1; typed <= text.size(); ++typed) {
            QElapsedTimer key;
            key.start();
            field->setText(text.left(typed));
            QApplication::processEvents();
            list->viewport()->repaint();
            std::printf("%.3f ms %d rows\n", double(key.nsecsElapsed()) / 1e6,
                        list->model()->rowCount());
        }
        return 0;
    }
    if (start)
        std::printf("%.6f %zu %.6f\n", seconds, model.rows().size(), exposed.shown);
    else
        std::printf("%.6f %zu\n", seconds, model.rows().size());
    return boxes > 0 ? 1 : 0;
}
