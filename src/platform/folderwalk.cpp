// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderwalk.h"

#include "common/errors.h"
#include "jtext/filename.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace platform {

std::string FolderCannotBeListed(const std::string& shownPath) {
    return "ディレクトリ'" + FileNameForDisplay(shownPath) + "'は検索できません";
}

namespace {

using FileId = std::pair<uint64_t, uint64_t>; // device, inode

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The subfolders that a walk will enter, as far as its listing tells, in the order it enters
// them: folders (not links, whose targets a listing does not tell) that pass the filter.
std::vector<std::string> SubfoldersListed(FolderEntries::Listing listing, const FolderWalk& walk) {
    std::vector<std::string> names;
    if (!(walk.filter & faDirectory))
        return names;
    while (const dirent64* entry = listing.next()) {
        const std::string_view name = entry->d_name;
        if (entry->d_type != DT_DIR || name == "." || name == ".." ||
            (name[0] == '.' && !(walk.filter & faHidden)))
            continue;
        names.emplace_back(name);
    }
    if (walk.subfoldersLast)
        std::sort(names.begin(), names.end());
    return names;
}

// Folders of a walk on a device seen waiting, opened and listed ahead of it in the order it
// enters them: on a share, opening a folder and reading its names are round trips that the walk
// would otherwise wait for one folder after another, each time after the files of the folder
// before it were read; and the caller, told of each (onFolderAhead), reads its files meanwhile.
// The order is foreseen from the listings: a folder's subfolders come right after its own
// entries, before the folders after it, so those of a folder listed ahead are foreseen right
// after it, and the next kNext folders foreseen, at any depth, are kept opening or open.
// Which folders are entered is still the walk's to decide: the folders foreseen before the one
// it enters are passed over (closed, their ends told), one not foreseen it opens itself.
class FoldersAhead {
public:
    // A folder opened stays open until the walk comes to it, also when the subfolders of the
    // ones before it are foreseen before it: kNext folders are opened ahead of the walk, kMost
    // are held open at most. 2,000 files in 51 folders two levels deep, at 20 ms a request, took
    // 2.2 s when each folder opened the next four of its own subfolders, 1.6-1.7 s with these,
    // and 3.0 s with the next eight of at most eight (the later ones, opened first, held them).
    static constexpr size_t kMost = kMostFoldersOpenedAhead;
    static constexpr size_t kNext = kMost / 2;

    explicit FoldersAhead(const FolderWalk& walk) : walk_(walk) {}
    ~FoldersAhead() {
        std::vector<std::shared_ptr<Foreseen>> started;
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
            started = Remove(order_.end());
        }
        for (const auto& foreseen : started)
            if (const std::unique_ptr<Opened> opened = Wait(*foreseen))
                End(*opened);
    }
    FoldersAhead(const FoldersAhead&) = delete;
    FoldersAhead& operator=(const FoldersAhead&) = delete;

    // The subfolders (names) of the folder being walked, in the order the walk enters them:
    // they come next, before every folder foreseen so far.
    void Expect(const WalkedFolder& folder, const std::vector<std::string>& names) {
        const std::lock_guard lock(mutex_);
        Insert(order_.begin(), folder, names);
        Fill();
    }

    // The search of the folder at path (bytes ending in "/"), a subfolder of parent, the folder
    // being walked, opened (FolderFd() -1 when it could not be), and whether its subfolders are
    // foreseen already; nullptr when it was not opened ahead, and the caller opens it. The
    // folders foreseen before it are passed over.
    std::unique_ptr<FileSearch> Take(const std::string& parent, const std::string& path,
                                     bool& subfoldersForeseen) {
        std::vector<std::shared_ptr<Foreseen>> passed;
        std::shared_ptr<Foreseen> wanted;
        {
            const std::lock_guard lock(mutex_);
            // The folders foreseen below parent come first, in the walk's order: one not among
            // them was not foreseen.
            auto found = order_.begin();
            while (found != order_.end() && (*found)->path != path &&
                   (*found)->path.starts_with(parent))
                ++found;
            if (found == order_.end() || (*found)->path != path)
                return nullptr;
            wanted = *found;
            passed = Remove(found);
            if (!wanted->started) {
                Remove(std::next(order_.begin()));
                wanted = nullptr;
            }
            Fill();
        }
        // A folder still being opened stays foreseen until it is listed, so that its subfolders
        // are foreseen right after it.
        std::unique_ptr<Opened> opened;
        if (wanted) {
            opened = Wait(*wanted);
            const std::lock_guard lock(mutex_);
            Remove(std::next(wanted->at));
            Fill();
        }
        // The others' openings are waited for, so that their ends are told before the walk
        // goes on.
        std::exception_ptr error = opened ? opened->error : nullptr;
        for (const auto& foreseen : passed)
            if (const std::unique_ptr<Opened> closed = Wait(*foreseen)) {
                End(*closed);
                if (!error)
                    error = closed->error;
            }
        if (error) {
            if (opened)
                End(*opened);
            std::rethrow_exception(error);
        }
        if (!opened)
            return nullptr;
        subfoldersForeseen = opened->subfoldersForeseen;
        return std::move(opened->search); // the walk tells its end
    }

private:
    // A subfolder opened, and whether the caller was told of it: its end is told on the walk's
    // thread, as every folder's, also when the telling threw (error).
    struct Opened {
        std::unique_ptr<FileSearch> search;
        WalkedFolder folder;
        bool told = false;
        std::exception_ptr error;
        bool subfoldersForeseen = false;
    };
    struct Foreseen {
        std::string path, relative;
        std::list<std::shared_ptr<Foreseen>>::iterator at; // in order_, while inOrder
        bool inOrder = true;
        bool started = false;
        std::future<std::unique_ptr<Opened>> opening;
    };

    // Foresees the subfolders names of folder before pos: all of them, or none when memory
    // runs out.
    void Insert(std::list<std::shared_ptr<Foreseen>>::iterator pos, const WalkedFolder& folder,
                const std::vector<std::string>& names) {
        std::list<std::shared_ptr<Foreseen>> added;
        for (const std::string& name : names) {
            auto& foreseen = added.emplace_back(std::make_shared<Foreseen>());
            foreseen->path = folder.path + name + "/";
            foreseen->relative = folder.relative + name + "/";
            foreseen->at = std::prev(added.end()); // still valid once spliced
        }
        order_.splice(pos, added);
    }

    // Takes the folders foreseen before last out of the order; those started, to be waited for.
    std::vector<std::shared_ptr<Foreseen>>
    Remove(std::list<std::shared_ptr<Foreseen>>::iterator last) {
        std::vector<std::shared_ptr<Foreseen>> started;
        for (auto it = order_.begin(); it != last; ++it) {
            (*it)->inOrder = false;
            if ((*it)->started) {
                started.push_back(*it);
                --opening_;
            }
        }
        order_.erase(order_.begin(), last);
        return started;
    }

    // Starts opening the next kNext folders foreseen, while fewer than kMost are open and
    // threads are to be had.
    void Fill() {
        size_t position = 0;
        for (const auto& foreseen : order_) {
            if (closing_ || opening_ >= kMost || position++ == kNext)
                return;
            if (foreseen->started)
                continue;
            try {
                foreseen->opening = std::async(std::launch::async,
                                               [this, raw = foreseen.get()] { return Open(*raw); });
            } catch (...) {
                return; // no thread or no memory: the walk opens it when it comes to it
            }
            foreseen->started = true;
            ++opening_;
        }
    }

    // On a thread of its own: opens and lists the folder, tells the caller, and foresees its
    // subfolders right after it unless the walk has taken it (or passed it over) meanwhile.
    // foreseen lives until its opening has been waited for.
    std::unique_ptr<Opened> Open(Foreseen& foreseen) {
        auto opened = std::make_unique<Opened>();
        opened->search = std::make_unique<FileSearch>();
        FileSearch& search = *opened->search;
        search.DeferLookups(walk_.deferLookup);
        WalkedFolder& folder = opened->folder;
        folder.path = foreseen.path;
        folder.relative = foreseen.relative;
        search.Open(folder.path, walk_.filter);
        if (search.FolderFd() < 0)
            return opened;
        folder.facts = search.Facts();
        folder.fd = search.FolderFd();
        folder.listing = search.Listing();
        if (walk_.onFolderAhead) {
            opened->told = true;
            try {
                walk_.onFolderAhead(folder);
            } catch (...) {
                opened->error = std::current_exception();
                return opened;
            }
        }
        // Nothing may throw past this point once told: the end is owed. Without memory for the
        // names, the walk foresees them itself when it comes to the folder.
        try {
            const std::vector<std::string> names = SubfoldersListed(folder.listing, walk_);
            const std::lock_guard lock(mutex_);
            if (foreseen.inOrder) {
                Insert(std::next(foreseen.at), folder, names);
                opened->subfoldersForeseen = true;
                Fill();
            }
        } catch (const std::bad_alloc&) {
        }
        return opened;
    }

    // What opening foreseen gave; nullptr when it failed (no memory, no thread).
    static std::unique_ptr<Opened> Wait(Foreseen& foreseen) {
        try {
            return foreseen.opening.get();
        } catch (...) {
            return nullptr;
        }
    }

    // Tells the end of a folder opened ahead that the walk does not enter, if it told of it.
    void End(Opened& opened) {
        if (std::exchange(opened.told, false) && walk_.onFolderEnd)
            walk_.onFolderEnd(opened.folder);
    }

    const FolderWalk& walk_;
    std::mutex mutex_;                           // for what follows
    std::list<std::shared_ptr<Foreseen>> order_; // the folders foreseen, in the walk's order
    size_t opening_ = 0;                         // of them started
    bool closing_ = false;
};

// Tells a folder's end once, however the walk of its entries ends (keepGoing, an event that
// throws): what the caller holds for the folder may point into its listing, which goes with
// its search.
class FolderEnd {
public:
    FolderEnd(const FolderWalk& walk, const WalkedFolder& folder) : walk_(walk), folder_(folder) {}
    ~FolderEnd() { Tell(); }
    FolderEnd(const FolderEnd&) = delete;
    FolderEnd& operator=(const FolderEnd&) = delete;
    void Tell() {
        if (std::exchange(owed_, false) && walk_.onFolderEnd)
            walk_.onFolderEnd(folder_);
    }

private:
    const FolderWalk& walk_;
    const WalkedFolder& folder_;
    bool owed_ = true;
};

class Walker {
public:
    explicit Walker(const FolderWalk& walk) : walk_(walk) {}

    // False when keepGoing ended the walk. id is the folder's as its entry gave it; the root's
    // is taken from the folder opened.
    // opened, when given, is the folder's search opened ahead, and subfoldersForeseen whether
    // its subfolders are foreseen already.
    bool Walk(WalkedFolder folder, std::optional<FileId> id,
              std::unique_ptr<FileSearch> opened = nullptr, bool subfoldersForeseen = false) {
        if (!opened) {
            opened = std::make_unique<FileSearch>();
            opened->DeferLookups(walk_.deferLookup);
            opened->Open(folder.path, walk_.filter);
        }
        FileSearch& search = *opened;
        if (search.FolderFd() < 0)
            return Unlistable(folder);
        folder.facts = search.Facts();
        folder.fd = search.FolderFd();
        folder.listing = search.Listing();
        FolderEnd end(walk_, folder);
        const auto seenWaiting = [&] {
            return walk_.recursive && iotiming::ThreadsSeenWanting(folder.facts.device, 1, 1) > 0;
        };
        if (!subfoldersForeseen && seenWaiting()) {
            Ahead().Expect(folder, SubfoldersListed(folder.listing, walk_));
            subfoldersForeseen = true;
        }
        entered_.emplace(id.value_or(FileId{folder.facts.device.id, folder.facts.inode}),
                         folder.path.size() > 1 ? folder.path.substr(0, folder.path.size() - 1)
                                                : folder.path);
        // Told before the first entry is read: on a share, what the caller does with the folder
        // (its own listing, files read ahead) goes on meanwhile.
        if (walk_.onFolderStart)
            walk_.onFolderStart(folder);
        FindData found;
        if (!search.FindNext(found)) {
            // Opened, but not even "." could be read: a share that failed in between.
            end.Tell();
            return Unlistable(folder);
        }
        std::vector<std::tuple<std::string, FileId, bool>> later; // name, id, link
        do {
            const bool parent = found.bytes == "..";
            const bool reported = found.bytes != "." && !(parent && !folder.relative.empty() &&
                                                          !walk_.parentInSubfolders);
            if (reported && walk_.onEntry)
                walk_.onEntry(folder, found);
            if (reported && walk_.recursive && !parent && (found.attr & faDirectory)) {
                const FileId sub{found.device, found.inode};
                // The listing tells a link from a folder; a status by path is a round trip for
                // each folder on the way on a share.
                if (!walk_.followLinks &&
                    (found.link ? *found.link : IsLink(folder.path + found.bytes))) {
                    if (walk_.onLinkNotFollowed)
                        walk_.onLinkNotFollowed(folder.path + found.bytes);
                } else if (walk_.subfoldersLast) {
                    later.emplace_back(found.bytes, sub, found.link.value_or(false));
                } else if (!Enter(folder, found.bytes, sub, found.link.value_or(false))) {
                    return false;
                }
            }
            if (walk_.keepGoing && !walk_.keepGoing())
                return false;
        } while (search.FindNext(found));
        end.Tell();
        search.FindClose(); // not held open while the subfolders are walked
        std::sort(later.begin(), later.end());
        // A device seen waiting only while the folder's entries were read (a wait of tens of
        // milliseconds tells only once repeated) has the subfolders opened ahead from here.
        if (!subfoldersForeseen && !later.empty() && seenWaiting()) {
            std::vector<std::string> names;
            for (const auto& [name, sub, link] : later)
                if (!link && !entered_.contains(sub)) // as foreseen from a listing
                    names.push_back(name);
            Ahead().Expect(folder, names);
        }
        for (const auto& [name, sub, link] : later)
            if (!Enter(folder, name, sub, link))
                return false;
        return true;
    }

private:
    bool Unlistable(const WalkedFolder& folder) const {
        const std::string message = FolderCannotBeListed(folder.path);
        if (folder.relative.empty() || !walk_.onUnlistable)
            throw EInvalidFileName(message);
        walk_.onUnlistable(folder.path, message);
        return true;
    }

    // link: the entry is a link to the folder, which no listing foresees.
    bool Enter(const WalkedFolder& folder, const std::string& name, const FileId& id, bool link) {
        if (const auto first = entered_.find(id); first != entered_.end()) {
            if (walk_.onRepeat)
                walk_.onRepeat(folder.path + name, first->second);
            return true;
        }
        const std::string path = folder.path + name + "/";
        bool subfoldersForeseen = false;
        std::unique_ptr<FileSearch> opened =
            ahead_ && !link ? ahead_->Take(folder.path, path, subfoldersForeseen) : nullptr;
        return Walk({path, folder.relative + name + "/", {}}, id, std::move(opened),
                    subfoldersForeseen);
    }

    FoldersAhead& Ahead() {
        if (!ahead_)
            ahead_.emplace(walk_);
        return *ahead_;
    }

    const FolderWalk& walk_;
    std::map<FileId, std::string> entered_; // every folder walked so far, and its path
    std::optional<FoldersAhead> ahead_;     // once a folder is seen on a device that waits
};

} // namespace

void WalkFolder(const std::string& root, const FolderWalk& walk) {
    if (root.empty())
        throw EInvalidFileName("パス名は空指定('')はできません");
    const std::string path = root.back() == '/' ? root : root + "/";
    Walker(walk).Walk({path, "", {}}, std::nullopt);
}

} // namespace platform
