// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/watchers.h"

#include "platform/answerwithin.h"
#include "platform/pathnames.h"
#include "platform/volumes.h"

#include <QDir>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

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

// The process's one inotify instance, read on the window's thread while any FolderChanges lives.
// It is never closed: a thread still waiting for a share to add a watch must find it open, and
// not another file under its number. The kernel gives the same watch for the same folder, so
// the watches are counted and given up when no folder holds them any more.
struct FolderChangesDispatch {
    static constexpr uint32_t kEvents =
        IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_ONLYDIR;

    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QSocketNotifier* notifier = nullptr;
    std::vector<FolderChanges*> listeners;
    std::map<int, int> users; // watch -> how many folders hold it

    static FolderChangesDispatch& instance() {
        static auto* const dispatch = new FolderChangesDispatch;
        return *dispatch;
    }

    void join(FolderChanges* listener) {
        listeners.push_back(listener);
        if (!notifier && fd >= 0) {
            notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this] { read(); });
        }
    }

    void leave(FolderChanges* listener) {
        std::erase(listeners, listener);
        if (listeners.empty()) {
            delete notifier; // Qt's notifier allows this from within its own signal
            notifier = nullptr;
        }
    }

    void release(int watch) {
        if (--users[watch] <= 0) {
            users.erase(watch);
            ::inotify_rm_watch(fd, watch);
        }
    }

    void read() {
        QSet<int> touched;
        QSet<int> gone; // given up by the kernel: the folder was removed, or its volume unmounted
        bool overflow = false;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW)
                    overflow = true;
                else
                    touched.insert(event->wd);
                if (event->mask & IN_IGNORED)
                    gone.insert(event->wd);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        for (int watch : gone)
            users.erase(watch);
        // A listener told of a change may end another, or itself.
        const std::vector<FolderChanges*> told = listeners;
        for (FolderChanges* listener : told)
            if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
                listener->take(touched, gone, overflow);
    }
};

int AddKernelWatch(const std::string& folder) {
    const int fd = FolderChangesDispatch::instance().fd;
    return fd < 0 ? -1 : ::inotify_add_watch(fd, folder.c_str(), FolderChangesDispatch::kEvents);
}

FolderChanges::FolderChanges(QObject* parent) : QObject(parent) {
    FolderChangesDispatch::instance().join(this);
}

FolderChanges::~FolderChanges() {
    clear();
    FolderChangesDispatch::instance().leave(this);
}

bool FolderChanges::watch(const QString& folder) {
    FolderChangesDispatch& dispatch = FolderChangesDispatch::instance();
    if (folder.isEmpty() || dispatch.fd < 0)
        return false;
    if (watches_.contains(folder))
        return true;
    if (MayStallAt(folder)) {
        watches_.insert(folder, kAsking);
        askShare(folder);
        return true;
    }
    const int watch = AddKernelWatch(PathToBytes(folder));
    if (watch < 0)
        return false;
    ++dispatch.users[watch];
    watches_.insert(folder, watch);
    return true;
}

// Asked at once and again every tenth of a second (nothing while the share has not answered,
// its answer once it has), as long as the folder is wanted.
void FolderChanges::askShare(const QString& folder) {
    FolderChangesDispatch& dispatch = FolderChangesDispatch::instance();
    const std::string bytes = PathToBytes(folder);
    const auto watch = AnswerWithin<int>("watch " + bytes, std::chrono::milliseconds(0),
                                         [bytes] { return AddKernelWatch(bytes); });
    if (!watch) {
        QTimer::singleShot(100, this, [this, folder] {
            if (watches_.value(folder, 0) == kAsking)
                askShare(folder);
        });
        return;
    }
    if (*watch < 0) {
        watches_.remove(folder);
        return;
    }
    ++dispatch.users[*watch];
    watches_[folder] = *watch;
}

void FolderChanges::unwatch(const QString& folder) {
    const auto found = watches_.find(folder);
    if (found == watches_.end())
        return;
    const int watch = *found;
    watches_.erase(found);
    if (watch != kAsking)
        FolderChangesDispatch::instance().release(watch);
}

void FolderChanges::clear() {
    for (const int watch : std::as_const(watches_))
        if (watch != kAsking)
            FolderChangesDispatch::instance().release(watch);
    watches_.clear();
}

QStringList FolderChanges::folders() const {
    return watches_.keys();
}

void FolderChanges::take(const QSet<int>& touched, const QSet<int>& gone, bool overflow) {
    QStringList changedFolders;
    for (auto it = watches_.begin(); it != watches_.end();) {
        const bool changed = *it != kAsking && (overflow || touched.contains(*it));
        if (changed)
            changedFolders << it.key();
        it = changed && gone.contains(*it) ? watches_.erase(it) : std::next(it);
    }
    const QPointer<FolderChanges> alive(this);
    for (const QString& folder : std::as_const(changedFolders))
        if (alive)
            emit changed(folder);
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
    : QObject(parent), changes_(new FolderChanges(this)) {
    connect(changes_, &FolderChanges::changed, this, &FolderWatcher::rescan);
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
    if (path.isEmpty() || !changes_->watch(path))
        return false;
    watched_.insert(path, NameSet(subfolders));
    return true;
}

void FolderWatcher::unwatch(const QString& folder) {
    changes_->unwatch(NormalFolder(folder));
    watched_.remove(NormalFolder(folder));
}

void FolderWatcher::clear() {
    changes_->clear();
    watched_.clear();
}

QStringList FolderWatcher::folders() const {
    return watched_.keys();
}

void FolderWatcher::rescan(const QString& folder) {
    const QString path = NormalFolder(folder);
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
    const QSet<QString> before = *known;
    *known = now;
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
