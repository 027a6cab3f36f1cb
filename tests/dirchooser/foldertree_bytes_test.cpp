// SPDX-License-Identifier: GPL-3.0-or-later
// Folders whose names are not UTF-8 in the tree and the field: each node shows its name as the
// list shows it and names its folder by the bytes, so that it can be expanded, opened, watched
// and shown.

#include "chooserfixture.h"

#include "platform/pathnames.h"

#include <QTest>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

struct ByteFolder {
    const char* what;
    std::string bytes; // the name on disk
    QString shown;     // the caption
};

const ByteFolder kFolders[] = {
    {"Shift-JIS", "\x8e\x91\x97\xbf", "資料"},
    {"EUC-JP", "\xc6\xfc\xcb\xdc", "\\xc6\\xfc\\xcb\\xdc"},
    {"Latin-1", "caf\xe9", "caf\\xe9"},
};

class ByteNamedTree : public ChooserFixture {
protected:
    void SetUp() override {
        ChooserFixture::SetUp();
        for (const ByteFolder& f : kFolders) {
            const std::string folder = Bytes(f);
            ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0) << f.what;
            ASSERT_EQ(::mkdir((folder + "/inner\xe9").c_str(), 0755), 0) << f.what;
        }
    }
    void TearDown() override {
        // Qt cannot name these to remove them.
        for (const ByteFolder& f : kFolders)
            std::filesystem::remove_all(Bytes(f));
    }
    std::string Bytes(const ByteFolder& f) const {
        return platform::PathToBytes(fixed) + "/" + f.bytes;
    }
};

TEST_F(ByteNamedTree, NodesShowTheNameAndExpandOpenAndWatchTheFolder) {
    tree()->expandNode(VolumeNode(fixed));
    for (const ByteFolder& f : kFolders) {
        SCOPED_TRACE(f.what);
        QTreeWidgetItem* node = Child(VolumeNode(fixed), f.shown);
        ASSERT_NE(node, nullptr) << Captions(VolumeNode(fixed)).join('|').toStdString();
        EXPECT_EQ(platform::PathToBytes(FolderTree::nameOf(node)), f.bytes);
        EXPECT_EQ(platform::PathToBytes(PathOf(node)), Bytes(f));
        // Its subfolder was found through the folder's bytes, and expanding lists it.
        EXPECT_EQ(node->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        tree()->expandNode(node);
        EXPECT_EQ(Captions(node), QStringList{"inner\\xe9"});
        EXPECT_EQ(platform::PathToBytes(PathOf(node->child(0))), Bytes(f) + "/inner\xe9");

        fired.clear();
        chooser->openPath(platform::PathFromBytes(Bytes(f)));
        ASSERT_EQ(fired.size(), 1u);
        EXPECT_EQ(platform::PathToBytes(fired[0]), Bytes(f) + "/");
        EXPECT_EQ(tree()->selectedNode(), node);
        EXPECT_EQ(chooser->text(), f.shown);
        // A whole path in the field shows each folder's name as the tree does.
        chooser->showText(platform::PathFromBytes(Bytes(f) + "/inner\xe9"));
        EXPECT_EQ(chooser->text(), fixed + "/" + f.shown + "/inner\\xe9");
    }

    // A folder made inside one of them is seen: the tree is rebuilt and the folder reported
    // again by its bytes.
    const ByteFolder& watched = kFolders[0];
    chooser->openPath(platform::PathFromBytes(Bytes(watched)));
    fired.clear();
    ASSERT_EQ(::mkdir((Bytes(watched) + "/fresh").c_str(), 0755), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fired.empty(); }, 5000));
    EXPECT_EQ(platform::PathToBytes(fired[0]), Bytes(watched) + "/");
    EXPECT_EQ(Captions(Child(VolumeNode(fixed), watched.shown)),
              (QStringList{"fresh", "inner\\xe9"}));
}

// Two names may show alike; the tree still tells their folders apart by their bytes.
TEST_F(ByteNamedTree, NamesThatShowAlikeOpenTheirOwnFolders) {
    const std::string escaped = platform::PathToBytes(fixed) + "/caf\\xe9";
    ASSERT_EQ(::mkdir(escaped.c_str(), 0755), 0);
    for (const std::string& folder : {escaped, Bytes(kFolders[2])}) {
        SCOPED_TRACE(folder);
        fired.clear();
        chooser->openPath(platform::PathFromBytes(folder));
        ASSERT_EQ(fired.size(), 1u);
        EXPECT_EQ(platform::PathToBytes(fired[0]), folder + "/");
        EXPECT_EQ(platform::PathToBytes(PathOf(tree()->selectedNode())), folder);
    }
}

} // namespace
