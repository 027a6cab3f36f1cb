// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Icons of files, folders and volumes from the desktop's icon theme, standing in for the
// shell's icons.

#include <QIcon>
#include <QString>
#include <functional>

namespace platform {

struct Place;
struct Volume;

// Makes sure an icon theme is in force. Where the desktop names none (no session, the offscreen
// platform), the XDG data folders' icons/ are added to the search paths and Adwaita is chosen.
// Called by every function below; cheap after the first call.
void EnsureIconTheme();

// The icon for path: an existing folder gets the folder icon (the open folder with open), any
// other name the icon of the MIME type its name suggests, an executable file without a known
// type the program icon; the style's standard icons fill in where the theme has none. Empty
// only when even the style has nothing.
QIcon ShellIcon(const QString& path, bool open = false);

// The icon of a list entry whose kind is known, from its name alone: a folder gets the folder
// icon, any other name the icon of the MIME type its name suggests. Nothing on disk is looked
// at, so the rows of a share whose server stopped answering can still be drawn. Tests answer
// through the same source as ShellIcon.
QIcon EntryIcon(const QString& path, bool isFolder);

using IconSource = std::function<QIcon(const QString& path, bool open)>;
IconSource SetIconSource(IconSource source);

// The folder icon, closed or open.
QIcon FolderIcon(bool open = false);
// The icon of the drive list ("コンピュータ").
QIcon ComputerIcon();
// The icon of one volume by its kind.
QIcon VolumeIcon(const Volume& volume);
// The icon of one of the user's folders by its kind.
QIcon PlaceIcon(const Place& place);

} // namespace platform
