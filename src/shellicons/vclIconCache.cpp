// SPDX-License-Identifier: GPL-3.0-or-later
#include "shellicons/vclIconCache.h"

#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/folderwalk.h"
#include "platform/icons.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

// Folders have a key of their own. Every other key is an extension (empty or beginning with
// ".") or a full file name, and no extension contains "/", so folders never share the icon of
// files without extension, nor of files whose extension happens to match a folder name's.
const QString& FolderKey() {
    static const QString key = QStringLiteral("/");
    return key;
}

// The part of the last path component from its last "." on, upper-cased; empty without ".".
QString ExtensionKey(const QString& fileName) {
    const QString last = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : last.mid(dot).toUpper();
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

TvicFileInfo RecordOf(const platform::FindData& found) {
    TvicFileInfo info;
    info.Name = found.name;
    info.Attr = int32_t(found.attr);
    info.Attributes = uint8_t(found.attr & 0x3F);
    info.Size = found.size;
    info.CreationTime = found.creationTime;
    info.LastAccessTime = found.lastAccessTime;
    info.LastWriteTime = found.lastWriteTime;
    return info;
}

} // namespace

TCustomShellIconCache::TCustomShellIconCache(QObject* owner)
    : QObject(owner), FLargeIcons(new TImageList(32, this)), FSmallIcons(new TImageList(16, this)) {
    FLargeIcons->setObjectName(QStringLiteral("LargeIcons"));
    FSmallIcons->setObjectName(QStringLiteral("SmallIcons"));
}

// The image lists are children and go with the cache.
TCustomShellIconCache::~TCustomShellIconCache() = default;

void TCustomShellIconCache::SetLargeIcons(const TImageList* images) {
    if (images)
        FLargeIcons->Assign(*images);
}

void TCustomShellIconCache::SetSmallIcons(const TImageList* images) {
    if (images)
        FSmallIcons->Assign(*images);
}

void TCustomShellIconCache::GetFileIcon(const QString& fileName, QIcon& icon, bool Small) {
    const int size = Small ? 16 : 32;
    const QPixmap pixmap = platform::ShellIcon(fileName).pixmap(QSize(size, size));
    icon = pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

int32_t TCustomShellIconCache::GetIconIndex(const QString& fileName) {
    return IconIndexOf(fileName, !fileName.isEmpty() && QFileInfo(fileName).isDir());
}

int TCustomShellIconCache::RegistFiles(const QStringList& fileNames) {
    int registered = 0;
    for (const QString& name : fileNames) {
        if (GetIconIndex(name) != -1)
            ++registered;
    }
    return registered;
}

int32_t TCustomShellIconCache::IconIndexOf(const QString& fileName, bool isFolder) {
    const QString key = isFolder ? FolderKey() : ExtensionKey(fileName);
    int index = FindKey(FIconKeys, key);
    if (index < 0 && !isFolder)
        index = FindKey(FIconKeys, fileName);
    if (index >= 0)
        return index;
    return Register(fileName, KeyedPerFile(key) ? fileName : key);
}

int32_t TCustomShellIconCache::Register(const QString& fileName, const QString& key) {
    const QIcon icon = platform::ShellIcon(fileName);
    // Key and both images go in together or not at all, so that every index handed out is
    // valid in both lists; a failed type is asked for again next time.
    FIconKeys.append(key);
    const int32_t index = int32_t(FIconKeys.size() - 1);
    if (FLargeIcons->Add(icon) < 0) {
        FIconKeys.removeLast();
        return -1;
    }
    if (FSmallIcons->Add(icon) < 0) {
        FLargeIcons->RemoveLast();
        FIconKeys.removeLast();
        return -1;
    }
    if (OnRegist) {
        const TFileNameEvent handler = OnRegist;
        try {
            handler(this, fileName, index);
        } catch (...) {
            // A failing handler makes the registration count as failed for the caller; the
            // icon itself is registered and stays valid.
            return -1;
        }
    }
    return index;
}

TFilerIconCache::TFilerIconCache(QObject* owner) : TCustomShellIconCache(owner) {}

TFilerIconCache::~TFilerIconCache() {
    SetListView(nullptr);
}

void TFilerIconCache::SetListView(QAbstractItemView* view) {
    if (view == FListView)
        return;
    if (FListView) {
        if (ViewLargeImages(FListView) == LargeIcons())
            SetViewLargeImages(FListView, nullptr);
        if (ViewSmallImages(FListView) == SmallIcons())
            SetViewSmallImages(FListView, nullptr);
    }
    disconnect(FListViewGone);
    if (view) {
        SetViewImageLists(view, SmallIcons(), LargeIcons());
        FListViewGone = connect(view, &QObject::destroyed, this, [this] { FListView = nullptr; });
    }
    FListView = view;
}

int32_t TFilerIconCache::EntryIconIndex(const QString& folder, const platform::FindData& found) {
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // Every folder entry shows the folder icon; the listed folder stands for all of them.
    if (found.attr & platform::faDirectory)
        return IconIndexOf(path == QLatin1String("/") ? path : path.chopped(1), true);
    return IconIndexOf(path + found.name, false);
}

void TFilerIconCache::LoadFolder(const QString& folder, bool Recursive) {
    if (folder.isEmpty())
        throw EInvalidFileName("パス名は空指定('')はできません");
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (path.toLower() == QLatin1String("drives/")) {
        platform::MessageBoxRequest box;
        box.caption = QGuiApplication::applicationDisplayName() + QStringLiteral("の情報");
        box.text = QStringLiteral("このフォルダ（ディレクトリ）は読めません：\n") + path;
        box.foreground = true;
        platform::ShowMessageBox(box);
        return;
    }
    const QPointer<TFilerIconCache> alive(this);
    platform::FolderWalk walk;
    walk.recursive = Recursive;
    walk.parentInSubfolders = true;
    walk.onEntry = [this](const platform::WalkedFolder& at, const platform::FindData& found) {
        const QString atPath = platform::PathFromBytes(at.path);
        TvicFileInfo info = RecordOf(found);
        info.IconIndex = EntryIconIndex(atPath, found);
        if (const TFileLoadEvent handler = OnFileLoad)
            handler(this, info, atPath);
    };
    walk.keepGoing = [&] {
        platform::ProcessPendingEvents();
        // The cache may have been destroyed by something handled in between.
        return alive && !FCancelLoad;
    };
    platform::WalkFolder(platform::PathToBytes(path), walk);
}
