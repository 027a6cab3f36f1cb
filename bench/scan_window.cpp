// pagewick-bench-scan DIR
// Times the main window's scan of DIR: the window is built and shown on the offscreen platform
// in an empty folder, then the chooser opens DIR, which reports the path change at once and so
// runs the whole scan before OpenPath returns. The clock starts at the first path change and
// stops when the scan is done. Prints the seconds and the number of rows listed. A box the scan
// would show (files that could not be read) is answered at once and its text goes to stderr.

#include "app/Unit1.h"
#include "dirchooser/DirTreeCombo.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()) {
        std::fprintf(stderr, "usage: pagewick-bench-scan DIR\n");
        return 2;
    }
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[1])).canonicalFilePath();

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
    TForm1 form;
    form.show();
    QElapsedTimer waited;
    waited.start();
    // The window lists its first folder once it shows.
    while (!(form.windowHandle() && form.windowHandle()->isExposed() && form.Idle()) &&
           waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();

    QElapsedTimer clock;
    const TPathChangeEvent scan = form.FDirCombo->OnPathChange;
    form.FDirCombo->OnPathChange = [&clock, &scan](QObject* sender, QString path) {
        if (!clock.isValid())
            clock.start();
        scan(sender, path);
    };
    form.FDirCombo->OpenPath(folder);
    if (!clock.isValid()) {
        std::fprintf(stderr, "pagewick-bench-scan: the chooser did not open %s\n", argv[1]);
        return 1;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%.6f %zu\n", seconds, form.Rows().size());
    return boxes > 0 ? 1 : 0;
}
