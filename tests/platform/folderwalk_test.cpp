// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderwalk.h"

#include "common/errors.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

using namespace platform;

namespace {

struct Walked {
    std::vector<std::string> entries; // relative paths
    std::vector<std::string> unlistable, cycles;
};

Walked WalkAll(const std::string& root, FolderWalk walk) {
    Walked out;
    walk.recursive = true;
    walk.onEntry = [&](const WalkedFolder& at, const FindData& found) {
        out.entries.push_back(at.relative + found.bytes);
    };
    walk.onUnlistable = [&](const std::string& path, const std::string& message) {
        out.unlistable.push_back(path + " " + message);
    };
    walk.onCycle = [&](const std::string& path) { out.cycles.push_back(path); };
    WalkFolder(root, walk);
    return out;
}

size_t Count(const std::vector<std::string>& list, const std::string& item) {
    return size_t(std::count(list.begin(), list.end(), item));
}

TEST(FolderWalk, EachFolderOnceCyclesToldOnceAndVanishedFoldersSkipped) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/a/b");
    std::filesystem::create_directories(root + "/gone");
    std::filesystem::create_directories(root + "/\x95\xf1");
    ::close(::creat((root + "/a/b/f.pdf").c_str(), 0644));
    ::close(::creat((root + "/\x95\xf1/g.pdf").c_str(), 0644));
    ::symlink(".", (root + "/self").c_str());
    ::symlink("../..", (root + "/a/b/up").c_str());
    ::symlink("a/b", (root + "/alsob").c_str());

    FolderWalk walk;
    walk.subfoldersLast = true;
    // A folder that goes between being seen and being entered, as a process's folder in
    // /proc does; root could list any folder that merely forbids it, this one no one can.
    walk.onFolderEnd = [&](const WalkedFolder& at) {
        if (at.relative.empty())
            std::filesystem::remove(root + "/gone");
    };
    const Walked w = WalkAll(root, walk);
    EXPECT_EQ(Count(w.entries, "a/b/f.pdf") + Count(w.entries, "alsob/f.pdf"), 1u)
        << "a folder reached by two paths is listed once";
    EXPECT_EQ(Count(w.entries, "\x95\xf1/g.pdf"), 1u);
    EXPECT_EQ(Count(w.entries, ".."), 1u) << "only the root's parent entry";
    ASSERT_EQ(w.cycles.size(), 1u) << "self and a/b/up both lead to the root";
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

TEST(FolderWalk, KeepGoingStopsEveryLevel) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/a/b");
    for (const char* name : {"/a/1", "/a/2", "/a/b/3", "/4"})
        ::close(::creat((root + name).c_str(), 0644));
    FolderWalk walk;
    walk.recursive = true;
    int seen = 0, reported = 0, reportedAtStop = -1;
    walk.onEntry = [&](const WalkedFolder&, const FindData&) { ++reported; };
    walk.keepGoing = [&] {
        if (++seen < 3)
            return true;
        reportedAtStop = reported;
        return false;
    };
    WalkFolder(root, walk);
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(reported, reportedAtStop) << "nothing is reported after the stop, at any level";
}

} // namespace
