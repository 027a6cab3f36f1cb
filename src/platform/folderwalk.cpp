// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderwalk.h"

#include "common/errors.h"
#include "jtext/filename.h"

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <system_error>
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

// The subfolders of a folder on a device seen waiting, opened and listed ahead of the walk, a
// few at a time in the order it enters them: on a share, opening a folder and reading its names
// are round trips that the walk would otherwise wait for one folder after another, each time
// after the files of the folder before it were read; and the caller, told of each
// (onFolderAhead), reads its files meanwhile. Which folders are entered is still the walk's to
// decide: a folder it passes over is closed (its end told), one not opened here it opens.
// The folders opened ahead at all levels of a walk share one budget, so that a deep tree does
// not hold a few open at every level (each with its names and lookup threads).
class FoldersAhead {
public:
    static constexpr size_t kAhead = 4;                            // for one folder's subfolders
    static constexpr size_t kMostInWalk = kMostFoldersOpenedAhead; // for all of a walk's

    // budget: how many more folders the walk may open ahead, shared by its levels.
    FoldersAhead(const FolderWalk& walk, const WalkedFolder& parent, std::vector<std::string> names,
                 size_t& budget)
        : walk_(walk), parent_(parent.path), relative_(parent.relative), names_(std::move(names)),
          budget_(budget) {
        Fill();
    }
    ~FoldersAhead() {
        budget_ += started_.size();
        for (auto& opening : started_) {
            try {
                End(*opening.get());
            } catch (...) {
                // No thread to open it or no memory: the walk is ending anyway.
            }
        }
    }
    FoldersAhead(const FoldersAhead&) = delete;
    FoldersAhead& operator=(const FoldersAhead&) = delete;

    // The search of the subfolder name, opened (FolderFd() -1 when it could not be); nullptr
    // when name is not one of the next ones, and the caller opens it itself. The folders
    // before it, passed over, are closed: their opening is waited for first.
    std::unique_ptr<FileSearch> Take(const std::string& name) {
        const auto found = std::find(names_.begin() + ptrdiff_t(taken_), names_.end(), name);
        if (found == names_.end())
            return nullptr;
        const size_t index = size_t(found - names_.begin());
        std::unique_ptr<FileSearch> search;
        while (taken_ <= index) {
            if (started_.empty() && !Start()) {
                taken_ = index + 1; // no thread to open it: the caller does
                break;
            }
            std::future<std::unique_ptr<Opened>> next = std::move(started_.front());
            started_.pop_front();
            ++budget_;
            const std::unique_ptr<Opened> opened = next.get();
            if (opened->error) {
                End(*opened);
                std::rethrow_exception(opened->error);
            }
            if (taken_++ == index)
                search = std::move(opened->search); // the walk tells its end
            else
                End(*opened);
        }
        Fill();
        return search;
    }

private:
    void Fill() {
        while (started_.size() < kAhead && Start()) {
        }
    }

    // A subfolder opened, and whether the caller was told of it: its end is told on the walk's
    // thread, as every folder's, also when the telling threw (error).
    struct Opened {
        std::unique_ptr<FileSearch> search;
        WalkedFolder folder;
        bool told = false;
        std::exception_ptr error;
    };

    // Starts opening the next name; false when there is none, the budget is spent or no
    // thread is to be had.
    bool Start() {
        const size_t next = taken_ + started_.size();
        if (next >= names_.size() || budget_ == 0)
            return false;
        try {
            started_.push_back(std::async(std::launch::async, [this, next] {
                auto opened = std::make_unique<Opened>();
                opened->search = std::make_unique<FileSearch>();
                FileSearch& search = *opened->search;
                search.DeferLookups(walk_.deferLookup);
                WalkedFolder& folder = opened->folder;
                folder.path = parent_ + names_[next] + "/";
                folder.relative = relative_ + names_[next] + "/";
                search.Open(folder.path, walk_.filter);
                if (walk_.onFolderAhead && search.FolderFd() >= 0) {
                    folder.facts = search.Facts();
                    folder.fd = search.FolderFd();
                    folder.listing = search.Listing();
                    opened->told = true;
                    try {
                        walk_.onFolderAhead(folder);
                    } catch (...) {
                        opened->error = std::current_exception();
                    }
                }
                return opened;
            }));
        } catch (const std::system_error&) {
            return false;
        }
        --budget_;
        return true;
    }

    // Tells the end of a folder opened ahead that the walk does not enter, if it told of it.
    void End(Opened& opened) {
        if (std::exchange(opened.told, false) && walk_.onFolderEnd)
            walk_.onFolderEnd(opened.folder);
    }

    const FolderWalk& walk_;
    const std::string parent_, relative_;
    const std::vector<std::string> names_;
    size_t& budget_;
    size_t taken_ = 0; // names_ before this have been handed out or passed over
    std::deque<std::future<std::unique_ptr<Opened>>> started_; // for the names from taken_
};

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
    // opened, when given, is the folder's search opened ahead.
    bool Walk(WalkedFolder folder, std::optional<FileId> id,
              std::unique_ptr<FileSearch> opened = nullptr) {
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
        std::optional<FoldersAhead> subfolders;
        const auto seenWaiting = [&] {
            return walk_.recursive && iotiming::ThreadsSeenWanting(folder.facts.device, 1, 1) > 0;
        };
        if (seenWaiting())
            subfolders.emplace(walk_, folder, SubfoldersListed(folder.listing, walk_),
                               aheadBudget_);
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
        std::vector<std::pair<std::string, FileId>> later;
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
                    later.emplace_back(found.bytes, sub);
                } else if (!Enter(folder, found.bytes, sub, subfolders)) {
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
        if (!subfolders && !later.empty() && seenWaiting()) {
            std::vector<std::string> names;
            for (const auto& [name, sub] : later)
                if (!entered_.contains(sub)) // not a folder reached again
                    names.push_back(name);
            subfolders.emplace(walk_, folder, std::move(names), aheadBudget_);
        }
        for (const auto& [name, sub] : later)
            if (!Enter(folder, name, sub, subfolders))
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

    bool Enter(const WalkedFolder& folder, const std::string& name, const FileId& id,
               std::optional<FoldersAhead>& ahead) {
        if (const auto first = entered_.find(id); first != entered_.end()) {
            if (walk_.onRepeat)
                walk_.onRepeat(folder.path + name, first->second);
            return true;
        }
        return Walk({folder.path + name + "/", folder.relative + name + "/", {}}, id,
                    ahead ? ahead->Take(name) : nullptr);
    }

    const FolderWalk& walk_;
    std::map<FileId, std::string> entered_; // every folder walked so far, and its path
    size_t aheadBudget_ = FoldersAhead::kMostInWalk;
};

} // namespace

void WalkFolder(const std::string& root, const FolderWalk& walk) {
    if (root.empty())
        throw EInvalidFileName("パス名は空指定('')はできません");
    const std::string path = root.back() == '/' ? root : root + "/";
    Walker(walk).Walk({path, "", {}}, std::nullopt);
}

} // namespace platform
