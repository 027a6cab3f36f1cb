// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command line asks of the window: `pagewick [FOLDER|FILE]`, `--help`, `--version`.
// Plain functions over the argument list and the file system, so that main stays a few lines
// and the tests can ask what a command line would do.

#include <QString>
#include <QStringList>

#include <memory>

class MainWindow;

struct StartCommand {
    enum class Kind {
        Open,    // open the window; path says where
        Help,    // print the usage and end
        Version, // print the version and end
        Usage,   // a bad command line: print problem and the usage, end with status 2
    };
    Kind kind = Kind::Open;
    QString path;    // the FOLDER or FILE argument as given; empty: the current folder
    QString problem; // for Usage
};

// The command of the arguments after the program's name. --help and --version win over
// anything else on the line, so that they work even beside a mistake.
StartCommand ParseStartCommand(const QStringList& arguments);

// Where the window starts for a path argument.
struct StartPlace {
    QString folder;     // the folder to list; empty: the current folder
    QString selectName; // the entry of folder to select; empty: none
    QString problem;    // the path named nothing: the text of the box to show
};

// A folder is listed itself; anything else that exists (a file, a link to one, a FIFO) lists
// its folder with it selected; a path that names nothing keeps the current folder and says so.
// A relative path is taken from currentFolder.
StartPlace ResolveStartPlace(const QString& path, const QString& currentFolder);

// The texts --help and --version print.
QString StartUsageText();
QString StartVersionText();

// Builds and shows the main window at place: the folder listed, the named entry selected once
// it is (the file-type filter widened to every file when its own would hide it) and, for a path
// that named nothing, a warning box over the window.
std::unique_ptr<MainWindow> OpenMainWindow(const StartPlace& place);
