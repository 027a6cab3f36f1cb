// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one walk over a folder's entries, and over its subfolders when asked: the icon cache's
// listing and the list's scan (window and command line) both stand on it, so the loop guard
// and the message for a folder that cannot be listed exist once.

#include "platform/filesearch.h"

#include <functional>
#include <string>

namespace platform {

// The message for a folder that cannot be listed; path as the user typed or saw it.
std::string FolderCannotBeListed(const std::string& shownPath);

// The most subfolders a walk holds opened ahead at once, at all its levels
// (FolderWalk::onFolderAhead).
inline constexpr size_t kMostFoldersOpenedAhead = 16;

// A folder being walked. Paths are bytes ending in "/".
struct WalkedFolder {
    std::string path;     // as given for the root, the root's path and names below it
    std::string relative; // from the root: empty for the root, else "sub/", "sub/deeper/"
    FolderFacts facts;    // once the folder is listed (from onFolderStart on)
    // The folder, open from onFolderStart to onFolderEnd: its files opened relative to it are
    // not looked up again folder by folder along path (on a share, a round trip each).
    int fd = -1;
    // Its entries as listed ("." and ".." included), from onFolderStart to onFolderEnd: the
    // folder is listed once, for the walk and whatever the caller does with its names.
    FolderEntries::Listing listing;
};

struct FolderWalk {
    bool recursive = false;
    // Links to folders are entered too. Otherwise such a link is reported as the entry it is
    // and not entered, as find and du do, so that the walk stays inside the folder it was
    // given and lists no folder twice under two paths.
    bool followLinks = false;
    // Subfolders are entered after the folder's own entries (all of a folder, then its
    // subfolders, in the byte order of their names, so that which path first reaches a folder
    // that links lead to does not depend on the order the file system gives), rather than
    // right after each one's entry.
    bool subfoldersLast = false;
    // ".." is reported in subfolders too, not only in the root.
    bool parentInSubfolders = false;
    uint32_t filter = kListedEntries;
    // Regular files the caller looks up itself, as it opens them anyway (FileSearch::
    // DeferLookups): their entries come with lookedUp false. Called on the search's threads.
    std::function<bool(std::string_view name)> deferLookup;

    std::function<void(const WalkedFolder&)> onFolderStart; // before the folder's first entry
    // A subfolder opened and listed ahead of the walk (on a device seen waiting, while the
    // folders before it are walked), so that the caller may start on its files: told on the
    // thread that opened it, several at once (every other event is told on the walk's). The
    // walk may still pass it over (a folder reached before, an early end); onFolderStart is
    // told for it only if the walk enters it. What this throws ends the walk as from any event
    // when the walk comes to the folder or passes it over; a walk ending before drops it.
    std::function<void(const WalkedFolder&)> onFolderAhead;
    // After its last entry, or as the walk ends there (keepGoing, an event that throws): told
    // once for every folder listed (started, even when onFolderStart threw, or told ahead),
    // before its handle and listing go. It must not throw.
    std::function<void(const WalkedFolder&)> onFolderEnd;
    // Every entry that passes the filter, "." excepted.
    std::function<void(const WalkedFolder&, const FindData&)> onEntry;
    // A subfolder that cannot be listed (never the root, whose failure is raised): when this is
    // set, the walk tells it here and goes on; otherwise the failure is raised.
    std::function<void(const std::string& path, const std::string& message)> onUnlistable;
    // A link to a folder, not entered because links are not followed.
    std::function<void(const std::string& path)> onLinkNotFollowed;
    // A folder reached again, by a link to a folder walked already or to one on the way down
    // (a cycle): not entered again. path is where it was reached now, firstPath where it is
    // walked (without the trailing "/"). Told for every such link.
    std::function<void(const std::string& path, const std::string& firstPath)> onRepeat;
    // Asked after every entry found ("." and a subfolder's ".." included, so that a listing
    // can process events or stop even between entries it does not report): false ends the
    // walk at every level.
    std::function<bool()> keepGoing;
};

// Walks root (bytes, with or without trailing "/"). Each folder is entered once however many
// paths lead to it (links when they are followed, bind mounts always), so a cycle ends at once
// and trees like /proc, whose links lead back into the whole file system, end after each
// folder was listed once.
// Raises EInvalidFileName with FolderCannotBeListed when root cannot be listed.
void WalkFolder(const std::string& root, const FolderWalk& walk);

} // namespace platform
