// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/icons.h"

#include "platform/pathnames.h"
#include "platform/places.h"
#include "platform/volumes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace platform {
namespace {

IconSource& Source() {
    static IconSource source;
    return source;
}

// The style's icon where the theme has none; needs a QApplication (widgets), else nothing.
QIcon StyleIcon(QStyle::StandardPixmap which) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return {};
    return QApplication::style()->standardIcon(which);
}

QIcon ThemeIcon(const QString& name, const QString& generic, QStyle::StandardPixmap fallback) {
    EnsureIconTheme();
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull() && !generic.isEmpty())
        icon = QIcon::fromTheme(generic);
    if (icon.isNull())
        icon = StyleIcon(fallback);
    return icon;
}

QIcon SystemShellIcon(const QString& path, bool open) {
    // By its bytes: Qt's own check cannot find a folder whose name is not UTF-8.
    if (const auto found = FileInfoOf(path); found && (found->attr & faDirectory))
        return FolderIcon(open);
    const QFileInfo info(path);
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    if (type.isDefault() && info.isFile() && info.isExecutable())
        return ThemeIcon(QStringLiteral("application-x-executable"), QString(),
                         QStyle::SP_FileIcon);
    return ThemeIcon(type.iconName(), type.genericIconName(), QStyle::SP_FileIcon);
}

} // namespace

void EnsureIconTheme() {
    static bool done = false;
    if (done || !QCoreApplication::instance())
        return;
    done = true;
    const QString theme = QIcon::themeName();
    if (!theme.isEmpty() && theme != QLatin1String("hicolor"))
        return;
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    dataDirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home);
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    dataDirs << dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    bool haveAdwaita = false;
    for (const QString& dir : dataDirs) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!QFileInfo(icons).isDir())
            continue;
        if (!paths.contains(icons))
            paths << icons;
        haveAdwaita = haveAdwaita || QFileInfo(icons + QStringLiteral("/Adwaita")).isDir();
    }
    QIcon::setThemeSearchPaths(paths);
    if (haveAdwaita)
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

QIcon ShellIcon(const QString& path, bool open) {
    return Source() ? Source()(path, open) : SystemShellIcon(path, open);
}

QIcon EntryIcon(const QString& path, bool isFolder) {
    if (Source())
        return Source()(path, false);
    if (isFolder)
        return FolderIcon(false);
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(
        path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), QMimeDatabase::MatchExtension);
    return ThemeIcon(type.iconName(), type.genericIconName(), QStyle::SP_FileIcon);
}

IconSource SetIconSource(IconSource source) {
    IconSource previous = std::move(Source());
    Source() = std::move(source);
    return previous;
}

QIcon FolderIcon(bool open) {
    return open ? ThemeIcon(QStringLiteral("folder-open"), QStringLiteral("folder"),
                            QStyle::SP_DirOpenIcon)
                : ThemeIcon(QStringLiteral("folder"), QString(), QStyle::SP_DirClosedIcon);
}

QIcon ComputerIcon() {
    return ThemeIcon(QStringLiteral("computer"), QString(), QStyle::SP_ComputerIcon);
}

QIcon VolumeIcon(const Volume& volume) {
    switch (volume.kind) {
    case VolumeKind::Removable:
        return ThemeIcon(QStringLiteral("drive-removable-media"), QStringLiteral("drive-harddisk"),
                         QStyle::SP_DriveFDIcon);
    case VolumeKind::CdRom:
        return ThemeIcon(QStringLiteral("drive-optical"), QStringLiteral("media-optical"),
                         QStyle::SP_DriveCDIcon);
    case VolumeKind::Network:
        return ThemeIcon(QStringLiteral("folder-remote"), QStringLiteral("network-server"),
                         QStyle::SP_DriveNetIcon);
    case VolumeKind::Fixed:
        break;
    }
    return ThemeIcon(QStringLiteral("drive-harddisk"), QString(), QStyle::SP_DriveHDIcon);
}

QIcon PlaceIcon(const Place& place) {
    switch (place.kind) {
    case PlaceKind::Home:
        return ThemeIcon(QStringLiteral("user-home"), QStringLiteral("folder"),
                         QStyle::SP_DirHomeIcon);
    case PlaceKind::Documents:
        return ThemeIcon(QStringLiteral("folder-documents"), QStringLiteral("folder"),
                         QStyle::SP_DirIcon);
    case PlaceKind::Desktop:
        break;
    }
    return ThemeIcon(QStringLiteral("user-desktop"), QStringLiteral("folder"),
                     QStyle::SP_DesktopIcon);
}

} // namespace platform
