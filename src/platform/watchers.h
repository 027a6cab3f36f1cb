// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Change notification: a watcher on the mount table (volumes added and removed) and a watcher
// on folders (subfolders created, removed and renamed). Both report with the Windows shell's
// event codes so that the chooser can treat them alike.

#include "platform/volumes.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QFileSystemWatcher;
class QSocketNotifier;

namespace platform {

enum ShellChangeEvent : long {
    shcneMkDir = 0x8,
    shcneRmDir = 0x10,
    shcneDriveRemoved = 0x80,
    shcneDriveAdd = 0x100,
    shcneRenameFolder = 0x20000,
};

// A folder as Qt's file-system watcher can be handed it. The watcher names a folder by UTF-8
// alone, so a folder whose name holds other bytes (escaped as PathFromBytes does) is opened and
// handed over as /proc/self/fd/N: the kernel's watch holds the folder itself, not its name, and
// stays when the handle is closed. For any other folder the handle opens nothing and is the
// path itself.
class WatchableFolder {
public:
    explicit WatchableFolder(const QString& folder);
    ~WatchableFolder();
    WatchableFolder(const WatchableFolder&) = delete;
    WatchableFolder& operator=(const WatchableFolder&) = delete;

    // What to give the watcher; empty when the folder could not be opened.
    const QString& path() const { return path_; }

private:
    int fd_ = -1;
    QString path_;
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
    struct Watched {
        QSet<QString> subfolders;
        // Open while the folder is watched, so that no other folder's handle takes its name.
        std::shared_ptr<WatchableFolder> handle;
    };

    QFileSystemWatcher* watcher_;
    QHash<QString, Watched> watched_;
    QHash<QString, QString> byWatcherPath_; // the watcher's name of a folder -> its path
};

} // namespace platform
