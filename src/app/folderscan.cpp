// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/folderscan.h"

#include "app/readahead.h"
#include "jtext/filename.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace {

// A folder's files being read ahead, and what its listing told of it.
struct FolderReadAhead {
    std::string path;
    size_t pdfFiles = 0;
    size_t entries = 0;
    std::unique_ptr<PdfReadAhead> files;
};

} // namespace

void ScanFolder(const std::string& folder, const ScanSettings& settings, const ScanOptions& options,
                const ScanEvents& events) {
    const unsigned workers = options.workers ? options.workers : PdfReadAhead::DefaultWorkers();
    // The PDF files are told from the folder's names, as the walk has read them, and read
    // ahead while the entries are looked up one by one.
    const auto readAheadIn = [&](const platform::WalkedFolder& at, unsigned mostWorkers) {
        FolderReadAhead folder{at.path};
        std::vector<std::string_view> pdfFiles = PdfFilesIn(at.listing, settings, &folder.entries);
        folder.pdfFiles = pdfFiles.size();
        folder.files = std::make_unique<PdfReadAhead>(at.path, std::move(pdfFiles), settings,
                                                      workers, at.facts.device, at.fd, mostWorkers);
        return folder;
    };
    FolderReadAhead readAhead; // the folder the walk is in
    std::mutex aheadMutex;
    std::map<std::string, FolderReadAhead> ahead; // subfolders opened ahead, by path
    platform::FolderWalk walk;
    walk.recursive = options.recursive;
    // A folder's entries are all made into rows before its subfolders are walked, so that the
    // folder's files are read ahead together, not with those of every folder below it.
    walk.subfoldersLast = true;
    // On a share, the subfolders the walk opens ahead have their files read meanwhile, each on
    // at most an eighth of the threads the folder walked may get: all of them together at most
    // twice as many. 2,000 files in 51 folders at 20 ms a request took 1.6-2.5 s with an eighth,
    // 2.0-2.4 s with a quarter (the test file system answers 256 requests at once).
    walk.onFolderAhead = [&](const platform::WalkedFolder& at) {
        FolderReadAhead folder =
            readAheadIn(at, PdfReadAhead::kMaxWorkers * 2 / platform::kMostFoldersOpenedAhead);
        const std::lock_guard lock(aheadMutex);
        ahead.emplace(at.path, std::move(folder));
    };
    walk.onFolderStart = [&](const platform::WalkedFolder& at) {
        {
            const std::lock_guard lock(aheadMutex);
            if (auto found = ahead.find(at.path); found != ahead.end()) {
                readAhead = std::move(found->second);
                ahead.erase(found);
            }
        }
        if (readAhead.files)
            readAhead.files->AllowAllWorkers();
        else
            readAhead = readAheadIn(at, PdfReadAhead::kMaxWorkers);
        if (events.onFolderStart)
            events.onFolderStart(at, readAhead.pdfFiles, readAhead.entries);
    };
    // The files the reader opens are not looked up besides: their status comes from the open.
    walk.deferLookup = [&settings](std::string_view name) {
        return ReadsPdf(name, false, settings);
    };
    walk.onFolderEnd = [&](const platform::WalkedFolder& at) {
        FolderReadAhead ended; // its workers are waited for outside the lock
        if (at.path == readAhead.path) {
            ended = std::move(readAhead);
            readAhead = {};
        } else {
            const std::lock_guard lock(aheadMutex);
            if (auto found = ahead.find(at.path); found != ahead.end()) {
                ended = std::move(found->second);
                ahead.erase(found);
            }
        }
    };
    walk.onEntry = [&](const platform::WalkedFolder& at, const platform::FindData& listed) {
        const std::string fullPath = at.path + listed.bytes;
        std::string nameBytes = at.relative + listed.bytes;
        std::string name = at.relative.empty() ? listed.name : FileNameForDisplay(nameBytes);
        std::optional<ScanSettings> changed;
        if (events.currentSettings)
            if (ScanSettings now = events.currentSettings(); !(now == settings))
                changed = std::move(now);
        const ScanSettings& used = changed ? *changed : settings;
        const bool listedFolder = (listed.attr & platform::faDirectory) != 0;
        std::optional<PdfRead> read =
            !changed && readAhead.files && ReadsPdf(name, listedFolder, used)
                ? readAhead.files->Take(listed.bytes)
                : std::nullopt;
        // An entry the search left to the reader gets its size and times from the open file.
        const platform::FindData* looked = &listed;
        platform::FindData completed;
        if (!listed.lookedUp) {
            if (!read && ReadsPdf(name, false, used))
                read = ReadPdf(fullPath, used, {}, at.fd);
            completed = listed;
            if (read && read->status)
                platform::FillFromStatus(*read->status, at.facts, completed);
            else if (!platform::LookUpEntry(at.path, at.facts, completed))
                return; // vanished since the folder was listed: left out, as by the search
            // Something else in its place (a folder, a FIFO) is left out too: it was listed
            // as a regular file.
            if (!(completed.attr & platform::faArchive))
                return;
            looked = &completed;
        }
        const platform::FindData& found = *looked;
        const bool isFolder = (found.attr & platform::faDirectory) != 0;
        const EntryFacts entry{std::move(name), found.size, found.lastWriteTime};
        std::optional<ReadFailure> failure;
        std::optional<ListRow> row =
            RowForEntry(entry, isFolder, events.imageIndex ? events.imageIndex(at, found) : -1,
                        fullPath, used, failure, read ? &*read : nullptr);
        if (failure && events.onFailure)
            events.onFailure(*failure);
        if (row && events.onRow) {
            row->nameBytes = std::move(nameBytes);
            events.onRow(std::move(*row));
        }
    };
    if (events.onUnlistable)
        walk.onUnlistable = [&](const std::string&, const std::string& message) {
            events.onUnlistable(message);
        };
    walk.followLinks = options.followLinks;
    walk.onLinkNotFollowed = events.onLinkNotFollowed;
    walk.onRepeat = events.onRepeat;
    walk.keepGoing = events.keepGoing;
    platform::WalkFolder(folder, walk);
}
