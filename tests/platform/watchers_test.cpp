// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hooks.h"
#include "platform/pathnames.h"
#include "platform/volumes.h"
#include "platform/watchers.h"
#include "support/bytenamedtempdir.h"
#include "support/stalledshare.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

using Event = std::pair<long, QString>;

// Processes events until count events arrived or two seconds passed.
void WaitFor(const std::vector<Event>& events, size_t count) {
    QElapsedTimer timer;
    timer.start();
    while (events.size() < count && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

TEST(FolderWatcher, ReportsSubfolderCreatedRenamedRemovedButNotFiles) {
    ByteNamedTempDir dir;
    const QString root = dir.path();
    FolderWatcher watcher;
    std::vector<Event> events;
    QObject::connect(&watcher, &FolderWatcher::changeNotified,
                     [&](long code, const QString& path) { events.emplace_back(code, path); });
    ASSERT_TRUE(watcher.watch(root + "/"));
    EXPECT_EQ(watcher.folders(), QStringList{root});

    QFile file(root + "/file.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QDir(root).mkdir("new"));
    WaitFor(events, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event(shcneMkDir, root + "/new"));

    ASSERT_TRUE(QDir(root).rename("new", "renamed"));
    WaitFor(events, 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], Event(shcneRenameFolder, root + "/renamed"));

    ASSERT_TRUE(QDir(root).rmdir("renamed"));
    WaitFor(events, 3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2], Event(shcneRmDir, root + "/renamed"));

    ASSERT_TRUE(QFile::remove(root + "/file.txt"));
    WaitFor(events, 4);
    EXPECT_EQ(events.size(), 3u) << "files coming and going are not folder events";
}

// Qt's watcher names folders by UTF-8 alone; these are watched all the same, and report their
// subfolders by their bytes.
TEST(FolderWatcher, WatchesFoldersWhoseNamesAreNotUtf8) {
    ByteNamedTempDir dir;
    const std::string root = PathToBytes(dir.path());
    FolderWatcher watcher;
    std::vector<Event> events;
    QObject::connect(&watcher, &FolderWatcher::changeNotified,
                     [&](long code, const QString& path) { events.emplace_back(code, path); });
    const std::string names[] = {"\x8e\x91\x97\xbf", "\xc6\xfc\xcb\xdc", "caf\xe9", "utf8-資料"};
    for (const std::string& name : names) {
        ASSERT_EQ(::mkdir((root + "/" + name).c_str(), 0755), 0);
        ASSERT_TRUE(watcher.watch(PathFromBytes(root + "/" + name)));
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string made = root + "/" + name + "/sub\xe9";
        ASSERT_EQ(::mkdir(made.c_str(), 0755), 0);
        const size_t before = events.size();
        WaitFor(events, before + 1);
        ASSERT_EQ(events.size(), before + 1);
        EXPECT_EQ(events.back().first, shcneMkDir);
        EXPECT_EQ(PathToBytes(events.back().second), made);
    }
    // Unwatched, a folder reports nothing, and its handle is given up.
    watcher.unwatch(PathFromBytes(root + "/" + names[0]));
    ASSERT_EQ(::rmdir((root + "/" + names[0] + "/sub\xe9").c_str()), 0);
    const size_t before = events.size();
    WaitFor(events, before + 1);
    EXPECT_EQ(events.size(), before);
    // Qt cannot name these to remove them.
    std::filesystem::remove_all(root);
}

// Makes a new subfolder of folder every 50 ms until an event arrives or ten seconds passed: for
// a watch that starts once a share has answered.
void MakeSubfoldersUntilReported(const QString& folder, const std::vector<Event>& events) {
    QElapsedTimer waited;
    waited.start();
    const size_t before = events.size();
    for (int i = 0; events.size() == before && waited.elapsed() < 10000; ++i) {
        QDir(folder).mkdir(QStringLiteral("made%1").arg(i));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

ScopedHook<VolumeSource> ShareAt(const QString& root) {
    return ScopedHook<VolumeSource>(SetVolumeSource, [root] {
        Volume share;
        share.mountPoint = root;
        share.kind = VolumeKind::Network;
        share.totalSize = 1;
        return std::vector<Volume>{share};
    });
}

// On a share even the kernel's watch looks the folder up on the server: it is asked without
// waiting (a server that never answers would hold the window), and the folder is watched from
// the moment the server answers.
TEST(FolderChanges, AFolderOnAShareIsWatchedOnceItAnswersWithoutWaitingForIt) {
    QTemporaryDir dir;
    const QString root = dir.path();
    const auto share = ShareAt(root);
    FolderChanges changes;
    std::vector<Event> events;
    QObject::connect(&changes, &FolderChanges::changed,
                     [&](const QString& folder) { events.emplace_back(0, folder); });
    std::promise<void> serverBack = StallFolderWatch(root);
    ASSERT_TRUE(changes.watch(root));
    EXPECT_EQ(changes.folders(), QStringList{root});
    ASSERT_TRUE(QDir(root).mkdir("unseen"));
    WaitFor(events, 1);
    EXPECT_TRUE(events.empty());

    serverBack.set_value();
    MakeSubfoldersUntilReported(root, events);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], Event(0, root));
}

// A folder on a share is watched once the share answers for its subfolders, without waiting
// for it meanwhile; a change while the share does not answer is not taken for its removal.
TEST(FolderWatcher, AFolderOnAShareIsWatchedOnceItAnswers) {
    QTemporaryDir dir;
    const QString root = dir.path();
    const auto share = ShareAt(root);
    FolderWatcher watcher;
    std::vector<Event> events;
    QObject::connect(&watcher, &FolderWatcher::changeNotified,
                     [&](long code, const QString& path) { events.emplace_back(code, path); });
    std::promise<void> serverBack = StallSubfolderNamesOf(root);
    EXPECT_FALSE(watcher.watch(root + "/"));
    serverBack.set_value();
    QElapsedTimer waited;
    waited.start();
    while (!watcher.watch(root) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(watcher.folders(), QStringList{root});
    MakeSubfoldersUntilReported(root, events);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].first, shcneMkDir);

    std::promise<void> serverGone = StallSubfolderNamesOf(root);
    events.clear();
    ASSERT_TRUE(QDir(root).mkdir("new"));
    WaitFor(events, 1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(watcher.folders(), QStringList{root});
}

TEST(FolderWatcher, FolderThatCannotBeWatchedIsNotFatal) {
    FolderWatcher watcher;
    EXPECT_FALSE(watcher.watch("/no/such/folder"));
    EXPECT_FALSE(watcher.watch(QString()));
    EXPECT_TRUE(watcher.folders().isEmpty());
}

TEST(MountWatcher, ReportsVolumesAddedAndRemoved) {
    std::vector<QString> mounts = {"/", "/media/usb"};
    ScopedHook<VolumeSource> source(SetVolumeSource, [&] {
        std::vector<Volume> volumes;
        for (const QString& m : mounts)
            volumes.push_back(Volume{m, {}, {}, {}, VolumeKind::Fixed, 1});
        return volumes;
    });
    MountWatcher watcher;
    EXPECT_TRUE(watcher.isActive()) << "/proc/self/mountinfo should be watchable";
    std::vector<Event> events;
    QStringList removed;
    QObject::connect(&watcher, &MountWatcher::changeNotified,
                     [&](long code, const QString& path) { events.emplace_back(code, path); });
    QObject::connect(&watcher, &MountWatcher::volumeRemoved,
                     [&](const QString& path) { removed << path; });
    watcher.rescan();
    EXPECT_TRUE(events.empty()) << "nothing changed yet";

    mounts = {"/", "/media/cd"};
    watcher.rescan();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], Event(shcneDriveRemoved, "/media/usb"));
    EXPECT_EQ(events[1], Event(shcneDriveAdd, "/media/cd"));
    EXPECT_EQ(removed, QStringList{"/media/usb"});
}

} // namespace
