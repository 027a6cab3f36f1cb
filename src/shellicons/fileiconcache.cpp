// SPDX-License-Identifier: GPL-3.0-or-later
#include "shellicons/fileiconcache.h"

#include "platform/icons.h"

namespace {

// Folders have a key of their own. Every other key is an extension (empty or beginning with
// ".") or a full file name, and no extension contains "/", so folders never share the icon of
// files without extension, nor of files whose extension happens to match a folder name's.
const QString& FolderKey() {
    static const QString key = QStringLiteral("/");
    return key;
}

// The part of the last path component from its last "." on, upper-cased; empty without ".".
QString ExtensionKey(const QString& path) {
    const QStringView last = QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : last.mid(dot).toString().toUpper();
}

// Programs, links and icon files each show an icon of their own, so they are keyed per file.
bool KeyedPerFile(const QString& key) {
    return key == QLatin1String(".EXE") || key == QLatin1String(".LNK") ||
           key == QLatin1String(".ICO");
}

int FindKey(const QStringList& keys, const QString& key) {
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (keys[i].compare(key, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

} // namespace

int FileIconCache::iconIndex(const QString& path, bool isFolder) {
    const QString key = isFolder ? FolderKey() : ExtensionKey(path);
    int index = FindKey(keys_, key);
    if (index < 0 && !isFolder)
        index = FindKey(keys_, path);
    if (index >= 0)
        return index;
    return registerIcon(path, isFolder, KeyedPerFile(key) ? path : key);
}

QIcon FileIconCache::icon(int index) const {
    return index >= 0 && size_t(index) < icons_.size() ? icons_[size_t(index)] : QIcon();
}

int FileIconCache::registerIcon(const QString& path, bool isFolder, const QString& key) {
    const QIcon icon = platform::EntryIcon(path, isFolder);
    // An icon that draws nothing at the list's size gets no index, so every index handed out
    // shows something; its type is asked for again next time.
    if (icon.isNull() || icon.pixmap(kIconSize, kIconSize).isNull())
        return -1;
    keys_.append(key);
    icons_.push_back(icon);
    return int(icons_.size() - 1);
}
