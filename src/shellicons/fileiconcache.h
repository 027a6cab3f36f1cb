// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The icons of the file list's rows: one icon per file type, shared by every file of that type,
// so that a folder of thousands of PDF files holds one PDF icon. Folders share one icon of
// their own; programs, links and icon files have one each, as they show icons of their own.
// An index names its icon for as long as the cache lives. Icons come from names and kinds
// alone: drawing a row never waits for its storage.

#include <QIcon>
#include <QString>
#include <QStringList>

#include <vector>

class FileIconCache {
public:
    static constexpr int kIconSize = 16;

    // The icon index of the file or folder at path (PathFromBytes of its bytes), registering
    // the icon of its type first when that type is new; -1 when no icon could be had, which
    // is asked for again the next time.
    int iconIndex(const QString& path, bool isFolder);
    // The icon at index; a null icon for an index outside the cache.
    QIcon icon(int index) const;
    // The registered keys: key i is that of icon i.
    const QStringList& keys() const { return keys_; }

private:
    int registerIcon(const QString& path, bool isFolder, const QString& key);

    QStringList keys_;
    std::vector<QIcon> icons_;
};
