// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startargs.h"

#include "app/mainwindow.h"
#include "app/qtpaths.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>

#if !defined(PAGEWICK_VERSION) || !defined(PAGEWICK_APP_ID)
#error PAGEWICK_VERSION and PAGEWICK_APP_ID must give the version and the name on the desktop
#endif

StartCommand ParseStartCommand(const QStringList& arguments) {
    StartCommand command;
    bool optionsEnded = false;
    QStringList paths;
    for (const QString& arg : arguments) {
        if (!optionsEnded && (arg == QLatin1String("--help") || arg == QLatin1String("-h")))
            return {StartCommand::Kind::Help, {}, {}};
        if (!optionsEnded && arg == QLatin1String("--version"))
            return {StartCommand::Kind::Version, {}, {}};
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            // Kept as a problem rather than returned, so that a later --help still wins.
            if (command.problem.isEmpty())
                command.problem = QStringLiteral("知らないオプションです: ") + arg;
        } else {
            paths << arg;
        }
    }
    if (command.problem.isEmpty() && paths.size() > 1)
        command.problem = QStringLiteral("開くフォルダは一つだけです: ") + paths.join(u' ');
    if (!command.problem.isEmpty()) {
        command.kind = StartCommand::Kind::Usage;
        return command;
    }
    if (!paths.isEmpty())
        command.path = paths.first();
    return command;
}

StartPlace ResolveStartPlace(const QString& path, const QString& currentFolder) {
    StartPlace place;
    if (path.isEmpty())
        return place;
    // Taken by its bytes throughout: Qt's own file checks cannot find a name that is not UTF-8.
    const QString absolute =
        path.startsWith(QLatin1Char('/'))
            ? path
            : currentFolder +
                  (currentFolder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
                  path;
    // Links are followed: a dangling link names nothing a user could list. A share that does
    // not answer in time is taken for a folder as named, rather than the window waiting for it
    // before it shows (the chooser, finding no answer either, stays on the drive list).
    const auto answer = platform::FileInfoOfInTime(absolute);
    if (!answer) {
        place.folder = absolute;
        return place;
    }
    const std::optional<platform::FindData>& found = *answer;
    if (!found) {
        place.problem =
            QStringLiteral("「%1」というフォルダもファイルもありません。\r\n現在のフォルダ（%"
                           "2）を表示します。")
                .arg(InertShown(platform::PathForDisplay(path)),
                     InertShown(platform::PathForDisplay(currentFolder)));
        return place;
    }
    // The folder with its links resolved, as the current folder comes from the system: the
    // chooser finds a path's volume by its mount point, which a link would hide.
    if (found->attr & platform::faDirectory) {
        place.folder = platform::CanonicalPath(absolute).value_or(absolute);
    } else {
        const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash == 0 ? QStringLiteral("/") : absolute.left(slash);
        place.folder = platform::CanonicalPath(folder).value_or(folder);
        // The entry keeps its own name: a link is listed under the link's name.
        place.selectName = absolute.mid(slash + 1);
    }
    return place;
}

QString StartUsageText() {
    return QStringLiteral(
        "使い方: pagewick [FOLDER | FILE]\n"
        "FOLDER の PDF ファイルとその文書プロパティを一覧にするウィンドウを開きます。\n"
        "FILE を渡すと、そのフォルダを開いて FILE を選びます。省略すると現在のフォルダです。\n"
        "\n"
        "  -h, --help    この説明を表示する\n"
        "  --version     版を表示する\n");
}

QString StartVersionText() {
    return QStringLiteral("pagewick " PAGEWICK_VERSION "\n");
}

std::unique_ptr<MainWindow> OpenMainWindow(const StartPlace& place) {
    // The desktop matches the window to its menu entry (and so its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(PAGEWICK_APP_ID));
    // The current folder by its bytes, as Qt's own would lose a name that is not UTF-8.
    auto window = std::make_unique<MainWindow>(
        place.folder.isEmpty() ? platform::CurrentFolderPath() : place.folder);
    // The installed icon, where the window system shows a window's own.
    if (const QIcon icon = QIcon::fromTheme(QStringLiteral(PAGEWICK_APP_ID)); !icon.isNull())
        window->setWindowIcon(icon);
    // The window lists its folder once it shows; the entry is chosen in that list.
    if (!place.selectName.isEmpty())
        window->selectEntry(place.selectName);
    window->show();
    if (!place.problem.isEmpty())
        platform::ShowMessageBox({QGuiApplication::applicationDisplayName(), place.problem,
                                  QMessageBox::Ok, QMessageBox::Warning, false, window.get()});
    return window;
}
