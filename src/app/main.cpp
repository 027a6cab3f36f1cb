// Pagewick: the PDF files of a folder with the properties stored inside them.

#include "app/Unit1.h"
#include "app/startargs.h"
#include "app/translations.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    // --help and --version answer before the window system is asked for, so they work without a
    // display. The rest is read from the application's arguments, without Qt's own options.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QFile::decodeName(argv[i]);
    if (const StartCommand early = ParseStartCommand(raw);
        early.kind == StartCommand::Kind::Help || early.kind == StartCommand::Kind::Version) {
        const QString text =
            early.kind == StartCommand::Kind::Help ? StartUsageText() : StartVersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    LoadJapaneseQtTranslations(app);
    const StartCommand command = ParseStartCommand(QApplication::arguments().mid(1));
    if (command.kind == StartCommand::Kind::Usage) {
        std::fputs(("pagewick: " + command.problem + "\n" + StartUsageText()).toLocal8Bit(),
                   stderr);
        return 2;
    }
    const auto window = OpenMainWindow(ResolveStartPlace(command.path, QDir::currentPath()));
    return app.exec();
}
