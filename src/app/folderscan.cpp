// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/folderscan.h"

#include "app/readahead.h"
#include "jtext/filename.h"

#include <memory>
#include <optional>

void ScanFolder(const std::string& folder, const ScanSettings& settings, const ScanOptions& options,
                const ScanEvents& events) {
    const unsigned workers = options.workers ? options.workers : PdfReadAhead::DefaultWorkers();
    std::unique_ptr<PdfReadAhead> readAhead;
    platform::FolderWalk walk;
    walk.recursive = options.recursive;
    // A folder's read-ahead ends before its subfolders are listed, so that only one folder's
    // files are read ahead at a time.
    walk.subfoldersLast = true;
    walk.onFolderStart = [&](const platform::WalkedFolder& at) {
        // The PDF files are told from the folder's names, as the walk has read them, and
        // read ahead while the entries are looked up one by one.
        size_t entries = 0;
        std::vector<std::string_view> pdfFiles = PdfFilesIn(at.listing, settings, &entries);
        if (events.onFolderStart)
            events.onFolderStart(at, pdfFiles.size(), entries);
        readAhead = std::make_unique<PdfReadAhead>(at.path, std::move(pdfFiles), settings, workers,
                                                   at.facts.device, at.fd);
    };
    // The files the reader opens are not looked up besides: their status comes from the open.
    walk.deferLookup = [&settings](std::string_view name) {
        return ReadsPdf(name, false, settings);
    };
    walk.onFolderEnd = [&](const platform::WalkedFolder&) { readAhead.reset(); };
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
        std::optional<PdfRead> read = !changed && readAhead && ReadsPdf(name, listedFolder, used)
                                          ? readAhead->Take(listed.bytes)
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
