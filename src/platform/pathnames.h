// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paths in Qt's terms: what the window and its dialogs hold are QStrings, while the folder
// search and the reader take the bytes the file system gives.

#include "platform/filesearch.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A path as bytes and as a QString that gives the same bytes back. Qt's own file-name
// conversion replaces bytes that are not UTF-8, so a file with a Shift-JIS name could not be
// named again from its QString; here each such byte is carried as the lone surrogate
// U+DC80 + (byte - 0x80), which no UTF-8 name can produce.
QString PathFromBytes(std::string_view bytes);
std::string PathToBytes(const QString& path);

// How a path (as PathFromBytes gives it) is shown: each of its names as FileNameForDisplay
// shows it, so that a Shift-JIS folder inside a UTF-8 one reads right and neither garbles the
// other.
QString PathForDisplay(const QString& path);

// The process's current folder, by its bytes; empty when it cannot be told (it was removed).
QString CurrentFolderPath();

// path with every link and "." and ".." resolved, by its bytes; nothing when some part of it
// does not exist.
std::optional<QString> CanonicalPath(const QString& path);

// The folder search's lookups for a path held as a QString.
inline std::vector<FindData> ListFolder(const QString& folder, uint32_t filter = faAnyFile) {
    return ListFolder(PathToBytes(folder), filter);
}
inline std::optional<uint32_t> FileAttributes(const QString& path) {
    return FileAttributes(PathToBytes(path));
}
inline std::optional<FindData> FileInfoOf(const QString& path) {
    return FileInfoOf(PathToBytes(path));
}

} // namespace platform
