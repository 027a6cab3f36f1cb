// SPDX-License-Identifier: GPL-3.0-or-later
// A window with one folder chooser where the main window has it, for looking at the widget.
//
//   dirchooser_demo [FOLDER]          opens FOLDER (default: the working folder)
//   DIRCHOOSER_DROPDOWN=1             opens the tree as soon as the window shows
//   DIRCHOOSER_SHOT=/tmp/shot.png     then saves a picture of the screen there and quits

#include "dirchooser/folderchooser.h"
#include "dirchooser/foldertree.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(12);
    QApplication::setFont(font);

    QWidget window;
    window.setWindowTitle(QStringLiteral("dirchooser"));
    window.setFixedSize(480, 320);
    auto* status = new QLabel(&window);
    status->setGeometry(8, 290, 464, 20);

    auto* chooser = new FolderChooser(&window);
    chooser->setGeometry(72, 8, 337, 20);
    QObject::connect(chooser, &FolderChooser::pathChanged, status, [status](const QString& path) {
        status->setText(path);
        std::printf("pathChanged(%s)\n", qPrintable(path));
        std::fflush(stdout);
    });
    chooser->setToolTip(QStringLiteral("ファイルの場所"));
    const QStringList arguments = QApplication::arguments();
    QString start = arguments.size() > 1 ? arguments.at(1) : QDir::currentPath();
    chooser->openPath(WithTrailingSlash(QDir(start).absolutePath()));

    std::printf("font: %s\n", qPrintable(QFontInfo(chooser->font()).family()));
    window.move(0, 0);
    window.show();

    if (qEnvironmentVariableIntValue("DIRCHOOSER_DROPDOWN") != 0)
        QTimer::singleShot(300, chooser, [chooser] { chooser->dropDown(); });
    const QString shot = qEnvironmentVariable("DIRCHOOSER_SHOT");
    if (!shot.isEmpty()) {
        QTimer::singleShot(1200, &app, [shot] {
            QScreen* screen = QGuiApplication::primaryScreen();
            const bool saved = screen && screen->grabWindow(0).save(shot, "PNG");
            std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(shot));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
