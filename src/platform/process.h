// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Programs: the executable's own path, the default application of a file, starting a program
// without a shell, and the system's URL handler.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace platform {

// The path of the running executable (/proc/self/exe, links resolved).
QString ExecutablePath();

// The desktop's default application for one file.
struct AssociatedProgram {
    QString desktopFile;   // full path of the desktop entry
    QString exec;          // its Exec line, field codes still in it
    QString name;          // its Name, for messages
    bool terminal = false; // Terminal=true: it runs inside a terminal
};

// The default application of file's MIME type (xdg-mime query default TYPE, then the desktop
// entry in XDG_DATA_HOME/applications and XDG_DATA_DIRS/applications). Nothing when the file
// does not exist, no default is set or its desktop entry cannot be found or has no Exec line.
std::optional<AssociatedProgram> FindAssociatedProgram(const QString& file);

using AssociationLookup = std::function<std::optional<AssociatedProgram>(const QString& file)>;
AssociationLookup SetAssociationLookup(AssociationLookup lookup);

// The argument vector of a desktop entry's Exec line for one file: the line split by the
// desktop-entry quoting rules, %f %F %u %U replaced by path (as one argument), %% by "%", the
// other field codes dropped. A line without a file field code gets path appended. Empty when
// the line is empty or its quoting is broken.
QStringList ExpandExecLine(const QString& exec, const QString& path);

// Whether path is a program to start by itself: the user may execute it and it is one, an ELF
// executable or a script beginning with "#!". A document with the execute bit (every file on a
// FAT or exFAT stick mounted with default options has it) is not.
bool IsProgramFile(const QString& path);

// The desktop's terminal as the start of a command that runs a program inside it
// (x-terminal-emulator -e, else xdg-terminal-exec); empty when there is none.
QStringList TerminalCommand();

using TerminalLookup = std::function<QStringList()>;
TerminalLookup SetTerminalLookup(TerminalLookup lookup);

// The command that opens path with the system's URL handler: xdg-open PATH.
QStringList UrlHandlerCommand(const QString& path);

// A command line for messages: the arguments joined by blanks.
QString CommandLineText(const QStringList& argv);

// Starts argv[0] (looked up in PATH when it has no "/") with argv as its arguments, never
// through a shell, in a new process group, with the program's environment, in workingFolder
// when it is not empty. The child is not waited for and leaves no zombie. Returns 0 on success,
// else the errno that made it fail (ENOENT for a missing program, for example).
int StartProcess(const QStringList& argv, const QString& workingFolder = QString());

using ProcessStarter = std::function<int(const QStringList& argv, const QString& workingFolder)>;
ProcessStarter SetProcessStarter(ProcessStarter starter);

} // namespace platform
