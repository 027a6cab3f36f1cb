// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folder search in the manner of FindFirst/FindNext: entries in file-system order, each with
// Windows-valued attribute bits, 64-bit size and local times.

#include "common/datetime.h"
#include "common/filestatus.h"
#include "common/folderentries.h"
#include "common/iotiming.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Windows file attribute values; the program compares against these numbers.
enum FileAttr : uint32_t {
    faReadOnly = 0x01,  // the user may not write the entry
    faHidden = 0x02,    // name begins with "." (other than "." and "..")
    faSysFile = 0x04,   // neither a regular file nor a directory (FIFO, socket, device)
    faVolumeID = 0x08,  // never set on this system
    faDirectory = 0x10, // a directory (links followed)
    faArchive = 0x20,   // a regular file
    faAnyFile = 0x3F,
};

// What a folder listing shows: everything but hidden, system and volume entries.
constexpr uint32_t kListedEntries = faAnyFile & ~(faHidden | faSysFile | faVolumeID);

// One entry as found.
struct FindData {
    std::string bytes;          // the name exactly as the file system gives it, without path
    std::string name;           // how it is shown (FileNameForDisplay); "." and ".." as found
    uint32_t attr = 0;          // FileAttr bits
    int64_t size = 0;           // bytes; 0 for directories
    TDateTime creationTime = 0; // birth time, or change time when the file system keeps none
    TDateTime lastAccessTime = 0;
    TDateTime lastWriteTime = 0;
    uint64_t device = 0; // with inode: which file this is, for telling loops of links apart
    uint64_t inode = 0;
    // False for an entry told from the folder's listing alone (FileSearch::DeferLookups): a
    // regular file, attr faArchive (and faHidden), nothing else known yet.
    bool lookedUp = true;
    // Whether the entry itself is a symbolic link (the rest follows links), as a search's
    // listing tells it; nothing where the file system's listing does not tell.
    std::optional<bool> link;
};

// What a folder's entries share, asked once a search: the volume (its device, and whether it
// is mounted read-only) and who asks, which the read-only bit depends on.
struct FolderFacts {
    iotiming::Device device;
    uint64_t inode = 0; // the folder's own: with device.id, which folder it is (0 and 0 unknown)
    bool readOnlyVolume = false;
    uint32_t user = 0; // the process's effective user and groups
    uint32_t group = 0;
    std::vector<uint32_t> groups;
};

// An entry's attributes, size, times, device and inode from its status (links followed), as
// the search reports them; entry.bytes (the name) must be set. The read-only bit comes from
// the permission bits for whoever asks (the owner's, a member's of the group, the others'; root
// writes anything) and from the volume; access control lists are not looked at.
void FillFromStatus(const FileStatus& status, const FolderFacts& folder, FindData& entry);
// Looks up entry.bytes in folder (bytes, ending in "/") and fills the entry from its status;
// false when it cannot be looked up (a vanished file, a broken link).
bool LookUpEntry(const std::string& folder, const FolderFacts& facts, FindData& entry);

// A running search of one folder. The filter works like the Windows one: an entry that
// carries hidden, system, volume or directory bits is reported only when the filter holds
// each of those bits; read-only and archive never exclude. faAnyFile reports everything.
//
// "." is always reported, ".." everywhere except in "/". Entries whose stat fails (a broken
// link, a vanished file) are skipped silently, as a search that never saw them.
// Called with the folder being searched (bytes, as FindFirst was given it) before every
// FindNext reads its next entry, on the thread that searches: tests make storage slow or hang
// with it (a USB stick, a dead network share). Setting it is safe while searches run on other
// threads; a call under way keeps the hook it started with. Returns the hook in force before;
// empty restores none.
using SearchStepHook = std::function<void(const std::string& folder)>;
SearchStepHook SetSearchStepHook(SearchStepHook hook);

class FileSearch {
public:
    FileSearch();
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    // Entries that the folder's listing calls regular files and deferred(name) takes are
    // reported without a lookup (FindData::lookedUp false): a caller that opens those files
    // anyway takes their status from the open file, one call fewer a file. deferred is called
    // on the search's threads; set it before FindFirst.
    void DeferLookups(std::function<bool(std::string_view name)> deferred);
    // The facts of the folder being searched, from FindFirst on.
    const FolderFacts& Facts() const;
    // The folder being searched, open from FindFirst or Open until FindClose; -1 otherwise.
    int FolderFd() const;
    // After Open, until FindClose: every entry of the folder, "." and ".." included, as its
    // names were read (once, by Open); nothing after FindFirst.
    FolderEntries::Listing Listing() const;

    // Starts listing folder (bytes, with or without trailing "/"). False when the folder cannot
    // be opened or no entry passes the filter; error() then tells errno (ENOENT for "none").
    bool FindFirst(const std::string& folder, uint32_t filter, FindData& found);
    // Opens folder as FindFirst does, without reading an entry yet: FindNext gives the first.
    // False when the folder cannot be opened, with errno in error(). For a caller that reads
    // the whole folder: its names are read at once (Listing gives them again), and on a device
    // seen waiting (iotiming) the entries are looked up on threads from the first, where
    // FindFirst, which may be all a caller asks, reads names block by block and starts the
    // threads only once a lookup waits.
    bool Open(const std::string& folder, uint32_t filter);
    // The next entry that passes the filter; false at the end.
    bool FindNext(FindData& found);
    // Ends the search; also done by the destructor and by a new FindFirst.
    void FindClose();
    int error() const { return error_; }

private:
    bool OpenFolder(const std::string& folder, uint32_t filter);
    struct State;
    std::unique_ptr<State> state_;
    std::function<bool(std::string_view name)> deferred_;
    int error_ = 0;
};

// All entries of folder that pass filter, in file-system order; empty when it cannot be read.
std::vector<FindData> ListFolder(const std::string& folder, uint32_t filter = faAnyFile);

// The names of folder's subfolders (links to folders included, "." and ".." left out) in
// file-system order; nothing when it cannot be read. An entry
// is looked up only when the listing of names does not tell what it is (a link, or a file
// system without entry types), so a folder of many files costs one read of its names.
std::optional<std::vector<std::string>> SubfolderNames(const std::string& folder);

// Whether folder may have a subfolder worth an expand mark (a hidden one only when hidden is
// true), told from its first kProbedEntries entries at most: a folder of many files is not
// read to its end for a mark, and counts as having one. False when it cannot be read.
constexpr size_t kProbedEntries = 256;
bool MayHaveSubfolders(const std::string& folder, bool hidden);

// The attributes of one path (bytes; links followed), as the search would report them; nothing
// when the path cannot be stat'ed.
std::optional<uint32_t> FileAttributes(const std::string& path);

// The full record of one path (bytes); nothing when it cannot be stat'ed. name is the last
// component.
std::optional<FindData> FileInfoOf(const std::string& path);

} // namespace platform
