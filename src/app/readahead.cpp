// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/readahead.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

std::vector<std::string_view> PdfFilesIn(FolderEntries::Listing listing,
                                         const ScanSettings& settings, size_t* entries) {
    std::vector<std::string_view> names;
    while (const dirent64* entry = listing.next()) {
        // As the scan lists them: no hidden entry, and only regular files (links followed),
        // so that nothing the scan leaves out (a FIFO, a device) is ever opened.
        const std::string_view name = entry->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        if (entries)
            ++*entries;
        if (!ReadsPdf(name, false, settings))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            regular = ::fstatat(listing.fd(), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names.push_back(name);
    }
    return names;
}

namespace {

// Asked once: the C library reads it from /sys on every call.
unsigned Processors() {
    static const unsigned processors = std::max(std::thread::hardware_concurrency(), 1u);
    return processors;
}

} // namespace

PdfReadAhead::PdfReadAhead(std::string folder, std::vector<std::string_view> names,
                           const ScanSettings& settings, unsigned workers, iotiming::Device device,
                           int folderFd, unsigned mostWorkers)
    : folder_(std::move(folder)), names_(std::move(names)), settings_(settings), device_(device),
      mostWorkers_(std::min(mostWorkers, kMaxWorkers)), slots_(names_.size()),
      limit_(std::min(kAhead, names_.size())), takerTimer_(device),
      folderFd_(folderFd >= 0 ? ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0) : -1) {
    const size_t count = std::min<size_t>(std::max(workers, 1u), names_.size());
    // Held while starting, as a worker that finds its reads waiting adds workers of its own.
    const std::lock_guard lock(mutex_);
    try {
        for (size_t i = 0; i < count; ++i)
            workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started do the work, and without any the
        // callers read every file themselves.
    }
    // A device seen waiting before (the folder before this one, on the same share) gets its
    // workers now rather than once this folder's first file has been opened.
    if (const unsigned seen = iotiming::ThreadsSeenWanting(device_, Processors(), mostWorkers_))
        AddWorkers(seen);
}

void PdfReadAhead::AllowAllWorkers() {
    const std::lock_guard lock(mutex_);
    mostWorkers_ = kMaxWorkers;
    if (const unsigned seen = iotiming::ThreadsSeenWanting(device_, Processors(), kMaxWorkers))
        AddWorkers(seen);
}

PdfReadAhead::~PdfReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workAllowed_.notify_all();
    // No worker is added once stopping_ is set, so the list is complete here.
    for (std::thread& worker : workers_)
        worker.join();
    if (folderFd_ >= 0)
        ::close(folderFd_);
}

unsigned PdfReadAhead::DefaultWorkers() {
    return std::clamp(std::thread::hardware_concurrency(), 2u, 9u) - 1;
}

void PdfReadAhead::Work() {
    iotiming::CallTimer timer(device_);
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleWorkers_;
        workAllowed_.wait(lock, [&] { return stopping_ || next_ < limit_; });
        --idleWorkers_;
        if (stopping_)
            return;
        Read(lock, next_++, timer);
    }
}

// Reads that wait for their device get as many workers as keep the processors busy, which a
// read's time over its processor time tells (iotiming::ThreadsToHideLatency). Blocking reads on
// threads were chosen over io_uring because the reader opens and reads each file itself, a few
// small reads at a time, each decided by the one before; a ring would need the reader turned
// inside out, where threads take it as it is. A thread that waits costs a stack and a file's
// state; at 2 ms a request 2,000 files took 1.6 s instead of the 30 s of reading one file
// after another (bench/README.md).
void PdfReadAhead::AddWorkers(unsigned count) {
    count = std::min(count, mostWorkers_);
    if (stopping_ || workers_.size() >= count || workers_.size() >= names_.size())
        return;
    waitingReads_ = true;
    try {
        while (workers_.size() < std::min<size_t>(count, names_.size()))
            workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // The threads started so far do the work.
    }
    // The workers now run further ahead, each with a few files, so none waits for the scan.
    ahead_ = std::max(kAhead, kAheadPerWorker * workers_.size());
    limit_ = std::max(limit_, std::min(expected_ + ahead_, names_.size()));
    workAllowed_.notify_all();
}

void PdfReadAhead::Read(std::unique_lock<std::mutex>& lock, size_t i, iotiming::CallTimer& timer) {
    std::unique_ptr<PdfRead> read;
    if (!spareReads_.empty()) {
        read = std::move(spareReads_.back());
        spareReads_.pop_back();
    }
    lock.unlock();
    std::exception_ptr error;
    timer.Start();
    // On a share the open alone takes two round trips: one that long adds the workers while
    // this file is read, not after.
    const auto opened = [&] {
        if (const unsigned wanted = timer.Midway(Processors(), kMaxWorkers); wanted > 0) {
            const std::lock_guard relock(mutex_);
            AddWorkers(wanted);
        }
    };
    try {
        std::string path = folder_;
        path += names_[i];
        PdfRead result = ReadPdf(path, settings_, opened, folderFd_);
        if (read)
            *read = std::move(result);
        else
            read = std::make_unique<PdfRead>(std::move(result));
    } catch (...) {
        error = std::current_exception();
    }
    const unsigned wanted = timer.Stop(Processors(), kMaxWorkers);
    lock.lock();
    if (wanted > workers_.size())
        AddWorkers(wanted);
    if (error && read)
        spareReads_.push_back(std::move(read));
    slots_[i].read = std::move(read);
    slots_[i].error = error;
    slots_[i].done = true;
    // A waiting Take is woken only once the files it waits for are all read.
    if (i >= awaitedFrom_ && i < awaitedTo_ && --awaitedLeft_ == 0)
        slotDone_.notify_one();
}

std::optional<PdfRead> PdfReadAhead::Take(std::string_view name) {
    size_t i = expected_;
    if (i >= names_.size() || names_[i] != name) {
        if (indexOf_.empty()) {
            indexOf_.reserve(names_.size());
            for (size_t k = 0; k < names_.size(); ++k)
                indexOf_.emplace(names_[k], k);
        }
        const auto found = indexOf_.find(name);
        if (found == indexOf_.end())
            return std::nullopt;
        i = found->second;
    }
    std::unique_lock lock(mutex_);
    expected_ = i + 1;
    if (workers_.empty())
        return std::nullopt;
    Slot& slot = slots_[i];
    if (slot.taken)
        return std::nullopt;
    slot.taken = true;
    // Taking a file lets the workers go on to the files after it, in batches, so that a worker
    // that caught up is not woken for every file taken.
    if (const size_t wanted = std::min(i + 1 + ahead_, names_.size());
        i >= limit_ || wanted >= limit_ + ahead_ / 2 ||
        (wanted == names_.size() && wanted > limit_)) {
        limit_ = std::max(limit_, wanted);
        if (idleWorkers_ > 0)
            workAllowed_.notify_all();
    }
    // Rather than wait while its file is being read, the scan reads the next file no worker
    // has taken up yet, which it will ask for soon; it keeps its processor busy and need not
    // be woken.
    while (!slot.done && next_ < limit_ && !waitingReads_)
        Read(lock, next_++, takerTimer_);
    if (!slot.done) {
        // The scan takes files faster than the workers read them, so it waits for a few at
        // once rather than being woken for each; only for files below limit_, which the
        // workers will read.
        awaitedFrom_ = i;
        awaitedTo_ = std::min({i + kWakeBatch, limit_, names_.size()});
        awaitedLeft_ = size_t(std::count_if(slots_.begin() + ptrdiff_t(awaitedFrom_),
                                            slots_.begin() + ptrdiff_t(awaitedTo_),
                                            [](const Slot& s) { return !s.done; }));
        slotDone_.wait(lock, [&] { return awaitedLeft_ == 0; });
        awaitedFrom_ = awaitedTo_ = 0;
    }
    if (slot.error)
        std::rethrow_exception(slot.error);
    std::unique_ptr<PdfRead> read = std::move(slot.read);
    if (!read)
        return std::nullopt;
    std::optional<PdfRead> taken(std::move(*read));
    if (spareReads_.size() < kAhead)
        spareReads_.push_back(std::move(read));
    return taken;
}
