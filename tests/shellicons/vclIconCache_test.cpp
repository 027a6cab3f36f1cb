// SPDX-License-Identifier: GPL-3.0-or-later
#include "shellicons/vclIconCache.h"

#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/hooks.h"
#include "platform/icons.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Event {
    QString name;
    QString path;
    int32_t icon;
    int32_t attr;
    int64_t size;
};

void WriteFile(const QString& path, const QByteArray& content = "x") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class IconCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        for (const char* name :
             {"a.pdf", "b.pdf", "prog1.exe", "prog2.exe", "readme", ".hidden.pdf", "sub/inner.pdf",
              "sub/deeper/x.txt", ".hiddendir/y.pdf", "x.pdf.d/z.txt"}) {
            const QString path = root + "/" + name;
            QDir().mkpath(QFileInfo(path).path());
            WriteFile(path);
        }
        ASSERT_TRUE(QDir(root).mkdir("folder.pdf"));
        ASSERT_EQ(mkfifo(QFile::encodeName(root + "/fifo").constData(), 0644), 0);
        cache.OnFileLoad = [this](QObject* sender, TvicFileInfo info, QString path) {
            EXPECT_EQ(sender, &cache);
            events.push_back({info.Name, path, info.IconIndex, info.Attr, info.Size});
            if (onEvent)
                onEvent(info);
        };
    }

    std::vector<Event> Load(const QString& path, bool recursive = false) {
        events.clear();
        cache.LoadFolder(path, recursive);
        return events;
    }

    const Event* Find(const QString& name) const {
        for (const Event& e : events)
            if (e.name == name)
                return &e;
        return nullptr;
    }

    QTemporaryDir dir;
    QString root;
    TFilerIconCache cache;
    std::vector<Event> events;
    std::function<void(const TvicFileInfo&)> onEvent;
};

TEST_F(IconCacheTest, ReportsVisibleEntriesInFileSystemOrderWithOrWithoutSlash) {
    // The order the file system gives, less ".", hidden and system entries.
    QStringList expected;
    for (const auto& e : platform::ListFolder(root, platform::faAnyFile))
        if (e.name != "." && !(e.attr & (platform::faHidden | platform::faSysFile)))
            expected << e.name;
    for (const QString& path : {root, root + "/"}) {
        QStringList names;
        for (const Event& e : Load(path)) {
            names << e.name;
            EXPECT_EQ(e.path, root + "/");
        }
        EXPECT_EQ(names, expected) << path.toStdString();
    }
    EXPECT_EQ(expected.size(), 9) << ".. a.pdf b.pdf prog1.exe prog2.exe readme sub x.pdf.d "
                                     "folder.pdf";
    ASSERT_TRUE(Find(".."));
    EXPECT_TRUE(Find("..")->attr & platform::faDirectory);
    EXPECT_FALSE(Find(".hidden.pdf"));
    EXPECT_FALSE(Find(".hiddendir"));
    EXPECT_FALSE(Find("fifo"));
}

TEST_F(IconCacheTest, IconIndicesPerTypePerProgramAndForFolders) {
    Load(root);
    const int pdf = Find("a.pdf")->icon;
    EXPECT_GE(pdf, 0);
    EXPECT_EQ(Find("b.pdf")->icon, pdf);
    const int prog1 = Find("prog1.exe")->icon;
    EXPECT_NE(prog1, Find("prog2.exe")->icon);
    EXPECT_EQ(cache.GetIconIndex(root + "/prog1.exe"), prog1) << "asked again: the first index";
    EXPECT_EQ(cache.GetIconIndex(root + "/PROG1.EXE"), prog1) << "keys compare ignoring case";

    // Every folder row shares one index, which no file shares, whatever the folder's name.
    const int folder = Find("..")->icon;
    EXPECT_GE(folder, 0);
    for (const char* name : {"sub", "x.pdf.d", "folder.pdf"})
        EXPECT_EQ(Find(name)->icon, folder) << name;
    for (const char* name : {"a.pdf", "readme", "prog1.exe"})
        EXPECT_NE(Find(name)->icon, folder) << name;

    const int keys = int(cache.IconKeys().size());
    EXPECT_EQ(cache.LargeIcons()->Count(), keys);
    EXPECT_EQ(cache.SmallIcons()->Count(), keys);
    // A second listing registers nothing new.
    Load(root);
    EXPECT_EQ(int(cache.IconKeys().size()), keys);
    EXPECT_EQ(Find("a.pdf")->icon, pdf);
}

TEST_F(IconCacheTest, TheDrivesPseudoPathShowsTheMessageAndNoEvent) {
    std::vector<platform::MessageBoxRequest> shown;
    platform::ScopedHook<platform::MessageBoxHandler> boxes(
        platform::SetMessageBoxHandler, [&](const platform::MessageBoxRequest& r) {
            shown.push_back(r);
            return QMessageBox::Ok;
        });
    QGuiApplication::setApplicationDisplayName("Pagewick");
    for (const char* path : {"DRIVES", "drives", "Drives/"}) {
        EXPECT_TRUE(Load(path).empty()) << path;
        ASSERT_FALSE(shown.empty());
        const QString completed = QString(path).endsWith('/') ? path : QString(path) + "/";
        EXPECT_EQ(shown.back().text, "このフォルダ（ディレクトリ）は読めません：\n" + completed);
        EXPECT_EQ(shown.back().caption, "Pagewickの情報");
        EXPECT_EQ(shown.back().buttons, QMessageBox::Ok);
        EXPECT_EQ(shown.back().icon, QMessageBox::NoIcon);
        EXPECT_TRUE(shown.back().foreground);
    }
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(IconCacheTest, RecursionReportsEachFolderBeforeItsContents) {
    Load(root, true);
    const Event* inner = Find("inner.pdf");
    const Event* deep = Find("x.txt");
    ASSERT_TRUE(inner && deep);
    EXPECT_EQ(inner->path, root + "/sub/");
    EXPECT_EQ(deep->path, root + "/sub/deeper/");
    EXPECT_FALSE(Find("y.pdf")) << "hidden folders are not entered";
    // Every inner path was announced by the entry of its folder, earlier and one level up.
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].path == root + "/")
            continue;
        bool announced = false;
        for (size_t j = 0; j < i; ++j)
            announced = announced || events[j].path + events[j].name + "/" == events[i].path;
        EXPECT_TRUE(announced) << events[i].path.toStdString();
    }
}

TEST_F(IconCacheTest, RecursionDoesNotFollowALinkBackUp) {
    ASSERT_EQ(symlink("..", QFile::encodeName(root + "/sub/up").constData()), 0);
    Load(root, true);
    int ups = 0, inners = 0;
    for (const Event& e : events) {
        ups += e.name == "up";
        inners += e.name == "inner.pdf";
    }
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(inners, 1);
}

TEST_F(IconCacheTest, CancelStopsAfterTheFirstEntryUntilReset) {
    const QString first = platform::ListFolder(root, platform::faDirectory).front().name;
    cache.CancelLoad();
    Load(root);
    if (first == ".") {
        EXPECT_TRUE(events.empty()) << "the first entry was \".\", which is never reported";
    } else {
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].name, first);
    }
    cache.ResetCancel();
    EXPECT_EQ(Load(root).size(), 9u);

    // A stop request from the handler ends every level of a recursive listing.
    onEvent = [this](const TvicFileInfo& info) {
        if (info.Name == "inner.pdf")
            cache.CancelLoad();
    };
    Load(root, true);
    EXPECT_EQ(events.back().name, "inner.pdf");
}

TEST_F(IconCacheTest, HandlerExceptionEndsTheListing) {
    int calls = 0;
    onEvent = [&](const TvicFileInfo&) {
        if (++calls == 2)
            throw EFOpenError("x.pdf");
    };
    EXPECT_THROW(Load(root), EFOpenError);
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(IconCacheTest, ErrorsCarryTheirMessages) {
    struct Case {
        QString path;
        std::string message;
    };
    const Case cases[] = {
        {"", "パス名は空指定('')はできません"},
        {root + "/missing",
         "ディレクトリ'" + (root + "/missing/").toStdString() + "'は検索できません"},
        {root + "/a.pdf/",
         "ディレクトリ'" + (root + "/a.pdf/").toStdString() + "'は検索できません"},
    };
    for (const Case& c : cases) {
        try {
            Load(c.path);
            ADD_FAILURE() << "no exception for " << c.path.toStdString();
        } catch (const EInvalidFileName& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_TRUE(events.empty());
    }
}

TEST_F(IconCacheTest, UnreadableFolderCannotBeListed) {
    ASSERT_EQ(chmod(QFile::encodeName(root).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(root + "/sub").constData(), 0), 0);
    const QString sub = root + "/sub";
    // Root reads any folder, so the check runs in a child that has given up root's rights.
    auto check = [&] {
        try {
            cache.LoadFolder(sub, false);
        } catch (const EInvalidFileName& e) {
            return std::string(e.what()) ==
                   "ディレクトリ'" + (sub + "/").toStdString() + "'は検索できません";
        }
        return false;
    };
    bool ok = false;
    if (geteuid() != 0) {
        ok = check();
    } else {
        const pid_t pid = fork();
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            _exit(check() ? 0 : 1);
        }
        int status = 0;
        ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
    }
    chmod(QFile::encodeName(sub).constData(), 0755);
    EXPECT_TRUE(ok);
}

TEST_F(IconCacheTest, FilesOf4GiBAndMoreReportTheirFullSize) {
    const int fd = open(QFile::encodeName(root + "/big.pdf").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const int64_t size = int64_t(5) << 30;
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
    Load(root);
    ASSERT_TRUE(Find("big.pdf"));
    EXPECT_EQ(Find("big.pdf")->size, size);
}

TEST_F(IconCacheTest, FailedRegistrationGivesMinusOneAndKeepsListsInStep) {
    bool fail = true;
    platform::ScopedHook<platform::IconSource> icons(
        platform::SetIconSource, [&](const QString& path, bool open) {
            return fail ? QIcon() : platform::FolderIcon(open || path.isEmpty());
        });
    std::vector<std::pair<QString, int>> registered;
    cache.OnRegist = [&](QObject*, QString name, int32_t index) {
        registered.emplace_back(name, index);
    };
    EXPECT_EQ(cache.GetIconIndex(root + "/a.pdf"), -1);
    EXPECT_EQ(cache.IconKeys().size(), 0);
    EXPECT_EQ(cache.LargeIcons()->Count(), 0);
    EXPECT_TRUE(registered.empty());
    Load(root);
    EXPECT_EQ(Find("a.pdf")->icon, -1) << "reported all the same";
    fail = false;
    EXPECT_EQ(cache.RegistFiles({root + "/a.pdf", root + "/b.pdf", root + "/readme"}), 3);
    ASSERT_EQ(registered.size(), 2u) << "b.pdf shares the key of a.pdf";
    EXPECT_EQ(registered[0], std::make_pair(root + "/a.pdf", 0));
    EXPECT_EQ(registered[1], std::make_pair(root + "/readme", 1));
    EXPECT_EQ(cache.SmallIcons()->Count(), 2);
    EXPECT_FALSE(cache.SmallIcons()->Pixmap(1).isNull());
    EXPECT_EQ(cache.SmallIcons()->Pixmap(1).size(), QSize(16, 16));
    EXPECT_EQ(cache.LargeIcons()->Pixmap(1).size(), QSize(32, 32));
}

TEST(IconCacheLists, NamedSizedAndBoundToAView) {
    TFilerIconCache cache;
    EXPECT_EQ(cache.SmallIcons()->objectName(), "SmallIcons");
    EXPECT_EQ(cache.LargeIcons()->objectName(), "LargeIcons");
    EXPECT_EQ(cache.SmallIcons()->Width(), 16);
    EXPECT_EQ(cache.LargeIcons()->Height(), 32);

    auto* first = new QTreeWidget;
    QTreeWidget second;
    cache.SetListView(first);
    EXPECT_EQ(ViewSmallImages(first), cache.SmallIcons());
    EXPECT_EQ(ViewLargeImages(first), cache.LargeIcons());
    EXPECT_EQ(first->iconSize(), QSize(16, 16));
    cache.SetListView(&second);
    EXPECT_EQ(ViewSmallImages(first), nullptr);
    EXPECT_EQ(ViewSmallImages(&second), cache.SmallIcons());
    cache.SetListView(first);
    delete first;
    EXPECT_EQ(cache.ListView(), nullptr) << "a destroyed view unbinds itself";

    TImageList other(24);
    other.Add(platform::FolderIcon());
    cache.SetSmallIcons(&other);
    EXPECT_EQ(cache.SmallIcons()->Width(), 24);
    EXPECT_EQ(cache.SmallIcons()->Count(), 1);
    EXPECT_EQ(cache.SmallIcons()->objectName(), "SmallIcons") << "own list, contents copied";
}

} // namespace
