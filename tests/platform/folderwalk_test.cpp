// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderwalk.h"
#include "support/bytenamedtempdir.h"

#include "common/errors.h"
#include "common/iotiming.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

struct Walked {
    std::vector<std::string> entries; // relative paths, sorted
    std::vector<std::string> unlistable, notFollowed, repeats;
};

// Walks root recursively; paths told are made relative to root ("." for root itself).
Walked WalkAll(const std::string& root, FolderWalk walk) {
    Walked out;
    auto relative = [&](std::string path) {
        return path == root ? std::string(".") : path.substr(root.size() + 1);
    };
    walk.recursive = true;
    walk.onEntry = [&](const WalkedFolder& at, const FindData& found) {
        // The folder's handle is the folder its path names,
        struct stat byHandle {
        }, byPath{};
        const bool same =
            ::fstatat(at.fd, found.bytes.c_str(), &byHandle, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::lstat((at.path + found.bytes).c_str(), &byPath) == 0 &&
            byHandle.st_ino == byPath.st_ino && byHandle.st_dev == byPath.st_dev;
        // And the walk's listing names it.
        bool listed = false;
        for (FolderEntries::Listing listing = at.listing; const dirent64* e = listing.next();)
            listed = listed || found.bytes == e->d_name;
        if (found.bytes != "..")
            out.entries.push_back(at.relative + found.bytes + (same ? "" : " (not in at.fd)") +
                                  (listed ? "" : " (not in at.listing)"));
    };
    walk.onUnlistable = [&](const std::string& path, const std::string& message) {
        out.unlistable.push_back(path + " " + message);
    };
    walk.onLinkNotFollowed = [&](const std::string& path) {
        out.notFollowed.push_back(relative(path));
    };
    walk.onRepeat = [&](const std::string& path, const std::string& firstPath) {
        out.repeats.push_back(relative(path) + " -> " + relative(firstPath));
    };
    WalkFolder(root, walk);
    std::sort(out.entries.begin(), out.entries.end());
    std::sort(out.notFollowed.begin(), out.notFollowed.end());
    return out;
}

using Paths = std::vector<std::string>;

TEST(FolderWalk, LinksToFoldersAreEnteredOnlyWhenFollowedAndEachFolderOnce) {
    struct Case {
        const char* what;
        Paths folders, files;
        std::vector<std::pair<std::string, std::string>> links; // name, target
        bool follow;
        Paths entries, notFollowed, repeats;
    } cases[] = {
        {"sideways, not followed",
         {"a", "b"},
         {"a/f.pdf"},
         {{"b/toa", "../a"}},
         false,
         {"a", "a/f.pdf", "b", "b/toa"},
         {"b/toa"},
         {}},
        {"sideways, followed",
         {"a", "b"},
         {"a/f.pdf"},
         {{"b/toa", "../a"}},
         true,
         {"a", "a/f.pdf", "b", "b/toa"},
         {},
         {"b/toa -> a"}},
        // The first path of the sorted walk wins, even when it is the link.
        {"link sorted before its folder",
         {"z"},
         {"z/f.pdf"},
         {{"a", "z"}},
         true,
         {"a", "a/f.pdf", "z"},
         {},
         {"z -> a"}},
        {"cycle, not followed",
         {"a"},
         {"a/f.pdf"},
         {{"a/up", ".."}, {"self", "."}},
         false,
         {"a", "a/f.pdf", "a/up", "self"},
         {"a/up", "self"},
         {}},
        {"cycle, followed: every link told",
         {"a"},
         {"a/f.pdf"},
         {{"a/up", ".."}, {"self", "."}},
         true,
         {"a", "a/f.pdf", "a/up", "self"},
         {},
         {"a/up -> .", "self -> ."}},
        {"outside, not followed", {}, {}, {{"out", "@/x"}}, false, {"out"}, {"out"}, {}},
        {"outside, followed", {}, {}, {{"out", "@/x"}}, true, {"out", "out/o.pdf"}, {}, {}},
        {"two links to one folder",
         {},
         {},
         {{"l1", "@/x"}, {"l2", "@/x"}},
         true,
         {"l1", "l1/o.pdf", "l2"},
         {},
         {"l2 -> l1"}},
        {"a link to a file is a file",
         {"a"},
         {"a/f.pdf"},
         {{"f.pdf", "a/f.pdf"}},
         false,
         {"a", "a/f.pdf", "f.pdf"},
         {},
         {}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir, outside;
        const std::string root = dir.path().toStdString();
        std::filesystem::create_directories(outside.path().toStdString() + "/x");
        ::close(::creat((outside.path().toStdString() + "/x/o.pdf").c_str(), 0644));
        for (const std::string& folder : c.folders)
            std::filesystem::create_directories(root + "/" + folder);
        for (const std::string& file : c.files)
            ::close(::creat((root + "/" + file).c_str(), 0644));
        for (auto [name, target] : c.links) {
            if (target.starts_with('@'))
                target = outside.path().toStdString() + target.substr(1);
            ASSERT_EQ(::symlink(target.c_str(), (root + "/" + name).c_str()), 0);
        }
        FolderWalk walk;
        walk.followLinks = c.follow;
        // Subfolders entered as they come too, where which path comes first does not matter
        // (the file system's order decides it there); and on a device that waits, where they
        // are opened ahead.
        for (const bool last : {true, false})
            for (const bool slow : {false, true}) {
                if (!last && !c.repeats.empty())
                    continue;
                std::optional<iotiming::AssumeSlowDevice> slowDevice;
                if (slow)
                    slowDevice.emplace();
                walk.subfoldersLast = last;
                const Walked w = WalkAll(root, walk);
                EXPECT_EQ(w.entries, c.entries) << c.what << " " << slow;
                EXPECT_EQ(w.notFollowed, c.notFollowed) << c.what << " " << slow;
                EXPECT_EQ(w.repeats, c.repeats) << c.what << " " << slow;
            }
    }
}

TEST(FolderWalk, VanishedFoldersAreSkippedAndByteNamesEntered) {
    ByteNamedTempDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/gone");
    std::filesystem::create_directories(root + "/\x95\xf1");
    ::close(::creat((root + "/\x95\xf1/g.pdf").c_str(), 0644));

    FolderWalk walk;
    walk.subfoldersLast = true;
    // A folder that goes between being seen and being entered, as a process's folder in
    // /proc does; root could list any folder that merely forbids it, this one no one can.
    walk.onFolderEnd = [&](const WalkedFolder& at) {
        if (at.relative.empty())
            std::filesystem::remove(root + "/gone");
    };
    const Walked w = WalkAll(root, walk);
    EXPECT_EQ(w.entries, (Paths{"gone", "\x95\xf1", "\x95\xf1/g.pdf"}));
    ASSERT_EQ(w.unlistable.size(), 1u);
    EXPECT_EQ(w.unlistable[0], root + "/gone/ ディレクトリ'" + root + "/gone/'は検索できません");

    // Without the event the first such folder ends the walk with its message.
    std::filesystem::create_directories(root + "/gone");
    EXPECT_THROW(
        {
            FolderWalk strict = walk;
            strict.onUnlistable = nullptr;
            strict.recursive = true;
            WalkFolder(root, strict);
        },
        EInvalidFileName);
}

// However the walk ends early (keepGoing, an event that throws, onFolderStart too), every folder
// started or told ahead is told ended, once, as what a caller holds for it may point into its
// listing; nothing is reported after.
TEST(FolderWalk, AnEarlyEndStopsEveryLevelAndEndsEveryFolderStarted) {
    ByteNamedTempDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/a/b");
    for (const char* name : {"/a/1", "/a/2", "/a/b/3"})
        ::close(::creat((root + name).c_str(), 0644));
    enum class End { Stopped, KeepGoingThrows, FolderStartThrows };
    for (const End end : {End::Stopped, End::KeepGoingThrows, End::FolderStartThrows})
        for (const bool slow : {false, true}) {
            SCOPED_TRACE(std::to_string(int(end)) + std::to_string(slow));
            std::optional<iotiming::AssumeSlowDevice> slowDevice;
            if (slow)
                slowDevice.emplace(); // subfolders opened ahead
            FolderWalk walk;
            walk.recursive = true;
            walk.subfoldersLast = true; // the root's ".", ".." and "a" first, then a's entries
            int seen = 0, reported = 0, reportedAtStop = -1, started = 0;
            std::mutex mutex; // folders are told ahead on the threads that open them
            std::map<std::string, int> told, ended; // by path
            walk.onFolderAhead = [&](const WalkedFolder& at) {
                const std::lock_guard lock(mutex);
                ++told[at.path];
            };
            walk.onFolderStart = [&](const WalkedFolder& at) {
                const std::lock_guard lock(mutex);
                ++started;
                told[at.path] = 1;
                if (end == End::FolderStartThrows && started == 2) // in "a"
                    throw std::runtime_error("stop");
            };
            walk.onFolderEnd = [&](const WalkedFolder& at) {
                const std::lock_guard lock(mutex);
                ++ended[at.path];
            };
            walk.onEntry = [&](const WalkedFolder&, const FindData&) { ++reported; };
            walk.keepGoing = [&] {
                reportedAtStop = reported;
                if (++seen < 4 || end == End::FolderStartThrows)
                    return true;
                if (end == End::KeepGoingThrows)
                    throw std::runtime_error("stop");
                return false;
            };
            if (end == End::Stopped)
                WalkFolder(root, walk);
            else
                EXPECT_THROW(WalkFolder(root, walk), std::runtime_error);
            EXPECT_EQ(seen, end == End::FolderStartThrows ? 3 : 4);
            EXPECT_EQ(reported, reportedAtStop) << "nothing is reported after the stop";
            EXPECT_GT(started, 1) << "the stop comes in a subfolder";
            // On the slow device, "a/b/" is told ahead before the stop in "a/".
            EXPECT_EQ(told.size(), size_t(started) + slow);
            EXPECT_EQ(ended, told);
        }
}

// On a device seen waiting, subfolders are opened ahead and told to the caller, also when the
// wait is seen only while a folder's entries are read, and at any depth: "a/c" while the walk
// is still in the root. Each told is ended once.
TEST(FolderWalk, SubfoldersAreToldAheadOnceTheDeviceIsSeenWaiting) {
    ByteNamedTempDir dir;
    const std::string root = dir.path().toStdString() + "/";
    std::filesystem::create_directories(root + "a/c");
    std::filesystem::create_directories(root + "b");
    enum class Slow { Never, FromTheStart, FromTheRootsEntries };
    for (const Slow slow : {Slow::Never, Slow::FromTheStart, Slow::FromTheRootsEntries}) {
        SCOPED_TRACE(int(slow));
        std::optional<iotiming::AssumeSlowDevice> slowDevice;
        if (slow == Slow::FromTheStart)
            slowDevice.emplace();
        FolderWalk walk;
        walk.recursive = true;
        walk.subfoldersLast = true;
        std::mutex mutex;
        std::condition_variable toldMore;
        std::set<std::string> told;
        std::map<std::string, int> ended;
        walk.onFolderAhead = [&](const WalkedFolder& at) {
            const std::lock_guard lock(mutex);
            told.insert(at.relative);
            toldMore.notify_all();
        };
        bool deepToldFromTheRoot = false;
        walk.onEntry = [&](const WalkedFolder& at, const FindData& entry) {
            if (slow == Slow::FromTheRootsEntries && at.relative.empty() && !slowDevice)
                slowDevice.emplace();
            if (slow == Slow::FromTheStart && at.relative.empty() && entry.bytes == "a") {
                std::unique_lock lock(mutex);
                deepToldFromTheRoot = toldMore.wait_for(lock, std::chrono::seconds(10),
                                                        [&] { return told.contains("a/c/"); });
            }
        };
        walk.onFolderEnd = [&](const WalkedFolder& at) { ++ended[at.relative]; };
        WalkFolder(root, walk);
        const std::set<std::string> expected = slow == Slow::Never
                                                   ? std::set<std::string>{}
                                                   : std::set<std::string>{"a/", "a/c/", "b/"};
        EXPECT_EQ(told, expected);
        EXPECT_EQ(deepToldFromTheRoot, slow == Slow::FromTheStart);
        EXPECT_EQ(ended, (std::map<std::string, int>{{"", 1}, {"a/", 1}, {"a/c/", 1}, {"b/", 1}}));
    }
}

// Folders opened ahead are bounded in all of a walk, not at each level: a deep tree on a device
// that waits does not hold a few open (with their lookup threads) at every level.
TEST(FolderWalk, FoldersOpenedAheadAreBoundedInAllOfAWalk) {
    ByteNamedTempDir dir;
    std::string path = dir.path().toStdString();
    for (int level = 0; level < 16; ++level) { // the walk goes down "a" first, "b" to "e" wait
        for (const char* name : {"/b", "/c", "/d", "/e"})
            std::filesystem::create_directories(path + name);
        path += "/a";
    }
    std::filesystem::create_directories(path);
    auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    const iotiming::AssumeSlowDevice slow;
    FolderWalk walk;
    walk.recursive = true;
    walk.subfoldersLast = true;
    long most = 0, folders = 0;
    walk.onFolderStart = [&](const WalkedFolder&) {
        ++folders;
        most = std::max<long>(most, threads());
    };
    WalkFolder(dir.path().toStdString(), walk);
    EXPECT_EQ(folders, 1 + 16 * 5);
    // Sixteen folders ahead, each with a thread for each entry it looks up, and the folder
    // walked: 40 to 55 threads; without the bound, those of every level the walk has gone down,
    // "b" to "e" staying open as the walk goes down "a": 140 to 160.
    EXPECT_LE(most, 90);
}

} // namespace
