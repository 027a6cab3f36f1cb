// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The icon cache: gives every row of the file list the icon of its file type, one image per
// type shared by all files of that type, and lists one folder on behalf of the main window,
// reporting each entry through OnFileLoad.

#include "common/datetime.h"
#include "common/errors.h"
#include "platform/filesearch.h"
#include "shellicons/imagelist.h"

#include <QAbstractItemView>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>

// One folder entry as the cache reports it.
struct TvicFileInfo {
    QString Name;           // without path, as the file system returns it (.., Report.pdf, Sub)
    int32_t IconIndex = -1; // in both image lists; -1 when no icon was obtained
    uint8_t Reserved = 0;   // not filled by the enumeration
    uint8_t Attributes = 0; // bit 0 read-only, 1 hidden, 2 system, 3 volume, 4 directory, 5 archive
    int32_t Attr = 0;       // the attribute bits as found (0x10 directory, 0x08 volume label)
    int64_t Size = 0;       // bytes, all 64 bits
    TDateTime CreationTime = 0; // local
    TDateTime LastAccessTime = 0;
    TDateTime LastWriteTime = 0;
};

// Fired when an icon has been registered: the cache, the file name, the new image index.
using TFileNameEvent = std::function<void(QObject* sender, QString fileName, int32_t index)>;
// Fired once per reported entry: the cache, the entry, the folder being listed (ending in "/").
using TFileLoadEvent = std::function<void(QObject* sender, TvicFileInfo fileInfo, QString path)>;

class TCustomShellIconCache : public QObject {
    Q_OBJECT
public:
    explicit TCustomShellIconCache(QObject* owner = nullptr);
    ~TCustomShellIconCache() override;

    TImageList* LargeIcons() const { return FLargeIcons; }
    TImageList* SmallIcons() const { return FSmallIcons; }
    // Copy the given list's images and size into the cache's own list, which is never replaced.
    virtual void SetLargeIcons(const TImageList* images);
    virtual void SetSmallIcons(const TImageList* images);

    // The icon of fileName at 16 (Small) or 32 pixels, assigned to icon; the cache is not
    // touched.
    virtual void GetFileIcon(const QString& fileName, QIcon& icon, bool Small);
    // The image index for fileName, registering its icon first when its key is new; -1 when no
    // icon could be registered. An existing folder has the one folder key.
    virtual int32_t GetIconIndex(const QString& fileName);
    // GetIconIndex for each name in order; how many gave an index other than -1.
    virtual int RegistFiles(const QStringList& fileNames);

    // The registered keys, entry i belonging to image i of both lists.
    const QStringList& IconKeys() const { return FIconKeys; }

    TFileNameEvent OnRegist;

protected:
    // GetIconIndex with the kind of name already known, so that a listing need not stat every
    // entry twice.
    int32_t IconIndexOf(const QString& fileName, bool isFolder);

private:
    int32_t Register(const QString& fileName, const QString& key);

    QStringList FIconKeys;
    TImageList* FLargeIcons;
    TImageList* FSmallIcons;
};

class TFilerIconCache : public TCustomShellIconCache {
    Q_OBJECT
public:
    explicit TFilerIconCache(QObject* owner = nullptr);
    ~TFilerIconCache() override;

    // The bound list view (not owned): it gets the cache's image lists as its small and large
    // images; the previous view loses them. A view that is destroyed unbinds itself.
    QAbstractItemView* ListView() const { return FListView; }
    void SetListView(QAbstractItemView* view);

    // Lists path ("*" in file-system order) and fires OnFileLoad per entry: "." and hidden and
    // system entries are left out, ".." and subfolders carry the folder icon, Recursive descends
    // into each subfolder right after its own entry. Pending events are processed after every
    // entry. Raises EInvalidFileName for an empty path or a folder that cannot be listed; the
    // pseudo-path "drives" shows a message and returns.
    virtual void LoadFolder(const QString& path, bool Recursive);
    // The image index of one entry of folder as LoadFolder reports it.
    int32_t EntryIconIndex(const QString& folder, const platform::FindData& found);
    virtual void ResetCancel() { FCancelLoad = false; }
    virtual void CancelLoad() { FCancelLoad = true; }
    bool LoadCancelled() const { return FCancelLoad; }

    TFileLoadEvent OnFileLoad;

private:
    QPointer<QAbstractItemView> FListView;
    QMetaObject::Connection FListViewGone;
    bool FCancelLoad = false;
};
