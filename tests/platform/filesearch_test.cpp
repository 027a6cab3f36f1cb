// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pathnames.h"

#include "common/iotiming.h"
#include "support/bytenamedtempdir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Runs check with the rights of an ordinary user. Tests usually run as root here, and root passes
// every permission check, so a child process gives them up first.
bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (geteuid() != 0)
        return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::map<std::string, FindData> ByName(const std::vector<FindData>& entries) {
    std::map<std::string, FindData> map;
    for (const FindData& e : entries)
        map[e.name] = e;
    return map;
}

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // The searched folder sits one level down so that its ".." is this test's own folder,
        // not the shared temporary folder that other tests change while this one runs.
        root = dir.path() + "/root";
        ASSERT_TRUE(QDir().mkdir(root));
        ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        WriteFile(root + "/a.txt", "abc");
        WriteFile(root + "/.hidden", "h");
        ASSERT_TRUE(QDir(root).mkdir("sub"));
        ASSERT_TRUE(QDir(root).mkdir("noread"));
        ASSERT_EQ(mkfifo(QFile::encodeName(root + "/fifo").constData(), 0644), 0);
        ASSERT_EQ(symlink("sub", QFile::encodeName(root + "/linksub").constData()), 0);
        ASSERT_EQ(symlink("missing", QFile::encodeName(root + "/broken").constData()), 0);
        ASSERT_EQ(chmod(QFile::encodeName(root + "/noread").constData(), 0), 0);
    }
    void TearDown() override { chmod(QFile::encodeName(root + "/noread").constData(), 0755); }

    ByteNamedTempDir dir;
    QString root;
};

TEST_F(FileSearchTest, ReportsEveryEntryWithWindowsAttributeBits) {
    const auto entries = ByName(ListFolder(root, faAnyFile));
    const std::map<std::string, uint32_t> expected = {
        {".", faDirectory},
        {"..", faDirectory},
        {"a.txt", faArchive},
        {"sub", faDirectory},
        {".hidden", faArchive | faHidden},
        {"fifo", faSysFile},
        {"noread", faDirectory},
        {"linksub", faDirectory},
    };
    ASSERT_EQ(entries.size(), expected.size()) << "the broken link must be skipped";
    for (const auto& [name, attr] : expected) {
        ASSERT_TRUE(entries.count(name)) << name;
        // Root may write everything, so the read-only bit is not part of this comparison.
        EXPECT_EQ(entries.at(name).attr & ~faReadOnly, attr) << name;
    }
    EXPECT_EQ(entries.at("a.txt").size, 3);
    EXPECT_EQ(entries.at("sub").size, 0);
}

TEST_F(FileSearchTest, FilterKeepsSpecialEntriesOnlyWhenAsked) {
    struct Case {
        uint32_t filter;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {0, {"a.txt"}},
        {faReadOnly | faArchive, {"a.txt"}},
        {faHidden, {"a.txt", ".hidden"}},
        {faSysFile, {"a.txt", "fifo"}},
        {faDirectory, {"a.txt", ".", "..", "sub", "noread", "linksub"}},
    };
    for (const Case& c : cases) {
        const auto entries = ByName(ListFolder(root, c.filter));
        EXPECT_EQ(entries.size(), c.names.size()) << "filter " << c.filter;
        for (const std::string& name : c.names)
            EXPECT_TRUE(entries.count(name)) << "filter " << c.filter << ": " << name;
    }
}

// Everything a search reports, in its order, as one text.
std::vector<std::string> Described(const std::vector<FindData>& entries) {
    std::vector<std::string> lines;
    for (const FindData& e : entries)
        lines.push_back(e.name + " " + std::to_string(e.attr) + " " + std::to_string(e.size) + " " +
                        std::to_string(e.lastWriteTime) + " " + std::to_string(e.creationTime) +
                        " " + std::to_string(e.inode));
    return lines;
}

TEST_F(FileSearchTest, LookupsOnManyThreadsGiveTheSameEntriesInTheSameOrder) {
    // Enough entries that names are read from the folder again and again while the first ones
    // are handed out, with entries the lookups skip (vanished, broken links) among them.
    for (int i = 0; i < 700; ++i) {
        const QString name = QString("f%1").arg(i);
        if (i % 97 == 5)
            ASSERT_EQ(symlink("nowhere", QFile::encodeName(root + "/" + name).constData()), 0);
        else
            WriteFile(root + "/" + name, QByteArray(i % 13, 'x'));
    }
    for (const uint32_t filter : {uint32_t(faAnyFile), kListedEntries, uint32_t(0)}) {
        const auto plain = Described(ListFolder(root, filter));
        const iotiming::AssumeSlowDevice slow;
        EXPECT_EQ(Described(ListFolder(root, filter)), plain) << filter;
    }
    // A search given up halfway stops its threads.
    const iotiming::AssumeSlowDevice slow;
    FileSearch search;
    FindData found;
    ASSERT_TRUE(search.FindFirst(PathToBytes(root), faAnyFile, found));
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(search.FindNext(found));
    search.FindClose();
    EXPECT_FALSE(search.FindNext(found));
    // The root: still no "..".
    const auto rootEntries = ByName(ListFolder(std::string("/"), faAnyFile));
    EXPECT_TRUE(rootEntries.count("."));
    EXPECT_FALSE(rootEntries.count(".."));
}

TEST_F(FileSearchTest, SameEntriesWithAndWithoutTrailingSlash) {
    const auto plain = ByName(ListFolder(root));
    const auto slashed = ByName(ListFolder(root + "/"));
    ASSERT_EQ(plain.size(), slashed.size());
    for (const auto& [name, data] : plain)
        EXPECT_EQ(slashed.at(name).attr, data.attr);
}

TEST_F(FileSearchTest, ReadOnlyBitFollowsWritePermission) {
    // The bits that count are the owner's for the owner, the group's for its members and the
    // others' for the rest, whatever the other bits say. Files of other owners can only be
    // made as root.
    const uid_t nobody = 65534;
    const struct {
        const char* name;
        mode_t mode;
        bool otherOwner; // owned by the ordinary user (else root)
        bool otherGroup; // in the ordinary user's group (else root's)
        bool readOnly;
    } cases[] = {
        {"ro", 0444, false, false, true},   {"rw", 0666, false, false, false},
        {"mine", 0644, true, false, false}, {"mine-ro", 0466, true, false, true},
        {"ours", 0464, false, true, false}, {"ours-ro", 0646, false, true, true},
    };
    ASSERT_EQ(chmod(QFile::encodeName(root).constData(), 0755), 0);
    std::vector<std::pair<QString, bool>> expected;
    for (const auto& c : cases) {
        if ((c.otherOwner || c.otherGroup) && geteuid() != 0)
            continue;
        const QString path = root + "/" + c.name;
        WriteFile(path, "x");
        const QByteArray bytes = QFile::encodeName(path);
        ASSERT_EQ(chown(bytes.constData(), c.otherOwner ? nobody : getuid(),
                        c.otherGroup ? gid_t(nobody) : getgid()),
                  0);
        ASSERT_EQ(chmod(bytes.constData(), c.mode), 0);
        expected.emplace_back(path, c.readOnly);
    }
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const auto listed = ByName(ListFolder(root));
        for (const auto& [path, readOnly] : expected) {
            const uint32_t attr = faArchive | (readOnly ? uint32_t(faReadOnly) : 0);
            const QString name = path.mid(path.lastIndexOf('/') + 1);
            if (FileAttributes(path) != attr || listed.at(name.toStdString()).attr != attr)
                return false;
        }
        return true;
    }));
}

TEST_F(FileSearchTest, DeferredEntriesAreLeftToTheCallerAndCompleteAlike) {
    WriteFile(root + "/doc.pdf", "%PDF-1.4");
    WriteFile(root + "/other.txt", "text");
    ASSERT_EQ(symlink("doc.pdf", QFile::encodeName(root + "/link.pdf").constData()), 0);
    std::vector<FindData> plain = ListFolder(root, faAnyFile);
    // Only regular files the caller asks for are deferred: links, folders and FIFOs of those
    // names are still looked up, as their listing does not tell what they lead to.
    FileSearch search;
    search.DeferLookups([](std::string_view name) {
        return name.ends_with(".pdf") || name == "sub" || name == "fifo";
    });
    std::vector<FindData> deferred;
    FindData found;
    for (bool ok = search.FindFirst(PathToBytes(root), faAnyFile, found); ok;
         ok = search.FindNext(found))
        deferred.push_back(found);
    ASSERT_EQ(deferred.size(), plain.size());
    for (FindData& entry : deferred) {
        SCOPED_TRACE(entry.bytes);
        EXPECT_EQ(entry.lookedUp, entry.bytes != "doc.pdf");
        if (entry.lookedUp)
            continue;
        EXPECT_EQ(entry.attr, faArchive);
        FileStatus status;
        ASSERT_TRUE(StatFile(AT_FDCWD, (PathToBytes(root) + "/" + entry.bytes).c_str(), 0, status));
        FillFromStatus(status, search.Facts(), entry);
    }
    EXPECT_EQ(Described(deferred), Described(plain));

    // On a device that waits, a folder of files left to the caller gets no more lookup threads
    // than it has entries to look up: ".", ".." and a subfolder.
    const QString many = root + "/many";
    ASSERT_TRUE(QDir(many).mkpath("sub"));
    for (int i = 0; i < 60; ++i)
        WriteFile(many + QString("/d%1.pdf").arg(i), "%PDF-1.4");
    auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    const iotiming::AssumeSlowDevice slow;
    const auto before = threads();
    FileSearch files;
    files.DeferLookups([](std::string_view name) { return name.ends_with(".pdf"); });
    ASSERT_TRUE(files.Open(PathToBytes(many), faAnyFile));
    // Only where the listing tells regular files (a file system that does not has every entry
    // looked up).
    bool typesTold = true;
    for (FolderEntries::Listing names = files.Listing(); const dirent64* e = names.next();)
        typesTold = typesTold && e->d_type != DT_UNKNOWN;
    if (typesTold) {
        EXPECT_LE(threads() - before, 3);
    }
}

TEST_F(FileSearchTest, UnreadableFolderCannotBeSearched) {
    ASSERT_EQ(chmod(QFile::encodeName(root).constData(), 0755), 0);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        FileSearch search;
        FindData found;
        return !search.FindFirst(PathToBytes(root) + "/noread", faAnyFile, found) &&
               search.error() == EACCES;
    }));
}

TEST_F(FileSearchTest, MissingOrEmptyFolderFails) {
    FileSearch search;
    FindData found;
    EXPECT_FALSE(search.FindFirst(PathToBytes(root) + "/nothing", faAnyFile, found));
    EXPECT_EQ(search.error(), ENOENT);
    EXPECT_FALSE(search.FindFirst(std::string(), faAnyFile, found));
    EXPECT_FALSE(search.FindNext(found)) << "a failed search has nothing more";
}

TEST(FileSearchRoot, RootHasDotButNoDotDot) {
    const auto entries = ByName(ListFolder(std::string("/")));
    EXPECT_TRUE(entries.count("."));
    EXPECT_FALSE(entries.count(".."));
    EXPECT_EQ(FileAttributes(std::string("/")), faDirectory);
}

TEST_F(FileSearchTest, TimesAreLocal) {
    // A zone far from UTC makes a UTC/local mix-up visible.
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    tzset();
    const std::time_t when = 1700000000; // 2023-11-14 22:13:20 UTC, 07:13:20 next day in Tokyo
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(root + "/a.txt").constData(), times, 0), 0);
    const auto info = FileInfoOf(root + "/a.txt");
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    ASSERT_TRUE(info);
    const auto expected = TryEncodeDateTime({2023, 11, 15, 7, 13, 20, 0});
    EXPECT_NEAR(info->lastWriteTime, *expected, 1e-8);
    EXPECT_NEAR(info->lastAccessTime, *expected, 1e-8);
    EXPECT_GT(info->creationTime, 0.0);
    EXPECT_EQ(info->name, "a.txt");
}

TEST_F(FileSearchTest, SizesBeyond4GiB) {
    const QString path = root + "/big.bin";
    const int fd = open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const int64_t size = int64_t(5) << 30;
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
    const auto info = FileInfoOf(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->size, size);
}

TEST_F(FileSearchTest, AttributesOfPaths) {
    EXPECT_EQ(FileAttributes(root + "/sub/"), faDirectory);
    EXPECT_EQ(FileAttributes(root + "/.hidden"), faArchive | faHidden);
    EXPECT_EQ(FileAttributes(root + "/broken"), std::nullopt);
    EXPECT_EQ(FileAttributes(QString()), std::nullopt);
}

} // namespace

namespace {

TEST(FileSearchBytes, NamesKeepTheirBytesAndPathsRoundTrip) {
    ByteNamedTempDir dir;
    const std::string root = PathToBytes(dir.path()) + "/";
    const std::string names[] = {"\x95\xf1\x8d\x90.pdf", "caf\xe9.pdf", "資料.pdf", "a\nb",
                                 "\xed\xa0\x80 (a surrogate encoded)"};
    for (const std::string& name : names) {
        const int fd = ::open((root + name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << name;
        ::close(fd);
    }
    std::map<std::string, std::string> found;
    for (const FindData& data : ListFolder(dir.path(), faAnyFile))
        found[data.bytes] = data.name;
    for (const std::string& name : names) {
        ASSERT_TRUE(found.count(name)) << name;
        // The path made from the bytes gives them back, and names the file for every service
        // that takes a QString path.
        const QString path = PathFromBytes(root + name);
        EXPECT_EQ(PathToBytes(path), root + name);
        EXPECT_TRUE(FileInfoOf(path).has_value()) << name;
        EXPECT_EQ(FileInfoOf(path)->bytes, name);
    }
    EXPECT_EQ(found["\x95\xf1\x8d\x90.pdf"], "報告.pdf");
    EXPECT_EQ(found["caf\xe9.pdf"], "caf\\xe9.pdf");
    // A UTF-8 path is the same QString Qt makes of it.
    EXPECT_EQ(PathFromBytes("/tmp/資料.pdf"), QStringLiteral("/tmp/資料.pdf"));
}

TEST(FileSearchBytes, APathIsShownNameByName) {
    const struct {
        std::string bytes;
        QString shown;
    } cases[] = {
        {"/home/ユーザ/\x8e\x91\x97\xbf", "/home/ユーザ/資料"}, // Shift-JIS in a UTF-8 folder
        {"/tmp/caf\xe9/\x8e\x91\x97\xbf/", "/tmp/caf\\xe9/資料/"},
        {"/mnt/\xc6\xfc\xcb\xdc", "/mnt/\\xc6\\xfc\\xcb\\xdc"}, // EUC-JP: no code page 932
        {"/", "/"},
        {"relative/資料", "relative/資料"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(PathForDisplay(PathFromBytes(c.bytes)), c.shown);
    }
}

TEST(FileSearchBytes, CurrentAndCanonicalFoldersKeepTheirBytes) {
    ByteNamedTempDir dir;
    const std::string folder = PathToBytes(QDir(dir.path()).canonicalPath()) + "/\x8e\x91\x97\xbf";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::symlink(folder.c_str(), (folder + "-link").c_str()), 0);
    EXPECT_EQ(PathToBytes(CanonicalPath(PathFromBytes(folder + "-link/./")).value_or("")), folder);
    EXPECT_FALSE(CanonicalPath(PathFromBytes(folder + "/missing")));
    const QString previous = CurrentFolderPath();
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    const QString current = CurrentFolderPath();
    ASSERT_EQ(::chdir(PathToBytes(previous).c_str()), 0);
    EXPECT_EQ(PathToBytes(current), folder);
}

} // namespace

namespace {

// Subfolders as the chooser's tree and the folder watcher see them: every kind of entry once,
// with the answer the full search gives for it.
// The expand mark of the chooser's tree: told without reading a folder of many files to its end.
TEST(SubfolderNames, AProbeTellsWhetherAFolderMayHaveSome) {
    ByteNamedTempDir dir;
    const std::string root = dir.path().toStdString();
    const auto make = [&](const std::string& folder, const std::vector<std::string>& folders,
                          size_t files) {
        std::filesystem::create_directories(root + "/" + folder);
        for (const std::string& name : folders)
            std::filesystem::create_directories(root + "/" + folder + "/" + name);
        for (size_t i = 0; i < files; ++i)
            std::ofstream(root + "/" + folder + "/f" + std::to_string(i) + ".pdf");
    };
    make("empty", {}, 0);
    make("files", {}, 10);
    make("visible", {"sub"}, 10);
    make("hidden", {".sub"}, 0);
    make("full", {}, kProbedEntries + 1);
    make("withlink", {}, 0);
    ASSERT_EQ(symlink((root + "/visible").c_str(), (root + "/withlink/to").c_str()), 0);
    const struct {
        const char* folder;
        bool hidden, expected;
    } cases[] = {
        {"empty", true, false},    {"files", true, false},   {"visible", false, true},
        {"hidden", false, false},  {"hidden", true, true},   {"full", false, true},
        {"withlink", false, true}, {"missing", true, false}, {"files/f0.pdf", true, false}};
    for (const auto& c : cases)
        EXPECT_EQ(MayHaveSubfolders(root + "/" + c.folder, c.hidden), c.expected)
            << c.folder << " " << c.hidden;
}

TEST(SubfolderNames, TellFoldersFromEveryOtherEntry) {
    ByteNamedTempDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    const auto at = [&](const char* name) { return root + "/" + name; };
    ASSERT_EQ(mkdir(at("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(at(".hidden-folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(at("\x8e\x91\x97\xbf").c_str(), 0755), 0); // Shift-JIS 資料
    WriteFile(QString::fromStdString(at("file.pdf")), "%PDF-1.4");
    ASSERT_EQ(symlink("folder", at("link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink("file.pdf", at("link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", at("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0644), 0);

    const auto names = SubfolderNames(root);
    ASSERT_TRUE(names.has_value());
    std::vector<std::string> sorted = *names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{".hidden-folder", "folder", "link-to-folder",
                                                "\x8e\x91\x97\xbf"}));
    // The same folders the full search finds.
    std::vector<std::string> searched;
    for (const FindData& entry : ListFolder(dir.path()))
        if ((entry.attr & faDirectory) && entry.bytes != "." && entry.bytes != "..")
            searched.push_back(entry.bytes);
    std::sort(searched.begin(), searched.end());
    EXPECT_EQ(searched, sorted);

    const auto none = SubfolderNames(at("folder"));
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(SubfolderNames(at("file.pdf")).has_value());
    EXPECT_FALSE(SubfolderNames(at("missing")).has_value());
    EXPECT_FALSE(SubfolderNames("").has_value());
}

} // namespace
