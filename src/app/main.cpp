// SPDX-License-Identifier: GPL-3.0-or-later
// Pagewick: the PDF files of a folder with the properties stored inside them.

#include "app/mainwindow.h"
#include "app/startargs.h"
#include "app/translations.h"

#include "platform/pathnames.h"

#include <QApplication>

#include <cstdio>

namespace {

// The arguments after the program's name by their bytes: Qt's own list loses those of a path
// that is not UTF-8.
QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << platform::PathFromBytes(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version answer before the window system is asked for, so they work without a
    // display. The rest is read once the application has taken out Qt's own options.
    if (const StartCommand early = ParseStartCommand(Arguments(argc, argv));
        early.kind == StartCommand::Kind::Help || early.kind == StartCommand::Kind::Version) {
        const QString text =
            early.kind == StartCommand::Kind::Help ? StartUsageText() : StartVersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    LoadJapaneseQtTranslations(app);
    const StartCommand command = ParseStartCommand(Arguments(argc, argv));
    if (command.kind == StartCommand::Kind::Usage) {
        std::fputs(("pagewick: " + command.problem + "\n" + StartUsageText()).toLocal8Bit(),
                   stderr);
        return 2;
    }
    const auto window =
        OpenMainWindow(ResolveStartPlace(command.path, platform::CurrentFolderPath()));
    return app.exec();
}
