// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scan of a folder into list rows, for the window and for pagewick-list alike: the walk
// over the entries (platform/folderwalk), the file-type filter, the reading ahead of the PDF
// files, the rows and the files the reader failed on. No widget is touched: what a front end
// shows (progress, batches of rows, a stop button) it does in the events.

#include "app/listrows.h"
#include "platform/folderwalk.h"

#include <functional>
#include <string>

struct ScanEvents {
    // Before a folder's entries are made into rows: how many of its files will be handed to
    // the reader, and how many entries it shows (without the hidden ones). Both are known from
    // the names alone, before any file is read.
    std::function<void(const platform::WalkedFolder& folder, size_t pdfFiles, size_t entries)>
        onFolderStart;
    // The image index a row gets; -1 without this event.
    std::function<int(const platform::WalkedFolder& folder, const platform::FindData& entry)>
        imageIndex;
    // Each row as soon as it is made, in the order the folder gives its entries.
    std::function<void(ListRow&& row)> onRow;
    // A file the reader failed on; it still gets its row (the cells of a plain file).
    std::function<void(const ReadFailure& failure)> onFailure;
    // In a recursive scan: a subfolder that cannot be listed, with the message saying so; the
    // scan goes on without it. Without this event such a subfolder ends the scan with that
    // message, as the folder itself does.
    std::function<void(const std::string& message)> onUnlistable;
    // In a recursive scan (paths as bytes): a link to a folder not entered because links are
    // not followed, and a folder reached again (platform::FolderWalk::onRepeat).
    std::function<void(const std::string& path)> onLinkNotFollowed;
    std::function<void(const std::string& path, const std::string& firstPath)> onRepeat;
    // The settings a file is read with, asked per file when they may change while the scan
    // runs (files read ahead with others are then read again); the scan's own without it.
    std::function<ScanSettings()> currentSettings;
    // Asked after every entry: false stops the scan there (the rows made so far stay made).
    std::function<bool()> keepGoing;
};

struct ScanOptions {
    bool recursive = false;   // captions of entries below the folder are paths from it
    unsigned workers = 0;     // read-ahead threads; 0 for PdfReadAhead::DefaultWorkers()
    bool followLinks = false; // a recursive scan enters links to folders too
};

// Scans folder (bytes, with or without trailing "/"). Raises EInvalidFileName with
// platform::FolderCannotBeListed when the folder itself cannot be listed.
void ScanFolder(const std::string& folder, const ScanSettings& settings, const ScanOptions& options,
                const ScanEvents& events);
