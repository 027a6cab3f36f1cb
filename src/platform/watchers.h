// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Change notification: a watcher on the mount table (volumes added and removed) and a watcher
// on folders (subfolders created, removed and renamed). Both report with the Windows shell's
// event codes so that the chooser can treat them alike. Below the folder watcher, FolderChanges
// tells of any change among a folder's entries; the list watches the folder it shows with it.

#include "platform/volumes.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QSocketNotifier;

namespace platform {

enum ShellChangeEvent : long {
    shcneMkDir = 0x8,
    shcneRmDir = 0x10,
    shcneDriveRemoved = 0x80,
    shcneDriveAdd = 0x100,
    shcneRenameFolder = 0x20000,
};

// The kernel's watch on folder (bytes) in the process's one inotify instance, which FolderChanges
// reads: negative when it cannot be set. Asked by path, so on a share it waits for the server.
int AddKernelWatch(const std::string& folder);

// Tells when a folder's entries change: an entry created, removed or renamed in it, or its
// attributes changed; and when the folder itself goes. Qt's watcher looks a folder up on the
// calling thread, twice: on a share each look is a round trip, and one to a server that died
// never ends. Here a folder on a volume that may stall is looked up on a thread of its own,
// and watched from the moment its share answers; any other is watched at once. Folders are
// named by their bytes, so a name that is not UTF-8 is watched like any other.
class FolderChanges : public QObject {
    Q_OBJECT
public:
    explicit FolderChanges(QObject* parent = nullptr);
    ~FolderChanges() override;

    // Starts watching folder (a path without a trailing "/"). False when it cannot be (missing,
    // not a folder, the inotify limit); true at once for a folder on a share, whose watch
    // starts when the share answers.
    bool watch(const QString& folder);
    void unwatch(const QString& folder);
    void clear();
    // The folders watched or waiting for their share.
    QStringList folders() const;

signals:
    // Something changed in folder, or folder itself was removed, and is no longer watched.
    void changed(const QString& folder);

private:
    friend struct FolderChangesDispatch;
    void askShare(const QString& folder);
    void take(const QSet<int>& touched, const QSet<int>& gone, bool overflow);
    void release(int watch);

    static constexpr int kAsking = -1; // a share not answered yet
    QHash<QString, int> watches_;      // folder -> the kernel's watch
};

// Watches /proc/self/mountinfo, which signals a change of the mount table through poll
// (POLLPRI/POLLERR); each change compares LogicalVolumes() with the previous list.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

    // False when the mount table cannot be watched; rescan() still works.
    bool isActive() const { return notifier_ != nullptr; }
    // Compares the current volumes with the last known ones and reports the differences. The
    // watcher calls it on every change of the mount table; tests call it after changing the
    // volume source.
    void rescan();

signals:
    void volumeAdded(const QString& mountPoint);
    void volumeRemoved(const QString& mountPoint);
    // shcneDriveAdd or shcneDriveRemoved, with the mount point.
    void changeNotified(long eventCode, const QString& path);

private:
    void onMountTableChanged();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QStringList known_;
};

// Watches folders for subfolders that appear, vanish or are renamed. Files coming and going
// report nothing. A folder that cannot be watched (missing, inotify limit) is skipped.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Starts watching folder, its list of subfolders read now (on a share, within the wait of
    // SubfolderNamesInTime) or given as just read. False when it cannot be: a share that does
    // not answer in time is not watched.
    bool watch(const QString& folder);
    bool watch(const QString& folder, const std::vector<std::string>& subfolders);
    void unwatch(const QString& folder);
    void clear();
    QStringList folders() const;

    // Compares folder's subfolders with the last known ones and reports the differences; the
    // watcher calls it when the folder changes.
    void rescan(const QString& folder);

signals:
    // shcneMkDir, shcneRmDir or shcneRenameFolder, with the full path of the subfolder (for a
    // rename: its new path).
    void changeNotified(long eventCode, const QString& path);

private:
    FolderChanges* changes_;
    QHash<QString, QSet<QString>> watched_; // folder -> its subfolders' names
};

} // namespace platform
