// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a folder into list rows on a worker thread, and keeps watching it: the rows come back
// in batches through the event loop, a change of the folder reads it again quietly, and the
// volume it lies on going away is told.
//
// The window's thread never waits for the folder: on a share whose server died or a stick
// pulled mid-read a system call of the worker may not return for minutes. A listing that is
// dropped (another folder chosen, the window closed) is left to its worker, which ends by
// itself once its call returns; nothing it found reaches the loader any more.

#include "app/listrows.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QElapsedTimer;
class QThread;
class QTimer;

namespace platform {
class FolderChanges;
class MountWatcher;
}

struct ListingJob;

class FolderLoader : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,         // no listing runs
        Listing,      // a listing asked for: it shows progress, its failures are told
        QuietListing, // the listed folder read again after a change, unseen until it is done
        Cancelling,   // the listing was asked to stop and its worker has not answered yet
    };
    enum class Outcome { Completed, Cancelled, Failed };

    explicit FolderLoader(QObject* parent = nullptr);
    // Gives a worker that still runs a moment to end, then leaves it: it may be stuck.
    ~FolderLoader() override;

    State state() const { return state_; }

    // Lists path (bytes as PathFromBytes carries them; a file: its folder) with settings. A
    // listing that runs is dropped, and finishes as cancelled before this one starts.
    void load(const QString& path, const ScanSettings& settings);
    // The settings files are read with from now on: by quiet re-reads, and by the running
    // listing for the files it has not read yet.
    void setSettings(const ScanSettings& settings);
    const ScanSettings& settings() const { return settings_; }
    // Asks the running listing to end after the entry at hand (State::Cancelling until its
    // worker answers); it then finishes as cancelled, with what it found so far. A worker stuck
    // in a system call does not answer: the next load drops it, and so does the loader's end.
    void cancel();
    // No more quiet re-reads, until the next load.
    void stopWatching();

    // The rows found since the last call, in the folder's order.
    std::vector<ListRow> takeRows();
    // The files the reader failed on in the running or last listing.
    const std::vector<ReadFailure>& failures() const { return failures_; }
    // Why the last listing failed.
    const QString& error() const { return error_; }
    // The folder the running or last listing reads (bytes, ending in "/"), once its worker has
    // told it: the folder of a file given to load.
    const std::string& listingFolder() const { return listingFolder_; }
    // The rows the running listing is likely to hand over in all, its folder's PDF files told
    // by their names: room a list can take at once rather than grow into. 0 before they are
    // counted.
    size_t expectedRows() const;
    // The folder the last listing that did not fail read; it is watched.
    const QString& listedFolder() const { return listedFolder_; }

    // Whether folder can no longer be read where the last listing found it: the drive list, a
    // volume that is not ready, or a folder that now lies on another volume (how a removed
    // stick shows here: its mount point stays behind as an empty folder of the volume beneath).
    bool volumeGone(const QString& folder) const;

signals:
    void started(bool quiet);
    // takeRows has rows.
    void rowsFound();
    // Entries read of the folder's total; only for a listing that is not quiet.
    void progressed(int done, int total);
    void finished(bool quiet, FolderLoader::Outcome outcome);
    // A volume went away while no listing ran.
    void volumeRemoved();

private:
    friend struct ListingJob;

    void start(const QString& path, bool quiet);
    // Takes what the worker found since the last time.
    void collect();
    void finish(bool quiet, const std::string& error, bool stopped);
    // Lets go of the running listing's worker; finishes it as cancelled when tell is set.
    void drop(bool tell);
    // Watches folder, which becomes the listed folder.
    void watch(const QString& folder);
    void folderChanged();
    void rescanQuietly();

    State state_ = State::Idle;
    bool stopped_ = false;
    ScanSettings settings_;
    std::shared_ptr<ListingJob> job_;
    QPointer<QThread> worker_;
    QTimer* collectTimer_ = nullptr;
    std::pair<int, int> progress_{-1, -1}; // told last: entries read, entries to read
    std::vector<ListRow> found_;
    std::vector<ReadFailure> failures_;
    QString error_;
    std::string listingFolder_;
    QString listedFolder_;
    QString listedVolume_; // mount point of the volume the last listing read
    platform::FolderChanges* folderChanges_ = nullptr;
    QTimer* quietTimer_ = nullptr;
    std::unique_ptr<QElapsedTimer> sinceQuietListing_;
    platform::MountWatcher* mountWatcher_ = nullptr;
};
