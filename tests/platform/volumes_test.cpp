// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/answerwithin.h"
#include "platform/dialogs.h"
#include "platform/hooks.h"
#include "platform/places.h"
#include "platform/volumes.h"
#include "support/stalledshare.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace platform;

namespace {

Volume Fake(const QString& mountPoint, VolumeKind kind = VolumeKind::Fixed, bool ready = true) {
    Volume v;
    v.mountPoint = mountPoint;
    v.kind = kind;
    if (ready)
        v.totalSize = 1000;
    return v;
}

TEST(SystemVolumes, RootFirstThenMountPointOrderWithoutPseudoFileSystems) {
    const auto volumes = SystemVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().mountPoint, "/");
    EXPECT_TRUE(volumes.front().ready());
    for (size_t i = 1; i < volumes.size(); ++i) {
        EXPECT_LT(volumes[i - 1].mountPoint, volumes[i].mountPoint);
        for (const char* pseudo : {"proc", "sysfs", "tmpfs", "devpts", "cgroup", "cgroup2"})
            EXPECT_NE(volumes[i].fileSystem, pseudo) << volumes[i].mountPoint.toStdString();
    }
}

// A question a share does not answer (its server died) holds up its caller once, for the wait,
// and holds one thread however often it is asked; its late answer goes to the next caller, and
// the one after asks anew.
TEST(AnswerWithin, AQuestionNotAnsweredHoldsOneThreadAndNoCallerTwice) {
    using namespace std::chrono_literals;
    std::promise<void> serverBack;
    std::shared_future<void> back = serverBack.get_future().share();
    auto asked = std::make_shared<std::atomic<int>>(0);
    const std::function<int()> stalling = [=] {
        ++*asked;
        back.wait();
        return 7;
    };
    const std::string question = "stalling";
    EXPECT_EQ(AnswerWithin(question, 50ms, stalling), std::nullopt);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(AnswerWithin(question, 60s, stalling), std::nullopt) << "not waited for again";
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
    EXPECT_EQ(asked->load(), 1);
    serverBack.set_value();
    std::optional<int> late; // nothing until the late answer is in
    for (int tries = 0; tries < 30000 && !late; ++tries) {
        late = AnswerWithin(question, 60s, stalling);
        if (!late)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(late, 7);
    EXPECT_EQ(asked->load(), 1) << "the late answer, not a second question";
    EXPECT_EQ(AnswerWithin(question, 60s, stalling), 7);
    EXPECT_EQ(asked->load(), 2);
    // One answered in time is not left behind.
    EXPECT_EQ(AnswerWithin<int>("quick", 60s, [] { return 1; }), 1);
}

// A path on a network volume is one whose folder may not answer; its folders are then listed on
// a thread of their own, with the same result.
TEST(MayStallAt, PathsOnANetworkVolume) {
    QTemporaryDir share;
    ASSERT_TRUE(QDir(share.path()).mkpath("inner/deeper"));
    const QString net = share.path();
    ScopedHook<VolumeSource> source(SetVolumeSource, [&] {
        return std::vector<Volume>{Fake("/"), Fake(net, VolumeKind::Network),
                                   Fake(net + "/inner", VolumeKind::Fixed)};
    });
    const struct {
        QString path;
        bool stalls;
    } cases[] = {{net, true},        {net + "/x/y", true},
                 {net + "x", false}, {net + "/inner/a", false},
                 {"/home", false},   {"relative", false}};
    for (const auto& c : cases)
        EXPECT_EQ(MayStallAt(c.path), c.stalls) << c.path.toStdString();
    EXPECT_EQ(SubfolderNamesInTime(net), std::optional(std::vector<std::string>{"inner"}));
    const auto inner = FileInfoOfInTime(net + "/inner");
    ASSERT_TRUE(inner && *inner);
    EXPECT_TRUE((*inner)->attr & faDirectory);
    const auto missing = FileInfoOfInTime(net + "/missing");
    EXPECT_TRUE(missing && !*missing);
}

// The user's folders as the desktop names them (~/.config/user-dirs.dirs): one that is not
// there is left out, one on a share that does not answer in time offered as configured.
TEST(UserPlaces, AFolderOnAShareThatDoesNotAnswerIsOffered) {
    QTemporaryDir top;
    // The share's folder is not made: only the question left unanswered can offer it.
    ASSERT_TRUE(QDir().mkpath(top.path() + "/home") && QDir().mkpath(top.path() + "/config"));
    const QString documents = top.path() + "/share/Documents";
    QFile dirs(top.path() + "/config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\nXDG_DESKTOP_DIR=\"" +
               top.path().toUtf8() + "/missing\"\n");
    dirs.close();
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", (top.path() + "/home").toUtf8());
    qputenv("XDG_CONFIG_HOME", (top.path() + "/config").toUtf8());
    ScopedHook<VolumeSource> source(SetVolumeSource, [&] {
        return std::vector<Volume>{Fake("/"), Fake(top.path() + "/share", VolumeKind::Network)};
    });
    std::promise<void> serverBack = StallFileInfoOf(documents);
    const std::vector<Place> places = UserPlaces();
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].path, top.path() + "/home");
    EXPECT_EQ(places[1].kind, PlaceKind::Documents);
    EXPECT_EQ(places[1].path, documents);
}

TEST(VolumeOfPath, LongestWholeComponentPrefix) {
    ScopedHook<VolumeSource> source(SetVolumeSource, [] {
        return std::vector<Volume>{Fake("/"), Fake("/media/usb"), Fake("/media/usb2")};
    });
    struct Case {
        const char* path;
        const char* mountPoint; // nullptr: none
    };
    const Case cases[] = {
        {"/media/usb2/x", "/media/usb2"},
        {"/media/usb/", "/media/usb"},
        {"/media/usb", "/media/usb"},
        {"/media/usbx/y", "/"},
        {"/", "/"},
        {"/media/usb/../usb2/a", "/media/usb2"},
        {"relative/path", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MountPointOf(c.path), c.mountPoint ? c.mountPoint : "") << c.path;
        const auto volume = VolumeOfPath(c.path);
        if (!c.mountPoint) {
            EXPECT_FALSE(volume) << c.path;
            continue;
        }
        ASSERT_TRUE(volume) << c.path;
        EXPECT_EQ(volume->mountPoint, c.mountPoint) << c.path;
    }
}

// The mount table alone tells the system's volumes as asking them does.
TEST(MountPointOf, AgreesWithTheSystemsVolumes) {
    for (const Volume& volume : SystemVolumes()) {
        const QString inside = QDir::cleanPath(volume.mountPoint + "/inside");
        EXPECT_EQ(MountPointOf(inside), VolumeOfPath(inside)->mountPoint) << inside.toStdString();
    }
    EXPECT_EQ(MountPointOf("/"), "/");
}

TEST(DriveAvailable, ReadyVolumesAndMediaInDiscAndNetworkDrives) {
    QTemporaryDir empty, filled;
    QFile file(filled.path() + "/disc.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString emptyCd = empty.path(), fullNet = filled.path();
    ScopedHook<VolumeSource> source(SetVolumeSource, [&] {
        return std::vector<Volume>{Fake("/"), Fake("/media/gone", VolumeKind::Removable, false),
                                   Fake(emptyCd, VolumeKind::CdRom),
                                   Fake(fullNet, VolumeKind::Network)};
    });
    EXPECT_TRUE(DriveAvailable("/home"));
    EXPECT_FALSE(DriveAvailable("/media/gone/file"));
    EXPECT_FALSE(DriveAvailable(emptyCd + "/x")) << "only . and .. in the disc's root";
    EXPECT_TRUE(DriveAvailable(fullNet));
    EXPECT_FALSE(DriveAvailable("C:"));
    EXPECT_EQ(DriveTotalSize("/media/gone"), std::nullopt);
    EXPECT_EQ(DriveTotalSize("/usr"), 1000u);
}

TEST(FallbackFolder, MountPointOfTheCurrentDirectoryWithSlash) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("inner"));
    const QString oldCwd = QDir::currentPath();
    const QString volumeRoot = QDir(dir.path()).canonicalPath();
    ScopedHook<VolumeSource> source(SetVolumeSource, [&] {
        return std::vector<Volume>{Fake("/"), Fake(volumeRoot)};
    });
    ASSERT_TRUE(QDir::setCurrent(volumeRoot + "/inner"));
    const QString inside = FallbackFolder();
    ASSERT_TRUE(QDir::setCurrent("/"));
    const QString atRoot = FallbackFolder();
    QDir::setCurrent(oldCwd);
    EXPECT_EQ(inside, volumeRoot + "/");
    EXPECT_EQ(atRoot, "/");
}

TEST(CheckDrive, MessagesGoThroughTheSeam) {
    ScopedHook<VolumeSource> source(SetVolumeSource, [] {
        return std::vector<Volume>{Fake("/"), Fake("/media/cd", VolumeKind::CdRom, false)};
    });
    std::vector<MessageBoxRequest> shown;
    int beeps = 0;
    ScopedHook<MessageBoxHandler> boxes(SetMessageBoxHandler, [&](const MessageBoxRequest& r) {
        shown.push_back(r);
        return QMessageBox::Ok;
    });
    ScopedHook<BeepHandler> beep(SetBeepHandler, [&] { ++beeps; });

    EXPECT_TRUE(CheckDrive("/home", true, "invalid", "not ready"));
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(CheckDrive("/media/cd/", false, "invalid", "not ready"));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(beeps, 0);

    EXPECT_FALSE(CheckDrive("/media/cd/", true, "invalid", "not ready"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "not ready");
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(beeps, 1);

    EXPECT_FALSE(CheckDrive("nowhere", true, "invalid", "not ready"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "invalid");
    EXPECT_EQ(shown[1].icon, QMessageBox::Critical);
}

TEST(Volume, DisplayLabelFallsBackToLastComponent) {
    Volume v = Fake("/media/usb-stick");
    EXPECT_EQ(v.displayLabel(), "usb-stick");
    v.label = "BACKUP";
    EXPECT_EQ(v.displayLabel(), "BACKUP");
    EXPECT_EQ(Fake("/").displayLabel(), "/");
}

} // namespace
