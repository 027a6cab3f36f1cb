// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderwalk.h"

#include "common/errors.h"
#include "jtext/filename.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>
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

class Walker {
public:
    explicit Walker(const FolderWalk& walk) : walk_(walk) {}

    // False when keepGoing ended the walk. id is the folder's as its entry gave it; the root's
    // is taken from the folder opened.
    bool Walk(WalkedFolder folder, std::optional<FileId> id) {
        FileSearch search;
        search.DeferLookups(walk_.deferLookup);
        if (!search.Open(folder.path, walk_.filter))
            return Unlistable(folder);
        folder.facts = search.Facts();
        folder.fd = search.FolderFd();
        folder.listing = search.Listing();
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
            if (walk_.onFolderEnd)
                walk_.onFolderEnd(folder);
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
                } else if (!Enter(folder, found.bytes, sub)) {
                    return false;
                }
            }
            if (walk_.keepGoing && !walk_.keepGoing())
                return false;
        } while (search.FindNext(found));
        if (walk_.onFolderEnd)
            walk_.onFolderEnd(folder);
        search.FindClose(); // not held open while the subfolders are walked
        std::sort(later.begin(), later.end());
        for (const auto& [name, sub] : later)
            if (!Enter(folder, name, sub))
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

    bool Enter(const WalkedFolder& folder, const std::string& name, const FileId& id) {
        if (const auto first = entered_.find(id); first != entered_.end()) {
            if (walk_.onRepeat)
                walk_.onRepeat(folder.path + name, first->second);
            return true;
        }
        return Walk({folder.path + name + "/", folder.relative + name + "/", {}}, id);
    }

    const FolderWalk& walk_;
    std::map<FileId, std::string> entered_; // every folder walked so far, and its path
};

} // namespace

void WalkFolder(const std::string& root, const FolderWalk& walk) {
    if (root.empty())
        throw EInvalidFileName("パス名は空指定('')はできません");
    const std::string path = root.back() == '/' ? root : root + "/";
    Walker(walk).Walk({path, "", {}}, std::nullopt);
}

} // namespace platform
