#include "platform/hooks.h"
#include "platform/watchers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    QTemporaryDir dir;
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
