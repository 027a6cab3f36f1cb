// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/folderloader.h"

#include "app/folderscan.h"
#include "app/qtpaths.h"
#include "platform/pathnames.h"
#include "platform/volumes.h"
#include "platform/watchers.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>

namespace {

// How often the loader takes what the worker found: the model shows rows a few times a second,
// and a handover per file would cost more than the file. Taking rather than being handed them
// shows the rows found before a system call that hangs.
constexpr int kCollectMilliseconds = 50;
// How long the loader, when it goes, waits for a worker that was told to stop; one stuck in a
// system call is left behind after that, so that closing the window ends the program at once.
constexpr int kStopGraceMilliseconds = 250;
// Quiet re-reads come at most once a second, and at the earliest this long after a change.
constexpr qint64 kQuietInterval = 1000;
constexpr qint64 kQuietDelay = 200;

// The folder a listing of path reads: path itself, or the folder of a file (with "/").
std::string FolderToList(const std::string& path) {
    // A path ending in "/" names a folder or nothing, which the listing tells: not asked, as on a
    // share every question waits for the server.
    if (!path.empty() && path.back() == '/')
        return path;
    const auto attributes = platform::FileAttributes(platform::PathFromBytes(path));
    std::string folder = path;
    if (attributes && (*attributes & (platform::faDirectory | platform::faVolumeID)) == 0) {
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        const size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    }
    return AppendBackslash(folder);
}

} // namespace

// What the loader hands a worker, and what the worker found and the loader has not taken yet.
// The worker holds it for as long as it runs, so a listing the loader let go of may end
// whenever its system call returns.
struct ListingJob {
    std::string path;
    bool quiet = false; // no progress: nothing to count
    std::atomic<bool> stop{false};
    // Changed settings, read by the worker at its next file.
    std::atomic<unsigned> settingsVersion{0};
    std::atomic<int> done{0};        // entries read
    std::atomic<int> total{-1};      // entries to read, once counted
    std::atomic<size_t> pdfFiles{0}; // of the folder, told by their names
    std::mutex mutex;
    // Guarded by mutex.
    ScanSettings settings;
    FolderLoader* loader = nullptr; // null once the loader let go
    std::string folder;             // the folder being read
    std::vector<ListRow> rows;
    std::vector<ReadFailure> failures;
    bool ended = false;
    std::string error; // why the listing failed
    bool stopped = false;

    ScanSettings currentSettings() {
        const std::lock_guard lock(mutex);
        return settings;
    }

    // The listing is over; the loader takes the rest at once, unless it let go.
    void end(std::string why) {
        const std::lock_guard lock(mutex);
        ended = true;
        error = std::move(why);
        stopped = stop.load();
        if (FolderLoader* to = loader)
            QMetaObject::invokeMethod(
                to, [to] { to->collect(); }, Qt::QueuedConnection);
    }
};

namespace {

// The worker: reads the job's folder into it.
void RunListing(ListingJob& job) {
    std::string error;
    try {
        const std::string folder = FolderToList(job.path);
        {
            const std::lock_guard lock(job.mutex);
            job.folder = folder;
        }
        ScanSettings settings = job.currentSettings();
        unsigned version = job.settingsVersion;
        ScanEvents events;
        events.onRow = [&job](ListRow&& row) {
            const std::lock_guard lock(job.mutex);
            job.rows.push_back(std::move(row));
        };
        // The count of entries comes from the pass that names the PDF files, before any file
        // is read: on a share a pass of its own cost three round trips before the first row.
        events.onFolderStart = [&job](const platform::WalkedFolder&, size_t pdfFiles,
                                      size_t entries) {
            job.pdfFiles = pdfFiles;
            if (!job.quiet)
                job.total = int(entries);
        };
        events.onFailure = [&job](const ReadFailure& failure) {
            const std::lock_guard lock(job.mutex);
            job.failures.push_back(failure);
        };
        // The Kana-lock chord may switch the option while the listing runs; a file read ahead
        // with the earlier settings is then read again with the current ones.
        events.currentSettings = [&] {
            if (const unsigned now = job.settingsVersion; now != version) {
                settings = job.currentSettings();
                version = now;
            }
            return settings;
        };
        events.keepGoing = [&job] {
            ++job.done;
            return !job.stop.load(std::memory_order_relaxed);
        };
        ScanFolder(folder, job.currentSettings(), {}, events);
    } catch (const std::exception& e) {
        error = e.what();
    }
    job.end(std::move(error));
}

} // namespace

FolderLoader::FolderLoader(QObject* parent)
    : QObject(parent), sinceQuietListing_(std::make_unique<QElapsedTimer>()) {
    // A folder that cannot be watched (an inotify limit) only costs the live updates.
    folderChanges_ = new platform::FolderChanges(this);
    connect(folderChanges_, &platform::FolderChanges::changed, this, &FolderLoader::folderChanged);
    quietTimer_ = new QTimer(this);
    quietTimer_->setSingleShot(true);
    connect(quietTimer_, &QTimer::timeout, this, &FolderLoader::rescanQuietly);
    collectTimer_ = new QTimer(this);
    collectTimer_->setInterval(kCollectMilliseconds);
    connect(collectTimer_, &QTimer::timeout, this, &FolderLoader::collect);
    mountWatcher_ = new platform::MountWatcher(this);
    mountWatcher_->setObjectName(QStringLiteral("listedVolumeWatcher"));
    connect(mountWatcher_, &platform::MountWatcher::volumeRemoved, this, [this] {
        if (state_ == State::Idle)
            emit volumeRemoved();
    });
}

FolderLoader::~FolderLoader() {
    QPointer<QThread> worker = worker_;
    drop(false);
    // A worker told to stop ends at its next entry, in well under the grace; one that does
    // not is stuck in a system call and is left to the end of the process.
    if (worker && worker->wait(QDeadlineTimer(kStopGraceMilliseconds)))
        delete worker;
}

void FolderLoader::load(const QString& path, const ScanSettings& settings) {
    setSettings(settings);
    stopped_ = false;
    start(path, false);
}

void FolderLoader::setSettings(const ScanSettings& settings) {
    settings_ = settings;
    if (!job_)
        return;
    const std::lock_guard lock(job_->mutex);
    job_->settings = settings;
    ++job_->settingsVersion;
}

void FolderLoader::start(const QString& path, bool quiet) {
    drop(true);
    state_ = quiet ? State::QuietListing : State::Listing;
    found_.clear();
    failures_.clear();
    error_.clear();
    listingFolder_.clear();
    // From the mount table, not by asking the volumes: one whose server died must not hold up
    // the listing of a folder elsewhere.
    listedVolume_ = platform::MountPointOf(path);
    job_ = std::make_shared<ListingJob>();
    job_->path = platform::PathToBytes(path);
    job_->quiet = quiet;
    job_->settings = settings_;
    job_->loader = this;
    progress_ = {-1, -1};
    worker_ = QThread::create([job = job_] { RunListing(*job); });
    connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
    emit started(quiet);
    worker_->start();
    collectTimer_->start();
}

void FolderLoader::collect() {
    if (!job_)
        return; // the worker's last word, taken already
    std::vector<ListRow> rows;
    bool ended = false;
    std::string error;
    bool stopped = false;
    {
        const std::lock_guard lock(job_->mutex);
        listingFolder_ = job_->folder;
        rows.swap(job_->rows);
        failures_.insert(failures_.end(), job_->failures.begin(), job_->failures.end());
        job_->failures.clear();
        ended = job_->ended;
        error = job_->error;
        stopped = job_->stopped;
    }
    if (!rows.empty()) {
        if (found_.empty())
            found_ = std::move(rows);
        else
            found_.insert(found_.end(), std::make_move_iterator(rows.begin()),
                          std::make_move_iterator(rows.end()));
        emit rowsFound();
    }
    const bool quiet = job_->quiet;
    // "." and ".." are read too, and counted by no one; the count of names does not wait for
    // them.
    const int total = job_->total;
    if (const std::pair progress{std::min(job_->done.load(), total), total};
        !quiet && total >= 0 && progress != progress_) {
        progress_ = progress;
        emit progressed(progress.first, progress.second);
    }
    if (ended)
        finish(quiet, error, stopped);
}

void FolderLoader::finish(bool quiet, const std::string& error, bool stopped) {
    collectTimer_->stop();
    job_.reset();
    worker_ = nullptr; // it ends by itself, now
    state_ = State::Idle;
    if (!error.empty()) {
        error_ = QString::fromUtf8(error.data(), qsizetype(error.size()));
        emit finished(quiet, Outcome::Failed);
        return;
    }
    watch(platform::PathFromBytes(listingFolder_));
    emit finished(quiet, stopped ? Outcome::Cancelled : Outcome::Completed);
}

void FolderLoader::cancel() {
    if (!job_ || state_ == State::Cancelling)
        return;
    job_->stop = true;
    state_ = State::Cancelling;
}

void FolderLoader::drop(bool tell) {
    if (!job_)
        return;
    const bool quiet = job_->quiet;
    job_->stop = true;
    {
        const std::lock_guard lock(job_->mutex);
        job_->loader = nullptr;
    }
    job_.reset();
    worker_ = nullptr;
    collectTimer_->stop();
    state_ = State::Idle;
    if (tell)
        emit finished(quiet, Outcome::Cancelled);
}

void FolderLoader::stopWatching() {
    stopped_ = true;
    quietTimer_->stop();
    folderChanges_->clear();
}

size_t FolderLoader::expectedRows() const {
    return job_ ? job_->pdfFiles.load() : 0;
}

std::vector<ListRow> FolderLoader::takeRows() {
    return std::exchange(found_, {});
}

bool FolderLoader::volumeGone(const QString& folder) const {
    if (IsDriveList(folder) || !platform::DriveAvailable(folder))
        return true;
    return !listedVolume_.isEmpty() && platform::MountPointOf(folder) != listedVolume_;
}

void FolderLoader::watch(const QString& folder) {
    const bool watching = folderChanges_->folders().size() == 1 &&
                          WithSlash(folder) == WithSlash(listedFolder_);
    listedFolder_ = folder;
    if (watching || stopped_)
        return;
    folderChanges_->clear();
    folderChanges_->watch(
        folder.size() > 1 && folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder);
}

void FolderLoader::folderChanged() {
    // Changes come in bursts (a download, an unpacked archive): they are gathered, and the
    // folder is read again at most once a second.
    if (quietTimer_->isActive() || stopped_)
        return;
    const qint64 since =
        sinceQuietListing_->isValid() ? sinceQuietListing_->elapsed() : kQuietInterval;
    quietTimer_->start(int(std::clamp(kQuietInterval - since, kQuietDelay, kQuietInterval)));
}

void FolderLoader::rescanQuietly() {
    if (stopped_ || listedFolder_.isEmpty())
        return;
    if (state_ != State::Idle) {
        quietTimer_->start(int(kQuietInterval));
        return;
    }
    sinceQuietListing_->start();
    start(listedFolder_, true);
}
