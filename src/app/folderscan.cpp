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
        // The PDF files are told from the folder's names and read ahead while the entries
        // are looked up one by one.
        std::vector<std::string> pdfFiles = PdfFilesIn(at.path, settings);
        if (events.onFolderStart)
            events.onFolderStart(at, pdfFiles.size());
        readAhead = std::make_unique<PdfReadAhead>(std::move(pdfFiles), settings, workers);
    };
    walk.onFolderEnd = [&](const platform::WalkedFolder&) { readAhead.reset(); };
    walk.onEntry = [&](const platform::WalkedFolder& at, const platform::FindData& found) {
        const bool isFolder = (found.attr & platform::faDirectory) != 0;
        const std::string fullPath = at.path + found.bytes;
        std::string nameBytes = at.relative + found.bytes;
        const EntryFacts entry{at.relative.empty() ? found.name.toStdString()
                                                   : FileNameForDisplay(nameBytes),
                               found.size, found.lastWriteTime};
        std::optional<ScanSettings> changed;
        if (events.currentSettings)
            if (ScanSettings now = events.currentSettings(); !(now == settings))
                changed = std::move(now);
        const ScanSettings& used = changed ? *changed : settings;
        std::optional<PdfRead> read = !changed && readAhead && ReadsPdf(entry.name, isFolder, used)
                                          ? readAhead->Take(fullPath)
                                          : std::nullopt;
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
