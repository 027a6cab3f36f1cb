// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/filesearch.h"

#include "common/folderentries.h"
#include "common/iotiming.h"
#include "jtext/filename.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

bool IsDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Whether an entry of the folder open as fd is a folder, a link to one included. It is looked
// up only when the listing of names does not tell what it is (a link, or a file system without
// entry types).
bool IsFolderEntry(int fd, const dirent64& entry) {
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_DIR;
    struct stat st {};
    return fstatat(fd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// The attributes an entry's name gives: the hidden bit.
uint32_t NameAttributes(const std::string& name) {
    return name[0] == '.' && !IsDotName(name.c_str()) ? uint32_t(faHidden) : 0;
}

// Fills everything but the name from a statx of the entry named out.bytes in the folder
// dirFd; path, when given, is what to look up instead (a full path).
bool StatEntry(int dirFd, const FolderFacts& facts, FindData& out, const char* path = nullptr) {
    FileStatus status;
    if (!StatFile(dirFd, path ? path : out.bytes.c_str(), AT_STATX_SYNC_AS_STAT, status))
        return false;
    FillFromStatus(status, facts, out);
    return true;
}

// The file systems whose every call goes to another machine or another process.
bool IsRemoteFileSystem(long type) {
    static constexpr long kRemote[] = {
        0x6969,     // NFS
        0x517B,     // SMB
        0xFF534D42, // CIFS
        0xFE534D42, // SMB2
        0x65735546, // FUSE (sshfs, rclone, ntfs-3g's daemon, ...)
        0x01021997, // 9P
        0x5346414F, // AFS
        0x6B414653, // kAFS
        0x00C36400, // Ceph
        0x73757245, // Coda
        0x01161970, // GFS2
        0x7461636F, // OCFS2
    };
    return std::find(std::begin(kRemote), std::end(kRemote), type) != std::end(kRemote);
}

// The first byte of a small file of /sys; 0 when it cannot be read.
char SysFlag(const std::string& path) {
    char c = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        if (::read(fd, &c, 1) != 1)
            c = 0;
        ::close(fd);
    }
    return c;
}

// Whether the block device holds a disk that turns or can be removed, as its queue tells (a
// partition: its disk's). Asked once a device.
bool IsSlowDisk(dev_t device) {
    static std::mutex mutex;
    static std::map<dev_t, bool> known;
    const std::lock_guard lock(mutex);
    if (const auto found = known.find(device); found != known.end())
        return found->second;
    const std::string block =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    bool slow = false;
    for (const char* attribute : {"/queue/rotational", "/removable"}) {
        char flag = SysFlag(block + attribute);
        if (flag == 0)
            flag = SysFlag(block + "/.." + attribute);
        slow = slow || flag == '1';
    }
    known.emplace(device, slow);
    return slow;
}

// Whether calls on the volume of the open folder dirFd may wait for its device, from what the
// kernel says of it, and whether it is mounted read-only.
void AskVolume(int dirFd, dev_t device, FolderFacts& facts) {
    facts.device.id = device; // known whatever the volume answers: it tells the folder again
    struct statfs volume {};
    if (::fstatfs(dirFd, &volume) != 0)
        return;
    facts.readOnlyVolume = (volume.f_flags & ST_RDONLY) != 0;
    // A device number of major 0 has no block device behind it: memory, an overlay, a file
    // system that numbers its own volumes.
    facts.device.kind = IsRemoteFileSystem(long(volume.f_type))    ? iotiming::DeviceKind::Remote
                        : major(device) != 0 && IsSlowDisk(device) ? iotiming::DeviceKind::Disk
                                                                   : iotiming::DeviceKind::Local;
}

// Who asks: the read-only bit is whether they may write.
void AskIdentity(FolderFacts& facts) {
    facts.user = ::geteuid();
    facts.group = ::getegid();
    static_assert(sizeof(gid_t) == sizeof(uint32_t));
    if (const int count = ::getgroups(0, nullptr); count > 0) {
        facts.groups.resize(size_t(count));
        facts.groups.resize(size_t(std::max(::getgroups(count, facts.groups.data()), 0)));
    }
}

FolderFacts FactsOf(int dirFd, dev_t device) {
    FolderFacts facts;
    AskVolume(dirFd, device, facts);
    AskIdentity(facts);
    return facts;
}

bool PassesFilter(uint32_t attr, uint32_t filter) {
    const uint32_t special = attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    return (special & ~filter) == 0;
}

// The device and inode of what path in dirFd names (dirFd itself for ""): as long as the folder
// is open they cannot change, so the kernel answers from what it knows. On a share each status
// asked anew waits for the server, which the folder's opening has just asked.
bool IdentityOf(int dirFd, const char* path, FileStatus& status) {
    return StatFile(dirFd, path, (*path ? 0 : AT_EMPTY_PATH) | AT_STATX_DONT_SYNC, status);
}

// ".." of the root is the root itself: that is the one folder without a ".." entry.
bool IsOwnParent(int dirFd, const FileStatus& self) {
    FileStatus parent;
    return IdentityOf(dirFd, "..", parent) && self.device == parent.device &&
           self.inode == parent.inode;
}

} // namespace

void FillFromStatus(const FileStatus& status, const FolderFacts& folder, FindData& entry) {
    const bool isDir = S_ISDIR(status.mode);
    const bool isReg = S_ISREG(status.mode);
    uint32_t attr = (isDir   ? faDirectory
                     : isReg ? faArchive
                             : faSysFile) |
                    NameAttributes(entry.bytes);
    const uint32_t writeBit =
        folder.user == 0              ? 0
        : status.owner == folder.user ? S_IWUSR
        : status.group == folder.group || std::find(folder.groups.begin(), folder.groups.end(),
                                                    status.group) != folder.groups.end()
            ? S_IWGRP
            : S_IWOTH;
    if (folder.readOnlyVolume || (writeBit != 0 && (status.mode & writeBit) == 0))
        attr |= faReadOnly;
    entry.attr = attr;
    entry.size = isReg ? status.size : 0;
    auto local = [](const FileStatus::Time& t) {
        return UnixToLocalDateTime(std::time_t(t.seconds), long(t.nanoseconds));
    };
    entry.lastWriteTime = local(status.modified);
    entry.lastAccessTime = local(status.accessed);
    entry.creationTime = local(status.born);
    entry.device = status.device;
    entry.inode = status.inode;
    entry.lookedUp = true;
}

bool LookUpEntry(const std::string& folder, const FolderFacts& facts, FindData& entry) {
    return StatEntry(AT_FDCWD, facts, entry, (folder + entry.bytes).c_str());
}

namespace {

// How the entries of one folder are looked up: a statx each, except the regular files the
// caller looks up itself.
struct EntryLookup {
    int dirFd = -1;
    FolderFacts facts;
    std::function<bool(std::string_view name)> deferred;

    // Whether the entry name of the given dirent type is left to the caller to look up.
    bool Deferred(std::string_view name, unsigned char type) const {
        return type == DT_REG && deferred && deferred(name);
    }

    // Fills out (its name included) for the entry name of the given dirent type; false when
    // it cannot be looked up.
    bool operator()(const char* name, unsigned char type, FindData& out) const {
        out.bytes = name;
        if (type != DT_UNKNOWN)
            out.link = type == DT_LNK;
        if (Deferred(out.bytes, type)) {
            out.attr = faArchive | NameAttributes(out.bytes);
            out.lookedUp = false;
            return true;
        }
        return StatEntry(dirFd, facts, out);
    }
};

} // namespace

// Looks up the next entries of a folder on many threads, for folders whose lookups wait for
// their device: on a network share or a USB stick each statx and faccessat waits a round trip,
// and one after another they would take longer than reading the files. Entries are still
// handed out in the folder's order; the search's own thread looks up the next one itself
// when no thread has taken it up yet.
class LookupAhead {
public:
    static constexpr unsigned kMaxThreads = 32;
    // How many names are read from the folder ahead of the entry handed out.
    static constexpr size_t kAhead = 4 * kMaxThreads;

    LookupAhead(FolderEntries& dir, bool isRoot, const EntryLookup& lookup, unsigned threads)
        : dir_(dir), isRoot_(isRoot), lookup_(lookup) {
        // The first names are taken up at once (before any thread, which an allocation that
        // fails must not leave running): for a folder read whole, the threads look its entries
        // up while the caller is still busy with what it does first.
        {
            const std::lock_guard lock(mutex_);
            ReadNames();
        }
        try {
            for (unsigned i = 0; i < threads; ++i)
                threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // The threads started do the work; without any, Next looks up every entry itself.
        }
    }
    ~LookupAhead() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        workAllowed_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }
    LookupAhead(const LookupAhead&) = delete;
    LookupAhead& operator=(const LookupAhead&) = delete;

    // The next entry whose lookup succeeded; false at the end of the folder, with the listing's
    // error in error.
    bool Next(FindData& found, int& error) {
        std::unique_lock lock(mutex_);
        for (;;) {
            ReadNames();
            if (pending_.empty()) {
                error = readError_;
                return false;
            }
            Pending& front = pending_.front();
            if (lookedUp_ == 0) { // no thread has it: look it up here rather than wait
                ++lookedUp_;
                lock.unlock();
                LookUp(front);
                lock.lock();
                front.done = true;
            }
            frontDone_.wait(lock, [&] { return front.done; });
            const bool ok = front.ok;
            if (ok)
                found = std::move(front.data);
            pending_.pop_front();
            --lookedUp_;
            if (ok)
                return true;
        }
    }

private:
    struct Pending {
        std::string name;
        unsigned char type = DT_UNKNOWN;
        FindData data;
        bool ok = false;
        bool done = false;
    };

    // Tops the names up to kAhead; the folder is read on this thread only, with the lock held
    // (the names come in large blocks, so it seldom waits).
    void ReadNames() {
        const size_t before = pending_.size();
        while (!dirEnded_ && pending_.size() < kAhead) {
            const dirent64* entry = dir_.next();
            if (!entry) {
                readError_ = dir_.error();
                dirEnded_ = true;
                break;
            }
            if (isRoot_ && std::strcmp(entry->d_name, "..") == 0)
                continue;
            pending_.push_back(Pending{entry->d_name, entry->d_type, {}, false, false});
        }
        if (pending_.size() > before)
            workAllowed_.notify_all();
    }

    void LookUp(Pending& p) const { p.ok = lookup_(p.name.c_str(), p.type, p.data); }

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            workAllowed_.wait(lock, [&] { return stopping_ || lookedUp_ < pending_.size(); });
            if (stopping_)
                return;
            // Elements of a deque stay where they are while others are added at the back or
            // taken from the front, and the front is not taken before it is done.
            Pending& p = pending_[lookedUp_++];
            lock.unlock();
            LookUp(p);
            lock.lock();
            p.done = true;
            if (&p == &pending_.front())
                frontDone_.notify_one();
        }
    }

    FolderEntries& dir_;
    const bool isRoot_;
    const EntryLookup& lookup_;
    std::mutex mutex_;
    std::condition_variable workAllowed_;
    std::condition_variable frontDone_;
    std::deque<Pending> pending_; // names read and not handed out, in the folder's order
    size_t lookedUp_ = 0;         // of those, the first ones taken up
    bool dirEnded_ = false;
    int readError_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

struct FileSearch::State {
    std::string path; // as given to FindFirst
    std::optional<FolderEntries> dir;
    uint32_t filter = 0;
    bool isRoot = false;
    EntryLookup lookup;
    // Lookups are made one after another until they are seen to wait for the device.
    iotiming::CallTimer lookupTimer;
    std::unique_ptr<LookupAhead> ahead;
    ~State() {
        ahead.reset(); // its threads use dir
    }
};

FileSearch::FileSearch() = default;

FileSearch::~FileSearch() {
    FindClose();
}

void FileSearch::FindClose() {
    state_.reset();
}

void FileSearch::DeferLookups(std::function<bool(std::string_view name)> deferred) {
    deferred_ = std::move(deferred);
}

const FolderFacts& FileSearch::Facts() const {
    static const FolderFacts none;
    return state_ ? state_->lookup.facts : none;
}

int FileSearch::FolderFd() const {
    return state_ ? state_->dir->fd() : -1;
}

FolderEntries::Listing FileSearch::Listing() const {
    return state_ ? state_->dir->listing() : FolderEntries::Listing();
}

bool FileSearch::FindFirst(const std::string& path, uint32_t filter, FindData& found) {
    if (!OpenFolder(path, filter))
        return false;
    if (FindNext(found))
        return true;
    if (error_ == 0)
        error_ = ENOENT;
    FindClose();
    return false;
}

bool FileSearch::OpenFolder(const std::string& path, uint32_t filter) {
    FindClose();
    error_ = 0;
    if (path.empty()) {
        error_ = ENOENT;
        return false;
    }
    state_ = std::make_unique<State>();
    if (!state_->dir.emplace(path).isOpen()) {
        error_ = errno;
        state_.reset();
        return false;
    }
    state_->path = path;
    state_->filter = filter;
    FileStatus self;
    const int fd = state_->dir->fd();
    if (IdentityOf(fd, "", self)) {
        state_->isRoot = IsOwnParent(fd, self);
        state_->lookup.facts = FactsOf(fd, dev_t(self.device));
        state_->lookup.facts.inode = self.inode;
    }
    state_->lookup.dirFd = fd;
    state_->lookup.deferred = deferred_;
    state_->lookupTimer = iotiming::CallTimer(state_->lookup.facts.device);
    return true;
}

bool FileSearch::Open(const std::string& path, uint32_t filter) {
    if (!OpenFolder(path, filter))
        return false;
    // A device seen waiting, by this listing (the first call on a share that waits for it,
    // when it waited kLongWait with the device's sign) or before (the folder before this one),
    // has the entries looked up on threads from the first: the folders among them are then looked
    // up while the caller reads the files before them, rather than one by one after. The caller's
    // own reading of files knows it too, before its first file is opened.
    iotiming::CallTimer listing(state_->lookup.facts.device);
    listing.Start();
    state_->dir->ReadWhole();
    if (const unsigned threads = listing.Stop(1, LookupAhead::kMaxThreads); threads > 1) {
        // No more threads than entries to look up: a folder of files the caller looks up
        // itself has only "." and ".." (and a subfolder or two).
        size_t toLookUp = 0;
        FolderEntries::Listing names = state_->dir->listing();
        for (const dirent64* entry = names.next(); entry && toLookUp < threads;
             entry = names.next())
            toLookUp += !state_->lookup.Deferred(entry->d_name, entry->d_type);
        state_->ahead =
            std::make_unique<LookupAhead>(*state_->dir, state_->isRoot, state_->lookup,
                                          unsigned(std::clamp<size_t>(toLookUp, 1, threads)));
    }
    return true;
}

namespace {

// The hook is read by searches on worker threads while a test may replace it: each call takes
// its own reference, so a hook replaced while it runs (one that waits for a hung share) stays
// alive until it returns. The flag keeps the lock off the path of every search without a hook.
struct StepHookSlot {
    std::mutex mutex;
    std::shared_ptr<const SearchStepHook> hook;
    std::atomic<bool> set{false};
};

StepHookSlot& StepHook() {
    static StepHookSlot slot;
    return slot;
}

void RunStepHook(const std::string& folder) {
    StepHookSlot& slot = StepHook();
    if (!slot.set.load(std::memory_order_acquire))
        return;
    std::shared_ptr<const SearchStepHook> hook;
    {
        const std::lock_guard lock(slot.mutex);
        hook = slot.hook;
    }
    if (hook)
        (*hook)(folder);
}

} // namespace

SearchStepHook SetSearchStepHook(SearchStepHook hook) {
    StepHookSlot& slot = StepHook();
    const std::lock_guard lock(slot.mutex);
    SearchStepHook previous = slot.hook ? *slot.hook : SearchStepHook();
    slot.hook = hook ? std::make_shared<const SearchStepHook>(std::move(hook)) : nullptr;
    slot.set.store(slot.hook != nullptr, std::memory_order_release);
    return previous;
}

bool FileSearch::FindNext(FindData& found) {
    if (!state_ || !state_->dir)
        return false;
    RunStepHook(state_->path);
    State& state = *state_;
    for (;;) {
        FindData data;
        if (state.ahead) {
            if (!state.ahead->Next(data, error_))
                return false;
            if (!PassesFilter(data.attr, state.filter))
                continue;
            data.name = FileNameForDisplay(data.bytes);
            found = std::move(data);
            return true;
        }
        const dirent64* entry = state.dir->next();
        if (!entry) {
            error_ = state.dir->error();
            return false;
        }
        const char* name = entry->d_name;
        if (state.isRoot && std::strcmp(name, "..") == 0)
            continue;
        state.lookupTimer.Start();
        const bool ok = state.lookup(name, entry->d_type, data);
        if (const unsigned threads = state.lookupTimer.Stop(1, LookupAhead::kMaxThreads);
            threads > 1)
            state.ahead =
                std::make_unique<LookupAhead>(*state.dir, state.isRoot, state.lookup, threads);
        if (!ok || !PassesFilter(data.attr, state.filter))
            continue;
        data.name = FileNameForDisplay(data.bytes);
        found = std::move(data);
        return true;
    }
}

std::vector<FindData> ListFolder(const std::string& folder, uint32_t filter) {
    std::vector<FindData> entries;
    FileSearch search;
    FindData data;
    for (bool ok = search.Open(folder, filter) && search.FindNext(data); ok;
         ok = search.FindNext(data))
        entries.push_back(data);
    return entries;
}

std::optional<std::vector<std::string>> SubfolderNames(const std::string& folder) {
    if (folder.empty())
        return std::nullopt;
    FolderEntries dir(folder);
    if (!dir.isOpen())
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent64* entry = dir.next())
        if (!IsDotName(entry->d_name) && IsFolderEntry(dir.fd(), *entry))
            names.emplace_back(entry->d_name);
    return names;
}

bool MayHaveSubfolders(const std::string& folder, bool hidden) {
    if (folder.empty())
        return false;
    FolderEntries dir(folder);
    if (!dir.isOpen())
        return false;
    bool found = false;
    for (size_t probed = 0; const dirent64* entry = dir.next(); ++probed) {
        if (probed == kProbedEntries) {
            found = true;
            break;
        }
        if (IsDotName(entry->d_name) || (!hidden && entry->d_name[0] == '.'))
            continue;
        if ((found = IsFolderEntry(dir.fd(), *entry)))
            break;
    }
    return found;
}

std::optional<FindData> FileInfoOf(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    // The last component decides "hidden"; trailing slashes do not make one.
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    const size_t slash = trimmed.rfind('/');
    FindData data;
    data.bytes = std::string(slash == trimmed.npos ? trimmed : trimmed.substr(slash + 1));
    FolderFacts facts;
    AskIdentity(facts);
    if (!StatEntry(AT_FDCWD, facts, data, path.c_str()))
        return std::nullopt;
    if (struct statfs volume{};
        ::statfs(path.c_str(), &volume) == 0 && (volume.f_flags & ST_RDONLY) != 0)
        data.attr |= faReadOnly;
    data.name = FileNameForDisplay(data.bytes);
    return data;
}

std::optional<uint32_t> FileAttributes(const std::string& path) {
    const auto info = FileInfoOf(path);
    if (!info)
        return std::nullopt;
    return info->attr;
}

} // namespace platform
