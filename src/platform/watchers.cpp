// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/watchers.h"

#include "platform/pathnames.h"
#include "platform/volumes.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

QStringList MountPoints() {
    QStringList points;
    for (const Volume& volume : LogicalVolumes())
        points << volume.mountPoint;
    return points;
}

QString NormalFolder(const QString& folder) {
    return QDir::cleanPath(folder);
}

QString ChildPath(const QString& folder, const QString& name) {
    return folder == QLatin1String("/") ? folder + name : folder + QLatin1Char('/') + name;
}

QSet<QString> NameSet(const std::vector<std::string>& names) {
    QSet<QString> out;
    for (const std::string& name : names)
        out.insert(PathFromBytes(name));
    return out;
}

} // namespace

WatchableFolder::WatchableFolder(const QString& folder) {
    const std::string bytes = PathToBytes(folder);
    if (QFile::encodeName(folder).toStdString() == bytes) {
        path_ = folder;
        return;
    }
    fd_ = ::open(bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0)
        path_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

WatchableFolder::~WatchableFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

MountWatcher::MountWatcher(QObject* parent) : QObject(parent), known_(MountPoints()) {
    fd_ = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    // The kernel marks the file with POLLPRI | POLLERR once per change of the mount table;
    // an exception notifier is what polls for POLLPRI.
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, &MountWatcher::onMountTableChanged);
}

MountWatcher::~MountWatcher() {
    delete notifier_;
    if (fd_ >= 0)
        close(fd_);
}

void MountWatcher::onMountTableChanged() {
    rescan();
}

void MountWatcher::rescan() {
    const QStringList current = MountPoints();
    const QStringList previous = known_;
    known_ = current;
    for (const QString& point : previous) {
        if (!current.contains(point)) {
            emit volumeRemoved(point);
            emit changeNotified(shcneDriveRemoved, point);
        }
    }
    for (const QString& point : current) {
        if (!previous.contains(point)) {
            emit volumeAdded(point);
            emit changeNotified(shcneDriveAdd, point);
        }
    }
}

FolderWatcher::FolderWatcher(QObject* parent)
    : QObject(parent), watcher_(new QFileSystemWatcher(this)) {
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
            [this](const QString& folder) { rescan(folder); });
}

FolderWatcher::~FolderWatcher() = default;

bool FolderWatcher::watch(const QString& folder) {
    if (watched_.contains(NormalFolder(folder)))
        return true;
    const auto listing = SubfolderNamesInTime(NormalFolder(folder));
    return listing && *listing && watch(folder, **listing);
}

bool FolderWatcher::watch(const QString& folder, const std::vector<std::string>& subfolders) {
    const QString path = NormalFolder(folder);
    if (path.isEmpty())
        return false;
    if (watched_.contains(path))
        return true;
    auto handle = std::make_shared<WatchableFolder>(path);
    if (handle->path().isEmpty() || !watcher_->addPath(handle->path()))
        return false;
    byWatcherPath_.insert(handle->path(), path);
    watched_.insert(path, {NameSet(subfolders), std::move(handle)});
    return true;
}

void FolderWatcher::unwatch(const QString& folder) {
    const auto found = watched_.find(NormalFolder(folder));
    if (found == watched_.end())
        return;
    watcher_->removePath(found->handle->path());
    byWatcherPath_.remove(found->handle->path());
    watched_.erase(found);
}

void FolderWatcher::clear() {
    const QStringList watched = watcher_->directories();
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    byWatcherPath_.clear();
    watched_.clear();
}

QStringList FolderWatcher::folders() const {
    return watched_.keys();
}

void FolderWatcher::rescan(const QString& folder) {
    // The watcher reports a folder under the name it was given.
    const QString path = byWatcherPath_.value(folder, NormalFolder(folder));
    auto known = watched_.find(path);
    if (known == watched_.end())
        return;
    const auto listing = SubfolderNamesInTime(path);
    if (!listing)
        return; // a share that has not answered yet: its next change looks again
    if (!*listing) {
        // The folder itself is gone (or unreadable now): report it as removed, stop watching.
        unwatch(path);
        emit changeNotified(shcneRmDir, path);
        return;
    }
    const QSet<QString> now = NameSet(**listing);
    const QSet<QString> before = known->subfolders;
    known->subfolders = now;
    const QSet<QString> added = now - before;
    const QSet<QString> removed = before - now;
    if (added.size() == 1 && removed.size() == 1) {
        emit changeNotified(shcneRenameFolder, ChildPath(path, *added.begin()));
        return;
    }
    for (const QString& name : removed)
        emit changeNotified(shcneRmDir, ChildPath(path, name));
    for (const QString& name : added)
        emit changeNotified(shcneMkDir, ChildPath(path, name));
}

} // namespace platform
