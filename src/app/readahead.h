// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a folder's PDF files ahead of the scan that lists them. Each file costs the reader a
// few small reads and some text handling, and files do not depend on one another, so worker
// threads read the next files while the scan builds and shows the rows of the earlier ones.
//
// On a local disk the reads are processor work, and the workers are one fewer than the
// processors. On a network share or a USB stick each read waits for the device, and the files
// are read on as many threads as keep the processors busy (common/iotiming.h).

#include "app/listrows.h"
#include "common/folderentries.h"
#include "common/iotiming.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

// The names of the files of a folder, as listed, that a scan with settings hands to the reader,
// told by their names alone: nothing is looked up, so a folder with such a name may be among
// them (reading it ahead is in vain, as it is never asked for). The names are the listing's
// own, valid as long as it is: a folder of 100,000 files held 6.7 MB of paths while it was
// read, and 3.2 MB of copied names. entries, when given, gets the number of entries a listing
// shows (its files and folders without the hidden ones).
std::vector<std::string_view> PdfFilesIn(FolderEntries::Listing listing,
                                         const ScanSettings& settings, size_t* entries = nullptr);

class PdfReadAhead {
public:
    // How far the workers may run ahead of the files taken, so that a large folder does not
    // hold every file's information at once; with many workers, kAheadPerWorker each.
    static constexpr size_t kAhead = 64;
    static constexpr size_t kAheadPerWorker = 4;
    // The most threads files that wait for their device are read on. A file costs a share some
    // five round trips: 2,000 files at 20 ms a request took 2.8 s on 64 threads, 1.4 s on 128
    // and 0.9 s on 256, for 3 and 8 MiB more; at 2 ms the processors bound it at any of them.
    static constexpr unsigned kMaxWorkers = 256;

    // Starts reading the files of folder (ending in "/") named names (each given once, and
    // kept by the caller for as long as the read-ahead lives), in
    // their order, with the scan's settings on up to workers threads (at least one); more once
    // reads are seen to wait for device, the one that holds the files, up to mostWorkers.
    // folderFd, when given, is the folder open: the files are opened relative to a copy of it,
    // which the read-ahead holds, so the caller may close its own at any time.
    PdfReadAhead(std::string folder, std::vector<std::string_view> names,
                 const ScanSettings& settings, unsigned workers, iotiming::Device device = {},
                 int folderFd = -1, unsigned mostWorkers = kMaxWorkers);
    // Stops the workers after the file each is reading, and waits for them.
    ~PdfReadAhead();
    PdfReadAhead(const PdfReadAhead&) = delete;
    PdfReadAhead& operator=(const PdfReadAhead&) = delete;

    // What ReadPdf gave for the file named name, once it is read: while it is being read, the
    // caller reads the next files no worker has taken up, and waits only when there are none.
    // Nothing when name is not one of the names, was taken before, or no worker could be started
    // (the caller then reads the file itself). Any error other than the reader's own is raised
    // here, in the caller's thread. One thread takes: the scan that made the read-ahead.
    std::optional<PdfRead> Take(std::string_view name);

    // The settings the files are read with.
    const ScanSettings& Settings() const { return settings_; }

    // Lets the workers grow to kMaxWorkers from now on: a folder read ahead of the one the scan
    // lists, with fewer, has become the one it lists.
    void AllowAllWorkers();

    // The workers a scan should use on this machine: one processor is left to the scan,
    // which reads files too.
    static unsigned DefaultWorkers();

private:
    void Work();
    // Reads file i, which the caller has taken up, with lock released meanwhile; timer times
    // the reads of the calling thread.
    void Read(std::unique_lock<std::mutex>& lock, size_t i, iotiming::CallTimer& timer);
    // Starts workers up to count (at most mostWorkers_), once reads are seen to wait.
    void AddWorkers(unsigned count);

    // A slot a file, so a large folder's slots are kept small: a read is held only from the
    // time it is done until it is taken.
    struct Slot {
        std::unique_ptr<PdfRead> read;
        std::exception_ptr error;
        bool done = false;
        bool taken = false;
    };

    const std::string folder_;
    const std::vector<std::string_view> names_;
    const ScanSettings settings_;
    const iotiming::Device device_;
    unsigned mostWorkers_;
    // The scan mostly takes the files in their order: the one after the last taken is tried
    // first, and the index of all of them is made only when that fails.
    size_t expected_ = 0;
    std::unordered_map<std::string_view, size_t> indexOf_; // into names_
    std::vector<Slot> slots_;
    // The emptied boxes of taken reads, filled again by the next reads: a read is mostly made
    // on one thread and taken on another, and each box going back to the allocator of the
    // thread that made it would have the two threads contend for it file by file.
    std::vector<std::unique_ptr<PdfRead>> spareReads_;
    std::mutex mutex_;
    std::condition_variable workAllowed_; // workers wait here for limit_ to grow
    std::condition_variable slotDone_;    // Take waits here for its file
    size_t next_ = 0;                     // the next index a worker takes up
    size_t limit_ = 0;                    // workers take up indexes below this
    size_t ahead_ = kAhead;               // how far beyond the file taken limit_ may go
    // Set once reads are seen to wait for the device: the scan then leaves every file to the
    // workers, as one read of its own would hold up the rows of many the workers have read.
    bool waitingReads_ = false;
    iotiming::CallTimer takerTimer_; // times the reads Take makes on the scan's thread
    size_t idleWorkers_ = 0;
    // Take waits for the files awaitedFrom_ to awaitedTo_ (exclusive), awaitedLeft_ of them
    // not read yet.
    static constexpr size_t kWakeBatch = 16;
    size_t awaitedFrom_ = 0, awaitedTo_ = 0, awaitedLeft_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
    // A copy of the caller's folder, or -1: the files are opened by path. Made last, so that
    // no member made after it can throw and leave it open.
    const int folderFd_;
};
