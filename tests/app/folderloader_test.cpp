// SPDX-License-Identifier: GPL-3.0-or-later
// The loader on its own: its states, what a listing hands over, and a worker stuck in a system
// call (the platform's search step hangs) that nothing waits for.

#include "app/folderloader.h"
#include "app/folderscan.h"
#include "common/iotiming.h"
#include "platform/hooks.h"
#include "platform/pathnames.h"
#include "support/pdfbuilder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using State = FolderLoader::State;
using Outcome = FolderLoader::Outcome;

// Collects what one loader hands over.
struct Listener {
    explicit Listener(FolderLoader& loader) {
        QObject::connect(&loader, &FolderLoader::started, &loader,
                         [this](bool quiet) { started.push_back(quiet); });
        QObject::connect(&loader, &FolderLoader::rowsFound, &loader, [this, &loader] {
            for (ListRow& row : loader.takeRows())
                rows.push_back(row.caption);
        });
        QObject::connect(&loader, &FolderLoader::progressed, &loader,
                         [this](int, int count) { total = count; });
        QObject::connect(&loader, &FolderLoader::finished, &loader,
                         [this](bool, Outcome outcome) { outcomes.push_back(outcome); });
    }
    void Clear() {
        started.clear();
        rows.clear();
        outcomes.clear();
        total = -1;
    }
    std::vector<bool> started;
    std::vector<std::string> rows;
    std::vector<Outcome> outcomes;
    int total = -1;
};

// A search step in a folder whose path ends in tail waits until released, at most 30 s.
struct Hang {
    std::string tail;
    std::atomic<int> entered{0};
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;

    void Release() {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        released.notify_all();
    }
};

std::shared_ptr<Hang> MakeHang(const std::string& tail) {
    auto hang = std::make_shared<Hang>();
    hang->tail = tail;
    return hang;
}

platform::SearchStepHook HangHook(const std::shared_ptr<Hang>& hang) {
    return [hang](const std::string& folder) {
        if (!folder.ends_with(hang->tail))
            return;
        ++hang->entered;
        std::unique_lock lock(hang->mutex);
        hang->released.wait_for(lock, std::chrono::seconds(30), [&] { return hang->open; });
    };
}

class FolderLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"one", "one/inner", "stuck"})
            QDir().mkpath(Path(folder));
        dir.Write("one/a.pdf", "%PDF-1.4\n");
        dir.Write("one/notes.txt", "notes");
        dir.Write("stuck/s.pdf", "%PDF-1.4\n");
    }
    void TearDown() override { hang->Release(); }

    QString Path(const std::string& relative) const {
        return platform::PathFromBytes(dir.File(relative));
    }

    bool WaitIdle(FolderLoader& loader) {
        return QTest::qWaitFor([&] { return loader.state() == State::Idle; }, 10000);
    }

    TempDir dir;
    std::shared_ptr<Hang> hang = MakeHang("/stuck/");
    platform::ScopedHook<platform::SearchStepHook> hook{platform::SetSearchStepHook,
                                                        HangHook(hang)};
};

TEST_F(FolderLoaderTest, AListingHandsOverItsRowsAndEnds) {
    FolderLoader loader;
    Listener heard(loader);
    struct Case {
        const char* what;
        std::string path;
        Outcome outcome;
        std::vector<std::string> rows; // in the folder's order, sorted here
        std::string folder;            // listingFolder()
    } cases[] = {
        {"a folder", "one", Outcome::Completed, {"..", "a.pdf", "inner"}, "one/"},
        {"a file: its folder", "one/a.pdf", Outcome::Completed, {"..", "a.pdf", "inner"}, "one/"},
        {"nothing", "none", Outcome::Failed, {}, "none/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        heard.Clear();
        loader.load(Path(c.path), {});
        EXPECT_EQ(loader.state(), State::Listing);
        ASSERT_TRUE(WaitIdle(loader));
        EXPECT_EQ(heard.started, std::vector<bool>{false});
        EXPECT_EQ(heard.outcomes, std::vector<Outcome>{c.outcome});
        std::sort(heard.rows.begin(), heard.rows.end());
        EXPECT_EQ(heard.rows, c.rows);
        EXPECT_EQ(loader.listingFolder(), dir.File(c.folder));
        if (c.outcome == Outcome::Completed) {
            EXPECT_EQ(heard.total, 3); // a.pdf, notes.txt and inner, by their names
            EXPECT_EQ(loader.listedFolder(), Path(c.folder));
            EXPECT_TRUE(loader.error().isEmpty());
        } else {
            EXPECT_TRUE(loader.error().contains("none")) << loader.error().toStdString();
            EXPECT_EQ(loader.listedFolder(), Path("one/")); // the last one that was read
        }
    }
}

TEST_F(FolderLoaderTest, ACancelledListingEndsAtItsNextEntry) {
    for (int i = 0; i < 20; ++i)
        dir.Write("stuck/f" + std::to_string(i) + ".pdf", "%PDF-1.4\n");
    hang->tail = "/never/";
    std::atomic<bool> slow = true;
    platform::ScopedHook<platform::SearchStepHook> slowly{platform::SetSearchStepHook,
                                                          [&slow](const std::string&) {
                                                              if (slow)
                                                                  QThread::msleep(20);
                                                          }};
    FolderLoader loader;
    Listener heard(loader);
    loader.load(Path("stuck"), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.rows.empty(); }, 5000));
    loader.cancel();
    EXPECT_EQ(loader.state(), State::Cancelling);
    ASSERT_TRUE(WaitIdle(loader));
    slow = false;
    EXPECT_EQ(heard.outcomes, std::vector<Outcome>{Outcome::Cancelled});
    EXPECT_LT(heard.rows.size(), 22u);
    EXPECT_EQ(loader.listedFolder(), Path("stuck/"));
}

// A worker stuck in a system call holds up neither the next listing nor the loader's end, and
// what it finds once the call returns goes nowhere.
TEST_F(FolderLoaderTest, AStuckWorkerIsLeftBehind) {
    FolderLoader loader;
    Listener heard(loader);
    loader.load(Path("stuck"), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    QElapsedTimer clock;
    clock.start();
    loader.load(Path("one"), {});
    // The stuck listing finished as cancelled, before the next one started.
    EXPECT_EQ(heard.outcomes, std::vector<Outcome>{Outcome::Cancelled});
    EXPECT_EQ(heard.started, (std::vector<bool>{false, false}));
    ASSERT_TRUE(WaitIdle(loader));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(heard.outcomes, (std::vector<Outcome>{Outcome::Cancelled, Outcome::Completed}));
    EXPECT_EQ(loader.listedFolder(), Path("one/"));
    const size_t rows = heard.rows.size();
    hang->Release();
    QTest::qWait(300);
    EXPECT_EQ(heard.rows.size(), rows);
    EXPECT_EQ(heard.outcomes.size(), 2u);

    // A loader that goes while its worker is stuck does not wait for it.
    auto stuck = MakeHang("/stuck/");
    platform::ScopedHook<platform::SearchStepHook> again{platform::SetSearchStepHook,
                                                         HangHook(stuck)};
    auto doomed = std::make_unique<FolderLoader>();
    doomed->load(Path("stuck"), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return stuck->entered > 0; }, 5000));
    clock.start();
    doomed.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    stuck->Release();
}

// Writes count PDF files titled title into folder, named 0.pdf, 1.pdf and on.
void WriteTitled(const std::string& folder, int count, const std::string& title) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i)
        PdfBuilder()
            .Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .Object(2, "<< /Type /Pages /Count 1 >>")
            .Object(3, "<< /Title (" + title + ") >>")
            .FullSection("/Root 1 0 R /Info 3 0 R")
            .WriteTo(folder + "/" + std::to_string(i) + ".pdf");
}

// A scan that ends in the middle of a folder (stopped, or an event that throws) while files are
// still being read ahead, its own and on a slow device its subfolders', ends at once and leaves
// nothing reading a folder's names after its listing is gone (the sanitizer tree would tell a
// read of freed names).
TEST(ScanFolder, AScanEndedMidFolderEndsWhileFilesAreReadAhead) {
    TempDir dir;
    WriteTitled(dir.Path(), 300, "root");
    for (const char* sub : {"/s1", "/s2", "/s3/deeper"})
        WriteTitled(dir.Path() + sub, 300, sub);
    const ScanOptions recursive{.recursive = true};
    for (const bool throws : {false, true})
        for (const bool slow : {false, true}) {
            SCOPED_TRACE(std::to_string(throws) + std::to_string(slow));
            std::optional<iotiming::AssumeSlowDevice> slowDevice;
            if (slow)
                slowDevice.emplace(); // every file on a worker of its own
            int rows = 0;
            ScanEvents events;
            events.onRow = [&](ListRow&&) {
                if (++rows == 3 && throws)
                    throw std::runtime_error("stop");
            };
            events.keepGoing = [&] { return rows < 3; };
            if (throws)
                EXPECT_THROW(ScanFolder(dir.Path(), ScanSettings(), recursive, events),
                             std::runtime_error);
            else
                ScanFolder(dir.Path(), ScanSettings(), recursive, events);
            EXPECT_EQ(rows, 3);
        }
}

// On a slow device the files of subfolders are read ahead while the folders before them are
// listed: each row still gets its own file's read, though every folder has the same names.
TEST(ScanFolder, SubfoldersReadAheadGiveEachRowItsOwnFile) {
    TempDir dir;
    const std::vector<std::string> folders = {"", "a/", "a/deep/", "b/", "c/", "d/", "e/", "f/"};
    for (const std::string& folder : folders)
        WriteTitled(dir.Path() + "/" + folder, 5, "in " + folder);
    for (const bool slow : {false, true}) {
        std::optional<iotiming::AssumeSlowDevice> slowDevice;
        if (slow)
            slowDevice.emplace();
        std::vector<std::pair<std::string, std::string>> rows; // caption, title
        ScanEvents events;
        events.onRow = [&](ListRow&& row) {
            if (!row.isFolder)
                rows.emplace_back(row.caption, row.cells[0]);
        };
        ScanFolder(dir.Path(), ScanSettings(), {.recursive = true}, events);
        ASSERT_EQ(rows.size(), folders.size() * 5) << slow;
        for (const auto& [caption, title] : rows)
            EXPECT_EQ(title, "in " + caption.substr(0, caption.rfind('/') + 1)) << caption << slow;
    }
}

} // namespace
