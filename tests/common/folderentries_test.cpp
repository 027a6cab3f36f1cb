// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folderentries.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

// A folder of its own under the temporary folder, removed with everything in it.
struct TempFolder {
    std::string path;
    TempFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/entries-XXXXXX";
        path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
};

// Each entry once, across as many of the kernel's blocks as the names fill; read whole (with
// some entries handed out before, or none), the rest comes from memory, and the listing gives
// it again, even with the files gone from the folder.
TEST(FolderEntries, ListsEveryEntryOnceWhateverTheBlocks) {
    constexpr int kNotWhole = -1;
    for (const int count : {0, 1, 1500})
        for (const int handedOutBefore : {kNotWhole, 0, 3, 700}) {
            SCOPED_TRACE(std::to_string(count) + " " + std::to_string(handedOutBefore));
            TempFolder folder;
            ASSERT_FALSE(folder.path.empty());
            std::multiset<std::string> made = {".", ".."};
            for (int i = 0; i < count; ++i) {
                // Long names: 1,500 of them fill several 32 KiB blocks.
                const std::string name = std::to_string(i) + std::string(60, 'n');
                std::ofstream(folder.path + "/" + name).put('x');
                made.insert(name);
            }
            FolderEntries entries(folder.path + "/");
            ASSERT_TRUE(entries.isOpen());
            std::multiset<std::string> listed, again;
            for (int i = 0; i < handedOutBefore; ++i)
                if (const dirent64* entry = entries.next())
                    listed.insert(entry->d_name);
            const std::multiset<std::string> before = listed;
            if (handedOutBefore != kNotWhole) {
                entries.ReadWhole();
                for (const auto& file : std::filesystem::directory_iterator(folder.path))
                    std::filesystem::remove(file.path());
                for (FolderEntries::Listing listing = entries.listing();
                     const dirent64* entry = listing.next();)
                    again.insert(entry->d_name);
                again.insert(before.begin(), before.end());
                EXPECT_EQ(again, made);
            }
            while (const dirent64* entry = entries.next())
                listed.insert(entry->d_name);
            EXPECT_EQ(entries.error(), 0);
            EXPECT_EQ(listed, made);
            EXPECT_EQ(entries.next(), nullptr) << "the end stays the end";
        }
}

TEST(FolderEntries, WhatIsNoFolderIsNotOpened) {
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    std::ofstream(folder.path + "/file").put('x');
    for (const auto& [path, error] :
         {std::pair{folder.path + "/file", ENOTDIR}, {folder.path + "/missing", ENOENT}}) {
        errno = 0;
        FolderEntries entries(path);
        EXPECT_FALSE(entries.isOpen()) << path;
        EXPECT_EQ(errno, error) << path;
        EXPECT_EQ(entries.next(), nullptr) << path;
    }
}

} // namespace
