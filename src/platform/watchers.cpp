#include "platform/watchers.h"

#include "platform/filesearch.h"

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

// The names of folder's subfolders, hidden ones included; nothing when it cannot be read.
std::optional<QSet<QString>> Subfolders(const QString& folder) {
    FileSearch search;
    FindData found;
    if (!search.FindFirst(folder, faAnyFile, found))
        return std::nullopt;
    QSet<QString> names;
    do {
        if ((found.attr & faDirectory) && found.name != QLatin1String(".") &&
            found.name != QLatin1String(".."))
            names.insert(found.name);
    } while (search.FindNext(found));
    return names;
}

} // namespace

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
    const QString path = NormalFolder(folder);
    if (path.isEmpty())
        return false;
    if (subfolders_.contains(path))
        return true;
    auto names = Subfolders(path);
    if (!names || !watcher_->addPath(path))
        return false;
    subfolders_.insert(path, *names);
    return true;
}

void FolderWatcher::unwatch(const QString& folder) {
    const QString path = NormalFolder(folder);
    if (subfolders_.remove(path))
        watcher_->removePath(path);
}

void FolderWatcher::clear() {
    const QStringList watched = watcher_->directories();
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    subfolders_.clear();
}

QStringList FolderWatcher::folders() const {
    return subfolders_.keys();
}

void FolderWatcher::rescan(const QString& folder) {
    const QString path = NormalFolder(folder);
    auto known = subfolders_.find(path);
    if (known == subfolders_.end())
        return;
    const auto now = Subfolders(path);
    if (!now) {
        // The folder itself is gone (or unreadable now): report it as removed, stop watching.
        subfolders_.erase(known);
        watcher_->removePath(path);
        emit changeNotified(shcneRmDir, path);
        return;
    }
    const QSet<QString> before = known.value();
    known.value() = *now;
    const QSet<QString> added = *now - before;
    const QSet<QString> removed = before - *now;
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
