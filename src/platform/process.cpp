// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/process.h"

#include "platform/pathnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace platform {
namespace {

AssociationLookup& Lookup() {
    static AssociationLookup lookup;
    return lookup;
}

TerminalLookup& Terminals() {
    static TerminalLookup lookup;
    return lookup;
}

ProcessStarter& Starter() {
    static ProcessStarter starter;
    return starter;
}

// XDG_DATA_HOME first, then XDG_DATA_DIRS, each with its defaults.
QStringList DataFolders() {
    QStringList folders;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    folders << home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << dir;
    return folders;
}

// A desktop file id names applications/a-b.desktop or, for ids with dashes, a file in a
// subfolder (applications/a/b.desktop).
QString FindDesktopFile(const QString& id) {
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return {};
    for (const QString& folder : DataFolders()) {
        const QString base = folder + QStringLiteral("/applications/");
        QString candidate = id;
        for (;;) {
            if (QFileInfo(base + candidate).isFile())
                return base + candidate;
            const qsizetype dash = candidate.indexOf(QLatin1Char('-'));
            if (dash < 0)
                break;
            candidate[dash] = QLatin1Char('/');
        }
    }
    return {};
}

// The value-level escapes of a desktop entry: \s \n \t \r \\.
QString UnescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += c;
            out += next;
            break;
        }
    }
    return out;
}

std::optional<AssociatedProgram> ReadDesktopEntry(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    AssociatedProgram program;
    program.desktopFile = path;
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = UnescapeValue(line.mid(eq + 1).trimmed());
        if (key == QLatin1String("Exec") && program.exec.isEmpty())
            program.exec = value;
        else if (key == QLatin1String("Name") && program.name.isEmpty())
            program.name = value;
        else if (key == QLatin1String("Terminal"))
            program.terminal = value == QLatin1String("true");
    }
    if (program.exec.trimmed().isEmpty())
        return std::nullopt;
    return program;
}

QString DefaultDesktopId(const QString& mimeType) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(5000))
        return {};
    if (!query.waitForFinished(10000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    const QString out = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    return out.section(QLatin1Char(';'), 0, 0).section(QLatin1Char('\n'), 0, 0).trimmed();
}

std::optional<AssociatedProgram> SystemAssociation(const QString& file) {
    if (file.isEmpty() || !FileInfoOf(file))
        return std::nullopt;
    // Qt reads a file only by a name it can convert; one that is not UTF-8 is typed by its
    // extension alone.
    const QFileInfo info(file);
    const QMimeType type =
        info.exists() ? QMimeDatabase().mimeTypeForFile(info)
                      : QMimeDatabase().mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    if (!type.isValid())
        return std::nullopt;
    const QString desktopFile = FindDesktopFile(DefaultDesktopId(type.name()));
    if (desktopFile.isEmpty())
        return std::nullopt;
    return ReadDesktopEntry(desktopFile);
}

// Splits an Exec line into arguments: blanks separate, double quotes group, and inside quotes
// a backslash escapes the next character. Nothing when a quote is left open.
std::optional<QStringList> SplitExec(const QString& exec) {
    QStringList args;
    QString current;
    bool inArg = false, quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec[++i];
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inArg = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArg)
        args << current;
    return args;
}

int SystemStartProcess(const QStringList& argv, const QString& workingFolder) {
    if (argv.isEmpty() || argv.first().isEmpty())
        return ENOENT;
    // Everything the child needs is built before fork: after it only the forking thread exists.
    std::vector<QByteArray> args;
    for (const QString& arg : argv)
        args.push_back(QByteArray::fromStdString(PathToBytes(arg)));
    std::vector<char*> pointers;
    for (QByteArray& arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const QByteArray folder = QByteArray::fromStdString(PathToBytes(workingFolder));

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t sigs;
    sigemptyset(&sigs);
    posix_spawnattr_setsigmask(&attr, &sigs);
    for (int sig : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaddset(&sigs, sig);
    posix_spawnattr_setsigdefault(&attr, &sigs);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The program inherits no descriptors of ours besides the standard three.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    int result = 0;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result = errno;
    } else {
        // The intermediate child spawns the program and exits at once, so the program is
        // adopted by init and never becomes our zombie; only the short-lived intermediate is
        // waited for.
        const pid_t middle = fork();
        if (middle == 0) {
            close(report[0]);
            int rc = 0;
            if (!folder.isEmpty() && chdir(folder.constData()) != 0) {
                rc = errno;
            } else {
                pid_t pid = 0;
                rc = posix_spawnp(&pid, pointers[0], &actions, &attr, pointers.data(), environ);
            }
            (void)!write(report[1], &rc, sizeof rc);
            _exit(0);
        }
        close(report[1]);
        if (middle < 0) {
            result = errno;
        } else {
            int rc = 0;
            ssize_t got;
            do
                got = read(report[0], &rc, sizeof rc);
            while (got < 0 && errno == EINTR);
            result = got == ssize_t(sizeof rc) ? rc : ECHILD;
            while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        close(report[0]);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return result;
}

} // namespace

QString ExecutablePath() {
    const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return path.isEmpty() ? QCoreApplication::applicationFilePath() : path;
}

std::optional<AssociatedProgram> FindAssociatedProgram(const QString& file) {
    return Lookup() ? Lookup()(file) : SystemAssociation(file);
}

AssociationLookup SetAssociationLookup(AssociationLookup lookup) {
    AssociationLookup previous = std::move(Lookup());
    Lookup() = std::move(lookup);
    return previous;
}

QStringList ExpandExecLine(const QString& exec, const QString& path) {
    const auto split = SplitExec(exec);
    if (!split || split->isEmpty())
        return {};
    QStringList out;
    bool gotFile = false;
    for (const QString& arg : *split) {
        // %F and %U stand alone and take the file list (here: one file).
        if (arg == QLatin1String("%F") || arg == QLatin1String("%U")) {
            out << path;
            gotFile = true;
            continue;
        }
        QString expanded;
        bool dropped = false;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != QLatin1Char('%') || i + 1 == arg.size()) {
                expanded += arg[i];
                continue;
            }
            const QChar code = arg[++i];
            if (code == QLatin1Char('%')) {
                expanded += QLatin1Char('%');
            } else if (code == QLatin1Char('f') || code == QLatin1Char('u') ||
                       code == QLatin1Char('F') || code == QLatin1Char('U')) {
                expanded += path;
                gotFile = true;
            } else {
                dropped = true; // %i %c %k and the deprecated codes: nothing to put there
            }
        }
        if (!expanded.isEmpty() || !dropped)
            out << expanded;
    }
    if (out.isEmpty() || out.first().isEmpty())
        return {};
    if (!gotFile)
        out << path;
    return out;
}

bool IsProgramFile(const QString& path) {
    const QByteArray name = QByteArray::fromStdString(PathToBytes(path));
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::access(name.constData(), X_OK) != 0)
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    char head[4] = {};
    ssize_t got;
    do
        got = ::read(fd, head, sizeof head);
    while (got < 0 && errno == EINTR);
    ::close(fd);
    return (got >= 4 && std::memcmp(head,
                                    "\x7f"
                                    "ELF",
                                    4) == 0) ||
           (got >= 2 && head[0] == '#' && head[1] == '!');
}

QStringList TerminalCommand() {
    if (Terminals())
        return Terminals()();
    if (!QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator")).isEmpty())
        return {QStringLiteral("x-terminal-emulator"), QStringLiteral("-e")};
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-terminal-exec")).isEmpty())
        return {QStringLiteral("xdg-terminal-exec")};
    return {};
}

TerminalLookup SetTerminalLookup(TerminalLookup lookup) {
    return std::exchange(Terminals(), std::move(lookup));
}

QStringList UrlHandlerCommand(const QString& path) {
    return {QStringLiteral("xdg-open"), path};
}

QString CommandLineText(const QStringList& argv) {
    return argv.join(QLatin1Char(' '));
}

int StartProcess(const QStringList& argv, const QString& workingFolder) {
    return Starter() ? Starter()(argv, workingFolder) : SystemStartProcess(argv, workingFolder);
}

ProcessStarter SetProcessStarter(ProcessStarter starter) {
    ProcessStarter previous = std::move(Starter());
    Starter() = std::move(starter);
    return previous;
}

} // namespace platform
