// SPDX-License-Identifier: GPL-3.0-or-later
#include "shellicons/fileiconcache.h"

#include "platform/hooks.h"
#include "platform/icons.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IconCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        for (const char* name : {"a.pdf", "b.pdf", "prog1.exe", "prog2.exe", "readme"}) {
            QFile file(root + "/" + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        for (const char* name : {"sub", "x.pdf.d", "folder.pdf"})
            ASSERT_TRUE(QDir(root).mkdir(name));
    }

    int File(const char* name) { return cache.iconIndex(root + "/" + name, false); }
    int Folder(const char* name) { return cache.iconIndex(root + "/" + name, true); }

    QTemporaryDir dir;
    QString root;
    FileIconCache cache;
};

TEST_F(IconCacheTest, OneIconPerTypePerProgramAndOneForFolders) {
    const int pdf = File("a.pdf");
    EXPECT_GE(pdf, 0);
    EXPECT_EQ(File("b.pdf"), pdf);
    const int prog1 = File("prog1.exe");
    EXPECT_NE(prog1, File("prog2.exe"));
    EXPECT_EQ(File("prog1.exe"), prog1) << "asked again: the first index";
    EXPECT_EQ(File("PROG1.EXE"), prog1) << "keys compare ignoring case";

    // Every folder shares one index, which no file shares, whatever the folder's name.
    const int folder = Folder("..");
    EXPECT_GE(folder, 0);
    for (const char* name : {"sub", "x.pdf.d", "folder.pdf"})
        EXPECT_EQ(Folder(name), folder) << name;
    for (const char* name : {"a.pdf", "readme", "prog1.exe"})
        EXPECT_NE(File(name), folder) << name;

    // Each index names its own icon; asking again registers nothing new.
    const int keys = int(cache.keys().size());
    for (int i = 0; i < keys; ++i)
        EXPECT_FALSE(cache.icon(i).isNull()) << i;
    EXPECT_TRUE(cache.icon(keys).isNull());
    EXPECT_TRUE(cache.icon(-1).isNull());
    for (const char* name : {"a.pdf", "b.pdf", "readme", "prog2.exe"})
        File(name);
    EXPECT_EQ(int(cache.keys().size()), keys);
}

TEST_F(IconCacheTest, ATypeWithoutIconGetsNoIndexAndIsAskedForAgain) {
    bool fail = true;
    int asked = 0;
    platform::ScopedHook<platform::IconSource> icons(
        platform::SetIconSource, [&](const QString& path, bool open) {
            ++asked;
            return fail ? QIcon() : platform::FolderIcon(open || path.isEmpty());
        });
    EXPECT_EQ(File("a.pdf"), -1);
    EXPECT_EQ(File("a.pdf"), -1);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(cache.keys().isEmpty());
    fail = false;
    EXPECT_EQ(File("a.pdf"), 0);
    EXPECT_EQ(File("b.pdf"), 0) << "b.pdf shares the key of a.pdf";
    EXPECT_EQ(File("readme"), 1);
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(cache.keys(), (QStringList{".PDF", ""}));
    EXPECT_EQ(cache.icon(1).pixmap(FileIconCache::kIconSize).size(), QSize(16, 16));
}

} // namespace
